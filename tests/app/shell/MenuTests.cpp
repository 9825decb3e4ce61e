#include "ShellFixture.h"

#include "App/SideNavigationCustomCell.h"
#include "App/SideNavigationFooterView.h"
#include "App/SideNavigationHeaderView.h"
#include "App/TabBarController.h"
#include "Controllers/Account/MyAccountViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"
#include "Controllers/Account/SettingsViewController.h"
#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "foundation/dispatch/RunLoop.h"
#include "Services/AuthenticationContext.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"

#include <gmock/gmock.h>

#include <fstream>
#include <typeinfo>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::SizeIs;

namespace cw::test {

namespace {

class MenuTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        storeSession(true, true);
        launch();
        waitForRequests(5); // the launch's resets and settings, and the device token
        server.clearRequests();
    }

    CGFloat openWidth() const { return drawer()->visibleLeftDrawerWidth(); }
    UIViewControllerPtr topScreen() const { return mainNavigation()->topViewController(); }
};

} // namespace

TEST_F(MenuTest, TheMenuButtonTogglesTheDrawerAndReportsEveryTap) {
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_EQ(openWidth(), 250.0);
    EXPECT_TRUE(host->isShowing("My Account"));
    drawer()->hamburgerTapped();
    host->settle();
    EXPECT_EQ(openWidth(), 0.0);
    EXPECT_FALSE(host->isShowing("My Account"));

    // A drawer a finger holds half open closes.
    cw::TouchDelivery finger(host->window());
    finger.send(UITouchPhase::began, {60, 300});
    finger.send(UITouchPhase::moved, {90, 301});
    finger.send(UITouchPhase::moved, {160, 302});
    ASSERT_GT(openWidth(), 0.0);
    ASSERT_LT(openWidth(), 250.0);
    drawer()->hamburgerTapped();
    host->settle();
    EXPECT_EQ(openWidth(), 0.0);
    finger.cancelAll();
    host->settle();

    // The keyboard goes away before the drawer moves.
    auto feed = std::dynamic_pointer_cast<FeedViewController>(drawer()->centerViewController());
    ASSERT_TRUE(feed);
    auto search = std::make_shared<UITextField>(CGRect{20, 200, 200, 40});
    feed->view()->addSubview(search);
    ASSERT_TRUE(search->becomeFirstResponder());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    EXPECT_FALSE(search->isFirstResponder());
    EXPECT_FALSE(Keyboard::shared().isVisible());
    EXPECT_EQ(openWidth(), 250.0);

    waitForRequests(4);
    const auto taps = eventsOf("SideNavgiationViewScreen");
    ASSERT_THAT(taps, SizeIs(4));
    for (const auto& e : taps) {
        EXPECT_EQ(e.action, "Tap");
        EXPECT_EQ(e.details, nlohmann::json::object());
    }
    expectNothingElseSent();

    // hideRedDot changes nothing on screen.
    const auto before = host->visibleTexts();
    drawer()->hideRedDot(false);
    drawer()->hideRedDot(true);
    EXPECT_EQ(host->visibleTexts(), before);
}

