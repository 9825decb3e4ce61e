#pragma once

#include "Models/UserData.h"
#include "Services/BaseHTTPService.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What a member types in to accept an invitation.
struct InviterData {
    std::string fullName;
    std::string email;
    std::string invitationCode;
};

// Invites a family member by e-mail and checks an invitation code. Both requests go through the
// JSON POST of the base class (fresh token headers; a 401 is refreshed and replayed).
class InviteService : public BaseHTTPService {
public:
    // The invited member, as the invitation named them.
    using InvitedMemberSuccess = std::function<void(const std::shared_ptr<UserData>& user)>;

    InviteService();
    explicit InviteService(const std::string& url) = delete;

    // POST {"full_name", "relationship", "email" (texts as given), "user_id" (a JSON number)} to the
    // root of "invite", with the key of `action`, the member's invitation (Services/ActionKey.h).
    // Callbacks as the base class's JSON POST.
    void invite(const std::string& fullName, const std::string& relationship, const std::string& email,
                std::int64_t userId, Success success, Failure failure, const ActionKey& action = ActionKey());

    // POST {"email", "invitation_code"} to "check". A reply with the texts "full_name", "email" and
    // "relationship" (one of the six relationships, in any letter case) gives the invited member
    // (id -1). A reply object lacking one of them reaches `failure` with an empty error object; a
    // reply that is absent or no JSON object with RequestError::parseError's error object.
    void check(const std::string& email, const std::string& invitationCode, InvitedMemberSuccess success,
               Failure failure);
};
