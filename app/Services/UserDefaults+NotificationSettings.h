#pragma once

#include "foundation/defaults/UserDefaults.h"
#include "foundation/json/JSON.h"
#include "foundation/time/Date.h"

// The member's choice of push notifications, kept in the user defaults under
// "recommendedNotifications", "postNotifications", "commentNotifications",
// "dailyUpdateNotifications" (registered true), "notificationSchedule" (false) and the quiet time's
// "notificationFromDate" (00:00) and "notificationToDate" (07:00), stored as dates of which only the
// time of day counts. The server's copy is exchanged as Booleans and "HH:mm:ss" texts of the
// device's wall-clock time.
//
// Main thread, like the screens that use them.

// Registers the seven defaults (not written to storage; a value ever set wins over them).
void registerDefaultNotificationSettings(UserDefaults& defaults);

bool recommendedContentNotifications(const UserDefaults& defaults);
void setRecommendedContentNotifications(UserDefaults& defaults, bool value);
bool postNotifications(const UserDefaults& defaults);
void setPostNotifications(UserDefaults& defaults, bool value);
bool commentNotifications(const UserDefaults& defaults);
void setCommentNotifications(UserDefaults& defaults, bool value);
bool dailyUpdateNotifications(const UserDefaults& defaults);
void setDailyUpdateNotifications(UserDefaults& defaults, bool value);
bool notificationSchedule(const UserDefaults& defaults);
void setNotificationSchedule(UserDefaults& defaults, bool value);
// The stored time, or the default one when nothing (or something that is not a date) is stored.
Date notificationFromDate(const UserDefaults& defaults);
void setNotificationFromDate(UserDefaults& defaults, const Date& date);
Date notificationToDate(const UserDefaults& defaults);
void setNotificationToDate(UserDefaults& defaults, const Date& date);

// 00:00 and 07:00 of the device's time zone (on the day a time-only text reads as), made once.
Date defaultNotificationFromDate();
Date defaultNotificationToDate();

// Takes the server's settings reply: each of "recommended_notifications", "post_notifications",
// "comment_notifications", "daily_update_notifications" and "scheduled" that holds a JSON Boolean, and
// each of "scheduled_from" / "scheduled_to" that holds an "HH:mm:ss" text, is stored; anything else
// (missing, null, 1 or 0, "22:30") leaves the stored value as it was.
void setNotificationSettings(UserDefaults& defaults, const JSON& json);

// The seven server keys from the current values (the defaults standing in for what is not stored):
// five Booleans and the two times as "HH:mm:ss". The caller adds "user_id".
JSON notificationSettingsParameters(const UserDefaults& defaults);
