#include "uikit/controllers/UNUserNotificationCenter.h"

#include "foundation/dispatch/DispatchQueue.h"

UNUserNotificationCenter& UNUserNotificationCenter::current() {
    static UNUserNotificationCenter center;
    return center;
}

void UNUserNotificationCenter::requestAuthorization(
    UNAuthorizationOptions, std::function<void(bool, std::optional<NSError>)> completion) {
    status_ = allowsNotifications ? UNAuthorizationStatus::authorized : UNAuthorizationStatus::denied;
    const bool granted = allowsNotifications;
    if (completion)
        DispatchQueue::main().async(
            [completion = std::move(completion), granted] { completion(granted, std::nullopt); });
}

void UNUserNotificationCenter::getNotificationSettings(
    std::function<void(const UNNotificationSettings&)> completion) const {
    UNNotificationSettings settings{status_};
    if (completion)
        DispatchQueue::main().async([completion = std::move(completion), settings] { completion(settings); });
}

UNNotificationPresentationOptions UNUserNotificationCenter::present(const UNNotification& notification) {
    lastOptions_ = UNNotificationPresentationOptionNone;
    auto d = delegate();
    if (!d) return lastOptions_;
    d->willPresent(*this, notification,
                   [this](UNNotificationPresentationOptions options) { lastOptions_ = options; });
    return lastOptions_;
}

bool UNUserNotificationCenter::respond(const UNNotificationResponse& response) {
    auto d = delegate();
    if (!d) return false;
    d->didReceive(*this, response, [] {});
    return true;
}

void UNUserNotificationCenter::reset() {
    delegate_.reset();
    status_ = UNAuthorizationStatus::notDetermined;
    lastOptions_ = 0;
    allowsNotifications = true;
}
