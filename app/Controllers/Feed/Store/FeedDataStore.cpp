#include "Controllers/Feed/Store/FeedDataStore.h"

#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "Services/ContentService.h"
#include "foundation/dispatch/DispatchQueue.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The time of a card as the server wrote it; none when absent or unreadable. Always read in the
// server's own format and calendar: a device set to another locale must not reorder the feed.
std::optional<Date> cardDate(const FeedResponse& card) {
    if (!card.cardTime) return std::nullopt;
    return FeedResponse::serverTimeFormatter().date(*card.cardTime);
}

// The order of the feed on dates read once per card: timed cards newest first, then the others.
bool newer(const std::optional<Date>& first, const std::optional<Date>& second) {
    if (!first) return false;
    if (!second) return true;
    return *first > *second;
}

// Every element of a card list must be an object: one that is not makes the whole list give no
// cards (the other lists still do).
template <class Parse> void appendCards(std::vector<FeedResponse::Card>& cards, const JSON& list, Parse parse) {
    if (!FeedResponse::isDictionaryList(list)) return;
    const std::size_t count = list.count();
    cards.reserve(cards.size() + count);
    for (std::size_t i = 0; i < count; ++i)
        if (auto card = parse(list[i])) cards.push_back(std::move(card));
}

} // namespace

FeedDataStore& FeedDataStore::shared() {
    // Never destroyed: a fetch may deliver while the process ends.
    static FeedDataStore* store = new FeedDataStore();
    return *store;
}

FeedDataStore::FeedDataStore()
    : cardChanges_(Announcements::listenForCardChanges([this] { return cache_; }, nullptr)) {
    cardChanges_.push_back(Announcements::listenForCardsGone([this](const Announcements::CardGone& gone) {
        std::erase_if(cache_, [&](const FeedResponse::Card& card) { return card && gone(*card); });
    }));
}

FeedResponse::Card FeedDataStore::cachedCard(const CardKey& key) const {
    for (const auto& card : cache_)
        if (card && card->key() == key) return card;
    return nullptr;
}

FeedResponse::Card FeedDataStore::cachedFeedResponse(std::int64_t cardId) const {
    for (const auto& card : cache_)
        if (card && card->cardId == cardId) return card;
    return nullptr;
}

// One request on its way and the callers it answers.
struct FeedDataStore::Fetch {
    std::int64_t member = 0;
    std::vector<std::int64_t> babyIds;
    // The session's generation and the store's clears when it was sent: a fetch of an ended
    // session, or of a cleared store, is joined by none.
    std::uint64_t generation = 0;
    std::uint64_t clears = 0;
    std::vector<std::pair<Success, Failure>> callers;
    // A newer request for the same cards took its callers: its reply changes nothing.
    bool superseded = false;
};

void FeedDataStore::clear() {
    cache_.clear();
    cacheMember_.reset();
    ++clears_;
    onItsWay_.reset();
}

void FeedDataStore::answer(const std::shared_ptr<Fetch>& fetch,
                           const std::function<void(const Success&, const Failure&)>& call) {
    if (fetch->superseded) return;
    auto& store = shared();
    if (store.onItsWay_ == fetch) store.onItsWay_.reset();
    // Taken out first: a caller may fetch again as it hears, and that fetch sends a request of its own.
    const auto callers = std::move(fetch->callers);
    fetch->callers.clear();
    for (const auto& [success, failure] : callers)
        call(success, failure);
}

bool FeedDataStore::dateComparator(const FeedResponse& first, const FeedResponse& second) {
    return newer(cardDate(first), cardDate(second));
}

void FeedDataStore::sortByDate(std::vector<FeedResponse::Card>& cards) {
    std::vector<std::pair<std::optional<Date>, FeedResponse::Card>> keyed;
    keyed.reserve(cards.size());
    for (auto& card : cards)
        keyed.emplace_back(card ? cardDate(*card) : std::nullopt, std::move(card));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return newer(a.first, b.first); });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        cards[i] = std::move(keyed[i].second);
}

