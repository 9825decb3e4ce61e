#include "Controllers/Feed/FeedDataStore.h"

FeedDataStore& FeedDataStore::shared() {
    static FeedDataStore store;
    return store;
}

FeedResponse::Card FeedDataStore::cachedFeedResponse(std::int64_t cardId) const {
    for (const auto& card : cache_)
        if (card && card->cardId == cardId) return card;
    return nullptr;
}
