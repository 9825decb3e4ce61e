// The feed store against a recording server: what it asks for, how it orders and prepares the
// cards, what it keeps, and what it makes of replies that are not a feed.

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/session/SessionReset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cw::test {
namespace {

using Cards = std::vector<FeedResponse::Card>;

nlohmann::json content(int id, const std::string& time, const std::string& title = "Article") {
    return {{"id", id},
            {"card_time", time},
            {"card_title", title},
            {"card_description", "<p>About <b>" + title + "</b></p>"}};
}

nlohmann::json post(int id, const std::string& time, const std::string& text = "A post") {
    return {{"id", id}, {"created_at", time}, {"post_text", text}, {"user_id", 3}};
}

nlohmann::json update(int id, const std::string& time) {
    return {{"id", id}, {"created_at", time}, {"post_text", "<p>A settled night</p>"}, {"title", "Daily update"}};
}

std::string feed(const nlohmann::json& data) {
    return nlohmann::json{{"data", data}}.dump();
}

// What one fetch ended with.
struct Outcome {
    std::optional<Cards> cards;
    std::optional<NSError> error;
    int calls = 0;
    bool done() const { return calls > 0; }
};

class FeedStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", server.base()},
                               {"CFBundleIdentifier", "test.feed.store"},
                               {"CFBundleShortVersionString", "1.0"},
                               {"CFBundleVersion", "1"}});
        FeedDataStore::shared().setCachedFeed({});
    }
    void TearDown() override {
        RunLoop::main().runUntilIdle();
        cw::test::forgetSession();
        FeedDataStore::shared().setCachedFeed({});
    }

    void signIn(std::int64_t id) {
        auto user = std::make_shared<UserData>("Ada Member", FamilyRelationship::Mother, "ada@example.com");
        user->setId(id);
        auto& session = AuthenticationContext::shared();
        session.setUser(user);
        session.setOAuthToken("access-1");
        session.setOAuthRefreshToken("refresh-1");
    }

    static std::shared_ptr<BabyData> baby(std::optional<std::int64_t> id, const std::string& name) {
        auto b = std::make_shared<BabyData>(name, "2019-03-01", "2019-04-20", Gender::Female);
        b->setBabyId(id);
        return b;
    }

    // Starts a fetch whose outcome lands in the returned object; `heard` runs after it lands.
    std::shared_ptr<Outcome> fetch(FeedDataStore::Freshness freshness = FeedDataStore::Freshness::onItsWay,
                                   std::function<void()> heard = nullptr) {
        auto outcome = std::make_shared<Outcome>();
        FeedDataStore::shared().fetchFeed(
            [outcome, heard](const Cards& cards) {
                outcome->cards = cards;
                ++outcome->calls;
                if (heard) heard();
            },
            [outcome, heard](const NSError& error) {
                outcome->error = error;
                ++outcome->calls;
                if (heard) heard();
            },
            freshness);
        return outcome;
    }

    Cards fetchCards(const std::string& body) {
        server.reply("POST", "/m/api/content/", Reply{200, body});
        auto outcome = fetch();
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return outcome->done(); }));
        EXPECT_TRUE(outcome->cards) << "the fetch failed";
        return outcome->cards.value_or(Cards{});
    }

    static std::vector<std::string> titles(const Cards& cards) {
        std::vector<std::string> out;
        for (const auto& c : cards)
            out.push_back(c->cardTitle.value_or(c->cardDescription.value_or("?")));
        return out;
    }

    AppEnvironment environment{"cw-feed-store"};
    RecordingServer server;
};

