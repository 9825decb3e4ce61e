#include "App/AppDelegate.h"

#include "App/AppStoryboards.h"
#include "App/MainNavigationController.h"
#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/SignIn/AuthenticationFlowController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Services/AnalyticsService.h"
#include "Services/BaseHTTPService.h"
#include "Services/MemberService.h"
#include "Services/NotificationService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"

#include <cstdio>
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
        showSignedOut();
        return;
    }
    installRoot(appController());
    restartHealthCheck();
}

void AppDelegate::showSignedOut() {
    installRoot(authenticationController());
    // Nothing of the member who was signed in may reach the next one: not the cards a notification
    // would open, not the baby the pagers open on, not the screens themselves.
    FeedDataStore::shared().clear();
    context.setSelectedBabyId(std::nullopt);
    if (!appController_) return;
    // Let go on the next turn of the loop: the logout that ends the session runs inside this very
    // interface (the side menu's question).
    DispatchQueue::main().async([old = std::move(appController_)] {});
    appController_ = nullptr;
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
    // Signed out, there is nobody's count to reset: a reset sent without a token is refused.
    auto user = context.user();
    if (!user || !hasSession()) return;
    NotificationService("notification").resetNotificationCount(user->id());
    UIApplication::shared().setApplicationIconBadgeNumber(0);
}

void AppDelegate::authenticationContextDidStartSession(AuthenticationContext&) {
    // Coming from the sign-in flow, the member gets a main interface of her own, whose drawer does
    // its start-up chores for her as it loads. One made while nobody was signed in (or left by a
    // session whose tokens went without a logout) is someone else's.
    if (!window_ || window_->rootViewController() != appController_) showSignedOut();
    installRoot(appController());
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    DispatchQueue::main().async([weakSelf] {
        if (auto self = weakSelf.lock()) self->authenticationController()->popToRootViewController(false);
    });
    restartHealthCheck();
}

void AppDelegate::authenticationContextDidEndSession(AuthenticationContext&) {
    showSignedOut();
    if (healthCheckTimer_) healthCheckTimer_->invalidate();
    healthCheckTimer_ = nullptr;
}

// --- Remote notifications ---------------------------------------------------------------------------

namespace Payload = RemoteNotificationPayload;

std::string AppDelegate::deviceTokenText(const Data& deviceToken) {
    std::string text;
    text.reserve(deviceToken.size() * 2);
    char digits[3];
    for (auto byte : deviceToken) {
        std::snprintf(digits, sizeof digits, "%02hhx", byte);
        text += digits;
    }
    return text;
}

void AppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(UIApplication&, const Data& deviceToken) {
    MemberService("member").updatePushNotificationToken(deviceTokenText(deviceToken));
}

void AppDelegate::didFailToRegisterForRemoteNotificationsWithError(UIApplication&, const NSError& error) {
    std::cout << error.localizedDescription() << std::endl;
}

void AppDelegate::didReceiveRemoteNotification(UIApplication&, const NotificationUserInfo& userInfo) {
    std::cout << userInfo.dump() << std::endl;
}

void AppDelegate::didReceiveRemoteNotification(UIApplication& application, const NotificationUserInfo& userInfo,
                                               std::function<void(UIBackgroundFetchResult)> completion) {
    auto complete = [&completion] {
        if (completion) completion(UIBackgroundFetchResult::newData);
    };
    if (auto id = Payload::integer(userInfo, Payload::kNotificationId))
        NotificationService("notification").sendNotificationId(*id);
    // Only an inactive application is one the member opened from the notification; in front or in
    // the background it has merely arrived.
    if (application.applicationState() != UIApplicationState::inactive) {
        complete();
        return;
    }
    logNotificationTap(userInfo);
    if (!Payload::hasKnownScreen(userInfo)) {
        complete();
        return;
    }
    route(userInfo, Payload::Path::background);
    resetNotificationBadge();
    complete();
}

void AppDelegate::willPresent(UNUserNotificationCenter&, const UNNotification&,
                              std::function<void(UNNotificationPresentationOptions)> completion) {
    if (completion) completion(UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionBadge);
}

void AppDelegate::didReceive(UNUserNotificationCenter&, const UNNotificationResponse& response,
                             std::function<void()> completion) {
    handleNotificationResponse(response, std::move(completion));
}

void AppDelegate::handleNotificationResponse(const UNNotificationResponse& response, std::function<void()> completion) {
    const NotificationUserInfo& userInfo = response.notification.request.content.userInfo;
    logNotificationTap(userInfo);
    route(userInfo, Payload::Path::tap);
    if (completion) completion();
    resetNotificationBadge();
}

void AppDelegate::logNotificationTap(const NotificationUserInfo& userInfo) {
    auto event = Payload::tapEvent(userInfo);
    if (!event) return;
    AnalyticsService().send(event->screenName, ScreenAction::Tap, event->details);
}

bool AppDelegate::hasSession() const {
    return context.user() && context.oAuthToken();
}

void AppDelegate::route(const NotificationUserInfo& userInfo, Payload::Path path) {
    // Without a session the window shows the sign-in flow: nothing of a member belongs on it.
    if (!hasSession()) return;
    std::visit(
        [this](const auto& target) {
            using T = std::decay_t<decltype(target)>;
            if constexpr (std::is_same_v<T, Payload::OpenArticle>)
                showFeed(target.cardId, target.notificationId);
            else if constexpr (std::is_same_v<T, Payload::OpenPost>)
                showPost(target.postId);
            else if constexpr (std::is_same_v<T, Payload::FlagEducationLibrary>)
                processShowRecommendedNotification(UIApplication::shared());
        },
        Payload::route(userInfo, path));
}

void AppDelegate::showOnRoot(const UIViewControllerPtr& controller) {
    if (!window_) return;
    auto root = window_->rootViewController();
    if (!root) return;
    // Pushed under a screen presented over the root, the post would wait unseen behind it.
    std::shared_ptr<UINavigationController> shown = std::dynamic_pointer_cast<UINavigationController>(root);
    for (auto presented = root->presentedViewController(); presented && !presented->isBeingDismissed();
         presented = presented->presentedViewController())
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(presented)) shown = navigation;
    if (shown && shown != root)
        shown->pushViewController(controller, true);
    else
        root->show(controller, std::any(this));
}

void AppDelegate::showFeed(std::int64_t feedId, std::optional<std::int64_t> notificationId) {
    auto article = std::dynamic_pointer_cast<FeedDetailWebViewController>(
        UIStoryboard::named("Feed")->instantiateViewController("FeedDetailWebViewController"));
    if (!article) return;
    article->notificationId = notificationId;
    // The feed's card of that article: a post or daily update may have the same number.
    if (auto card = FeedDataStore::shared().cachedCard({CardKey::Kind::content, feedId}))
        article->detailsData = card;
    else
        article->relatedContentUrl = "/content/education/" + std::to_string(feedId);
    showOnRoot(article);
}

void AppDelegate::showPost(std::int64_t postId) {
    auto post = std::dynamic_pointer_cast<PostDetailsViewController>(
        UIStoryboard::named("Feed")->instantiateViewController("PostDetailsViewController"));
    if (!post) return;
    post->postId = postId;
    showOnRoot(post);
}

void AppDelegate::processShowRecommendedNotification(UIApplication&) {
    // Nothing opens for these notifications: the flag waits on the drawer for the education
    // library, which does not read it yet.
    if (auto drawer = mainViewController()) drawer->loadEducationCenterFromNotification = true;
}
