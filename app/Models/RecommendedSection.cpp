#include "Models/RecommendedSection.h"

#include <set>

std::vector<RecommendedSection> RecommendedSection::sections(const JSON& content,
                                                             const std::vector<std::string>& keyOrder) {
    std::vector<RecommendedSection> result;
    // A section shows once, where it is first named: a reply that names it again would otherwise
    // cost its cards again with every name.
    std::set<std::string_view> named;
    for (const auto& key : keyOrder) {
        if (!named.insert(key).second) continue;
        const JSON list = content[key];
        if (!FeedResponse::isDictionaryList(list)) continue;
        result.push_back({key, FeedResponse::cards(list)});
    }
    return result;
}
