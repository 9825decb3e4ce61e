// The filter screen: the stored choice shown, one button selected at a time, the taps and the
// appearance reported, and the choice stored (and the feed told) whenever the screen goes away.

#include "Controllers/Feed/FilterViewController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

class CountingFilterDelegate : public FilterViewDelegate {
public:
    void applyFilterToView() override {
        ++calls;
        // The choice is stored by the time the feed hears of it.
        storedThen = AuthenticationContext::shared().loadFilterSelection();
    }
    int calls = 0;
    std::optional<FilterSelection> storedThen;
};

struct Event {
    std::string action;
    nlohmann::json details;
};

class FeedFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.base(), "test.feed.filter");
        host = std::make_unique<cw::HeadlessHost>();
        app = std::make_shared<cw::WhiteScreenApplication>();
        host->launch(app);
    }
    void TearDown() override {
        RunLoop::main().runFor(0.05);
        host.reset();
    }

    // Opens a fresh filter screen as the feed does: in a navigation controller, over the screen.
    std::shared_ptr<FilterViewController> open() {
        auto filter = std::make_shared<FilterViewController>();
        filter->delegate = delegate;
        auto navigation = std::make_shared<UINavigationController>(filter);
        app->root->present(navigation, true);
        host->settle();
        return filter;
    }
    void close(const std::shared_ptr<FilterViewController>& filter) {
        filter->dismiss(true);
        host->settle();
    }

    // The filter screen's events the server has received, once `count` have.
    std::vector<Event> events(std::size_t count) {
        std::vector<Event> out;
        RunLoop::main().runUntil([&] {
            out.clear();
            for (const auto& r : server.requestsAt("/m/api/analytics/")) {
                const auto body = r.json();
                if (body.value("screen_name", "") == "FilterViewScreen")
                    out.push_back({body.value("screen_action", ""), body.value("event_details", nlohmann::json())});
            }
            return out.size() >= count;
        });
        return out;
    }

    static void store(bool all, bool bookmarked, bool unread) {
        AuthenticationContext::shared().saveFilterSelection(FilterSelection({4, 5}, false, all, bookmarked, unread));
    }
    static FilterSelection stored() { return AuthenticationContext::shared().loadFilterSelection(); }

    AppEnvironment environment{"cw-feed-filter"};
    RecordingServer server;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<cw::WhiteScreenApplication> app;
    std::shared_ptr<CountingFilterDelegate> delegate = std::make_shared<CountingFilterDelegate>();
};

TEST_F(FeedFilterTest, AtFirstEveryCardIsChosenAndClosingStoresThatChoice) {
    auto filter = open();
    for (const char* text : {"Filter", "Content", "Bookmarked", "Unread", "All"})
        EXPECT_TRUE(host->isShowing(text)) << text;
    EXPECT_TRUE(filter->informationAllButton()->isSelected());
    EXPECT_FALSE(filter->bookMarkButton()->isSelected());
    EXPECT_FALSE(filter->unreadButton()->isSelected());
    EXPECT_EQ(filter->informationAllButton()->tag(), -1);
    // The chips stand two to a row: "Bookmarked" and "Unread", then "All".
    const CGRect bookmarked = filter->bookMarkButton()->frame(), unread = filter->unreadButton()->frame(),
                 all = filter->informationAllButton()->frame();
    EXPECT_DOUBLE_EQ(bookmarked.origin.y, unread.origin.y);
    EXPECT_LT(bookmarked.maxX(), unread.origin.x);
    EXPECT_GT(all.origin.y, bookmarked.maxY());
    EXPECT_DOUBLE_EQ(all.origin.x, bookmarked.origin.x);

    close(filter);
    EXPECT_EQ(delegate->calls, 1);
    EXPECT_EQ(stored(), FilterSelection({}, true, true, false, false));
    ASSERT_TRUE(delegate->storedThen);
    EXPECT_EQ(*delegate->storedThen, stored());

    const auto seen = events(1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].action, "Loaded");
    EXPECT_EQ(seen[0].details, nlohmann::json::object());
}

TEST_F(FeedFilterTest, TheStoredChoiceIsShownAndUnreadWinsOverBookmarked) {
    store(false, true, true);
    auto filter = open();
    EXPECT_TRUE(filter->unreadButton()->isSelected());
    EXPECT_FALSE(filter->bookMarkButton()->isSelected());
    EXPECT_FALSE(filter->informationAllButton()->isSelected());
    close(filter);
    EXPECT_EQ(stored(), FilterSelection({}, true, false, false, true));

    store(false, false, false);
    filter = open();
    EXPECT_TRUE(filter->informationAllButton()->isSelected());
    close(filter);
    EXPECT_EQ(stored(), FilterSelection({}, true, true, false, false));
    EXPECT_EQ(delegate->calls, 2);
}

TEST_F(FeedFilterTest, EachTapReportsItsButtonAndWhetherItChangesTheChoice) {
    auto filter = open();
    // Events leave from a background queue: each is awaited before the next tap, to read them in order.
    ASSERT_EQ(events(1).size(), 1u);
    const std::vector<std::pair<const char*, nlohmann::json>> taps{
        {"Bookmarked", {{"bookmarkContentTapped", "User tapped on bookmark content"}, {"buttonStatus", true}}},
        {"Bookmarked", {{"bookmarkContentTapped", "User tapped on bookmark content"}, {"buttonStatus", false}}},
        {"Unread", {{"filterViewUnreadTapped", "User tapped on unread content"}, {"buttonStatus", true}}},
        {"All", {{"filterViewAllTapped", "User tapped on all content"}, {"buttonStatus", true}}},
        {"Unread", {{"filterViewUnreadTapped", "User tapped on unread content"}, {"buttonStatus", true}}},
    };
    for (std::size_t i = 0; i < taps.size(); ++i) {
        ASSERT_TRUE(host->tapText(taps[i].first));
        const auto seen = events(i + 2);
        ASSERT_EQ(seen.size(), i + 2);
        EXPECT_EQ(seen.back().action, "Tap");
        EXPECT_EQ(seen.back().details, taps[i].second) << i;
        if (i == 1) {
            EXPECT_TRUE(filter->bookMarkButton()->isSelected()) << "a chosen button stays chosen";
            EXPECT_FALSE(filter->informationAllButton()->isSelected());
        }
    }
    EXPECT_TRUE(filter->unreadButton()->isSelected());
    EXPECT_FALSE(filter->bookMarkButton()->isSelected());
    close(filter);
    EXPECT_EQ(stored(), FilterSelection({}, true, false, false, true));
}

} // namespace
} // namespace cw::test
