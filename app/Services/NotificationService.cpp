#include "Services/NotificationService.h"

#include <iostream>
#include <string>
#include <utility>

namespace {

JSON userIdParameters(std::int64_t userId) {
    JSON parameters;
    parameters.set("user_id", userId);
    return parameters;
}

} // namespace

NotificationService::NotificationService() : NotificationService("notification") {}

NotificationService::NotificationService(const std::string& url) : BaseHTTPService(url) {}

void NotificationService::sendNotificationId(std::int64_t id) {
    JSON parameters = userAuthDataJSON();
    parameters.set("not_id", std::to_string(id));
    sendAsBackgroundTraffic();
    post("received", parameters, nullptr,
         [](const Task&, const NSError& error) { std::cout << error.localizedDescription() << std::endl; });
}

void NotificationService::markSeen(std::int64_t userId, std::int64_t notificationId, ReplySuccess success,
                                   RequestFailure failure) {
    JSON parameters = userIdParameters(userId);
    parameters.set("not_id", notificationId);
    post("seen", parameters, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}

void NotificationService::checkRecommended(std::int64_t userId, ReplySuccess success,
                                           RequestFailure failure) {
    // Asked by the feed of its own accord, not by the member.
    sendAsBackgroundTraffic();
    post("recommended/check", userIdParameters(userId), cw::objectReply(std::move(success), failure),
         cw::networkFailure(failure));
}

void NotificationService::markRecommendedSeen(std::int64_t userId, ReplySuccess success,
                                              RequestFailure failure) {
    post("recommended/seen", userIdParameters(userId), cw::objectReply(std::move(success), failure),
         cw::networkFailure(failure));
}

void NotificationService::resetNotificationCount(std::int64_t userId) {
    sendAsBackgroundTraffic();
    post("reset", userIdParameters(userId), nullptr,
         [](const Task&, const NSError&) { std::cout << "notification reset failed" << std::endl; });
}
