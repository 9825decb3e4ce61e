#include "Services/SearchService.h"

#include "Services/AuthenticationContext.h"

#include <utility>

SearchService::SearchService() : BaseHTTPService("search") {}

void SearchService::search(const std::string& query, SearchSuccess success, RequestFailure failure) {
    JSON parameters;
    parameters.set("query", query);
    if (auto user = AuthenticationContext::shared().user()) parameters.set("user_id", user->id());
    get("", parameters, nullptr, cw::parsedReply(&SearchService::results, std::move(success), failure),
        cw::networkFailure(failure));
}

std::optional<std::vector<std::shared_ptr<SearchResult>>>
SearchService::results(const std::optional<JSON>& reply) {
    if (!reply || !reply->dictionary()) return std::nullopt;
    auto list = (*reply)["data"].array();
    if (!list) return std::nullopt;
    std::vector<JSON::dictionary_t> hits;
    hits.reserve(list->size());
    for (const JSON& element : *list) {
        auto hit = element.dictionary();
        if (!hit) return std::nullopt;
        hits.push_back(std::move(*hit));
    }
    return SearchResult::parseList(hits);
}
