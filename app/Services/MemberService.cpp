#include "Services/MemberService.h"

#include "Services/Announcements.h"
#include "Services/AuthenticationContext.h"
#include "Services/PictureUpload.h"
#include "Services/ReplyCallbacks.h"

#include <iostream>
#include <optional>
#include <utility>

MemberService::MemberService() : BaseHTTPService("member") {}

MemberService::MemberService(const std::string& url) : BaseHTTPService(url) {}

void MemberService::fetchNotificationSettings(ObjectSuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("user_id", user->id());
    sendAsBackgroundTraffic();
    get("notification/settings", parameters, nullptr, cw::objectReply(std::move(success), failure),
        cw::networkFailure(failure));
}

namespace {
// Each save carries every switch and both quiet times, and the one the server takes last wins: two
// on their way at once could be taken in either order, and a turn of the quiet-time wheel over
// several seconds sends one a second. So one goes at a time; what is asked for meanwhile waits for
// its answer, and of what waits only the latest is sent (it holds every change before it).
struct SettingsSaves {
    std::optional<std::uint64_t> sendingIn; // the session of the save on its way
    struct Waiting {
        JSON settings;
        ObjectSuccess success;
        RequestFailure failure;
    };
    std::optional<Waiting> waiting;
};

SettingsSaves& settingsSaves() {
    static SettingsSaves saves;
    return saves;
}
} // namespace

void MemberService::updateNotificationSettings(const JSON& settings, ObjectSuccess success,
                                               RequestFailure failure) {
    // A save that comes due after its member signed out (the settings screen waits a moment before
    // it saves) is hers: nobody else's account gets it.
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    auto& saves = settingsSaves();
    const auto session = AuthenticationContext::shared().sessionGeneration();
    // The answer of a save sent in an ended session never comes: it does not hold this one up.
    if (saves.sendingIn == session) {
        saves.waiting = SettingsSaves::Waiting{settings, std::move(success), std::move(failure)};
        return;
    }
    saves.sendingIn = session;
    saves.waiting.reset();
    auto next = [session] {
        auto& saves = settingsSaves();
        if (saves.sendingIn != session) return;
        saves.sendingIn.reset();
        if (auto waiting = std::exchange(saves.waiting, std::nullopt))
            MemberService()
                .updateNotificationSettings(waiting->settings, std::move(waiting->success), std::move(waiting->failure));
    };
    JSON parameters = settings;
    parameters.set("user_id", user->id());
    post("notification/settings", parameters,
         cw::objectReply(
             [next, success = std::move(success)](const JSON& reply) {
                 if (success) success(reply);
                 next();
             },
             [next, failure](const RequestError& error) {
                 if (failure) failure(error);
                 next();
             }),
         cw::networkFailure([next, failure](const RequestError& error) {
             if (failure) failure(error);
             next();
         }));
}

void MemberService::fetchInviteData(ObjectSuccess success, RequestFailure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("user_id", user->id());
    parameters.set("email", user->email());
    get("", parameters, nullptr, cw::objectReply(std::move(success), failure), cw::networkFailure(failure));
}

void MemberService::deleteFamilyMember(const Partner& partner, Success success, Failure failure) {
    auto user = AuthenticationContext::shared().user();
    if (!user || !user->code() || !partner.memberID) return;
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("user_id", user->id());
    parameters.set("security_code", *user->code());
    parameters.set("family_member_id", *partner.memberID);
    Success announced = [success = std::move(success),
                         memberId = *partner.memberID](const Task& task, const std::optional<JSON>& reply) {
        if (success) success(task, reply);
        Announcements::announce(Announcements::MemberLeft{memberId});
    };
    post("delete", parameters, std::move(announced), std::move(failure));
}

void MemberService::updatePassword(const std::map<std::string, std::string>& given, ObjectSuccess success,
                                   RequestFailure failure, const ActionKey& action) {
    JSON parameters = userAuthDataJSON();
    for (const auto& [key, value] : given)
        parameters.set(key, value);
    create("", parameters, cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure),
           action);
}

void MemberService::updatePushNotificationToken(const std::string& token) {
    JSON parameters = userAuthDataJSON();
    parameters.set("push_token", token);
    sendAsBackgroundTraffic();
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
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("email", email);
    post("", parameters, cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure));
}

void MemberService::resetPassword(const std::string& email, ObjectSuccess success, RequestFailure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("email", email);
    post("", parameters, cw::objectReply(std::move(success), failure), cw::serverErrorFailure(failure));
}

void MemberService::updateMember(const std::string& fullName, const std::shared_ptr<UIImage>& image,
                                 ObjectSuccess success, RequestFailure failure, const ActionKey& action) {
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    const std::int64_t memberId = user->id();
    ObjectSuccess announced = [success = std::move(success), memberId, fullName](const JSON& reply) {
        if (success) success(reply);
        Announcements::announce(Announcements::MemberSaved{memberId, fullName, reply["file_name"].string()});
    };
    PictureUpload::memberPicture(memberId, image)
        .sendForMember(
            [service = *this, fullName, success = std::move(announced), failure,
             action](const UserData&, PictureUpload::Parts parts) mutable {
                JSON parameters = service.userAuthDataJSON();
                parameters.set("full_name", fullName);
                service.post("", parameters, PictureUpload::body(parts), nullptr,
                             cw::objectReply(std::move(success), failure), cw::networkFailure(failure),
                             action);
            },
            failure);
}
