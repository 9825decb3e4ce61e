#include "AccountsFixture.h"

#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"

namespace cw::accountstest {
namespace {

using Kind = RequestError::Kind;
using json = nlohmann::json;

class AccountsMemberTest : public AccountServiceTest {};

Partner partnerWithId(std::optional<std::int64_t> id) {
    Partner partner;
    partner.memberID = id;
    return partner;
}

TEST_F(AccountsMemberTest, MemberRequestsGoToTheirPathsWithTheirKeys) {
    signIn(42, 9001);
    Outcome settings, saved, family, removed;
    MemberService().fetchNotificationSettings(settings.success(), settings.failure());
    wait(settings);
    MemberService().updateNotificationSettings(JSON(json{{"scheduled", true}, {"user_id", 42}}),
                                               saved.success(), saved.failure());
    wait(saved);
    MemberService("invite/data").fetchInviteData(family.success(), family.failure());
    wait(family);
    MemberService().deleteFamilyMember(partnerWithId(77), removed.taskSuccess(), removed.taskFailure());
    wait(removed);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].method, "GET");
    EXPECT_EQ(all[0].path, "/m/api/member/notification/settings");
    EXPECT_EQ(all[0].params, (httplib::Params{{"user_id", "42"}}));
    EXPECT_EQ(all[1].method, "POST");
    EXPECT_EQ(all[1].path, "/m/api/member/notification/settings");
    EXPECT_EQ(all[1].json(), (json{{"scheduled", true}, {"user_id", 42}}));
    EXPECT_EQ(all[2].method, "GET");
    EXPECT_EQ(all[2].path, "/m/api/invite/data/");
    EXPECT_EQ(all[2].params, (httplib::Params{{"email", "mother@example.org"}, {"user_id", "42"}}));
    EXPECT_EQ(all[3].path, "/m/api/member/delete");
    EXPECT_EQ(all[3].json(), (json{{"user_id", 42}, {"security_code", 9001}, {"family_member_id", 77}}));
    for (const auto* outcome : {&settings, &saved, &family, &removed})
        EXPECT_TRUE(outcome->reply);
}

TEST_F(AccountsMemberTest, MemberOnlyRequestsSendNothingWithoutAMemberACodeOrAPartnerId) {
    Outcome outcome;
    MemberService().fetchNotificationSettings(outcome.success(), outcome.failure());
    MemberService("invite/data").fetchInviteData(outcome.success(), outcome.failure());
    MemberService().deleteFamilyMember(partnerWithId(77), outcome.taskSuccess(), outcome.taskFailure());
    MemberService("member/update").updateMember("Maya", picture(), outcome.success(), outcome.failure());
    signIn(42, std::nullopt);
    MemberService().deleteFamilyMember(partnerWithId(77), outcome.taskSuccess(), outcome.taskFailure());
    signIn(42, 9001);
    MemberService().deleteFamilyMember(partnerWithId(std::nullopt), outcome.taskSuccess(),
                                       outcome.taskFailure());
    expectNothingElseSent();
    EXPECT_EQ(outcome.calls, 0);
}

TEST_F(AccountsMemberTest, PasswordAndPushTokenMergeTheMembersTexts) {
    signIn(42, 9001);
    Outcome password;
    MemberService("member/update_pass")
        .updatePassword({{"current_password", "old"}, {"new_password", "new"}, {"user_id", "7"}},
                        password.success(), password.failure());
    wait(password);
    // The reply of the token request is only printed; one labelled text/plain is read too.
    setReply("/m/api/member/push_notif_token", {200, R"({"ok":true})", "text/plain"});
    MemberService().updatePushNotificationToken("abc123");
    runUntil([&] { return arrivals().size() == 2; });
    signIn(42, std::nullopt);
    MemberService().updatePushNotificationToken("def456");
    runUntil([&] { return arrivals().size() == 3; });
    signOut();
    Outcome signedOut;
    MemberService("member/update_pass")
        .updatePassword({{"new_password", "n"}}, signedOut.success(), signedOut.failure());
    wait(signedOut);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].path, "/m/api/member/update_pass/");
    EXPECT_EQ(all[0].json(), (json{{"current_password", "old"},
                                   {"new_password", "new"},
                                   {"security_code", "9001"},
                                   {"user_id", "7"}}));
    EXPECT_EQ(all[1].path, "/m/api/member/push_notif_token");
    EXPECT_EQ(all[1].json(), (json{{"push_token", "abc123"}, {"security_code", "9001"}, {"user_id", "42"}}));
    EXPECT_EQ(all[2].json(), (json{{"push_token", "def456"}, {"user_id", "42"}}));
    EXPECT_EQ(all[3].json(), (json{{"new_password", "n"}}));
}

