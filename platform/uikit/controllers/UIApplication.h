#pragma once

// The application object: its delegate, windows, state and icon badge, the addresses it was asked
// to open, the network activity indicator, and registration for remote notifications. The host
// drives the life cycle (launch, becoming active, going to the background, ...) through the
// cw::ApplicationLifecycle calls below, which post the platform's notifications and call the
// delegate in the platform's order.

#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class UIWindow;
class UIApplication;

using Data = std::vector<std::uint8_t>;

enum class UIApplicationState { active, inactive, background };

enum class UIBackgroundFetchResult { newData, noData, failed };

// The kinds of user notifications (badge 1, sound 2, alert 4).
using UIUserNotificationType = unsigned;
inline constexpr UIUserNotificationType UIUserNotificationTypeNone = 0;
inline constexpr UIUserNotificationType UIUserNotificationTypeBadge = 1;
inline constexpr UIUserNotificationType UIUserNotificationTypeSound = 2;
inline constexpr UIUserNotificationType UIUserNotificationTypeAlert = 4;

struct UIUserNotificationSettings {
    UIUserNotificationType types = UIUserNotificationTypeNone;
    std::vector<std::string> categories;
};

// A notification's payload: the dictionary the system hands over.
using NotificationUserInfo = nlohmann::json;

inline const NotificationName UIApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
inline const NotificationName UIApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline const NotificationName UIApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline const NotificationName UIApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline const NotificationName UIApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline const NotificationName UIApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";

// The launch options; this platform launches without any.
using LaunchOptions = nlohmann::json;

class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;

    virtual bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) { return true; }
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}

    virtual void didRegisterForRemoteNotificationsWithDeviceToken(UIApplication&, const Data&) {}
    virtual void didFailToRegisterForRemoteNotificationsWithError(UIApplication&, const NSError&) {}
    virtual void didRegisterUserNotificationSettings(UIApplication&, const UIUserNotificationSettings&) {}
    // The payload alone (older systems).
    virtual void didReceiveRemoteNotification(UIApplication&, const NotificationUserInfo&) {}
    // The payload with a completion to call when the work is done; the base hands it to the
    // payload-only form and completes with no data.
    virtual void didReceiveRemoteNotification(UIApplication& app, const NotificationUserInfo& userInfo,
                                              std::function<void(UIBackgroundFetchResult)> completion) {
        didReceiveRemoteNotification(app, userInfo);
        if (completion) completion(UIBackgroundFetchResult::noData);
    }

    // The delegate's window, when it keeps one.
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

class UIApplication {
public:
    static UIApplication& shared();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

    // Visible windows, oldest first, and the key one.
    std::vector<std::shared_ptr<UIWindow>> windows() const;
    std::shared_ptr<UIWindow> keyWindow() const { return keyWindow_.lock(); }

    UIApplicationState applicationState() const { return state_; }

    long applicationIconBadgeNumber() const { return badge_; }
    void setApplicationIconBadgeNumber(long number) { badge_ = number; }

    bool isNetworkActivityIndicatorVisible() const { return networkIndicator_; }
    void setNetworkActivityIndicatorVisible(bool visible) { networkIndicator_ = visible; }

    // Addresses are recorded, not followed: the host shows or reports them. canOpenURL answers
    // true for the schemes the host says it can open.
    bool canOpenURL(const std::string& url) const;
    bool canOpenURL(const URL& url) const { return canOpenURL(url.absoluteString()); }
    void open(const std::string& url, std::function<void(bool)> completion = {});
    void open(const URL& url, std::function<void(bool)> completion = {}) {
        open(url.absoluteString(), std::move(completion));
    }
    const std::vector<std::string>& openedURLs() const { return opened_; }

    // The device token comes from the host, on the next turn of the main run loop.
    void registerForRemoteNotifications();
    void unregisterForRemoteNotifications();
    bool isRegisteredForRemoteNotifications() const { return registeredForRemote_; }
    void registerUserNotificationSettings(const UIUserNotificationSettings& settings);
    std::optional<UIUserNotificationSettings> currentUserNotificationSettings() const { return settings_; }

    // Ends editing in the key window (the keyboard goes away).
    void sendResignFirstResponder();

    // --- For the hosts and tests ---
    struct HostSettings {
        std::set<std::string> openableSchemes{"http", "https", "tel", "mailto"};
        Data deviceToken{0x0a, 0xff, 0x10, 0x42};
        // When set, remote registration fails with this error instead.
        std::optional<NSError> registrationError;
        // Whether the person allows notifications when asked.
        bool notificationsAllowed = true;
        // The picture sources the device has: a photo library always unless a test says not, a
        // camera only when the host can hand over a picture for it.
        bool hasPhotoLibrary = true;
        bool hasCamera = false;
        // The folder whose pictures the photo library holds (none: an empty library).
        std::filesystem::path photoLibraryFolder;
    };
    HostSettings& hostSettings() { return host_; }
    void setState(UIApplicationState state) { state_ = state; }
    void addWindow(const std::shared_ptr<UIWindow>& window);
    void removeWindow(const UIWindow* window);
    void setKeyWindow(const std::shared_ptr<UIWindow>& window) { keyWindow_ = window; }
    int remoteRegistrationCount() const { return remoteRegistrations_; }
    // Back to a freshly started application (tests).
    void reset();

private:
    UIApplication() = default;

    std::shared_ptr<UIApplicationDelegate> delegate_;
    std::vector<std::weak_ptr<UIWindow>> windows_;
    std::weak_ptr<UIWindow> keyWindow_;
    UIApplicationState state_ = UIApplicationState::inactive;
    long badge_ = 0;
    bool networkIndicator_ = false;
    std::vector<std::string> opened_;
    bool registeredForRemote_ = false;
    int remoteRegistrations_ = 0;
    std::optional<UIUserNotificationSettings> settings_;
    HostSettings host_;
};

namespace cw {

// The life cycle as the system runs it. Each call changes the state, calls the delegate and posts
// the notification, in the platform's order.
struct ApplicationLifecycle {
    // didFinishLaunching (posted afterwards), then becoming active.
    static bool launch(const std::shared_ptr<UIApplicationDelegate>& delegate,
                       const LaunchOptions& options = {});
    static void resignActive();    // active → inactive
    static void becomeActive();    // inactive → active
    static void enterBackground(); // → inactive → background
    static void enterForeground(); // background → inactive → active
    static void leaveBackground(); // background → inactive (the person opened a notification)
    static void terminate();
};

} // namespace cw
