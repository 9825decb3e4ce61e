#include "Models/RecommendedSection.h"

std::vector<RecommendedSection> RecommendedSection::sections(const JSON& content,
                                                             const std::vector<std::string>& keyOrder) {
    std::vector<RecommendedSection> result;
    for (const auto& key : keyOrder) {
        const JSON list = content[key];
        if (!FeedResponse::isDictionaryList(list)) continue;
        result.push_back({key, FeedResponse::cards(list)});
    }
    return result;
}
