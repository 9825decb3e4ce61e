#include "App/Notifications/RemoteNotificationPayload.h"

#include "Models/RecordReading.h"

#include <limits>

namespace RemoteNotificationPayload {

namespace {

constexpr const char* kDetailsPostNotAvailable = "N/A";

// A payload value put into event details as it stands; a key the payload lacks gives "N/A".
JSON idOrNotAvailable(const NotificationUserInfo& payload, std::string_view key) {
    if (const auto* v = value(payload, key)) return JSON(*v);
    return JSON(kDetailsPostNotAvailable);
}

} // namespace

const nlohmann::json* value(const NotificationUserInfo& payload, std::string_view key) {
    if (!payload.is_object()) return nullptr;
    auto found = payload.find(key);
    return found == payload.end() ? nullptr : &*found;
}

std::optional<std::int64_t> integer(const NotificationUserInfo& payload, std::string_view key) {
    const auto* v = value(payload, key);
    if (!v) return std::nullopt;
    return JSON(*v).asExactInt();
}

std::optional<std::int64_t> integerFromDecimalText(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulated as a negative number, whose range reaches one further than the positive one.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        if (result < (lowest + digit) / 10) return std::nullopt;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == lowest) return std::nullopt;
        return -result;
    }
    return result;
}

std::optional<std::int64_t> decimalText(const NotificationUserInfo& payload, std::string_view key) {
    auto t = text(payload, key);
    if (!t) return std::nullopt;
    return integerFromDecimalText(*t);
}

std::optional<std::string> text(const NotificationUserInfo& payload, std::string_view key) {
    const auto* v = value(payload, key);
    if (!v || !v->is_string()) return std::nullopt;
    return v->get<std::string>();
}

std::optional<std::string> screen(const NotificationUserInfo& payload) {
    auto s = text(payload, kScreen);
    if (!s) return std::nullopt;
    return cw::asciiLowercased(*s);
}

std::optional<TapEvent> tapEvent(const NotificationUserInfo& payload) {
    const auto type = text(payload, kNotificationType);
    if (!type) return std::nullopt;
    TapEvent event{*type, {}};
    if (*type == "education_content") {
        if (const auto* feedId = value(payload, kFeedId)) {
            event.details = {{"EducationContentNotification",
                              JSON("User tapped on a education content notification for feed")},
                             {kFeedId, JSON(*feedId)}};
        } else {
            event.details = {{"DailyUpdateNotification", JSON("User tapped on a daily update notification")}};
        }
    } else if (*type == "post") {
        event.details = {{"UserPostNotification", JSON("User tapped on a new post notification")},
                         {kPostId, idOrNotAvailable(payload, kPostId)}};
    } else if (*type == "comment") {
        const auto s = screen(payload);
        if (s == "post") {
            event.details = {{"CommentNotification", JSON("User tapped on a comment notification for post")},
                             {kPostId, idOrNotAvailable(payload, kPostId)}};
        } else if (s == "feed") {
            event.details = {{"CommentNotification", JSON("User tapped on a comment notification for feed")},
                             {kPostId, idOrNotAvailable(payload, kPostId)}};
        } else {
            // A comment on anything else is reported against the feed, without the post.
            event.details = {{"CommentNotification", JSON("User tapped on a comment notification for feed")},
                             {kPostId, JSON(kDetailsPostNotAvailable)}};
        }
    } else {
        return std::nullopt;
    }
    return event;
}

bool hasKnownScreen(const NotificationUserInfo& payload) {
    const auto s = screen(payload);
    return s == "feed" || s == "post" || s == "recommended" || s == "daily_update";
}

Route route(const NotificationUserInfo& payload, Path path) {
    const auto s = screen(payload);
    if (!s) return NoRoute{};
    const bool tap = path == Path::tap;
    auto postId = [&]() -> std::optional<std::int64_t> {
        if (auto id = integer(payload, kPostId)) return id;
        if (tap) return decimalText(payload, kPostId);
        return std::nullopt;
    };
    if (*s == "feed") {
        std::optional<std::int64_t> cardId = integer(payload, kFeedId);
        if (!cardId) cardId = integer(payload, kPostId);
        if (!cardId && tap) cardId = decimalText(payload, kFeedId);
        if (!cardId && tap) cardId = decimalText(payload, kPostId);
        if (cardId) return OpenArticle{*cardId, integer(payload, kNotificationId)};
        // A tap then tries the post: it can only find what the card search already missed.
        if (tap) {
            if (auto id = postId()) return OpenPost{*id};
        }
        return NoRoute{};
    }
    if (*s == "post") {
        if (auto id = postId()) return OpenPost{*id};
        return NoRoute{};
    }
    if (*s == "recommended" || *s == "daily_update") return FlagEducationLibrary{};
    return NoRoute{};
}

} // namespace RemoteNotificationPayload
