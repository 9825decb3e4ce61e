#pragma once

// The user-notification centre: asks the person for permission (the host answers), and hands a
// notification to its delegate when it arrives while the application is in front (how to show
// it) or when the person taps it. A notification the delegate has shown as an alert drops in as a
// banner at the top of the key window for a few seconds; a tap on the banner is a tap on the
// notification.

#include "foundation/json/NSError.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

using UNAuthorizationOptions = unsigned;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionBadge = 1;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionSound = 2;
inline constexpr UNAuthorizationOptions UNAuthorizationOptionAlert = 4;

using UNNotificationPresentationOptions = unsigned;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionNone = 0;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionBadge = 1;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionSound = 2;
inline constexpr UNNotificationPresentationOptions UNNotificationPresentationOptionAlert = 4;

enum class UNAuthorizationStatus { notDetermined, denied, authorized };

struct UNNotificationContent {
    std::string title;
    std::string body;
    std::optional<long> badge;
    nlohmann::json userInfo = nlohmann::json::object();

    // The content the system makes of a remote notification's payload: the "aps" dictionary's
    // "alert" (a text, or a dictionary with "title" and "body") and "badge"; the whole payload is
    // the user info. Keys of another type are left out.
    static UNNotificationContent fromRemotePayload(const nlohmann::json& payload);
};

struct UNNotificationRequest {
    std::string identifier;
    UNNotificationContent content;
};

struct UNNotification {
    double date = 0;
    UNNotificationRequest request;
};

inline const std::string UNNotificationDefaultActionIdentifier =
    "com.apple.UNNotificationDefaultActionIdentifier";
inline const std::string UNNotificationDismissActionIdentifier =
    "com.apple.UNNotificationDismissActionIdentifier";

struct UNNotificationResponse {
    UNNotification notification;
    std::string actionIdentifier = UNNotificationDefaultActionIdentifier;
};

struct UNNotificationSettings {
    UNAuthorizationStatus authorizationStatus = UNAuthorizationStatus::notDetermined;
};

class UNUserNotificationCenter;
namespace cw {
class NotificationBannerView;
}

class UNUserNotificationCenterDelegate {
public:
    virtual ~UNUserNotificationCenterDelegate() = default;
    // A notification arrived while the application is in front; the completion says how to show it.
    virtual void willPresent(UNUserNotificationCenter&, const UNNotification&,
                             std::function<void(UNNotificationPresentationOptions)> completion) {
        completion(UNNotificationPresentationOptionNone);
    }
    // The person acted on a notification.
    virtual void didReceive(UNUserNotificationCenter&, const UNNotificationResponse&,
                            std::function<void()> completion) {
        completion();
    }
};

class UNUserNotificationCenter {
public:
    static UNUserNotificationCenter& current();

    std::shared_ptr<UNUserNotificationCenterDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UNUserNotificationCenterDelegate>& delegate) {
        delegate_ = delegate;
    }

    // The host answers for the person; the completion runs on the main queue.
    void requestAuthorization(UNAuthorizationOptions options,
                              std::function<void(bool granted, std::optional<NSError> error)> completion);
    void getNotificationSettings(std::function<void(const UNNotificationSettings&)> completion) const;

    // --- For the hosts ---
    // Hands a notification that arrived in front to the delegate; returns the options it chose
    // (none without a delegate).
    UNNotificationPresentationOptions present(const UNNotification& notification);
    // Hands a tap to the delegate; false when there is no delegate to take it. A banner on screen
    // goes away: the person has acted on the notification.
    bool respond(const UNNotificationResponse& response);
    // The banner on screen, if one is (for the hosts' drivers).
    std::shared_ptr<cw::NotificationBannerView> banner() const { return banner_; }
    // How long a banner stays before it slides away.
    static constexpr double kBannerSeconds = 5;
    // What the person answers when asked.
    bool allowsNotifications = true;
    UNNotificationPresentationOptions lastPresentationOptions() const { return lastOptions_; }
    void reset();

private:
    void showBanner(const UNNotification& notification);
    void hideBanner(bool animated);

    std::weak_ptr<UNUserNotificationCenterDelegate> delegate_;
    std::shared_ptr<cw::NotificationBannerView> banner_;
    std::uint64_t bannerTimer_ = 0;
    UNAuthorizationStatus status_ = UNAuthorizationStatus::notDetermined;
    UNNotificationPresentationOptions lastOptions_ = 0;
};
