#include "uikit/controllers/UNUserNotificationCenter.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/NotificationBannerView.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIViewAnimation.h"

namespace {

std::string textAt(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

UNNotificationContent UNNotificationContent::fromRemotePayload(const nlohmann::json& payload) {
    UNNotificationContent content;
    content.userInfo = payload;
    if (!payload.is_object()) return content;
    auto aps = payload.find("aps");
    if (aps == payload.end() || !aps->is_object()) return content;
    if (auto alert = aps->find("alert"); alert != aps->end()) {
        if (alert->is_string()) {
            content.body = alert->get<std::string>();
        } else if (alert->is_object()) {
            content.title = textAt(*alert, "title");
            content.body = textAt(*alert, "body");
        }
    }
    if (auto badge = aps->find("badge"); badge != aps->end() && badge->is_number_integer())
        content.badge = badge->get<long>();
    return content;
}

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
    d->willPresent(*this, notification, [this, notification](UNNotificationPresentationOptions options) {
        lastOptions_ = options;
        // The badge option puts the notification's number on the application's icon.
        if ((options & UNNotificationPresentationOptionBadge) && notification.request.content.badge)
            UIApplication::shared().setApplicationIconBadgeNumber(*notification.request.content.badge);
        // An alert is shown as the platform shows one in front: a banner, when there is a text.
        if ((options & UNNotificationPresentationOptionAlert) &&
            !(notification.request.content.title.empty() && notification.request.content.body.empty()))
            showBanner(notification);
    });
    return lastOptions_;
}

void UNUserNotificationCenter::showBanner(const UNNotification& notification) {
    hideBanner(false);
    auto window = UIApplication::shared().keyWindow();
    if (!window) return;
    auto banner = std::make_shared<cw::NotificationBannerView>(cw::applicationDisplayName(), notification.request.content.title,
                                                               notification.request.content.body);
    const CGRect frame = banner->frameInWindow(window->bounds().size.width);
    banner->setFrame(frame);
    banner->onTap = [this, notification] {
        UNNotificationResponse response;
        response.notification = notification;
        response.actionIdentifier = UNNotificationDefaultActionIdentifier;
        respond(response);
    };
    window->addSystemOverlay(banner);
    banner_ = banner;
    // It drops in from above the screen's top edge.
    const cw::Animator::Motion above{{0, -frame.maxY()}, 1}, shown{{0, 0}, 1};
    cw::Animator::shared().playSystemMotion(banner->layer(), cw::kTransitionDuration, above, shown);
    bannerTimer_ = RunLoop::main().addTimer(Clock::uptime() + kBannerSeconds, [this] {
        bannerTimer_ = 0;
        hideBanner(true);
    });
}

void UNUserNotificationCenter::hideBanner(bool animated) {
    if (bannerTimer_) RunLoop::main().cancelTimer(bannerTimer_);
    bannerTimer_ = 0;
    auto banner = std::move(banner_);
    banner_.reset();
    if (!banner) return;
    // Gone at once for a tap (it takes no second one), then seen sliding back up.
    banner->setUserInteractionEnabled(false);
    if (!animated) {
        banner->removeFromSuperview();
        return;
    }
    const cw::Animator::Motion above{{0, -banner->frame().maxY()}, 1}, shown{{0, 0}, 1};
    cw::Animator::shared().playSystemMotion(banner->layer(), cw::kTransitionDuration, shown, above,
                                            [banner](bool) { banner->removeFromSuperview(); });
}

bool UNUserNotificationCenter::respond(const UNNotificationResponse& response) {
    hideBanner(true);
    auto d = delegate();
    if (!d) return false;
    d->didReceive(*this, response, [] {});
    return true;
}

void UNUserNotificationCenter::reset() {
    hideBanner(false);
    delegate_.reset();
    status_ = UNAuthorizationStatus::notDetermined;
    lastOptions_ = 0;
    allowsNotifications = true;
}
