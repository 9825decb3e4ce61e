// The mother opens an article from a push while the ward's network is slow: its bookmark check and
// its page are held on the way. She goes back and logs out, and the father signs in on the same
// phone. Whether her page comes before he signs in or after, it is hers and her session has ended:
// her screen went with her session, nothing marks her notification seen in his name, and his card of
// that article keeps its unread dot.

#include "ChangesFixture.h"

#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"

#include <atomic>

namespace cw::test {
namespace {

constexpr const char* kCpapTitle = "Why your baby is on CPAP";
constexpr const char* kSeenPath = "/m/api/notification/seen";

} // namespace

class PageAfterLogout : public ChangesTest {
protected:
    void SetUp() override {
        ChangesTest::SetUp();
        cpapPage = "/content/education/" +
                   std::to_string(count("SELECT id FROM education_content WHERE card_title = 'Why your baby is on CPAP'"));
        // Everything passes through to the demo server; the article's page and its bookmark check
        // wait at the gate, after the server has answered them.
        front.setHandler([this, upstream = demo->baseUrl(), page = cpapPage, gate = gate,
                          holdDailyUpdates = holdDailyUpdates](
                             const RecordedRequest& request, httplib::Response& response) {
            forwardRequest(upstream, request, response);
            const bool heldUpdate = holdDailyUpdates->load() && request.path == "/m/api/baby/daily_update";
            if (request.path != page && request.path != "/m/api/content/education/bookmark/check" && !heldUpdate)
                return;
            gate->wait();
            if (request.path == page) pageAnswered->store(true);
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    void TearDown() override {
        gate->open();
        front.stop();
        ChangesTest::TearDown();
    }

    // The mother opens the CPAP article from her push before her feed has its card, so the page
    // asks whether it is bookmarked.
    std::shared_ptr<FeedDetailWebViewController> sheOpensThePush() {
        launchAsTheMother();
        FeedDataStore::shared().setCachedFeed({});
        const auto id = std::stoll(cpapPage.substr(cpapPage.rfind('/') + 1));
        host->tapPush({{"aps", {{"alert", "A new article for you"}}},
                       {"not_id", 1},
                       {"screen", "feed"},
                       {"feed_id", id},
                       {"notification_type", "education_content"}});
        auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
        EXPECT_TRUE(page);
        EXPECT_TRUE(waitFor([&] { return front.requestCount(cpapPage) == 1; })) << "her page was not asked for";
        return page;
    }
    // With her page and its bookmark check on their way she goes back and logs out.
    void sheGoesBackAndLogsOut() {
        ASSERT_TRUE(host->goBack());
        run(R"(tap #hamburgerButton
tap "Logout"
alert "OK"
expect "Log In"
)");
    }

    void theFatherSignsIn() {
        run(R"(tap #emailTextField
type "partner@cradleway.test"
tap #passwordField
type "cradleway-demo"
tap "Sign In"
)");
        ASSERT_TRUE(waitFor([&] { return feed() && !feed()->responseData.empty(); })) << "his feed did not come";
        ASSERT_TRUE(feedCell(kCpapTitle));
        ASSERT_FALSE(feedCell(kCpapTitle)->iconImageViewBadge()->isHidden()) << "unread, with its dot";
    }

    // Her page comes, and whatever it could set off has arrived once a request sent after it has.
    void herPageComes() {
        gate->open();
        ASSERT_TRUE(waitFor([&] { return pageAnswered->load(); }));
        BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == 1; }));
        RunLoop::main().runFor(0.2);
        host->settle();
    }

    std::string cpapPage;
    RecordingServer front;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::shared_ptr<std::atomic<bool>> pageAnswered = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> holdDailyUpdates = std::make_shared<std::atomic<bool>>(false);
};

TEST_F(PageAfterLogout, HerPageFinishingAfterTheFatherSignedInLeavesHisUnreadDot) {
    const std::weak_ptr<FeedDetailWebViewController> page = sheOpensThePush();
    ASSERT_NO_FATAL_FAILURE(sheGoesBackAndLogsOut());
    ASSERT_TRUE(waitFor([&] { return page.expired(); }, 2)) << "her article page outlived her session";
    ASSERT_NO_FATAL_FAILURE(theFatherSignsIn());
    ASSERT_NO_FATAL_FAILURE(herPageComes());
    EXPECT_EQ(front.requestCount(kSeenPath), 0u) << "her notification marked seen in his name";
    ASSERT_TRUE(feedCell(kCpapTitle));
    EXPECT_FALSE(feedCell(kCpapTitle)->iconImageViewBadge()->isHidden()) << "his dot went with her page";
}

TEST_F(PageAfterLogout, HerPageFinishingBeforeTheFatherSignsInSendsNothing) {
    const std::weak_ptr<FeedDetailWebViewController> page = sheOpensThePush();
    ASSERT_NO_FATAL_FAILURE(sheGoesBackAndLogsOut());
    ASSERT_TRUE(waitFor([&] { return page.expired(); }, 2)) << "her article page outlived her session";
    ASSERT_NO_FATAL_FAILURE(herPageComes());
    EXPECT_EQ(front.requestCount(kSeenPath), 0u);
    ASSERT_NO_FATAL_FAILURE(theFatherSignsIn());
    EXPECT_EQ(front.requestCount(kSeenPath), 0u);
}

// Whatever else might still hold a page of hers (a screen kept for a transition, a callback), a page
// opened in her session that finishes in his is nobody's read: it marks nothing seen in his name and
// leaves his dot.
TEST_F(PageAfterLogout, APageOfHersStillHeldWhenItFinishesInHisSessionIsNobodysRead) {
    const auto held = sheOpensThePush();
    ASSERT_TRUE(held);
    ASSERT_NO_FATAL_FAILURE(sheGoesBackAndLogsOut());
    ASSERT_NO_FATAL_FAILURE(theFatherSignsIn());
    ASSERT_NO_FATAL_FAILURE(herPageComes());
    ASSERT_TRUE(waitFor([&] { return !held->webView()->isLoading(); }));
    EXPECT_EQ(front.requestCount(kSeenPath), 0u) << "her notification marked seen in his name";
    ASSERT_TRUE(feedCell(kCpapTitle));
    EXPECT_FALSE(feedCell(kCpapTitle)->iconImageViewBadge()->isHidden()) << "his dot went with her page";
}

// Whatever a screen's request holds, it lets go once her session has ended: the Update tab's page,
// whose daily update is still on its way when she logs out, goes with her session.
TEST_F(PageAfterLogout, AScreenWhoseReplyIsOnItsWayAtHerLogoutGoesWithHerSession) {
    holdDailyUpdates->store(true);
    launchAsTheMother();
    run(R"(tap "Update"
)");
    std::weak_ptr<DailyUpdateViewController> update = shownPage<DailyUpdateViewController>(1);
    ASSERT_FALSE(update.expired());
    ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/baby/daily_update") >= 1; }));
    run(R"(tap "Home"
tap #hamburgerButton
tap "Logout"
alert "OK"
expect "Log In"
)");
    EXPECT_TRUE(waitFor([&] { return update.expired(); }, 2)) << "her page outlived her session";
}

} // namespace cw::test
