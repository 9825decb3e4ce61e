#include "ShellFixture.h"

#include "App/SideNavigationHeaderView.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Services/AuthenticationContext.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/dispatch/RunLoop.h"

#include <gmock/gmock.h>

using ::testing::SizeIs;

namespace cw::test {

namespace {

std::vector<std::int64_t> resetMembers(const std::vector<RecordedRequest>& resets) {
    std::vector<std::int64_t> ids;
    for (const auto& r : resets)
        ids.push_back(r.json().value("user_id", std::int64_t{-1}));
    return ids;
}

} // namespace

TEST_F(ShellTest, ANewSessionAfterALogoutGetsTheSameInterfaceWithItsChoresRedoneForTheNewMember) {
    server.reply("GET", "/m/api/member/notification/settings",
                 {Reply{200, R"({"post_notifications": true})"}, Reply{200, R"({"post_notifications": false})"}});
    launch();
    EXPECT_EQ(app->window()->rootViewController(), app->authenticationController());
    EXPECT_TRUE(host->isShowing("Log In"));

    // The first member signs in on the sign-in screen: the drawer loads for the first time.
    signInThroughTheScreen(signInReply(memberJSON(41, "Maya Lind", "maya@example.test"), "access-1"));
    const auto mainInterface = mainNavigation();
    ASSERT_TRUE(mainInterface);
    EXPECT_EQ(mainInterface, app->appController());
    waitForRequests(5); // sign-in, settings, two resets, the device token
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_EQ(resetMembers(requestsAt("/m/api/notification/reset")), (std::vector<std::int64_t>{41, 41}));
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 1);
    const auto firstTimer = app->healthCheckTimer();
    ASSERT_TRUE(firstTimer);
    EXPECT_TRUE(firstTimer->isValid());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_TRUE(host->isShowing("Maya Lind"));

    // Logout from the menu.
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_EQ(app->window()->rootViewController(), app->authenticationController());
    EXPECT_FALSE(app->healthCheckTimer());
    EXPECT_FALSE(firstTimer->isValid());
    EXPECT_FALSE(UIApplication::shared().isRegisteredForRemoteNotifications());
    EXPECT_TRUE(postNotifications(UserDefaults::standard())) << "the stored settings went with the logout";
    waitForRequests(1); // the logout event
    server.clearRequests();

    // The second member's session starts deeper in the signed-out flow (as a registration ends).
    app->authenticationController()->pushViewController(std::make_shared<UIViewController>(), false);
    host->settle();
    servePicture("/images/upload/noah.png", 0xFF2040C0);
    AuthenticationContext::shared().login(
        JSON(signInReply(memberJSON(52, "Noah Berg", "noah@example.test", "images/upload/noah.png"), "access-2")));
    host->settle();

    EXPECT_EQ(mainNavigation(), mainInterface) << "the very same main interface comes back";
    EXPECT_THAT(app->authenticationController()->viewControllers(), SizeIs(1))
        << "the signed-out flow is back at its first screen";
    ASSERT_TRUE(app->healthCheckTimer());
    EXPECT_NE(app->healthCheckTimer(), firstTimer);
    EXPECT_TRUE(app->healthCheckTimer()->isValid());

    // The drawer had loaded for the first member; its chores run again for this one.
    waitForRequests(4);
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 2);
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications());
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_EQ(requestsAt("/m/api/member/notification/settings").front().param("user_id"), "52");
    ASSERT_THAT(requestsAt("/m/api/member/push_notif_token"), SizeIs(1));
    EXPECT_EQ(requestsAt("/m/api/member/push_notif_token").front().json().value("user_id", "?"), "52");
    EXPECT_EQ(resetMembers(requestsAt("/m/api/notification/reset")), (std::vector<std::int64_t>{52, 52}));
    EXPECT_TRUE(RunLoop::main().runUntil([] { return !postNotifications(UserDefaults::standard()); }))
        << "the new member's settings are stored";

    // The menu shows the member of this session, with the picture.
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_TRUE(host->isShowing("Noah Berg"));
    EXPECT_FALSE(host->isShowing("Maya Lind"));
    const auto& photo = menu()->headerView()->userImageView;
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return photo->image() != nullptr; }));
    EXPECT_EQ(photo->image()->pixel(0, 0), 0xFF2040C0u);
    waitForRequests(6); // and the menu button's event, and the picture
    expectNothingElseSent();
}

TEST_F(ShellTest, AFirstSessionLoadsTheDrawerOnceWithoutDoingItsChoresTwice) {
    launch();
    signInThroughTheScreen(signInReply(memberJSON(41, "Maya Lind", "maya@example.test"), "access-1"));
    waitForRequests(5);
    EXPECT_EQ(UIApplication::shared().remoteRegistrationCount(), 1);
    EXPECT_THAT(requestsAt("/m/api/member/notification/settings"), SizeIs(1));
    EXPECT_THAT(requestsAt("/m/api/notification/reset"), SizeIs(2));
    EXPECT_FALSE(host->isShowing("Log In"));
    expectNothingElseSent();
}

} // namespace cw::test
