#include "Services/SignInService.h"

SignInService::SignInService() : BaseHTTPService("signin") {}

void SignInService::signin(const std::string& email, const std::string& password, std::weak_ptr<const void> road,
                           Success success, Failure failure) {
    AuthenticationContext::shared().beginSignIn();
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("email", email);
    parameters.set("password", password);
    // Sent once, never parked for a refresh; its reply is dropped, as every reply is, once its
    // generation has ended.
    postOnce(
        "", parameters,
        [road, success = std::move(success)](const Task& task, const std::optional<JSON>& reply) {
            if (!road.expired() && success) success(task, reply);
        },
        [road, failure = std::move(failure)](const Task& task, const NSError& error) {
            if (!road.expired() && failure) failure(task, error);
        });
}
