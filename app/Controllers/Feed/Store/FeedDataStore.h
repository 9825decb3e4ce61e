#pragma once

// The one feed data store of the process: it loads the signed-in member's feed, turns the reply into
// a list of cards newest first, and keeps the last list it delivered for the feed and for the screens
// opened from it (a notification opens a cached card's article without asking the server).
//
// fetchFeed calls exactly one of its callbacks, once, on the main thread. With nobody signed in the
// failure callback runs at once, before fetchFeed returns, and nothing is sent; otherwise fetchFeed
// returns at once and the callback runs after the reply. The reply is parsed, sorted and its first
// descriptions rendered on a utility queue; the cards are handed to the main queue, where the cache is
// replaced just before the success callbacks run.
//
// A fetch asked for while one for the same member and babies is on its way (from its request until
// its cards are delivered) joins it: one request, and each caller hears its outcome, in the order
// they asked. A fetch that must see what the server took before it was asked (Freshness::fromNow)
// sends a request of its own, which answers those who waited for the one on its way too (that one
// is left to finish unheard) and which later fetches join. Requests for other members or babies
// answer their own callers, and the last delivered wins the cache.
//
// The cards are one member's: a fetch for another member than the one whose cards are cached
// forgets them at once, and a reply that comes after its member was replaced by another (or signed
// out) is not delivered: its fetch fails with the session's not-authenticated error. When the
// session ends the shell clears the store; a fetch started before that delivers nothing either.
//
// The cache is read and written on the main thread only. What the services announce of a card (a
// bookmark, a read, comments, the member's own name and picture; Services/Announcements.h) is
// written into the cached cards as it is announced, so that a card opened from the cache shows it.

#include "Models/FeedResponse.h"
#include "Services/Announcements.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FeedDataStore {
public:
    using Success = std::function<void(const std::vector<FeedResponse::Card>& cards)>;
    using Failure = std::function<void(const NSError& error)>;

    // How many cards of the sorted list have their descriptions rendered ahead of time.
    static constexpr std::size_t preRenderedCardCount = 10;

    // Whether the cards of a request already on its way will do.
    enum class Freshness {
        onItsWay,
        // Read by the server after this call: after the member's own post or comment, or her pull
        // on the list.
        fromNow,
    };

    static FeedDataStore& shared();

    // Failures: the session's not-authenticated error without a member; the request's error; and a
    // reply without a "data" object (RequestError::parseError), which keeps the cache as it was.
    void fetchFeed(Success success, Failure failure, Freshness freshness = Freshness::onItsWay);

    // The cards as last delivered, in feed order.
    const std::vector<FeedResponse::Card>& feedCache() const { return cache_; }
    const std::vector<FeedResponse::Card>& cachedFeed() const { return cache_; }
    void setCachedFeed(std::vector<FeedResponse::Card> cards) { cache_ = std::move(cards); }

    // The first cached card whose id is `cardId`; none when no cached card has it.
    FeedResponse::Card cachedFeedResponse(std::int64_t cardId) const;
    // The cached card the server names so (an education item and a post may share a number).
    FeedResponse::Card cachedCard(const CardKey& key) const;

    // Forgets the cards; fetches on their way fail with the not-authenticated error, and none joins
    // them.
    void clear();

    // The cards of a feed reply's "data" object, sorted and with the first descriptions rendered (what
    // fetchFeed does off the main thread): "content", then "posts" and "daily_update" with "users"; a
    // list that is not an array of objects gives no cards.
    static std::vector<FeedResponse::Card> parseFeed(const JSON& data);

    // Whether `first` comes before `second`: a card whose time reads (in the server's format) comes
    // before one whose time is absent or unreadable, a later time before an earlier one. Cards that
    // are equal by this order keep their order in a sort (see sortByDate).
    static bool dateComparator(const FeedResponse& first, const FeedResponse& second);
    // Newest first, stable: untimed and unreadable cards after the timed ones, in the order given.
    static void sortByDate(std::vector<FeedResponse::Card>& cards);

private:
    struct Fetch;
    // Hands the outcome to every caller of `fetch`, which nobody joins from then on.
    static void answer(const std::shared_ptr<Fetch>& fetch,
                       const std::function<void(const Success&, const Failure&)>& call);

    FeedDataStore();
    std::vector<FeedResponse::Card> cache_;
    // Whose cards the cache holds (none before the first delivery).
    std::optional<std::int64_t> cacheMember_;
    // Counts the clears: a fetch delivers only when none came since it started.
    std::uint64_t clears_ = 0;
    // The latest request on its way, which fetches for its member and babies join.
    std::shared_ptr<Fetch> onItsWay_;
    std::vector<Announcements::Subscription> cardChanges_;
};
