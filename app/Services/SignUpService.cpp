#include "Services/SignUpService.h"

#include "Services/PictureUpload.h"
#include "Services/SignUpParameters.h"

SignUpService::SignUpService() : BaseHTTPService("signup") {}

void SignUpService::signUp(const UserData& user,
                           const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
                           const std::string& password, std::weak_ptr<const void> road, Success success,
                           RequestFailure failure, const ActionKey& action) {
    // The generation begins before the pictures are queued: the upload belongs to it, and is not
    // sent once it has ended.
    AuthenticationContext::shared().beginSignIn();
    const SignUpParameters signUp{user, babies, password};
    PictureUpload::signUp(signUp.userData, babies)
        .send([service = *this, parameters = signUp.dictionaryRepresentation(), road,
               success = std::move(success), failure = std::move(failure),
               action](PictureUpload::Parts parts) mutable {
            if (road.expired()) return;
            // Through the service's own send, on the main thread: the request belongs to the
            // generation the sign-up began (the upload is not delivered once it has ended), and it
            // carries its action's key.
            service.post(
                "", parameters, PictureUpload::body(parts), nullptr,
                [road, success = std::move(success)](const Task& task, const std::optional<JSON>& reply) {
                    if (!road.expired() && success) success(task, reply);
                },
                [road, failure = std::move(failure)](const Task&, const NSError& error) {
                    if (!road.expired() && failure) failure(cw::readServerError(&error));
                },
                action);
        });
}
