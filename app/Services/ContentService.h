#pragma once

#include "Models/BookmarkResponse.h"
#include "Services/BaseHTTPService.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The server's content area: the raw home feed of a set of babies, and bookmarks of cards and posts.
class ContentService : public BaseHTTPService {
public:
    using BookmarkSuccess = std::function<void(const BookmarkResponse& response)>;

    ContentService();
    explicit ContentService(const std::string& url) = delete;

    // POST {"baby_ids": [numbers, in the order given], "user_id": number} to the root of "content".
    // The reply reaches `success` unparsed; the feed store reads it.
    void fetchFeed(const std::vector<std::int64_t>& babyIds, std::int64_t userId, Success success,
                   Failure failure);

    // Bookmarks the card (or, when `bookmarked`, releases its bookmark) for the signed-in member:
    // POST {<idKey>: feedId, "user_id": the member's id} (numbers) to "bookmark_card" or
    // "unbookmark_card". `idKey` is "feed_id" for a content card and "post_id" for a member post.
    // `success` gets the reply's "data" object read as a BookmarkResponse; a reply without a "data"
    // object gets an empty record (no feed or post id: it confirms nothing). A record that confirms
    // the card is announced (Announcements::BookmarkChanged) after `success`. With nobody signed in
    // nothing is sent and nothing called.
    void bookmark(std::int64_t feedId, const std::string& idKey, bool bookmarked, BookmarkSuccess success,
                  Failure failure);

    // "unbookmark_card" for a bookmarked card, "bookmark_card" otherwise.
    static std::string endpointStringFromBookmarked(bool bookmarked);
};
