#pragma once

// The application delegate: it owns the one window, chooses its root between the signed-out flow
// and the main interface, keeps the 60-second health check running while the main interface is
// installed, answers the session's start and end, and resets the member's notification count
// whenever the application becomes active.
//
// The sign-in flow is made on first use and kept for the life of the process. The main interface is
// one member's: its pagers, their chosen baby and day, the journey, the care team, the library and
// the feed all hold what that member saw. So it lives only as long as the session it was made for:
// whenever the sign-in flow is installed it is let go (with the feed's cached cards and the chosen
// baby), and a session that starts while the sign-in flow is shown gets a main interface made
// afresh. Root choices within a session install the same instance again. A timer is scheduled only
// together with an installation of the main root, replacing the one before; only the end of a
// session stops one without scheduling another.
//
// The remote-notification side: the device token goes to the server as lower-case hexadecimal
// text; a notification handed to the background handler is reported as received in any state, and
// only while the application is inactive (the member opened it) is the tap also reported, routed
// and the notification count reset; a tap handed over by the notification centre is reported and
// routed in any state, then the count is reset. Routing opens a card's article or a post on the
// main navigation, and only while a member is signed in with an access token: a notification
// tapped after logout must not push the previous member's content onto the sign-in flow.
//
// Everything here runs on the main thread: the platform's callbacks, the timer and the session's.

#include "App/Notifications/NotificationNames.h"
#include "App/Notifications/RemoteNotificationPayload.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/Timer.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controllers/UNUserNotificationCenter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class AuthenticationFlowController;
class MainNavigationController;
class MainViewController;

class AppDelegate : public UIApplicationDelegate,
                    public UNUserNotificationCenterDelegate,
                    public AuthenticationContextDelegate,
                    public std::enable_shared_from_this<AppDelegate> {
public:
    // The health check's interval in seconds, and its usage event.
    static constexpr double kHealthCheckInterval = 60.0;
    static constexpr const char* kHealthCheckScreen = "MainScreen";

    // Takes the shared session. Registers the application's storyboards (once per process).
    AppDelegate();
    ~AppDelegate() override;

    bool didFinishLaunchingWithOptions(UIApplication& application, const LaunchOptions& options) override;
    void applicationDidBecomeActive(UIApplication& application) override;
    void applicationDidEnterBackground(UIApplication& application) override;
    std::shared_ptr<UIWindow> window() const override { return window_; }

    // The fonts of what search bars hold (Avenir Medium 16).
    void setupAppearances();
    // One tick of the health check: the "aliveEvent" while the application is active.
    void onHealthCheck();
    // Resets the member's notification count on the server and the badge; nothing without a member
    // signed in with an access token.
    void resetNotificationBadge();

    // --- Remote notifications ---
    void didRegisterForRemoteNotificationsWithDeviceToken(UIApplication& application, const Data& deviceToken) override;
    // Prints the error; nothing else.
    void didFailToRegisterForRemoteNotificationsWithError(UIApplication& application, const NSError& error) override;
    // Prints the payload; nothing else.
    void didReceiveRemoteNotification(UIApplication& application, const NotificationUserInfo& userInfo) override;
    // The background handler.
    void didReceiveRemoteNotification(UIApplication& application, const NotificationUserInfo& userInfo,
                                      std::function<void(UIBackgroundFetchResult)> completion) override;
    // In front: an alert and a badge, no sound.
    void willPresent(UNUserNotificationCenter& center, const UNNotification& notification,
                     std::function<void(UNNotificationPresentationOptions)> completion) override;
    // The tap handler.
    void didReceive(UNUserNotificationCenter& center, const UNNotificationResponse& response,
                    std::function<void()> completion) override;
    void handleNotificationResponse(const UNNotificationResponse& response, std::function<void()> completion);

    // The tap's usage event, when the payload names a kind of notification that has one.
    void logNotificationTap(const NotificationUserInfo& userInfo);
    // Shows the card's article on the window's root: the cached card when the feed holds it, else
    // the card's content address.
    void showFeed(std::int64_t feedId, std::optional<std::int64_t> notificationId);
    void showPost(std::int64_t postId);
    // Raises the drawer's education-library flag; the application argument is not read.
    void processShowRecommendedNotification(UIApplication& application);

    // The device token as text: two lower-case hexadecimal digits per byte, in order.
    static std::string deviceTokenText(const Data& deviceToken);

    void authenticationContextDidStartSession(AuthenticationContext& context) override;
    void authenticationContextDidEndSession(AuthenticationContext& context) override;

    const std::shared_ptr<Timer>& healthCheckTimer() const { return healthCheckTimer_; }
    const std::string questionKey = "question";
    AuthenticationContext& context;

    // The two roots, made on first use (the main one again after the sign-in flow let it go).
    std::shared_ptr<AuthenticationFlowController> authenticationController();
    std::shared_ptr<MainNavigationController> appController();
    // The drawer of the main interface, where the storyboard "Main" puts it: the first tab of the tab
    // bar controller at the bottom of the main navigation stack. None before the main interface is
    // made (or when it holds no drawer).
    std::shared_ptr<MainViewController> mainViewController() const;

private:
    void chooseRoot();
    void installRoot(const UIViewControllerPtr& root);
    // Installs the sign-in flow and lets go of everything the main interface kept for its member.
    void showSignedOut();
    void restartHealthCheck();
    // Whether a member is signed in with an access token (routing needs both).
    bool hasSession() const;
    void route(const NotificationUserInfo& userInfo, RemoteNotificationPayload::Path path);
    // Pushes the screen a notification opens where the member sees it: on the navigation of the
    // topmost screen presented over the root (the post composer's, say, which she finds again with
    // Back), else on the root's own.
    void showOnRoot(const UIViewControllerPtr& controller);

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<Timer> healthCheckTimer_;
    std::shared_ptr<AuthenticationFlowController> authenticationController_;
    std::shared_ptr<MainNavigationController> appController_;
};
