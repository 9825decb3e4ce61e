#pragma once

// The one feed data store of the process: it keeps the last loaded cards for the feed and for the
// screens opened from it (a notification opens a cached card's article without asking the server).
//
// For now it holds the card cache only; loading the feed from the server comes with the feed screen.
// Main thread only.

#include "Models/FeedResponse.h"

#include <cstdint>
#include <vector>

class FeedDataStore {
public:
    static FeedDataStore& shared();

    // The cards as last loaded, in feed order.
    const std::vector<FeedResponse::Card>& cachedFeed() const { return cache_; }
    void setCachedFeed(std::vector<FeedResponse::Card> cards) { cache_ = std::move(cards); }

    // The first cached card whose id is `cardId`; none when no cached card has it.
    FeedResponse::Card cachedFeedResponse(std::int64_t cardId) const;

private:
    FeedDataStore() = default;
    std::vector<FeedResponse::Card> cache_;
};
