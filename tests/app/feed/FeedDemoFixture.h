#pragma once

// The application in the headless host against the embedded demo server, signed in as one of the
// demo parents, with what the feed tests look at: the feed screen, the usage events the server
// stored for it, and the moves a person makes on it.

#include "App/AppDelegate.h"
#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "Controllers/Baby/JourneyPageViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedTableTimeTagCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Feed/FilterViewController.h"
#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"
#include "host/HeadlessHost.h"
#include "server/Database.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

namespace cw::test {

inline std::string textOf(const FeedResponse& card) {
    return card.cardTitle.value_or("") + " | " + card.cardDescription.value_or("");
}

class FeedScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCout_ = std::cout.rdbuf(console_.rdbuf());
        Locale::setCurrentForTesting(Locale("en_US"));
        TimeZone::setCurrentForTesting(TimeZone::withIdentifier("America/New_York"));
        demo = std::make_unique<DemoServer>(environment.directory() / "server");
        prepareBundle(environment, demo->baseUrl(), "test.feed.screen");
        resetSession();
        begin();
    }
    void TearDown() override {
        end();
        demo.reset();
        resetSession();
        TimeZone::setCurrentForTesting(std::nullopt);
        Locale::setCurrentForTesting(std::nullopt);
        std::cout.rdbuf(savedCout_);
    }

    static void resetSession() {
        forgetSession();
        // A new launch of the program holds no cards and no fetch on its way: one the last launch
        // left unanswered must not be joined by the next launch's feed.
        FeedDataStore::shared().clear();
    }
    void begin() {
        host = std::make_unique<cw::HeadlessHost>(screen);
        app = std::make_shared<AppDelegate>();
        host->launch(app);
    }
    void end() {
        RunLoop::main().runFor(0.05);
        app.reset();
        host.reset();
    }
    // Another launch of the program on the same device: what is stored stays.
    void relaunch() {
        end();
        resetSession();
        begin();
        waitForCards();
    }

    // Signs the demo father in through the sign-in screen and waits for his feed.
    void signInAsTheFather() { signInAs("partner@cradleway.test"); }
    // The demo mother, whose questions the feed asks once it has loaded.
    void signInAsTheMother() { signInAs("demo@cradleway.test"); }
    void signInAs(const std::string& email) {
        ASSERT_TRUE(host->tapIdentifier("emailTextField"));
        ASSERT_TRUE(host->type(email));
        ASSERT_TRUE(host->tapIdentifier("passwordField"));
        ASSERT_TRUE(host->type("cradleway-demo"));
        ASSERT_TRUE(host->tapText("Sign In"));
        waitForCards();
    }
    void waitForCards() {
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return feed() && !feed()->responseData.empty(); }, 20))
            << "the feed did not load";
        host->settle();
    }

    std::shared_ptr<FeedViewController> feed() const {
        auto drawer = app ? app->mainViewController() : nullptr;
        return drawer ? std::dynamic_pointer_cast<FeedViewController>(drawer->centerViewController()) : nullptr;
    }
    UIViewControllerPtr topScreen() const {
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
        return navigation ? navigation->topViewController() : nullptr;
    }

    // The row of the first shown card whose title or description is `text`.
    long rowOf(const std::string& text) const {
        const auto& list = feed()->currentFeedData();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]->cardTitle == text || list[i]->cardDescription == text) return static_cast<long>(i);
        return -1;
    }
    // A finger scrolls the list until the row's top stands just below the title bar (or the list
    // reaches its end), and the screen settles.
    void scrollTo(long row) {
        ASSERT_TRUE(cw::test::scrollRowUnderTop(*host, feed()->tableView, {row, feed()->isSearchActive() ? 1 : 0}));
    }
    std::size_t refreshes() const { return eventsWithDetail("feedViewCheckForContent").size(); }

    // What the server stored of the feed screen's events for the father, oldest first.
    std::vector<StoredEvent> storedEvents() const { return cw::test::storedEvents(*demo, "FeedViewScreen"); }
    std::vector<StoredEvent> eventsWithDetail(const std::string& key) const {
        std::vector<StoredEvent> out;
        for (auto& e : storedEvents())
            if (e.details.is_object() && e.details.contains(key)) out.push_back(std::move(e));
        return out;
    }
    bool awaitEvents(const std::string& key, std::size_t count) const {
        return RunLoop::main().runUntil([&] { return eventsWithDetail(key).size() >= count; }, 10);
    }

    // Bookmarks a card as the signed-in member, as the star would.
    void bookmark(std::int64_t id, const std::string& key) {
        bool done = false;
        ContentService().bookmark(
            id, key, false, [&](const BookmarkResponse&) { done = true; },
            [&](const BaseHTTPService::Task&, const NSError&) { ADD_FAILURE() << "bookmark failed"; done = true; });
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return done; }));
    }

    // Chooses a filter with a finger: the feed's filter button, the filter's row, then Done.
    void chooseFilter(const std::string& title) {
        ASSERT_TRUE(host->tapIdentifier("filterButton"));
        host->settle();
        ASSERT_TRUE(host->tapText(title));
        host->settle();
        ASSERT_TRUE(host->tapText("Done"));
        host->settle();
    }
    // A finger takes the feed back to its top, pulls it down by `distance` points and lets go.
    void pull(CGFloat distance) {
        const auto& table = feed()->tableView;
        if (std::abs(table->contentOffset().y) > 0.5) {
            ASSERT_TRUE(host->scroll(table, {0, table->contentOffset().y}));
        }
        host->settle();
        ASSERT_TRUE(host->scroll(table, {0, distance}));
        host->settle();
    }

    // The phone's screen the host stands for; set before SetUp() to try another size.
    CGSize screen{375, 667};
    AppEnvironment environment{"cw-feed-screen"};
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;

private:
    std::ostringstream console_;
    std::streambuf* savedCout_ = nullptr;
};

} // namespace cw::test
