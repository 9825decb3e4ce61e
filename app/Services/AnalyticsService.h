#pragma once

#include "Services/BaseHTTPService.h"
#include "foundation/json/JSON.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The kinds of user action that usage events report; the raw value is the case name.
enum class ScreenAction { Tap, LongPress, Swipe, Loaded, ServerRequest, View };

std::string rawValue(ScreenAction action);
// The case whose raw value is exactly `text` (letter case counts); none for anything else.
std::optional<ScreenAction> ScreenActionFromRawValue(std::string_view text);

// Keys of event details that several screens share.
struct AnalyticsConstants {
    AnalyticsConstants() = delete;
    static constexpr const char* feedViewShowActionSheet = "feedViewShowActionSheet";
    static constexpr const char* contentTapped = "contentTapped";
    static constexpr const char* educationSearchViewContentTapped = "educationSearchViewContentTapped";
};

// Other fixed texts; the feedback mail's live with the screens that send it.
struct Constants {
    Constants() = delete;
    struct Feedback {};
};

// Sends one usage event to "analytics": the screen, the action, free-form details, the signed-in
// member's id and the device. Nothing waits for it.
class AnalyticsService : public BaseHTTPService {
public:
    AnalyticsService();

    // Builds and posts the event on the global background queue; returns at once. The member id and
    // the session's tokens are taken here, on the calling (main) thread.
    void send(const std::string& screenName, const std::string& screenAction,
              const JSON::dictionary_t& eventDetails, Success success = nullptr, Failure failure = nullptr);
    // Builds and posts the event on the calling thread, with no callbacks.
    void send(const std::string& screenName, ScreenAction action, const JSON::dictionary_t& eventDetails);

private:
    // The event body: "user_id" (when given), "screen_name", "screen_action", "event_details",
    // "application_version" (when the bundle has both version texts), "client", "clientOS",
    // "clientModel".
    static JSON event(std::optional<std::int64_t> userId, const std::string& screenName,
                      const std::string& screenAction, const JSON::dictionary_t& eventDetails);
};
