#include "Services/AnalyticsService.h"

#include "Extensions/UIDevice+ModelName.h"
#include "foundation/device/UIDevice.h"
#include "foundation/dispatch/DispatchQueue.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<ScreenAction, const char*>, 6> screenActions{{
    {ScreenAction::Tap, "Tap"},
    {ScreenAction::LongPress, "LongPress"},
    {ScreenAction::Swipe, "Swipe"},
    {ScreenAction::Loaded, "Loaded"},
    {ScreenAction::ServerRequest, "ServerRequest"},
    {ScreenAction::View, "View"},
}};

std::optional<std::int64_t> signedInMemberId() {
    auto user = AuthenticationContext::shared().user();
    if (!user) return std::nullopt;
    return user->id();
}

} // namespace

std::string rawValue(ScreenAction action) {
    for (const auto& [value, text] : screenActions)
        if (value == action) return text;
    return {};
}

std::optional<ScreenAction> ScreenActionFromRawValue(std::string_view text) {
    for (const auto& [value, raw] : screenActions)
        if (text == raw) return value;
    return std::nullopt;
}

AnalyticsService::AnalyticsService() : BaseHTTPService("analytics") {
    sendAsBackgroundTraffic();
}

JSON AnalyticsService::event(std::optional<std::int64_t> userId, const std::string& screenName,
                             const std::string& screenAction, const JSON::dictionary_t& eventDetails) {
    JSON body = JSON(JSON::dictionary_t{});
    if (userId) body.set("user_id", *userId);
    body.set("screen_name", screenName);
    body.set("screen_action", screenAction);
    body.set("event_details", JSON(eventDetails));
    if (auto version = cw::bundleApplicationVersion()) body.set("application_version", *version);
    const UIDevice& device = UIDevice::current();
    body.set("client", device.systemName());
    body.set("clientOS", device.systemVersion());
    body.set("clientModel", modelName(device));
    return body;
}

void AnalyticsService::send(const std::string& screenName, const std::string& screenAction,
                            const JSON::dictionary_t& eventDetails, Success success, Failure failure) {
    // The session belongs to the main thread: what the event needs of it is taken now.
    const std::optional<std::int64_t> userId = signedInMemberId();
    updateHeaderWithTokens();
    DispatchQueue::global(DispatchQoS::background)
        .async([service = *this, userId, screenName, screenAction, eventDetails, success = std::move(success),
                failure = std::move(failure)]() mutable {
            service.post("", event(userId, screenName, screenAction, eventDetails), std::move(success),
                         std::move(failure));
        });
}

void AnalyticsService::send(const std::string& screenName, ScreenAction action,
                            const JSON::dictionary_t& eventDetails) {
    post("", event(signedInMemberId(), screenName, rawValue(action), eventDetails), nullptr, nullptr);
}
