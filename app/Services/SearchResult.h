#pragma once

#include "foundation/json/JSON.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One hit of an education search. The search screen keeps the hits and marks them bookmarked.
class SearchResult {
public:
    // `init(dictionary:)`: each of the seven keys is taken only when it has the right JSON type;
    // anything else leaves its default (-1, empty texts, false, no media).
    explicit SearchResult(const JSON::dictionary_t& dictionary);

    // One hit per element, in order.
    static std::vector<std::shared_ptr<SearchResult>> parseList(const std::vector<JSON::dictionary_t>& list);

    std::int64_t cardID = -1;               // "id", a whole number
    std::string cardTitle;                  // "card_title"
    std::string summaryOne;                 // "summary_1"
    std::string summaryTwo;                 // "summary_2"
    std::string contentURL;                 // "content_url"
    bool bookmarked = false;                // "bookmarked", a Boolean
    std::vector<std::string> cardMediaURLs; // "card_media", a list of texts only
};
