#pragma once

#include "foundation/json/JSON.h"

#include <cstdint>
#include <optional>
#include <string>

// The server's record of one bookmark change: which card or post the member bookmarked or released.
struct BookmarkResponse {
    std::optional<std::int64_t> bookmarkID;   // "id"
    std::optional<std::int64_t> feedID;       // "feed_id": the content card
    std::optional<std::int64_t> postID;       // "post_id": the member post
    std::optional<std::int64_t> userID;       // "user_id"
    std::optional<std::string> cardAttribute; // "card_attribute"

    BookmarkResponse() = default;
    // `BookmarkResponse(dictionary:)`: the reply's "data" object. The ids take numbers with a whole
    // value only (a numeric text such as "12" is not an id); the attribute takes a string. No key is
    // required and nothing fails.
    explicit BookmarkResponse(const JSON& dictionary);

    friend bool operator==(const BookmarkResponse&, const BookmarkResponse&) = default;
};
