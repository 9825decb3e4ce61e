#include "Services/UserDefaults+NotificationSettings.h"

#include "foundation/time/DateFormatter.h"

#include <array>
#include <optional>
#include <string>

namespace {

constexpr const char* recommendedKey = "recommendedNotifications";
constexpr const char* postKey = "postNotifications";
constexpr const char* commentKey = "commentNotifications";
constexpr const char* dailyUpdateKey = "dailyUpdateNotifications";
constexpr const char* scheduleKey = "notificationSchedule";
constexpr const char* fromDateKey = "notificationFromDate";
constexpr const char* toDateKey = "notificationToDate";

// The five switches: server key and user-defaults key, in the order the reply is read.
constexpr std::array<std::array<const char*, 2>, 5> switches{{
    {"recommended_notifications", recommendedKey},
    {"post_notifications", postKey},
    {"comment_notifications", commentKey},
    {"daily_update_notifications", dailyUpdateKey},
    {"scheduled", scheduleKey},
}};

// Times travel to the server as ASCII "HH:mm:ss" of the device's wall clock. A fixed POSIX locale
// keeps a device locale with other digits or a 12-hour preference from changing what is written or
// refusing what is read; the time zone stays the device's.
const DateFormatter& serverTimeFormatter() {
    static const DateFormatter formatter = DateFormatter::serverFormatter("HH:mm:ss");
    return formatter;
}

Date timeOfDay(const char* text) {
    auto date = DateFormatter::serverFormatter("HH:mm").date(text);
    return date ? *date : Date::now();
}

PropertyListValue::Date stored(const Date& date) {
    return {date.timeIntervalSince1970()};
}

Date storedDate(const UserDefaults& defaults, const char* key, const Date& fallback) {
    auto value = defaults.objectForKey(key);
    if (!value) return fallback;
    const auto* date = value->getIf<PropertyListValue::Date>();
    return date ? Date::since1970(date->timeIntervalSince1970) : fallback;
}

} // namespace

Date defaultNotificationFromDate() {
    static const Date date = timeOfDay("00:00");
    return date;
}

Date defaultNotificationToDate() {
    static const Date date = timeOfDay("07:00");
    return date;
}

void registerDefaultNotificationSettings(UserDefaults& defaults) {
    defaults.registerDefaults({
        {recommendedKey, true},
        {postKey, true},
        {commentKey, true},
        {dailyUpdateKey, true},
        {scheduleKey, false},
        {fromDateKey, stored(defaultNotificationFromDate())},
        {toDateKey, stored(defaultNotificationToDate())},
    });
}

bool recommendedContentNotifications(const UserDefaults& defaults) {
    return defaults.boolForKey(recommendedKey);
}
void setRecommendedContentNotifications(UserDefaults& defaults, bool value) {
    defaults.setBool(value, recommendedKey);
}
bool postNotifications(const UserDefaults& defaults) {
    return defaults.boolForKey(postKey);
}
void setPostNotifications(UserDefaults& defaults, bool value) {
    defaults.setBool(value, postKey);
}
bool commentNotifications(const UserDefaults& defaults) {
    return defaults.boolForKey(commentKey);
}
void setCommentNotifications(UserDefaults& defaults, bool value) {
    defaults.setBool(value, commentKey);
}
bool dailyUpdateNotifications(const UserDefaults& defaults) {
    return defaults.boolForKey(dailyUpdateKey);
}
void setDailyUpdateNotifications(UserDefaults& defaults, bool value) {
    defaults.setBool(value, dailyUpdateKey);
}
bool notificationSchedule(const UserDefaults& defaults) {
    return defaults.boolForKey(scheduleKey);
}
void setNotificationSchedule(UserDefaults& defaults, bool value) {
    defaults.setBool(value, scheduleKey);
}

Date notificationFromDate(const UserDefaults& defaults) {
    return storedDate(defaults, fromDateKey, defaultNotificationFromDate());
}
void setNotificationFromDate(UserDefaults& defaults, const Date& date) {
    defaults.setObject(stored(date), fromDateKey);
}
Date notificationToDate(const UserDefaults& defaults) {
    return storedDate(defaults, toDateKey, defaultNotificationToDate());
}
void setNotificationToDate(UserDefaults& defaults, const Date& date) {
    defaults.setObject(stored(date), toDateKey);
}

void setNotificationSettings(UserDefaults& defaults, const JSON& json) {
    for (const auto& [serverKey, key] : switches)
        if (auto value = json[serverKey].bool_()) defaults.setBool(*value, key);
    for (const auto& [serverKey, key] : {std::array<const char*, 2>{"scheduled_from", fromDateKey},
                                         std::array<const char*, 2>{"scheduled_to", toDateKey}}) {
        auto text = json[serverKey].string();
        if (!text) continue;
        if (auto date = serverTimeFormatter().date(*text)) defaults.setObject(stored(*date), key);
    }
}

JSON notificationSettingsParameters(const UserDefaults& defaults) {
    JSON parameters = JSON(JSON::dictionary_t{});
    for (const auto& [serverKey, key] : switches)
        parameters.set(serverKey, defaults.boolForKey(key));
    parameters.set("scheduled_from", serverTimeFormatter().string(notificationFromDate(defaults)));
    parameters.set("scheduled_to", serverTimeFormatter().string(notificationToDate(defaults)));
    return parameters;
}