TEST_F(MenuTest, TheDrawerIsSetUpOnLoadAndItsChoresFollowTheSession) {
    auto d = drawer();
    EXPECT_EQ(d->maximumLeftDrawerWidth(), 250.0);
    EXPECT_EQ(d->openDrawerGestureModeMask(), 30u);
    EXPECT_EQ(d->closeDrawerGestureModeMask(), 254u);
    EXPECT_TRUE(std::dynamic_pointer_cast<FeedViewController>(d->centerViewController()));
    EXPECT_EQ(menu()->mainViewController.lock(), d);
    EXPECT_EQ(std::dynamic_pointer_cast<FeedViewController>(d->centerViewController())->delegate.lock().get(),
              static_cast<HamburgerDelegate*>(d.get()));
    EXPECT_FALSE(d->loadEducationCenterFromNotification);
    d->showEducationCenterAfterLoad();
    EXPECT_TRUE(d->loadEducationCenterFromNotification);

    const auto& item = d->tabBarItem();
    EXPECT_EQ(item->title(), "Home");
    ASSERT_TRUE(item->image());
    EXPECT_EQ(item->image()->size(), UIImage::named("tab-home")->size());
    EXPECT_FALSE(item->selectedImage());
    EXPECT_EQ(UIApplication::shared().currentUserNotificationSettings()->types, 7u);
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications());

    // Another drawer loading with the member: the settings into the defaults, two resets, and the
    // device token of its registration.
    server.reply("GET", "/m/api/member/notification/settings",
                 Reply{200, R"({"recommended_notifications": false, "scheduled": true, "scheduled_from": "22:30:00"})"});
    UIApplication::shared().setApplicationIconBadgeNumber(3);
    auto second = std::dynamic_pointer_cast<MainViewController>(
        UIStoryboard::named("Main")->instantiateViewController("MainViewController"));
    ASSERT_TRUE(second);
    second->loadViewIfNeeded();
    waitForRequests(4);
    EXPECT_THAT(requestsAt("/m/api/member/push_notif_token"), SizeIs(1));
    EXPECT_THAT(requestsAt("/m/api/notification/reset"), SizeIs(2));
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 0);
    ASSERT_TRUE(RunLoop::main().runUntil([] { return notificationSchedule(UserDefaults::standard()); }))
        << "the settings reply reached the defaults";
    EXPECT_FALSE(recommendedContentNotifications(UserDefaults::standard()));
    EXPECT_TRUE(notificationSchedule(UserDefaults::standard()));
    EXPECT_EQ(requestsAt("/m/api/member/notification/settings").front().param("user_id"), "41");
    server.clearRequests();

    // A failed settings load is printed and keeps the stored settings.
    server.reply("GET", "/m/api/member/notification/settings", Reply{500, R"({"status": "down"})"});
    auto third = std::dynamic_pointer_cast<MainViewController>(
        UIStoryboard::named("Main")->instantiateViewController("MainViewController"));
    third->loadViewIfNeeded();
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] { return console.str().find("failed to update notification settings\n") != std::string::npos; }));
    EXPECT_TRUE(notificationSchedule(UserDefaults::standard()));
    waitForRequests(4);
    server.clearRequests();

    // Without a member: no reset, and the badge keeps its number.
    AuthenticationContext::shared().setUser(nullptr);
    UIApplication::shared().setApplicationIconBadgeNumber(3);
    auto fourth = std::dynamic_pointer_cast<MainViewController>(
        UIStoryboard::named("Main")->instantiateViewController("MainViewController"));
    fourth->loadViewIfNeeded();
    waitForRequests(1);
    EXPECT_THAT(requestsAt("/m/api/member/push_notif_token"), SizeIs(1)) << "only the device token";
    expectNothingElseSent();
    EXPECT_EQ(UIApplication::shared().applicationIconBadgeNumber(), 3);
}

TEST_F(MenuTest, TheMenuShowsTheMemberFiveRowsAndTheBuild) {
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    auto m = menu();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->prefersStatusBarHidden());
    EXPECT_EQ(SideNavigationViewController::preferredWidth, 250.0);
    ASSERT_EQ(m->tableView->numberOfRows(0), 5);
    std::vector<std::string> titles;
    for (long row = 0; row < 5; ++row) {
        auto cell = std::dynamic_pointer_cast<SideNavigationCustomCell>(m->tableView->cellForRow(IndexPath::forRow(row, 0)));
        ASSERT_TRUE(cell);
        titles.push_back(cell->label()->text().value_or(""));
        EXPECT_EQ(m->tableView->rectForRow(IndexPath::forRow(row, 0)).size.height, 60.0);
        EXPECT_TRUE(cell->redDot()->isHidden());
        EXPECT_EQ(cell->separatorInset().left, 24.0);
    }
    EXPECT_THAT(titles, ElementsAre("My Account", "My Baby", "Family & Friends", "Settings", "Logout"));
    EXPECT_FALSE(host->findByIdentifier("redDotView"));
    EXPECT_TRUE(host->isShowing("Maya Lind"));
    EXPECT_TRUE(host->isShowing("Build: 1.4-27"));
    // The menu leaves its lowest 64 points empty; the footer stands on them, the list above it.
    ASSERT_TRUE(m->footerView());
    EXPECT_EQ(m->footerView()->frame().maxY(), m->view()->bounds().size.height - 64);
    EXPECT_EQ(m->tableView->frame().maxY(), m->footerView()->frame().minY());

    auto header = m->headerView();
    ASSERT_TRUE(header);
    EXPECT_EQ(header->userImageView->image(), UIImage::named("card_default_n"))
        << "a member without a picture file has the placeholder My Account shows her";
    EXPECT_EQ(header->userNameLabel->contentCompressionResistancePriority(UILayoutConstraintAxis::vertical),
              UILayoutPriorityRequired);
    EXPECT_EQ(header->userImageView->frame().size, (CGSize{90, 90}));
    EXPECT_EQ(header->userImageView->layer()->cornerRadius, 45.0);
    EXPECT_TRUE(header->backgroundImageView->image());
    // The name lies inside the header, 18 points under the picture, its foot on the header's foot.
    const CGRect headerFrame = header->frame();
    const CGRect name = header->userNameLabel->frame();
    EXPECT_EQ(headerFrame, CGRect(0, 0, 250, 176));
    EXPECT_EQ(name.origin.y, header->userImageView->frame().maxY() + 18);
    EXPECT_EQ(name.maxY(), headerFrame.size.height);
    EXPECT_TRUE(header->bounds().contains(name)) << name.origin.y << " + " << name.size.height;
    EXPECT_NEAR(name.midX(), headerFrame.midX(), 0.5);

    // A name longer than the menu is wide stays on one line inside it, centred.
    auto narrow = std::make_shared<SideNavigationHeaderView>(CGRect(0, 0, 250, 176));
    narrow->userNameLabel->setText(std::string("Alexandra Montgomery-Fitzgerald Hart"));
    narrow->layoutIfNeeded();
    const CGRect longName = narrow->userNameLabel->frame();
    EXPECT_GE(longName.minX(), 16);
    EXPECT_LE(longName.maxX(), 250 - 16);
    EXPECT_NEAR(longName.midX(), 125, 0.5);
    EXPECT_EQ(longName.maxY(), 176);
    EXPECT_LT(longName.height(), 2 * narrow->userNameLabel->font().lineHeight());
}