TEST_F(FeedStoreTest, TheRequestNamesTheStoredBabiesInOrderAndNeedsAMember) {
    // Nobody signed in: refused at once, before fetchFeed returns, even with babies stored.
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{baby(4, "Noah")});
    auto refused = fetch();
    EXPECT_EQ(refused->calls, 1);
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(*refused->error, AuthenticationContext::errorObject(AuthenticationContext::Error::notAuthenticated));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(server.requestCount(), 0u);

    signIn(41);
    AuthenticationContext::shared().save(
        std::vector<std::shared_ptr<BabyData>>{baby(9, "Olivia"), baby(std::nullopt, "Not saved yet"), baby(4, "Noah")});
    fetchCards(feed(nlohmann::json::object()));
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    fetchCards(feed(nlohmann::json::object()));

    const auto requests = server.requestsAt("/m/api/content/");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].json(), nlohmann::json({{"baby_ids", {9, 4}}, {"user_id", 41}}));
    EXPECT_EQ(requests[0].header("X-Access-Token"), "access-1");
    EXPECT_EQ(requests[1].json(), nlohmann::json({{"baby_ids", nlohmann::json::array()}, {"user_id", 41}}));
}

TEST_F(FeedStoreTest, CardsComeNewestFirstWithUntimedOnesAfterInTheirOrder) {
    signIn(41);
    const Cards cards = fetchCards(feed({
        {"content", {content(1, "2019-03-05T09:00:00.000+0000", "Nine"), content(2, "not a time", "Unreadable"),
                     content(3, "2019-03-05T11:00:00.000+0000", "Eleven")}},
        {"posts", {{{"id", 7}, {"post_text", "No time"}}, post(8, "2019-03-05T10:00:00.000+0000", "Ten")}},
        {"daily_update", {update(9, "2019-03-05T12:00:00.000+0200")}},
    }));
    // 12:00 at +0200 is 10:00 UTC, as late as the post at 10:00: equal times keep their order.
    EXPECT_THAT(titles(cards), ::testing::ElementsAre("Eleven", "Ten", "Daily update", "Nine", "Unreadable", "No time"));
    EXPECT_EQ(cards[0]->cardType, CardType::educationContent);
    EXPECT_EQ(cards[1]->cardType, CardType::userPost);
    EXPECT_EQ(cards[2]->cardType, CardType::dailyUpdateChange);

    // The comparator itself: a timed card before an untimed one, never the other way.
    EXPECT_TRUE(FeedDataStore::dateComparator(*cards[0], *cards[4]));
    EXPECT_FALSE(FeedDataStore::dateComparator(*cards[4], *cards[0]));
    EXPECT_FALSE(FeedDataStore::dateComparator(*cards[4], *cards[5]));
    EXPECT_FALSE(FeedDataStore::dateComparator(*cards[0], *cards[0]));
}

TEST_F(FeedStoreTest, TheFirstTenArticlesAndUpdatesArriveRenderedAndNothingElse) {
    signIn(41);
    nlohmann::json articles = nlohmann::json::array();
    for (int i = 0; i < 12; ++i) {
        char time[40];
        std::snprintf(time, sizeof time, "2019-03-05T%02d:00:00.000+0000", 20 - i);
        articles.push_back(content(i + 1, time, "Article " + std::to_string(i + 1)));
    }
    // A post among the first ten, and a daily update beyond them.
    const Cards cards = fetchCards(feed({{"content", articles},
                                         {"posts", {post(50, "2019-03-05T15:30:00.000+0000")}},
                                         {"daily_update", {update(60, "2019-03-04T09:00:00.000+0000")}}}));
    ASSERT_EQ(cards.size(), 14u);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const bool post = cards[i]->cardType == CardType::userPost;
        EXPECT_EQ(cards[i]->computedAttributedDescription() != nullptr, i < 10 && !post)
            << i << ": " << titles({cards[i]})[0];
    }
    EXPECT_EQ(cards[5]->cardType, CardType::userPost);
}

