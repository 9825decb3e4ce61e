// The feed while it is still on its way, in the application in the headless host, signed in,
// against a recording server that holds the feed's reply until the test lets it go: a search typed
// meanwhile, and trips to the background and back.

#include "App/AppDelegate.h"
#include "App/MainViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "tests/support/session/SessionReset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace cw::test {
namespace {

nlohmann::json article(int id, const std::string& time, const std::string& title, const std::string& about) {
    return {{"id", id}, {"card_time", time}, {"card_title", title}, {"card_description", "<p>" + about + "</p>"}};
}

std::string feedOf(const nlohmann::json& content) {
    return nlohmann::json{{"data", {{"content", content}}}}.dump();
}

class FeedSearchArrivalTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.base(), "test.feed.search");
        forgetSession();
        FeedDataStore::shared().setCachedFeed({});
        // A member signed in by an earlier run.
        AuthenticationContext stored;
        stored.updateTokens(JSON(nlohmann::json{{"tokens", {{"access_token", "a"}, {"refresh_token", "r"}}}}));
        stored.save(UserData::initWithResponseObject(JSON(nlohmann::json{
            {"id", 41}, {"full_name", "Maya Lind"}, {"email", "maya@example.test"}, {"relationship", "Mother"}})));
        server.setHandler([this](const RecordedRequest& request, httplib::Response&) {
            if (request.path == "/m/api/content/") feedReply.wait();
        });
    }
    void TearDown() override {
        feedReply.open();
        RunLoop::main().runFor(0.05);
        app.reset();
        host.reset();
        forgetSession();
        FeedDataStore::shared().setCachedFeed({});
    }

    std::shared_ptr<FeedViewController> feed() const {
        auto drawer = app ? app->mainViewController() : nullptr;
        return drawer ? std::dynamic_pointer_cast<FeedViewController>(drawer->centerViewController()) : nullptr;
    }
    bool feedArrived(std::size_t deliveries) {
        return RunLoop::main().runUntil(
            [&] { return server.requestCount("/m/api/content/") >= deliveries && feed() && !feed()->responseData.empty(); },
            10);
    }

    // The fetches the screen heard the cards of, by the usage events they sent.
    std::size_t refreshes() const {
        std::size_t count = 0;
        for (const auto& request : server.requestsAt("/m/api/analytics/"))
            count += request.json()["event_details"].contains("feedViewContentRefreshSuccess") ? 1 : 0;
        return count;
    }

    // Before the server: it outlives every request the server may still be holding at it.
    Gate feedReply;
    RecordingServer server;
    AppEnvironment environment{"cw-feed-search"};
    std::unique_ptr<cw::HeadlessHost> host = std::make_unique<cw::HeadlessHost>();
    std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>();
};

TEST_F(FeedSearchArrivalTest, ASearchTypedBeforeTheCardsArriveRunsAgainWhenTheyArriveAndWhenTheyAreRefreshed) {
    server.reply("POST", "/m/api/content/",
                 {Reply{200, feedOf({article(1, "2019-03-05T10:00:00.000+0000", "Breathing support", "CPAP keeps the airways open"),
                                     article(2, "2019-03-05T09:00:00.000+0000", "Kangaroo care", "Skin to skin"),
                                     article(3, "2019-03-04T09:00:00.000+0000", "Weaning off CPAP", "Step by step")})},
                  Reply{200, feedOf({article(4, "2019-03-06T10:00:00.000+0000", "CPAP at night", "Quiet hours"),
                                     article(1, "2019-03-05T10:00:00.000+0000", "Breathing support", "CPAP keeps the airways open"),
                                     article(3, "2019-03-04T09:00:00.000+0000", "Weaning off CPAP", "Step by step")})}});
    host->launch(app);
    host->settle();
    ASSERT_TRUE(feed());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.requestCount("/m/api/content/") == 1; }, 10));

    // At once, while the cards are on their way.
    ASSERT_TRUE(host->tapIdentifier("feedSearchBar"));
    ASSERT_TRUE(host->type("CPAP"));
    EXPECT_TRUE(host->isShowing("Found 0 Results for \"CPAP\""));

    feedReply.open();
    ASSERT_TRUE(feedArrived(1));
    host->settle();
    EXPECT_TRUE(host->isShowing("Found 2 Results for \"CPAP\"")) << ::testing::PrintToString(host->visibleTexts());
    EXPECT_TRUE(host->isShowing("Breathing support"));
    EXPECT_TRUE(host->isShowing("Weaning off CPAP"));
    EXPECT_FALSE(host->isShowing("Kangaroo care"));

    // Refreshed cards are searched again too.
    host->enterBackground();
    host->enterForeground();
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return feed()->responseData.size() == 3 && feed()->responseData.front()->cardId == 4; }, 10));
    host->settle();
    EXPECT_TRUE(host->isShowing("Found 3 Results for \"CPAP\"")) << ::testing::PrintToString(host->visibleTexts());
    EXPECT_TRUE(host->isShowing("CPAP at night"));

    // Cleared, the whole list comes back.
    ASSERT_TRUE(host->deleteBackward(4));
    EXPECT_FALSE(host->isShowing("Found 3 Results for \"CPAP\""));
    EXPECT_EQ(feed()->currentFeedData().size(), feed()->filteredData.size());
}

