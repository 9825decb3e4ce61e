#include "Services/SignUpService.h"

#include "Services/PictureUpload.h"
#include "Services/SignUpParameters.h"

SignUpService::SignUpService() : BaseHTTPService("signup") {}

void SignUpService::signUp(const UserData& user,
                           const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
                           const std::string& password, Success success, RequestFailure failure) {
    const SignUpParameters signUp{user, babies, password};
    PictureUpload::signUp(signUp.userData, babies)
        .send([service = *this, parameters = signUp.dictionaryRepresentation(),
               success = std::move(success),
               failure = std::move(failure)](PictureUpload::Parts parts) mutable {
            // Through the service's multipart post, so that it carries its action's key.
            service.post(
                "", parameters, PictureUpload::body(parts), nullptr,
                [success = std::move(success)](const Task& task, const std::optional<JSON>& reply) {
                    if (success) success(task, reply);
                },
                [failure = std::move(failure)](const Task&, const NSError& error) {
                    if (failure) failure(cw::readServerError(&error));
                });
        });
}