TEST_F(FeedStoreTest, TheCacheFindsTheFirstCardOfAnIdAndIsReplacedByEachDelivery) {
    signIn(41);
    fetchCards(feed({{"content", {content(5, "2019-03-05T09:00:00.000+0000", "Older five"),
                                  content(5, "2019-03-05T10:00:00.000+0000", "Newer five"),
                                  {{"card_title", "No id"}, {"card_time", "2019-03-05T08:00:00.000+0000"}}}}}));
    auto& store = FeedDataStore::shared();
    ASSERT_EQ(store.feedCache().size(), 3u);
    ASSERT_TRUE(store.cachedFeedResponse(5));
    EXPECT_EQ(store.cachedFeedResponse(5)->cardTitle, "Newer five");
    EXPECT_EQ(store.cachedFeedResponse(6), nullptr);
    EXPECT_EQ(store.cachedFeedResponse(0), nullptr);
    EXPECT_EQ(store.cachedFeedResponse(-1), nullptr);

    // Two fetches with their own requests: both are answered, and the cache holds what was
    // delivered last.
    server.reply("POST", "/m/api/content/",
                 std::vector<Reply>{{200, feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", "First")}}})},
                                    {200, feed({{"content", {content(2, "2019-03-05T09:00:00.000+0000", "Second")}}})}});
    std::vector<std::string> delivered;
    for (int i = 0; i < 2; ++i)
        store.fetchFeed([&](const Cards& cards) { delivered.push_back(titles(cards).at(0)); },
                        [](const NSError&) { ADD_FAILURE() << "a fetch failed"; },
                        FeedDataStore::Freshness::fromNow);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delivered.size() == 2; }));
    ASSERT_EQ(store.feedCache().size(), 1u);
    EXPECT_EQ(store.feedCache()[0]->cardTitle, delivered.back());
}

// Each return to the foreground asks for the feed: asked again while it is on its way, it is
// asked of the server once, and every caller hears the outcome once, in the order they asked,
// cards or failure alike. A caller that asks again as it hears sends a request of its own.
TEST_F(FeedStoreTest, FetchesAskedWhileOneIsOnItsWayJoinItAndEachCallerHearsOnce) {
    signIn(41);
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{baby(9, "Olivia")});
    auto held = std::make_shared<Gate>();
    OpenOnExit openAtEnd{held};
    server.setHandler([held](const RecordedRequest& request, httplib::Response&) {
        if (request.path == "/m/api/content/") held->wait();
    });
    server.reply("POST", "/m/api/content/",
                 std::vector<Reply>{
                     {200, feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", "Joined")}}})},
                     {500, R"({"message": "down"})"},
                     {200, feed({{"content", {content(2, "2019-03-05T10:00:00.000+0000", "Again")}}})}});
    std::vector<std::string> heard;
    auto named = [&](const char* name) {
        return fetch(FeedDataStore::Freshness::onItsWay, [&heard, name] { heard.push_back(name); });
    };

    const auto first = named("first");
    ASSERT_TRUE(server.waitForRequests(1));
    const auto second = named("second");
    const auto third = named("third");
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(heard.empty());
    held->open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return heard.size() == 3; }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "second", "third"}));
    for (const auto& outcome : {first, second, third}) {
        EXPECT_EQ(outcome->calls, 1);
        ASSERT_TRUE(outcome->cards);
        EXPECT_EQ(titles(*outcome->cards), std::vector<std::string>{"Joined"});
    }
    EXPECT_EQ(server.requestCount("/m/api/content/"), 1u);

    // Delivered, it is on its way no more: the next fetch asks again, and a failure is heard by all.
    held->close();
    const auto failing = named("failing");
    ASSERT_TRUE(server.waitForRequests(2));
    const auto alsoFailing = named("also failing");
    held->open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return heard.size() == 5; }));
    for (const auto& outcome : {failing, alsoFailing}) {
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_TRUE(outcome->error);
    }
    EXPECT_EQ(server.requestCount("/m/api/content/"), 2u);

    std::shared_ptr<Outcome> again;
    fetch(FeedDataStore::Freshness::onItsWay, [&] { again = fetch(); });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return again && again->done(); }));
    EXPECT_TRUE(again->cards);
    EXPECT_EQ(server.requestCount("/m/api/content/"), 4u);
}

