#pragma once

#include "Services/BaseHTTPService.h"

#include <memory>
#include <string>

// Signs a member in with e-mail and password. The request goes straight to the server, without the
// token refresh: every failure, a 401 included, reaches the caller at once.
//
// A sign-in belongs to the screen that asked for it (its road) and to the session generation it
// begins as it is sent (AuthenticationContext::beginSignIn: a session in force ends first). Its
// reply reaches the caller only while both hold: once the member has left that screen, or another
// sign-in, a sign-up or a logout came after it, neither callback runs, so a late reply signs nobody
// in under someone else's screens.
class SignInService : public BaseHTTPService {
public:
    SignInService();
    explicit SignInService(const std::string& url) = delete;

    // JSON POST {"email", "password"} (texts as given) to the root of "signin". The success callback
    // gets the reply unchanged (the caller hands it to the session's login); the failure callback the
    // task and the error as the transport gave them. `road` is the screen asking (held weakly).
    void signin(const std::string& email, const std::string& password, std::weak_ptr<const void> road,
                Success success, Failure failure);
};
