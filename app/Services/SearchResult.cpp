#include "Services/SearchResult.h"

namespace {

JSON valueFor(const JSON::dictionary_t& dictionary, const char* key) {
    auto found = dictionary.find(key);
    return found == dictionary.end() ? JSON::missing() : found->second;
}

void readText(const JSON::dictionary_t& dictionary, const char* key, std::string& field) {
    if (auto text = valueFor(dictionary, key).asString()) field = std::move(*text);
}

} // namespace

SearchResult::SearchResult(const JSON::dictionary_t& dictionary) {
    if (auto id = valueFor(dictionary, "id").asExactInt()) cardID = *id;
    readText(dictionary, "card_title", cardTitle);
    readText(dictionary, "summary_1", summaryOne);
    readText(dictionary, "summary_2", summaryTwo);
    readText(dictionary, "content_url", contentURL);
    if (auto flag = valueFor(dictionary, "bookmarked").bool_()) bookmarked = *flag;
    if (auto media = valueFor(dictionary, "card_media").asStringList()) cardMediaURLs = std::move(*media);
}

std::vector<std::shared_ptr<SearchResult>>
SearchResult::parseList(const std::vector<JSON::dictionary_t>& list) {
    std::vector<std::shared_ptr<SearchResult>> results;
    results.reserve(list.size());
    for (const auto& hit : list)
        results.push_back(std::make_shared<SearchResult>(hit));
    return results;
}
