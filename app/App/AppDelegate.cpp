#include "App/AppDelegate.h"

#include "App/AppStoryboards.h"
#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Services/AnalyticsService.h"
#include "Services/BaseHTTPService.h"
#include "Services/NotificationService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"

#include <iostream>

AppDelegate::AppDelegate() : context(AuthenticationContext::shared()) {
    registerAppStoryboards();
    // The application's screens stand upright: no navigation controller of it turns them.
    UINavigationController::setAutorotationAnswer(false);
}

AppDelegate::~AppDelegate() {
    if (healthCheckTimer_) healthCheckTimer_->invalidate();
}

bool AppDelegate::didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) {
    std::cout << "Host Environment: " << BaseHTTPService::baseServerURL() << std::endl;
    setupAppearances();
    window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
    window_->setTintColor(UIColorPalette::cwy_mountainMeadow());
    window_->setBackgroundColor(UIColor::whiteColor());
    auto self = shared_from_this();
    context.setDelegate(std::static_pointer_cast<AuthenticationContextDelegate>(self));
    context.loadTokens();
    context.loadUser();
    chooseRoot();
    window_->makeKeyAndVisible();
    registerDefaultNotificationSettings(UserDefaults::standard());
    UNUserNotificationCenter::current().setDelegate(std::static_pointer_cast<UNUserNotificationCenterDelegate>(self));
    return true;
}

void AppDelegate::setupAppearances() {
    TextAttributes barItem;
    barItem.font = UIFontNamed::avenirMedium(16);
    UIBarButtonItem::appearance("UISearchBar").setTitleTextAttributes(barItem, UIBarItemState::normal);
    UIAppearance::proxy("UITextField", {"UISearchBar"}).font = UIFontNamed::avenirMedium(16);
    UIAppearance::proxy("UILabel", {"UISearchBar"}).font = UIFontNamed::avenirMedium(16);
}

void AppDelegate::applicationDidBecomeActive(UIApplication&) {
    resetNotificationBadge();
    chooseRoot();
    if (window_) window_->makeKeyAndVisible();
}

void AppDelegate::applicationDidEnterBackground(UIApplication&) {
    std::cout << "did enter background" << std::endl;
}

std::shared_ptr<AuthenticationFlowController> AppDelegate::authenticationController() {
    if (!authenticationController_) authenticationController_ = std::make_shared<AuthenticationFlowController>();
    return authenticationController_;
}

std::shared_ptr<MainNavigationController> AppDelegate::appController() {
    if (!appController_)
        appController_ = instantiateViewController<MainNavigationController>(*UIStoryboard::named("Main"));
    return appController_;
}

std::shared_ptr<MainViewController> AppDelegate::mainViewController() const {
    if (!appController_ || appController_->viewControllers().empty()) return nullptr;
    auto tabs = std::dynamic_pointer_cast<TabBarController>(appController_->viewControllers().front());
    if (!tabs || tabs->viewControllers().empty()) return nullptr;
    return std::dynamic_pointer_cast<MainViewController>(tabs->viewControllers().front());
}

void AppDelegate::installRoot(const UIViewControllerPtr& root) {
    if (window_ && window_->rootViewController() != root) window_->setRootViewController(root);
}

void AppDelegate::chooseRoot() {
    if (!context.user() || !context.oAuthToken()) {
        installRoot(authenticationController());
        return;
    }
    installRoot(appController());
    restartHealthCheck();
}

void AppDelegate::restartHealthCheck() {
    if (healthCheckTimer_) healthCheckTimer_->invalidate();
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    healthCheckTimer_ = Timer::scheduledTimer(kHealthCheckInterval, true, [weakSelf](Timer&) {
        if (auto self = weakSelf.lock()) self->onHealthCheck();
    });
}

void AppDelegate::onHealthCheck() {
    if (UIApplication::shared().applicationState() != UIApplicationState::active) return;
    AnalyticsService().send(kHealthCheckScreen, ScreenAction::ServerRequest, {{"aliveEvent", JSON("App is alive")}});
}

void AppDelegate::resetNotificationBadge() {
    auto user = context.user();
    if (!user) return;
    NotificationService("notification").resetNotificationCount(user->id());
    UIApplication::shared().setApplicationIconBadgeNumber(0);
}

void AppDelegate::authenticationContextDidStartSession(AuthenticationContext&) {
    // The drawer does its start-up chores when its view first loads. When it had loaded for an
    // earlier member, they are run again for this one: push registration and the token, the
    // member's notification settings (a logout wiped them) and the notification count.
    auto drawer = mainViewController();
    const bool drawerWasLoaded = drawer && drawer->isViewLoaded();
    installRoot(appController());
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    DispatchQueue::main().async([weakSelf] {
        if (auto self = weakSelf.lock()) self->authenticationController()->popToRootViewController(false);
    });
    restartHealthCheck();
    if (drawerWasLoaded) drawer->sessionDidStart();
}

void AppDelegate::authenticationContextDidEndSession(AuthenticationContext&) {
    installRoot(authenticationController());
    if (healthCheckTimer_) healthCheckTimer_->invalidate();
    healthCheckTimer_ = nullptr;
}
