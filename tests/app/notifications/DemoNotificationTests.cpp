// The running application on the demo server, driven by scripts as a person uses it: the settings
// screen's tutorial, and the demo family's article notification delivered in front and tapped.

#include "App/AppDelegate.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "hosts/cradleway/CradlewayHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIAppearance.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cw::test {

namespace {

// The feed's questions, then the notifications prompt, come up over the main interface at the
// mother's first sign-in.
const std::string kSignInAsTheMother = std::string(kSignInAsTheDemoMother) + R"(alert "No"
alert "No"
alert "No"
alert "OK"
)";

class DemoNotifications : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.baseUrl(), "org.cradleway.notification-tests");
        forgetSession();
        app = std::make_shared<AppDelegate>();
        ASSERT_TRUE(host.launch(app));
    }
    void TearDown() override {
        RunLoop::main().runFor(0.05);
        forgetSession();
        UIAppearance::reset();
    }

    // Runs the script's steps; its messages are part of a failure.
    void run(const std::string& steps) { runScript(host, steps, environment.directory() / "shots"); }

    // Waits (in real time, turning the main run loop) until the query answers `expected`.
    bool awaitCount(const std::string& sql, std::int64_t expected) {
        return RunLoop::main().runUntil([&] { return queryInteger(server, sql) == expected; }, 10);
    }

    AppEnvironment environment{"cw-demo-notifications"};
    DemoServer server{environment.directory() / "server"};
    cw::HeadlessHost host;
    std::shared_ptr<AppDelegate> app;
};

} // namespace

TEST_F(DemoNotifications, TheSettingsScreenShowsTheTutorialWhichPagesThroughToDone) {
    run(std::string(kSignInAsTheMother) + R"(
tap #hamburgerButton
tap "Settings"
tap "Tutorial"
expect "Connect"
tap "Next"
expect "Post & Share"
tap "Next"
expect "Learn"
tap "Next"
expect "Track"
tap "Done"
expect "Send Feedback"
)");
    EXPECT_FALSE(host.isShowing("Track"));
    // Four taps on the button, the last of them also the end of the tutorial, all the mother's.
    const std::string mother = "(SELECT id FROM members WHERE email = 'demo@cradleway.test')";
    EXPECT_TRUE(awaitCount("SELECT COUNT(*) FROM analytics_events WHERE screen_name = 'TutorialScreen' AND "
                           "screen_action = 'Tap' AND event_details LIKE '%userNavigatedOnTutorial%' AND member_id = " +
                               mother,
                           4));
    EXPECT_TRUE(awaitCount("SELECT COUNT(*) FROM analytics_events WHERE screen_name = 'TutorialScreen' AND "
                           "event_details LIKE '%userNavigatedToLastTutorial%'",
                           1));
}

TEST_F(DemoNotifications, TheDemoArticleNotificationIsReportedAndOpensItsArticle) {
    const auto payloads = cw::server::demoPushPayloads(server.server());
    ASSERT_FALSE(payloads.empty());
    const nlohmann::json& article = payloads.front();
    ASSERT_EQ(article.value("screen", ""), "feed");
    ASSERT_EQ(article.value("feed_id", 0), 5);
    const auto notification = article.value("not_id", 0);

    // Once the feed has brought the card, the article opens with it.
    run(std::string(kSignInAsTheMother) + "expect \"Write a comment\"\npush " + article.dump() +
        "\nexpect \"Home\"\ntap-push " + article.dump() + "\nexpect \"Kangaroo care: skin to skin\"\n");
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(app->window()->rootViewController());
    ASSERT_TRUE(navigation);
    auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(navigation->topViewController());
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->detailsData);
    EXPECT_EQ(page->detailsData->cardId, 5);
    EXPECT_EQ(page->notificationId, notification);

    // The server has the device token, the notification as received, and the tap.
    EXPECT_TRUE(awaitCount("SELECT COUNT(*) FROM members WHERE email = 'demo@cradleway.test' AND push_token = '0aff1042'", 1));
    EXPECT_TRUE(awaitCount("SELECT received FROM notifications WHERE id = " + std::to_string(notification), 1));
    EXPECT_TRUE(awaitCount("SELECT COUNT(*) FROM analytics_events WHERE screen_name = 'education_content' AND "
                           "event_details LIKE '%\"feed_id\":5%'",
                           1));
}

TEST(CradlewayHost, TheWindowsPushKeysDeliverTheDemoArticleNotification) {
    AppEnvironment environment("cw-host-push");
    cw::host::CradlewayOptions options;
    options.dataDirectory = environment.dataDirectory();
    std::ostringstream out;
    std::string error;
    auto host = cw::host::CradlewayEnvironment::start(options, out, error);
    ASSERT_TRUE(host) << error;
    EXPECT_EQ(host->pushPayload().value("screen", ""), "feed");
    EXPECT_EQ(host->pushPayload().value("feed_id", 0), 5);
    EXPECT_EQ(host->pushPayload().value("notification_type", ""), "education_content");
    EXPECT_TRUE(host->pushPayload().contains("not_id"));
}

} // namespace cw::test
