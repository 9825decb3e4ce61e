#include "App/MainViewController.h"

#include "App/SideNavigationViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "Services/NotificationService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIStoryboard.h"

#include <iostream>

namespace {

// Registrations for remote notifications by every container of the process (main thread only).
std::uint64_t registrations = 0;

} // namespace

MainViewController::MainViewController() : registrationsSeen_(registrations) {}

MainViewController::~MainViewController() {
    if (registrationsSeen_ == registrations) UIApplication::shared().unregisterForRemoteNotifications();
}

void MainViewController::viewDidLoad() {
    MMDrawerController::viewDidLoad();

    auto feed = instantiateViewController<FeedViewController>(*UIStoryboard::named("Feed"));
    feed->delegate = std::dynamic_pointer_cast<HamburgerDelegate>(shared_from_this());
    setCenterViewController(feed);

    auto menu = std::make_shared<SideNavigationViewController>();
    menu->mainViewController = std::static_pointer_cast<MainViewController>(shared_from_this());
    setLeftDrawerViewController(menu);

    setMaximumLeftDrawerWidth(kDrawerWidth, true);
    setOpenDrawerGestureModeMask(MMOpenDrawerGestureModeAll);
    setCloseDrawerGestureModeMask(MMCloseDrawerGestureModeAll);

    registerForRemoteNotifications();
    loadNotificationSettings();
    resetNotificationCount();
    setTabBarItem(std::make_shared<UITabBarItem>("Home", UIImage::named("tab-home")));
    resetNotificationCount();
}

void MainViewController::viewDidAppear(bool animated) {
    MMDrawerController::viewDidAppear(animated);
}

void MainViewController::registerForRemoteNotifications() {
    auto& app = UIApplication::shared();
    app.registerUserNotificationSettings(
        {UIUserNotificationTypeBadge | UIUserNotificationTypeSound | UIUserNotificationTypeAlert, {}});
    app.registerForRemoteNotifications();
    registrationsSeen_ = ++registrations;
}

void MainViewController::loadNotificationSettings() {
    MemberService("member").fetchNotificationSettings(
        [](const JSON& reply) { setNotificationSettings(UserDefaults::standard(), reply); },
        [](const RequestError&) { std::cout << kSettingsFailure << std::endl; });
}

void MainViewController::resetNotificationCount() {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    NotificationService("notification").resetNotificationCount(user->id());
    UIApplication::shared().setApplicationIconBadgeNumber(0);
}

void MainViewController::hamburgerTapped() {
    view()->endEditing(true);
    AnalyticsService().send(kMenuScreen, ScreenAction::Tap, {});
    if (visibleLeftDrawerWidth() == 0.0)
        openDrawerSide(MMDrawerSide::left, true);
    else
        closeDrawerAnimated(true);
}

void MainViewController::hideRedDot(bool) {
    // The menu's rows keep their dots hidden: there is nothing here to show.
}

void MainViewController::showEducationCenterAfterLoad() {
    loadEducationCenterFromNotification = true;
}
