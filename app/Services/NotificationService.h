#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ReplyCallbacks.h"

#include <cstdint>
#include <string>

// Tells the server that push notifications were received or seen, asks whether new recommended
// content waits (the feed's red dot), and resets the member's notification count.
class NotificationService : public BaseHTTPService {
public:
    using ReplySuccess = ObjectSuccess;

    NotificationService();
    // Every caller passes "notification".
    explicit NotificationService(const std::string& url);

    // POST "received" with userAuthData (empty without a member; still sent) and "not_id" as
    // decimal text. A failure is only written to the console.
    void sendNotificationId(std::int64_t id);
    // POST "seen" with "user_id" and "not_id" as numbers. A reply that is a JSON object goes to
    // `success`; another reply gives `failure` parseError, a failed request networkError.
    void markSeen(std::int64_t userId, std::int64_t notificationId, ReplySuccess success = nullptr,
                  RequestFailure failure = nullptr);
    // POST "recommended/check" with "user_id" as a number; replies as for markSeen.
    void checkRecommended(std::int64_t userId, ReplySuccess success, RequestFailure failure = nullptr);
    // POST "recommended/seen" with "user_id" as a number; replies as for markSeen.
    void markRecommendedSeen(std::int64_t userId, ReplySuccess success = nullptr,
                             RequestFailure failure = nullptr);
    // POST "reset" with "user_id" as a number. The reply is ignored; a failure writes "notification
    // reset failed" to the console.
    void resetNotificationCount(std::int64_t userId);
};