TEST_F(AccountsMemberTest, EmailCheckAndResetReadTheServersError) {
    auto errorOf = [&](const std::string& base, Reply reply) {
        setReply("/m/api/" + base + "/", reply);
        Outcome outcome;
        if (base == "member/check")
            MemberService(base).checkEmail("a@example.org", outcome.success(), outcome.failure());
        else
            MemberService(base).resetPassword("a@example.org", outcome.success(), outcome.failure());
        wait(outcome);
        EXPECT_EQ(arrivals().back().json(), (json{{"email", "a@example.org"}}));
        return outcome.error.value_or(RequestError::nilData());
    };
    EXPECT_EQ(errorOf("member/check", {409, R"({"message":"Taken","code":3})"}),
              RequestError::erroResponse({{"message", "Taken"}, {"code", 3}}));
    auto page = errorOf("member/check", {500, "<html>oops</html>", "text/html"});
    EXPECT_EQ(page.kind(), Kind::erroResponse);
    EXPECT_EQ(page.object().size(), 1u);
    EXPECT_EQ(JSON(page.object())["message"].stringValue(), "Server error NSCocoaErrorDomain");
    EXPECT_EQ(errorOf("member/password/reset", {404, "[]"}), RequestError::parseError());
    EXPECT_EQ(errorOf("member/password/reset", {200, "[1]"}), RequestError::parseError());
}

TEST_F(AccountsMemberTest, FailuresWithoutAReplyBodyStillReachTheCaller) {
    // Nothing listens there: the caller is told with the error, which has no body.
    signIn(42, 9001);
    setServerURL("http://127.0.0.1:1");
    Outcome outcome;
    MemberService("member/check").checkEmail("a@example.org", outcome.success(), outcome.failure());
    wait(outcome);
    EXPECT_EQ(outcome.error, RequestError::networkError());
}

TEST_F(AccountsMemberTest, PlainFailuresAndOddRepliesOfTheOtherRequests) {
    signIn(42);
    setReply("/m/api/member/notification/settings", {500, R"({"message":"down"})"});
    Outcome failed;
    MemberService().fetchNotificationSettings(failed.success(), failed.failure());
    wait(failed);
    EXPECT_EQ(failed.error, RequestError::networkError());

    setReply("/m/api/invite/data/", {200, ""});
    Outcome empty;
    MemberService("invite/data").fetchInviteData(empty.success(), empty.failure());
    wait(empty);
    EXPECT_EQ(empty.error, RequestError::parseError());
    EXPECT_FALSE(empty.reply);
}

TEST_F(AccountsMemberTest, MemberUpdateSendsTextFieldsAndThePictureNamedByTheMemberId) {
    signIn(42, 9001);
    setReply("/m/api/member/update/", {200, R"({"file_name":"u42.jpg"})"});
    Outcome withPicture, without, unencodable;
    MemberService("member/update")
        .updateMember("Maya Lind", picture(), withPicture.success(), withPicture.failure());
    wait(withPicture);
    MemberService("member/update").updateMember("Maya", nullptr, without.success(), without.failure());
    wait(without);
    MemberService("member/update")
        .updateMember("Maya", unencodablePicture(), unencodable.success(), unencodable.failure());
    wait(unencodable);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].path, "/m/api/member/update/");
    EXPECT_EQ(all[0].fields("user_id"), std::vector<std::string>{"42"});
    EXPECT_EQ(all[0].fields("security_code"), std::vector<std::string>{"9001"});
    EXPECT_EQ(all[0].fields("full_name"), std::vector<std::string>{"Maya Lind"});
    ASSERT_EQ(all[0].files().size(), 1u);
    EXPECT_EQ(all[0].files()[0].name, "user_picture_42");
    EXPECT_EQ(all[0].files()[0].filename, "photo_42.jpg");
    EXPECT_EQ(all[0].files()[0].content_type, "image/jpeg");
    EXPECT_TRUE(all[1].files().empty());
    EXPECT_EQ(all[1].fields("full_name"), std::vector<std::string>{"Maya"});
    EXPECT_TRUE(all[2].files().empty());
    ASSERT_TRUE(withPicture.reply);
    EXPECT_EQ((*withPicture.reply)["file_name"].stringValue(), "u42.jpg");
    EXPECT_TRUE(unencodable.reply);
}

} // namespace
} // namespace cw::accountstest