std::vector<FeedResponse::Card> FeedDataStore::parseFeed(const JSON& data) {
    std::vector<FeedResponse::Card> cards;
    appendCards(cards, data["content"], [](const JSON& element) { return FeedResponse::fromDictionary(element); });
    const JSON found = data["users"];
    const JSON users = found.type() == JSON::Type::dictionary ? found : JSON::missing();
    appendCards(cards, data["posts"],
                [&](const JSON& element) { return FeedResponse::fromPostDictionary(element, users); });
    appendCards(cards, data["daily_update"],
                [&](const JSON& element) { return FeedResponse::fromDailyUpdateDictionary(element, users); });

    sortByDate(cards);

    // The first screenful renders its descriptions here, off the main thread; the rest render when
    // their cells first show them.
    const std::size_t window = std::min(preRenderedCardCount, cards.size());
    for (std::size_t i = 0; i < window; ++i) {
        const auto& card = cards[i];
        if (card->cardType == CardType::educationContent || card->cardType == CardType::dailyUpdateChange)
            card->prepareAttributedDescription();
    }
    return cards;
}

void FeedDataStore::fetchFeed(Success success, Failure failure, Freshness freshness) {
    auto& session = AuthenticationContext::shared();
    std::vector<std::int64_t> babyIds;
    for (const auto& baby : session.babies())
        if (baby && baby->babyId()) babyIds.push_back(*baby->babyId());

    const auto user = session.user();
    if (!user) {
        if (failure) failure(AuthenticationContext::errorObject(AuthenticationContext::Error::notAuthenticated));
        return;
    }

    const std::int64_t member = user->id();
    // Another member's cards are no one else's to see, nor to open from a notification.
    if (cacheMember_ && *cacheMember_ != member) {
        cache_.clear();
        cacheMember_.reset();
    }
    const std::uint64_t generation = session.sessionGeneration();
    const bool sameAsOnItsWay = onItsWay_ && onItsWay_->member == member && onItsWay_->babyIds == babyIds &&
                                onItsWay_->generation == generation && onItsWay_->clears == clears_;
    // Each return to the foreground asks again: while a request is on its way, its cards will do.
    if (sameAsOnItsWay && freshness == Freshness::onItsWay) {
        onItsWay_->callers.emplace_back(std::move(success), std::move(failure));
        return;
    }
    auto fetch = std::make_shared<Fetch>(Fetch{
        .member = member, .babyIds = babyIds, .generation = generation, .clears = clears_, .callers = {}});
    if (sameAsOnItsWay) {
        // Those who wait for the request on its way hear this one instead: its cards are newer, and
        // the older ones, should they come after them, would put back what the member pulled away.
        fetch->callers = std::move(onItsWay_->callers);
        onItsWay_->callers.clear();
        onItsWay_->superseded = true;
    }
    fetch->callers.emplace_back(std::move(success), std::move(failure));
    onItsWay_ = fetch;

    const auto fail = [fetch](const NSError& error) {
        answer(fetch, [&](const Success&, const Failure& failure) {
            if (failure) failure(error);
        });
    };
    ContentService().fetchFeed(
        babyIds, member,
        [fetch, fail](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
            if (fetch->superseded) return;
            const JSON data = reply ? (*reply)["data"] : JSON::missing();
            if (data.type() != JSON::Type::dictionary) {
                // A reply that is not a feed is no reason to forget the feed the member sees.
                fail(RequestError::parseError().errorObject());
                return;
            }
            DispatchQueue::global(DispatchQoS::utility).async([data, fetch, fail]() mutable {
                auto cards = parseFeed(data);
                DispatchQueue::main().async(
                    [cards = std::move(cards), fetch = std::move(fetch), fail = std::move(fail)]() {
                        if (fetch->superseded) return;
                        const auto now = AuthenticationContext::shared().user();
                        auto& store = FeedDataStore::shared();
                        if (!now || now->id() != fetch->member || store.clears_ != fetch->clears) {
                            fail(AuthenticationContext::errorObject(
                                AuthenticationContext::Error::notAuthenticated));
                            return;
                        }
                        store.cache_ = cards;
                        store.cacheMember_ = fetch->member;
                        answer(fetch, [&](const Success& success, const Failure&) {
                            if (success) success(cards);
                        });
                    });
            });
        },
        [fail](const BaseHTTPService::Task&, const NSError& error) { fail(error); });
}
