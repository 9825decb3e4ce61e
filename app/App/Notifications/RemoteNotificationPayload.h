#pragma once

// Reading a remote notification's payload (the dictionary the system hands over), and what the
// application makes of it: the usage event a tap reports and the screen it opens.
//
// Payloads come from outside: any key may be missing or of another type, and the payload itself
// may be no dictionary at all (then every key counts as missing). Nothing here throws.
//
//   "not_id"             integer                  the notification, reported as received
//   "screen"             text, lower-cased        "feed", "post", "recommended", "daily_update"
//   "feed_id", "post_id" integer (or decimal text on the tap path)
//   "notification_type"  text, exact              "education_content", "post", "comment"

#include "foundation/json/JSON.h"
#include "uikit/controllers/UIApplication.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace RemoteNotificationPayload {

inline constexpr const char* kNotificationId = "not_id";
inline constexpr const char* kScreen = "screen";
inline constexpr const char* kFeedId = "feed_id";
inline constexpr const char* kPostId = "post_id";
inline constexpr const char* kNotificationType = "notification_type";

// The value under `key`; none when the payload is no dictionary or lacks the key.
const nlohmann::json* value(const NotificationUserInfo& payload, std::string_view key);
// A JSON number that is exactly a whole number in the 64-bit range (7 and 7.0; not 7.5, not true).
std::optional<std::int64_t> integer(const NotificationUserInfo& payload, std::string_view key);
// A JSON string holding a whole decimal number: an optional "+" or "-", then digits only. Text that
// holds anything else, or a number beyond the 64-bit range, gives none.
std::optional<std::int64_t> decimalText(const NotificationUserInfo& payload, std::string_view key);
std::optional<std::int64_t> integerFromDecimalText(std::string_view text);
// A JSON string.
std::optional<std::string> text(const NotificationUserInfo& payload, std::string_view key);
// "screen" as text, lower-cased.
std::optional<std::string> screen(const NotificationUserInfo& payload);

// The usage event of a tapped notification: screen name and details.
struct TapEvent {
    std::string screenName;
    JSON::dictionary_t details;
};
// None for a "notification_type" that is missing, not text, or none of the three kinds. The ids go
// into the details as the payload holds them (number or text).
std::optional<TapEvent> tapEvent(const NotificationUserInfo& payload);

// Where a notification leads.
struct OpenArticle {
    std::int64_t cardId;
    std::optional<std::int64_t> notificationId;
    bool operator==(const OpenArticle&) const = default;
};
struct OpenPost {
    std::int64_t postId;
    bool operator==(const OpenPost&) const = default;
};
// "recommended" and "daily_update": the education library's flag on the drawer; nothing opens.
struct FlagEducationLibrary {
    bool operator==(const FlagEducationLibrary&) const = default;
};
struct NoRoute {
    bool operator==(const NoRoute&) const = default;
};
using Route = std::variant<NoRoute, OpenArticle, OpenPost, FlagEducationLibrary>;

// The background handler reads ids as integers only; the tap handler also takes decimal text.
enum class Path { background, tap };

// Whether "screen" is one of the four values routing knows.
bool hasKnownScreen(const NotificationUserInfo& payload);
Route route(const NotificationUserInfo& payload, Path path);

} // namespace RemoteNotificationPayload
