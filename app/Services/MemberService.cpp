#include "Services/MemberService.h"

#include "Services/AuthenticationContext.h"

#include <iostream>

namespace {

JSON object() {
    return JSON(JSON::dictionary_t{});
}

std::shared_ptr<UserData> signedInMember() {
    return AuthenticationContext::shared().user();
}

} // namespace

MemberService::MemberService() : BaseHTTPService("member") {}

MemberService::MemberService(const std::string& url) : BaseHTTPService(url) {}

BaseHTTPService::Success MemberService::replyCheck(ObjectSuccess success, RequestFailure failure) {
    return [success = std::move(success), failure = std::move(failure)](const Task&,
                                                                        const std::optional<JSON>& reply) {
        cw::handleDictionaryResponse(reply, success, failure);
    };
}

BaseHTTPService::Failure MemberService::failureReport(Failures failures, RequestFailure failure) {
    return [failures, failure = std::move(failure)](const Task&, const NSError& error) {
        if (!failure) return;
        failure(failures == Failures::network ? RequestError::networkError() : cw::readServerError(&error));
    };
}

void MemberService::fetchNotificationSettings(ObjectSuccess success, RequestFailure failure) {
    auto user = signedInMember();
    if (!user) return;
    JSON parameters = object();
    parameters.set("user_id", user->id());
    get("notification/settings", parameters, nullptr, replyCheck(std::move(success), failure),
        failureReport(Failures::network, failure));
}

void MemberService::updateNotificationSettings(const JSON& settings, ObjectSuccess success,
                                               RequestFailure failure) {
    post("notification/settings", settings, replyCheck(std::move(success), failure),
         failureReport(Failures::network, failure));
}

void MemberService::fetchInviteData(ObjectSuccess success, RequestFailure failure) {
    auto user = signedInMember();
    if (!user) return;
    JSON parameters = object();
    parameters.set("user_id", user->id());
    parameters.set("email", user->email());
    get("", parameters, nullptr, replyCheck(std::move(success), failure),
        failureReport(Failures::network, failure));
}

void MemberService::deleteFamilyMember(const Partner& partner, Success success, Failure failure) {
    auto user = signedInMember();
    if (!user || !user->code() || !partner.memberID) return;
    JSON parameters = object();
    parameters.set("user_id", user->id());
    parameters.set("security_code", *user->code());
    parameters.set("family_member_id", *partner.memberID);
    post("delete", parameters, std::move(success), std::move(failure));
}

void MemberService::updatePassword(const std::map<std::string, std::string>& given, ObjectSuccess success,
                                   RequestFailure failure) {
    JSON parameters = userAuthDataJSON();
    for (const auto& [key, value] : given)
        parameters.set(key, value);
    post("", parameters, replyCheck(std::move(success), failure),
         failureReport(Failures::serverError, failure));
}

void MemberService::updatePushNotificationToken(const std::string& token) {
    JSON parameters = userAuthDataJSON();
    parameters.set("push_token", token);
    // Some servers label this reply text/plain; it is read all the same.
    if (auto serializer = manager()->responseSerializer()) {
        auto types = serializer->acceptableContentTypes();
        types.insert("text/plain");
        serializer->setAcceptableContentTypes(std::move(types));
    }
    post(
        "push_notif_token", parameters,
        [](const Task&, const std::optional<JSON>& reply) {
            if (reply && reply->type() == JSON::Type::dictionary)
                std::cout << reply->serialize() << std::endl;
        },
        [](const Task&, const NSError& error) { std::cout << error.localizedDescription() << std::endl; });
}

void MemberService::checkEmail(const std::string& email, ObjectSuccess success, RequestFailure failure) {
    JSON parameters = object();
    parameters.set("email", email);
    post("", parameters, replyCheck(std::move(success), failure),
         failureReport(Failures::serverError, failure));
}

void MemberService::resetPassword(const std::string& email, ObjectSuccess success, RequestFailure failure) {
    JSON parameters = object();
    parameters.set("email", email);
    post("", parameters, replyCheck(std::move(success), failure),
         failureReport(Failures::serverError, failure));
}

void MemberService::updateMember(const std::string& fullName, const std::shared_ptr<UIImage>& image,
                                 ObjectSuccess success, RequestFailure failure) {
    auto user = signedInMember();
    if (!user) return;
    JSON parameters = userAuthDataJSON();
    parameters.set("full_name", fullName);
    auto picture = cw::uploadJPEG(image.get());
    const std::string id = std::to_string(user->id());
    post(
        "", parameters,
        [picture, id](AFMultipartFormData& formData) {
            if (picture)
                formData.appendPartWithFileData(*picture, "user_picture_" + id, "photo_" + id + ".jpg",
                                                cw::jpegMIMEType);
        },
        nullptr, replyCheck(std::move(success), failure), failureReport(Failures::network, failure));
}