// A fetch joins only one that answers what it asks: for the same member and babies, from a store
// not cleared since, and unless it must be read from now on (after the member's own post or pull).
// Then it sends its own request, which answers those who waited for the one on its way too (so
// that their older cards cannot come after its newer ones) and which later fetches join.
TEST_F(FeedStoreTest, AFetchJoinsOnlyOneOnItsWayThatAnswersWhatItAsks) {
    signIn(41);
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{baby(9, "Olivia")});
    // Requests with the first token are held; each token gets a card titled by it.
    auto held = std::make_shared<Gate>();
    OpenOnExit openAtEnd{held};
    server.setHandler([held](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/m/api/content/") return;
        const std::string token = request.header("X-Access-Token").value_or("");
        response.set_content(feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", token)}}}),
                             "application/json");
        if (token == "access-1") held->wait();
    });
    auto& session = AuthenticationContext::shared();
    std::vector<std::string> heard;
    auto named = [&](const char* name,
                     FeedDataStore::Freshness freshness = FeedDataStore::Freshness::onItsWay) {
        return fetch(freshness, [&heard, name] { heard.push_back(name); });
    };

    const auto waiting = named("waiting");
    ASSERT_TRUE(server.waitForRequests(1));
    session.setOAuthToken("access-2");
    const auto fromNow = named("from now", FeedDataStore::Freshness::fromNow);
    const auto later = named("later");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard, (std::vector<std::string>{"waiting", "from now", "later"}));
    for (const auto& outcome : {waiting, fromNow, later})
        EXPECT_EQ(titles(outcome->cards.value_or(Cards{})), std::vector<std::string>{"access-2"});
    // The older reply, let go now, changes nothing.
    held->open();
    const auto afterwards = fetch();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return afterwards->done(); }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(heard.size(), 3u);
    EXPECT_EQ(waiting->calls, 1);
    ASSERT_EQ(FeedDataStore::shared().feedCache().size(), 1u);
    EXPECT_EQ(FeedDataStore::shared().feedCache()[0]->cardTitle, "access-2");

    // A store cleared since (a logout), or other babies: a request of its own each.
    held->close();
    server.clearRequests();
    session.setOAuthToken("access-1");
    const auto beforeClear = fetch();
    ASSERT_TRUE(server.waitForRequests(1));
    session.setOAuthToken("access-3");
    FeedDataStore::shared().clear();
    const auto afterClear = fetch();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return afterClear->done(); }));
    EXPECT_TRUE(afterClear->cards);

    session.setOAuthToken("access-1");
    const auto olivia = fetch();
    ASSERT_TRUE(server.waitForRequests(3));
    session.setOAuthToken("access-3");
    session.save(std::vector<std::shared_ptr<BabyData>>{baby(9, "Olivia"), baby(4, "Noah")});
    const auto twins = fetch();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return twins->done(); }));
    EXPECT_TRUE(twins->cards);
    ASSERT_EQ(server.requestCount("/m/api/content/"), 4u);
    EXPECT_EQ(server.requestsAt("/m/api/content/")[3].json()["baby_ids"], nlohmann::json({9, 4}));

    EXPECT_FALSE(beforeClear->done());
    EXPECT_FALSE(olivia->done());
    held->open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return beforeClear->done() && olivia->done(); }));
    ASSERT_TRUE(beforeClear->error) << "the store was cleared since it was asked for";
    EXPECT_TRUE(olivia->cards);
}

TEST_F(FeedStoreTest, RepliesThatAreNoFeedFailAndKeepTheCacheWhileAnEmptyFeedEmptiesIt) {
    signIn(41);
    fetchCards(feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", "Kept")}}}));
    ASSERT_EQ(FeedDataStore::shared().feedCache().size(), 1u);

    for (const char* body : {R"({"status": "ok"})", R"({"data": []})", R"({"data": "feed"})", "[]", ""}) {
        server.reply("POST", "/m/api/content/", Reply{200, body});
        auto outcome = fetch();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return outcome->done(); })) << body;
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_TRUE(outcome->error) << body;
        ASSERT_EQ(FeedDataStore::shared().feedCache().size(), 1u) << body;
        EXPECT_EQ(FeedDataStore::shared().feedCache()[0]->cardTitle, "Kept");
    }

    // A failed request keeps it too.
    server.reply("POST", "/m/api/content/", Reply{500, R"({"message": "down"})"});
    auto failed = fetch();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return failed->done(); }));
    EXPECT_TRUE(failed->error);
    EXPECT_EQ(FeedDataStore::shared().feedCache().size(), 1u);

    EXPECT_TRUE(fetchCards(feed(nlohmann::json::object())).empty());
    EXPECT_TRUE(FeedDataStore::shared().feedCache().empty());
}

