#include "Services/InviteService.h"

InviteService::InviteService() : BaseHTTPService("invite") {}

void InviteService::invite(const std::string& fullName, const std::string& relationship,
                           const std::string& email, std::int64_t userId, Success success, Failure failure,
                           const ActionKey& action) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("full_name", fullName);
    parameters.set("relationship", relationship);
    parameters.set("email", email);
    parameters.set("user_id", userId);
    create("", parameters, std::move(success), std::move(failure), action);
}

void InviteService::check(const std::string& email, const std::string& invitationCode,
                          InvitedMemberSuccess success, Failure failure) {
    JSON parameters = JSON(JSON::dictionary_t{});
    parameters.set("email", email);
    parameters.set("invitation_code", invitationCode);
    post(
        "check", parameters,
        [success = std::move(success), failure](const Task& task, const std::optional<JSON>& reply) {
            if (!reply || reply->type() != JSON::Type::dictionary) {
                // The caller would otherwise wait for an answer that never comes.
                if (failure) failure(task, RequestError::parseError().errorObject());
                return;
            }
            auto fullName = (*reply)["full_name"].string();
            auto invitedEmail = (*reply)["email"].string();
            auto relationshipText = (*reply)["relationship"].string();
            auto relationship =
                relationshipText ? FamilyRelationshipFromRawValue(*relationshipText) : std::nullopt;
            if (!fullName || !invitedEmail || !relationship) {
                if (failure) failure(task, NSError());
                return;
            }
            if (success) success(std::make_shared<UserData>(*fullName, *relationship, *invitedEmail));
        },
        failure);
}