TEST_F(MenuTest, EachRowReportsClosesTheDrawerAndPushesANewScreen) {
    struct Row {
        std::string title;
        std::string key;
        std::string value;
        const std::type_info& screen;
    };
    const std::vector<Row> rows = {
        {"My Account", "sideNavigationViewMyAccountTapped", "MyAccountView tapped", typeid(MyAccountViewController)},
        {"My Baby", "sideNavigationViewMyBabyTapped", "MyBabyView tapped", typeid(MyBabyViewController)},
        {"Family & Friends", "sideNavigationViewFamilyAndFriendsTapped", "MyPartnersView tapped",
         typeid(MyPartnersViewController)},
        {"Settings", "sideNavigationViewSettingsTapped", "SettingsView tapped", typeid(SettingsViewController)},
    };
    for (const auto& row : rows) {
        UIViewControllerPtr previous;
        for (int time = 0; time < 2; ++time) {
            ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
            waitForRequests(1); // the menu button's own event
            server.clearRequests();
            ASSERT_TRUE(host->tapText(row.title)) << row.title;
            EXPECT_EQ(openWidth(), 0.0) << row.title;
            auto shown = topScreen();
            ASSERT_TRUE(shown);
            EXPECT_EQ(typeid(*shown), row.screen) << row.title;
            EXPECT_NE(shown, previous) << "each choice makes a new screen";
            EXPECT_FALSE(mainNavigation()->isNavigationBarHidden());
            EXPECT_EQ(shown->title(), row.title);
            // The screens send requests of their own (and the menu button's event may come late);
            // the row sends its one event.
            const auto rowEvents = [&] {
                std::vector<Event> found;
                for (auto& e : eventsOf("SideNavgiationViewScreen"))
                    if (e.details.contains(row.key)) found.push_back(e);
                return found;
            };
            ASSERT_TRUE(RunLoop::main().runUntil([&] { return !rowEvents().empty(); }));
            host->settle();
            const auto sent = rowEvents();
            ASSERT_THAT(sent, SizeIs(1));
            EXPECT_EQ(sent[0].action, "Tap");
            EXPECT_EQ(sent[0].details, (nlohmann::json{{row.key, row.value}}));
            previous = shown;
            ASSERT_TRUE(host->goBack());
        }
    }
    EXPECT_TRUE(std::dynamic_pointer_cast<TabBarController>(topScreen()));
}