TEST_F(FeedStoreTest, OneMembersCardsAreNeverDeliveredToAnotherNorKeptForThem) {
    signIn(41);
    fetchCards(feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", "Ada's")}}}));
    ASSERT_EQ(FeedDataStore::shared().feedCache().size(), 1u);

    // Ada's second fetch answers after Ben has signed in: nobody gets it.
    server.reply("POST", "/m/api/content/", Reply{200, feed({{"content", {content(2, "2019-03-05T10:00:00.000+0000", "Ada's too")}}})});
    auto late = fetch();
    signIn(42);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return late->done(); }));
    ASSERT_TRUE(late->error);
    EXPECT_EQ(*late->error, AuthenticationContext::errorObject(AuthenticationContext::Error::notAuthenticated));
    ASSERT_EQ(FeedDataStore::shared().feedCache().size(), 1u);

    // Ben's own fetch forgets Ada's cards as it starts.
    server.reply("POST", "/m/api/content/", Reply{200, feed({{"content", {content(3, "2019-03-05T11:00:00.000+0000", "Ben's")}}})});
    auto own = fetch();
    EXPECT_TRUE(FeedDataStore::shared().feedCache().empty());
    EXPECT_EQ(FeedDataStore::shared().cachedFeedResponse(1), nullptr);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return own->done(); }));
    ASSERT_TRUE(own->cards);
    EXPECT_EQ(FeedDataStore::shared().feedCache().at(0)->cardTitle, "Ben's");
}

TEST_F(FeedStoreTest, AClearedStoreForgetsItsCardsAndTakesNoneFromAFetchStartedBefore) {
    signIn(41);
    fetchCards(feed({{"content", {content(1, "2019-03-05T09:00:00.000+0000", "Ada's")}}}));
    // Ada logs out while a fetch of hers is on its way; the record of her stays in the session.
    server.reply("POST", "/m/api/content/", Reply{200, feed({{"content", {content(2, "2019-03-05T10:00:00.000+0000", "Ada's too")}}})});
    auto late = fetch();
    FeedDataStore::shared().clear();
    EXPECT_TRUE(FeedDataStore::shared().feedCache().empty());
    EXPECT_EQ(FeedDataStore::shared().cachedFeedResponse(1), nullptr);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return late->done(); }));
    ASSERT_TRUE(late->error);
    EXPECT_EQ(*late->error, AuthenticationContext::errorObject(AuthenticationContext::Error::notAuthenticated));
    EXPECT_EQ(FeedDataStore::shared().cachedFeedResponse(2), nullptr) << "nobody's cards until the next fetch";
    // A fetch started after the clear delivers as ever.
    EXPECT_EQ(titles(fetchCards(feed({{"content", {content(3, "2019-03-05T11:00:00.000+0000", "Ben's")}}}))),
              std::vector<std::string>{"Ben's"});
}

TEST_F(FeedStoreTest, AListWithAnythingButObjectsGivesNoCardsAndTheOthersStillCount) {
    signIn(41);
    const Cards cards = fetchCards(feed({
        {"content", {1, content(1, "2019-03-05T09:00:00.000+0000")}},
        {"posts", {post(8, "2019-03-05T10:00:00.000+0000", "Without users")}},
        {"daily_update", "none"},
        {"users", {1, 2}},
    }));
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0]->cardType, CardType::userPost);
    EXPECT_EQ(cards[0]->cardDescription, "Without users");
}

} // namespace
} // namespace cw::test
