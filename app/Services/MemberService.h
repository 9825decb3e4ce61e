#pragma once

#include "Models/Partner.h"
#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "uikit/graphics/UIImage.h"

#include <map>
#include <memory>
#include <string>

// The member's own server area. Callers make one object per request with the base path the request
// needs ("member" by default; "invite/data", "member/update_pass", "member/check",
// "member/password/reset" and "member/update" for the requests that go to the root of their path).
//
// Success callbacks get the reply, always a JSON object; a reply of another shape is a parseError.
// The member-only operations read the signed-in member at the moment of the call and, without one,
// send nothing and call nothing.
class MemberService : public BaseHTTPService {
public:
    MemberService();
    explicit MemberService(const std::string& url);

    // GET "notification/settings"?user_id. Member only. Failures: networkError.
    void fetchNotificationSettings(ObjectSuccess success, RequestFailure failure);
    // POST "notification/settings" with the given settings and the member's "user_id" (a number).
    // Member only. Failures: networkError. One save is on its way at a time: one asked for meanwhile
    // waits for its answer, and of those waiting only the latest is sent (the others are never
    // answered).
    void updateNotificationSettings(const JSON& settings, ObjectSuccess success, RequestFailure failure);
    // GET on the root of the service ("invite/data")?user_id&email: the family list. Member only.
    // Failures: networkError.
    void fetchInviteData(ObjectSuccess success, RequestFailure failure);
    // POST "delete" {"user_id", "security_code", "family_member_id"} (numbers). Needs a member with a
    // security code and a partner with an id. The callbacks are the base class's, unchanged; after
    // `success` the member's leaving is announced (Announcements::MemberLeft).
    void deleteFamilyMember(const Partner& partner, Success success, Failure failure);
    // POST on the root ("member/update_pass"): the member's id and security code (texts) with the
    // given entries, which replace equal keys, with the key of `action`, the member's change
    // (Services/ActionKey.h): sent twice, it is done once. Failures: the server's error.
    void updatePassword(const std::map<std::string, std::string>& parameters, ObjectSuccess success,
                        RequestFailure failure, const ActionKey& action = ActionKey());
    // POST "push_notif_token": the member's id and security code (texts) and "push_token". The reply
    // (also one labelled text/plain) or the error is only printed.
    void updatePushNotificationToken(const std::string& token);
    // POST on the root ("member/check") {"email"}. Failures: the server's error.
    void checkEmail(const std::string& email, ObjectSuccess success, RequestFailure failure);
    // POST on the root ("member/password/reset") {"email"}. Failures: the server's error.
    void resetPassword(const std::string& email, ObjectSuccess success, RequestFailure failure);
    // Multipart POST on the root ("member/update"): the member's id and security code, "full_name",
    // and the picture when given (PictureUpload::memberPicture; left out when it cannot be encoded).
    // Member only. The picture is encoded off the main thread first, so the request leaves on a
    // later turn of the main run loop, and only while the same member is signed in (else
    // networkError). Failures: networkError. After `success` the saved name and the reply's
    // "file_name" are announced (Announcements::MemberSaved). It carries the key of `action`, the
    // member's save (Services/ActionKey.h).
    void updateMember(const std::string& fullName, const std::shared_ptr<UIImage>& image,
                      ObjectSuccess success, RequestFailure failure, const ActionKey& action = ActionKey());
};
