#include "ShellFixture.h"

#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Services/AuthenticationContext.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/time/Clock.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UNUserNotificationCenter.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace cw::test {

namespace {

std::size_t aliveEvents(const std::vector<Event>& events) {
    std::size_t n = 0;
    for (const auto& e : events)
        if (e.screen == "MainScreen" && e.action == "ServerRequest" &&
            e.details == nlohmann::json{{"aliveEvent", "App is alive"}})
            ++n;
    return n;
}

} // namespace

TEST_F(ShellTest, LaunchSetsUpTheWindowTheSessionAndTheSystemHooks) {
    storeSession(true, true);
    ASSERT_TRUE(launch());

    EXPECT_THAT(console.str(), HasSubstr("Host Environment: " + server.base() + "\n"));
    const auto avenir = UIFontNamed::avenirMedium(16);
    ASSERT_TRUE(avenir);
    EXPECT_EQ(UIAppearance::proxy("UILabel", {"UISearchBar"}).font, avenir);
    EXPECT_EQ(UIAppearance::proxy("UITextField", {"UISearchBar"}).font, avenir);
    EXPECT_EQ(UIBarButtonItem::appearance("UISearchBar").titleTextAttributes(UIBarItemState::normal).font, avenir);

    auto window = app->window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->tintColor(), UIColorPalette::cwy_mountainMeadow());
    EXPECT_EQ(window->backgroundColor(), UIColor::whiteColor());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_TRUE(window->isVisible());

    auto& session = AuthenticationContext::shared();
    EXPECT_EQ(session.delegate().lock().get(), static_cast<AuthenticationContextDelegate*>(app.get()));
    ASSERT_TRUE(session.user()) << "the stored member was loaded";
    EXPECT_EQ(session.user()->fullName(), "Maya Lind");
    EXPECT_EQ(session.oAuthToken(), "stored-access");
    EXPECT_EQ(session.oAuthRefreshToken(), "stored-refresh");

    EXPECT_TRUE(postNotifications(UserDefaults::standard())) << "the notification settings' defaults are registered";
    EXPECT_FALSE(notificationSchedule(UserDefaults::standard()));
    EXPECT_EQ(UNUserNotificationCenter::current().delegate().get(),
              static_cast<UNUserNotificationCenterDelegate*>(app.get()));
    EXPECT_EQ(app->questionKey, "question");
}

TEST_F(ShellTest, TheRootIsTheMainInterfaceOnlyWithBothAMemberAndAToken) {
    struct Case {
        bool member, token;
    };
    for (const Case c : {Case{true, false}, Case{false, true}, Case{false, false}}) {
        restart();
        storeSession(c.member, c.token);
        launch();
        EXPECT_TRUE(std::dynamic_pointer_cast<AuthenticationFlowController>(app->window()->rootViewController()))
            << "member " << c.member << ", token " << c.token;
        EXPECT_FALSE(app->healthCheckTimer());
        EXPECT_TRUE(host->isShowing("Log In"));
    }

    restart();
    storeSession(true, true);
    launch();
    EXPECT_EQ(app->window()->rootViewController(), app->appController());
    ASSERT_TRUE(app->healthCheckTimer());
    EXPECT_TRUE(app->healthCheckTimer()->isValid());
    EXPECT_TRUE(app->healthCheckTimer()->repeats());
    EXPECT_EQ(app->healthCheckTimer()->timeInterval(), 60.0);
    EXPECT_TRUE(host->isShowing("Home"));
    // The feed, of a member without babies.
    EXPECT_TRUE(host->isShowing("Coming Soon!"));
}

TEST_F(ShellTest, TheHealthCheckSpeaksEveryMinuteWhileActiveCountedFromTheLastActivation) {
    storeSession(true, true);
    const double launchedAt = Clock::uptime();
    launch();
    waitForRequests(5); // the launch's resets and settings, and the device token
    server.clearRequests();
    const auto first = app->healthCheckTimer();
    // Launch scheduled one, and the activation right after replaced it: one timer, due a minute
    // after the activation.
    EXPECT_DOUBLE_EQ(first->fireUptime(), launchedAt + 60);

    host->advance(launchedAt + 59.5 - Clock::uptime());
    expectNothingElseSent();
    host->advance(0.5);
    waitForRequests(1);
    EXPECT_EQ(aliveEvents(events()), 1u);
    EXPECT_EQ(requestsAt("/m/api/analytics/").front().json()["user_id"], 41);
    server.clearRequests();

    // Inactive (a system alert covers the application) or in the background: the timer runs, and
    // nothing is sent.
    ApplicationLifecycle::resignActive();
    host->advance(60);
    host->enterBackground();
    host->advance(120);
    expectNothingElseSent();
    EXPECT_TRUE(first->isValid());
    EXPECT_THAT(console.str(), HasSubstr("did enter background\n"));

    // Coming back replaces the timer: the next tick is a full minute after the activation.
    host->advance(30);
    const double activatedAt = Clock::uptime();
    host->enterForeground();
    EXPECT_FALSE(first->isValid());
    ASSERT_TRUE(app->healthCheckTimer());
    EXPECT_TRUE(app->healthCheckTimer()->isValid());
    EXPECT_DOUBLE_EQ(app->healthCheckTimer()->fireUptime(), activatedAt + 60);
    waitForRequests(1); // the activation's reset
    server.clearRequests();
    host->advance(activatedAt + 59.5 - Clock::uptime());
    expectNothingElseSent();
    host->advance(0.5);
    waitForRequests(1);
    EXPECT_EQ(aliveEvents(events()), 1u);
}

TEST_F(ShellTest, EachActivationResetsTheMembersNotificationCountOnlyWithAMember) {
    storeSession(true, true);
    UIApplication::shared().setApplicationIconBadgeNumber(5);
    launch();
    // One reset for the activation, two for the drawer's first load (with its settings and the
    // device token).
    waitForRequests(5);
    ASSERT_THAT(requestsAt("/m/api/notification/reset"), SizeIs(3));
    for (const auto& r : requestsAt("/m/api/notification/reset"))
        EXPECT_EQ(r.json(), (nlohmann::json{{"user_id", 41}}));
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 0);
    const auto root = app->window()->rootViewController();
    expectNothingElseSent();

    UIApplication::shared().setApplicationIconBadgeNumber(7);
    host->enterBackground();
    host->enterForeground();
    waitForRequests(1);
    EXPECT_THAT(requestsAt("/m/api/notification/reset"), SizeIs(1));
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 0);
    EXPECT_EQ(app->window()->rootViewController(), root) << "the same main interface is installed again";
    expectNothingElseSent();

    restart();
    launch();
    UIApplication::shared().setApplicationIconBadgeNumber(4);
    host->enterBackground();
    host->enterForeground();
    expectNothingElseSent();
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 4);
}

TEST_F(ShellTest, ASessionLostWithoutLogoutShowsTheSignInFlowAtTheNextActivationAndLeavesTheTimer) {
    storeSession(true, true);
    launch();
    const auto timer = app->healthCheckTimer();
    // The token goes without a logout, behind the delegate's back.
    AuthenticationContext::shared().setOAuthToken(std::nullopt);
    host->enterBackground();
    host->enterForeground();
    EXPECT_EQ(app->window()->rootViewController(), app->authenticationController());
    EXPECT_EQ(app->healthCheckTimer(), timer);
    EXPECT_TRUE(timer->isValid());
}

} // namespace cw::test
