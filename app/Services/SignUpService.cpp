#include "Services/SignUpService.h"

#include "Services/SignUpParameters.h"

SignUpService::SignUpService() : BaseHTTPService("signup") {}

void SignUpService::signUp(const UserData& user,
                           const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
                           const std::string& password, Success success, RequestFailure failure) {
    const SignUpParameters signUp{user, babies, password};
    JSON parameters = signUp.dictionaryRepresentation();
    auto picture = cw::uploadJPEG(signUp.userData.requestImage().get());
    auto body = [babies, picture](AFMultipartFormData& formData) {
        if (babies) BabyData::appendWithBabyDataArray(*babies, formData);
        if (picture) formData.appendPartWithFileData(*picture, "user_picture", "photo", cw::jpegMIMEType);
    };
    manager()->POST(
        "", parameters, body, nullptr,
        [success = std::move(success)](const Task& task, const std::optional<JSON>& reply) {
            if (success) success(task, reply);
        },
        [failure = std::move(failure)](const Task&, const NSError& error) {
            if (failure) failure(cw::readServerError(&error));
        });
}