TEST_F(MenuTest, LogoutAsksFirstAndEndsTheSessionKeepingTheSignInPreferences) {
    UserDefaults::standard().setBool(true, "touchIDKey");
    UserDefaults::standard().setObject(std::string("maya@example.test"), "usernameKey");
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    waitForRequests(1); // the menu button's own event
    server.clearRequests();

    ASSERT_TRUE(host->tapText("Logout"));
    EXPECT_TRUE(host->isShowing("Are you sure you want to logout?"));
    auto alert = std::dynamic_pointer_cast<UIAlertController>(host->topViewController());
    ASSERT_TRUE(alert);
    EXPECT_FALSE(alert->title());
    waitForRequests(1);
    ASSERT_THAT(eventsOf("SettingsViewScreen"), SizeIs(1));
    EXPECT_EQ(eventsOf("SettingsViewScreen")[0].action, "Tap");
    EXPECT_EQ(eventsOf("SettingsViewScreen")[0].details, (nlohmann::json{{"logoutTapped", "Logout tapped"}}));
    EXPECT_EQ(openWidth(), 250.0) << "the drawer stays open behind the question";

    ASSERT_TRUE(host->pickAlertAction("Cancel"));
    EXPECT_EQ(openWidth(), 250.0);
    EXPECT_EQ(AuthenticationContext::shared().oAuthToken(), "stored-access");
    EXPECT_EQ(app->window()->rootViewController(), mainNavigation());
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications());
    expectNothingElseSent();

    ASSERT_TRUE(host->tapText("Logout"));
    const auto closing = drawer();
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_EQ(closing->visibleLeftDrawerWidth(), 0.0);
    EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
    EXPECT_FALSE(AuthenticationContext::shared().oAuthRefreshToken());
    EXPECT_FALSE(UIApplication::shared().isRegisteredForRemoteNotifications());
    EXPECT_EQ(app->window()->rootViewController(), UIViewControllerPtr(app->authenticationController()));
    EXPECT_FALSE(app->healthCheckTimer());
    EXPECT_TRUE(host->isShowing("Log In"));
    auto& defaults = UserDefaults::standard();
    EXPECT_TRUE(defaults.boolForKey("touchIDKey"));
    EXPECT_EQ(defaults.stringForKey("usernameKey"), "maya@example.test");
    EXPECT_TRUE(defaults.boolForKey("hasSeenTutorialKey"));
    EXPECT_FALSE(defaults.objectForKey("token"));
    EXPECT_FALSE(defaults.objectForKey("userKey"));
}

TEST(SideNavigationFooter, TheBuildTextReadsUnknownForWhatTheBundleLacks) {
    TempDirectory dir("cw-footer");
    auto bundleWith = [&](const std::string& name, const nlohmann::json& info) {
        std::filesystem::create_directories(dir / name);
        if (!info.is_null()) std::ofstream(dir / name / "Info.json") << info.dump();
        return Bundle(dir / name);
    };
    EXPECT_EQ(SideNavigationFooterView::buildText(
                  bundleWith("full", {{"CFBundleShortVersionString", "1.4"}, {"CFBundleVersion", "27"}})),
              "Build: 1.4-27");
    EXPECT_EQ(SideNavigationFooterView::buildText(bundleWith("noBuild", {{"CFBundleShortVersionString", "1.4"}})),
              "Build: 1.4-Unknown");
    EXPECT_EQ(SideNavigationFooterView::buildText(bundleWith("none", nullptr)), "Build: Unknown-Unknown");
    EXPECT_EQ(SideNavigationFooterView::buildText(
                  bundleWith("numbers", {{"CFBundleShortVersionString", 1.4}, {"CFBundleVersion", "27"}})),
              "Build: Unknown-27");
}

} // namespace cw::test

namespace cw::test {

TEST_F(ShellTest, TheMenuHeaderShowsTheMembersPictureFromTheServer) {
    storeSession(true, true, 41, "Maya Lind", "images/upload/maya one.png");
    servePicture("/images/upload/maya one.png", 0xFF10A060);
    launch();
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    const auto& photo = menu()->headerView()->userImageView;
    // The placeholder stands there until her picture comes.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return photo->image() && photo->image()->pixel(0, 0) == 0xFF10A060u; }));
    EXPECT_TRUE(photo->clipsToBounds());
    // Opening the menu again for the same member asks for nothing more.
    drawer()->hamburgerTapped();
    drawer()->hamburgerTapped();
    host->settle();
    waitForRequests(9); // the launch's five, three menu button events and the picture
    expectNothingElseSent();
}

} // namespace cw::test
