#pragma once

#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Registers a new member with the member's babies and pictures. Like sign-in, the request bypasses
// the token refresh: its failures reach the caller at once. Like a sign-in, it belongs to the screen
// that asked for it (`road`, held weakly) and to the session generation it begins when asked for
// (AuthenticationContext::beginSignIn): once the member has left that screen, or a sign-in, another
// sign-up or a logout came after it, it is not sent if it has not left yet, and neither callback
// runs for its reply.
class SignUpService : public BaseHTTPService {
public:
    SignUpService();
    explicit SignUpService(const std::string& url) = delete;

    // Multipart POST to the root of "signup": the text fields of SignUpParameters, then the babies'
    // pictures and the member's picture (PictureUpload::signUp). A picture that cannot be encoded as
    // JPEG is left out; the rest still goes. The pictures are encoded off the main thread first, so
    // the request leaves on a later turn of the main run loop; the callbacks run on the main queue.
    //
    // Failures: the server's error object as erroResponse, a JSON reply that is no object as
    // parseError, a reply that is not JSON as erroResponse {"message": "Server error ..."}, and a
    // failure without a reply body (no connection) as networkError.
    //
    // It carries the key of `action`, the member's registration (Services/ActionKey.h).
    void signUp(const UserData& user, const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
                const std::string& password, std::weak_ptr<const void> road, Success success,
                RequestFailure failure, const ActionKey& action = ActionKey());
};
