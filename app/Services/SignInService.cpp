#include "Services/SignInService.h"

SignInService::SignInService() : BaseHTTPService("signin") {}

void SignInService::signin(const std::string& email, const std::string& password, Success success,
                           Failure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("email", email);
    parameters.set("password", password);
    // The token headers are those the service was made with; a sign-in is never parked for a refresh.
    manager()->POST("", parameters, nullptr, std::move(success), std::move(failure));
}