using FeedOnItsWayTest = FeedSearchArrivalTest;

// Quick trips to the background and back while the feed is on its way: each return asks for the
// cards, and all of them are answered by the one request already on its way.
TEST_F(FeedOnItsWayTest, ReturnsToTheForegroundWhileTheFeedIsOnItsWayAskTheServerOnce) {
    server.reply(
        "POST", "/m/api/content/",
        Reply{200, feedOf({article(1, "2019-03-05T10:00:00.000+0000", "Breathing support", "CPAP"),
                           article(2, "2019-03-05T09:00:00.000+0000", "Kangaroo care", "Skin to skin")})});
    host->launch(app);
    host->settle();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.requestCount("/m/api/content/") == 1; }, 10));
    for (int trip = 0; trip < 3; ++trip) {
        host->enterBackground();
        host->enterForeground();
    }
    host->settle();
    EXPECT_FALSE(host->isShowing("Breathing support"));

    // Each of the four asks hears the cards: the launch's and the three returns'.
    feedReply.open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return refreshes() == 4; }, 10));
    host->settle();
    EXPECT_TRUE(host->isShowing("Breathing support"));
    EXPECT_TRUE(host->isShowing("Kangaroo care"));
    EXPECT_EQ(server.requestCount("/m/api/content/"), 1u);
}

// A pull asks for the cards of now, not for those of a request sent before it: the list shows them
// at once, and the screen's earlier ask hears them too rather than the older cards later.
TEST_F(FeedOnItsWayTest, APullWhileTheFeedIsOnItsWayShowsTheCardsOfNow) {
    // The launch's request goes with the stored token and is held, the pull's with a new one.
    server.setHandler([held = &feedReply](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/m/api/content/") return;
        const bool launch = request.header("X-Access-Token") == "a";
        response.set_content(
            feedOf(nlohmann::json::array(
                {launch ? article(1, "2019-03-05T10:00:00.000+0000", "Yesterday's news", "Older")
                        : article(2, "2019-03-06T10:00:00.000+0000", "Today's news", "Newer")})),
            "application/json");
        if (launch) held->wait();
    });
    host->launch(app);
    host->settle();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.requestCount("/m/api/content/") == 1; }, 10));
    AuthenticationContext::shared().setOAuthToken("b");

    ASSERT_TRUE(host->scroll(feed()->tableView, {0, 60}));
    host->settle();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return refreshes() == 2; }, 10));
    host->settle();
    EXPECT_FALSE(feed()->pullRefreshIndicator->isAnimating());
    EXPECT_TRUE(host->isShowing("Today's news"));
    EXPECT_FALSE(host->isShowing("Yesterday's news"));
    EXPECT_EQ(server.requestCount("/m/api/content/"), 2u);
}

} // namespace
} // namespace cw::test
