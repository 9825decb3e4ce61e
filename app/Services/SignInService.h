#pragma once

#include "Services/BaseHTTPService.h"

#include <string>

// Signs a member in with e-mail and password. The request goes straight to the server, without the
// token refresh: every failure, a 401 included, reaches the caller at once.
class SignInService : public BaseHTTPService {
public:
    SignInService();
    explicit SignInService(const std::string& url) = delete;

    // JSON POST {"email", "password"} (texts as given) to the root of "signin". The success callback
    // gets the reply unchanged (the caller hands it to the session's login); the failure callback the
    // task and the error as the transport gave them.
    void signin(const std::string& email, const std::string& password, Success success, Failure failure);
};
