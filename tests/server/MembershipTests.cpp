// Who may come into a family: what a removal ends, whose proof an invitation or a look-up is, and
// what someone else on the same network (a ward's Wi-Fi) or with the same e-mail address gains.

#include "ServerFixture.h"

#include "server/Guards.h"

#include <set>
#include <string>

namespace cw::server::testing {
namespace {

using MembershipTest = ServerTest;

json account(const std::string& name, const std::string& email, const json& babies = json::array()) {
    json body = {{"full_name", name},
                 {"email", email},
                 {"relationship", "Relative"},
                 {"password", "password-of-" + name}};
    if (!babies.empty()) body["babies"] = babies;
    return body;
}

// A baby update naming the demo twins by id, as a member who wants back in would send it.
json namingTheTwins(int64_t userId) {
    return {{"user_id", userId}, {"babies", {{{"id", 1}}, {{"id", 2}}}}};
}

TEST_F(MembershipTest, ARemovedRelativeStaysOutUntilANewInvitationIsProvenAgain) {
    Session mother = demoMother();
    // Sarah takes up the demo invitation from her phone.
    checkInvitation("demo@cradleway.test", "424242");
    ASSERT_EQ(post("signup", account("Sarah", "sarah@cradleway.test")).body["babies"].size(), 2u);
    Session sarah = signIn("sarah@cradleway.test", "password-of-Sarah");

    ASSERT_EQ(
        post("member/delete",
             {{"user_id", mother.userId}, {"security_code", mother.code}, {"family_member_id", sarah.userId}},
             mother.access)
            .status,
        200);
    // Naming the family's babies does not bring her back, nor does the code of the invitation she took up.
    EXPECT_EQ(post("baby/update", namingTheTwins(sarah.userId), sarah.access).status, 403);
    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}}).status,
              404);
    EXPECT_EQ(post("baby/update", namingTheTwins(sarah.userId), sarah.access).status, 403);
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", sarah.userId}}, sarah.access).body["babies"].size(),
              0u);

    // A new invitation: her account exists, so its check tells her to sign in, and her phone's proof
    // passes to the account she signs in to there.
    auto inviteSarah = [&] {
        return post("invite",
                    {{"full_name", "Sarah"},
                     {"relationship", "Relative"},
                     {"email", "sarah@cradleway.test"},
                     {"user_id", mother.userId}},
                    mother.access)
            .status;
    };
    ASSERT_EQ(inviteSarah(), 200);
    std::string code = consoleCapture("<sarah@cradleway.test>", "invitation code ");
    Reply check = post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}});
    EXPECT_EQ(check.status, 409);
    EXPECT_EQ(check.body["message"],
              "An account already exists for sarah@cradleway.test. If it is yours, sign in "
              "to it to accept the invitation.");
    Session back = signIn("sarah@cradleway.test", "password-of-Sarah");
    Reply update = post("baby/update", namingTheTwins(back.userId), back.access);
    ASSERT_EQ(update.status, 200) << update.raw;
    EXPECT_EQ(update.body["response"].size(), 2u);
    // Someone already in the family is not invited again.
    EXPECT_EQ(inviteSarah(), 409);
}

// As found: the father of the twins, invited by the mother of another baby, checked his code on his
// phone and was told to sign in to accept the invitation; he signed in there and was in no family of
// hers until he also added her baby by its record number. Signing in where he proved his code is what
// accepts it.
TEST_F(MembershipTest, AnInviteeWithAnAccountWhoSignsInWhereHeCheckedHisCodeIsInTheFamilyThatInvitedHim) {
    const Session ana = signUpWithRecordNumber("ana@cradleway.test");
    ASSERT_EQ(post("invite",
                   {{"full_name", "James"},
                    {"relationship", "Father"},
                    {"email", "partner@cradleway.test"},
                    {"user_id", ana.userId}},
                   ana.access)
                  .status,
              200);
    const std::string code = consoleCapture("<partner@cradleway.test>", "invitation code ");
    CookieJar phone;
    Reply check =
        post(phone, "invite/check", {{"email", "partner@cradleway.test"}, {"invitation_code", code}});
    EXPECT_EQ(check.status, 409);
    EXPECT_EQ(check.body["message"],
              "An account already exists for partner@cradleway.test. If it is yours, sign in "
              "to it to accept the invitation.");
    // Another account signing in on that phone takes nothing of it.
    Reply mother = post(phone, "signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
    ASSERT_EQ(mother.status, 200) << mother.raw;
    EXPECT_EQ(mother.body["babies"].size(), 2u);
    Reply signedIn =
        post(phone, "signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}});
    ASSERT_EQ(signedIn.status, 200) << signedIn.raw;
    std::set<std::string> babies;
    for (const json& baby : signedIn.body["babies"])
        babies.insert(baby.value("full_name", ""));
    EXPECT_EQ(babies, (std::set<std::string>{"Mia Lopez", "Noah Hart", "Olivia Hart"})) << signedIn.raw;
    // The invitation is taken up: he is in her family, not waiting to join it.
    Reply family = get("invite/data", {{"user_id", std::to_string(ana.userId)}}, ana.access);
    ASSERT_EQ(family.status, 200) << family.raw;
    bool listed = false;
    for (const json& member : family.body["members"]) {
        if (member.value("email", "") != "partner@cradleway.test") continue;
        listed = true;
        EXPECT_TRUE(member.value("connected", false)) << family.raw;
    }
    EXPECT_TRUE(listed) << family.raw;
}

TEST_F(MembershipTest, AnAccountMadeEarlierWithTheInviteesAddressGainsNothingFromHerProof) {
    Session mother = demoMother();
    // Someone signs up with Lisa's address from a phone of their own before she is invited.
    CookieJar squatterPhone;
    ASSERT_EQ(post(squatterPhone, "signup", account("Squatter", "lisa@cradleway.test")).status, 200);
    Reply squatter = post(squatterPhone, "signin",
                          {{"email", "lisa@cradleway.test"}, {"password", "password-of-Squatter"}});
    ASSERT_EQ(squatter.body["babies"].size(), 0u);
    const int64_t squatterId = squatter.body["user"]["id"];
    const std::string squatterToken = squatter.body["tokens"]["access_token"];
    ASSERT_EQ(post("invite",
                   {{"full_name", "Lisa"},
                    {"relationship", "Relative"},
                    {"email", "lisa@cradleway.test"},
                    {"user_id", mother.userId}},
                   mother.access)
                  .status,
              200);
    const std::string code = consoleCapture("<lisa@cradleway.test>", "invitation code ");

    // Lisa proves her code from her phone: she is told her address is taken, and shown nothing of
    // the family.
    Reply check = post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}});
    EXPECT_EQ(check.status, 409);
    EXPECT_EQ(check.body["message"],
              "An account already exists for lisa@cradleway.test. If it is yours, sign in "
              "to it to accept the invitation.");
    EXPECT_FALSE(check.body.contains("full_name"));
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW100001"}}).status, 409);
    EXPECT_EQ(post("signup", account("Lisa", "lisa@cradleway.test")).status, 409);

    // The account made earlier does not join on her proof, signed in from its own phone.
    EXPECT_EQ(post(squatterPhone, "baby/update", namingTheTwins(squatterId), squatterToken).status, 403);
    EXPECT_EQ(post(squatterPhone, "baby/verify_mrn", {{"mrn", "CW100001"}}, squatterToken).status, 409);
    EXPECT_EQ(post(squatterPhone, "member/nicu_journey", {{"user_id", squatterId}}, squatterToken)
                  .body["babies"]
                  .size(),
              0u);
    // The invitation still waits for her.
    Reply family =
        get("invite/data", {{"user_id", std::to_string(mother.userId)}, {"email", "demo@cradleway.test"}},
            mother.access);
    bool pending = false;
    for (const auto& member : family.body["members"])
        pending = pending || (member["email"] == "lisa@cradleway.test" && member["connected"] == false);
    EXPECT_TRUE(pending) << family.raw;
}

TEST_F(MembershipTest, AStrangerWithTheInviteesAddressGuessesHerCodeNoFasterForProvingHerOwn) {
    // A stranger who reads mail at Sarah's address (while she is invited, a sign-up there must prove
    // it) signs up with it and a baby of his own, and invites someone from it.
    CookieJar strangerPhone;
    ASSERT_EQ(post(strangerPhone, "validate/email", {{"email", "sarah@cradleway.test"}}).status, 200);
    ASSERT_EQ(post(strangerPhone, "verify/email",
                   {{"email", "sarah@cradleway.test"},
                    {"code", std::stoi(consoleCapture("for sarah@cradleway.test", "code "))}})
                  .status,
              200);
    Reply made = post(strangerPhone, "signup",
                      account("Stranger", "sarah@cradleway.test",
                              {{{"full_name", "Own Baby"},
                                {"birthday", "2026-11-01"},
                                {"expected_birthday", "2027-01-01"},
                                {"gender", "Male"}}}));
    ASSERT_EQ(made.status, 200) << made.raw;
    const int64_t strangerId = made.body["user"]["id"];
    const std::string strangerToken = made.body["tokens"]["access_token"];
    ASSERT_EQ(post(strangerPhone, "invite",
                   {{"full_name", "Accomplice"},
                    {"relationship", "Relative"},
                    {"email", "accomplice@cradleway.test"},
                    {"user_id", strangerId}},
                   strangerToken)
                  .status,
              200);
    const std::string own = consoleCapture("<accomplice@cradleway.test>", "invitation code ");

    // From twelve addresses, each wrong guess at Sarah's code is followed by a right check of her own
    // (a wrong one once her own code, which her guesses named too, is renewed).
    int wrong = 0, slowed = 0;
    for (int address = 0; address < 12; ++address)
        for (int i = 0; i < 10; ++i) {
            const std::string from = "127.0.3." + std::to_string(address + 1);
            std::string guess = std::to_string(500000 + address * 10 + i);
            if (guess == own) guess = "499999";
            Reply guessed = postFrom(from, "invite/check",
                                     {{"email", "sarah@cradleway.test"}, {"invitation_code", guess}});
            wrong += guessed.status == 404;
            slowed += guessed.status == 429;
            postFrom(from, "invite/check", {{"email", "sarah@cradleway.test"}, {"invitation_code", own}});
        }
    EXPECT_EQ(wrong, 120);
    EXPECT_EQ(slowed, 0);
    // Her right checks took back none of them: Sarah's code took its ninety and was renewed, once.
    int renewed = 0;
    for (const auto& line : consoleLines())
        renewed += line.find("a new code for Sarah Hart <sarah@cradleway.test>") != std::string::npos;
    EXPECT_EQ(renewed, 1);

    // Sarah's first code, had it been found, and tried once the address's wait is over, brings the
    // stranger nothing: the twins' family stays closed to her.
    now_ += 3600;
    EXPECT_EQ(post(strangerPhone, "invite/check",
                   {{"email", "sarah@cradleway.test"}, {"invitation_code", "424242"}})
                  .status,
              404);
    Reply back = post(strangerPhone, "signin",
                      {{"email", "sarah@cradleway.test"}, {"password", "password-of-Stranger"}});
    ASSERT_EQ(back.status, 200);
    EXPECT_EQ(
        post(strangerPhone, "baby/update", namingTheTwins(strangerId), back.body["tokens"]["access_token"])
            .status,
        403);
}

TEST_F(MembershipTest, ALookUpCountsOnlyForTheApplicationThatMadeIt) {
    // A parent's phone looks Mia up on the ward's Wi-Fi; its reply names the phone with a cookie.
    CookieJar parentPhone;
    Reply found = post(parentPhone, "baby/verify_mrn", {{"mrn", "CW200001"}});
    ASSERT_EQ(found.status, 200);
    ASSERT_EQ(found.body["id"], 3);
    EXPECT_EQ(parentPhone.cookies.count(kClientCookie), 1u);

    // Another phone on the same address names baby 3 in its sign-up: Mia stays unclaimed.
    Reply other = post("signup", account("Other", "other@cradleway.test", {{{"id", 3}}}));
    EXPECT_EQ(other.status, 403);
    EXPECT_EQ(post("signin", {{"email", "other@cradleway.test"}, {"password", "password-of-Other"}}).status,
              403);

    // The phone that looked her up claims her, with her record number.
    Reply parent = post(parentPhone, "signup", account("Parent", "parent@cradleway.test", {{{"id", 3}}}));
    ASSERT_EQ(parent.status, 200) << parent.raw;
    ASSERT_EQ(parent.body["babies"].size(), 1u);
    EXPECT_EQ(parent.body["babies"][0]["mrn"], "CW200001");
}

TEST_F(MembershipTest, AnInvitationsCodeBringsInItsOwnFamilyOnly) {
    Session emma = demoMother();
    // Mallory, with a family of her own, invites Lisa too.
    Session mallory = signUpStranger("mallory@cradleway.test");
    auto invite = [&](const Session& by) {
        return post("invite",
                    {{"full_name", "Lisa"},
                     {"relationship", "Relative"},
                     {"email", "lisa@cradleway.test"},
                     {"user_id", by.userId}},
                    by.access)
            .status;
    };
    ASSERT_EQ(invite(mallory), 200);
    const std::string mallorysCode = consoleCapture("<lisa@cradleway.test>", "invitation code ");
    ASSERT_EQ(invite(emma), 200);
    const std::string emmasCode = consoleCapture("<lisa@cradleway.test>", "invitation code ");
    ASSERT_NE(mallorysCode, emmasCode);

    // Lisa proves Emma's code only, and signs up: she is in Emma's family, not Mallory's.
    CookieJar lisaPhone;
    ASSERT_EQ(
        post(lisaPhone, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", emmasCode}})
            .status,
        200);
    Reply lisa = post(lisaPhone, "signup", account("Lisa", "lisa@cradleway.test"));
    ASSERT_EQ(lisa.status, 200) << lisa.raw;
    EXPECT_EQ(lisa.body["babies"].size(), 2u) << lisa.raw;
    const int64_t lisaId = lisa.body["user"]["id"];
    const std::string lisaToken = lisa.body["tokens"]["access_token"];
    // Nor does naming Mallory's baby bring her in: its invitation's code was never given back.
    const int64_t mallorysBaby = mallory.reply["babies"][0]["id"];
    EXPECT_EQ(
        post(lisaPhone, "baby/update", {{"user_id", lisaId}, {"babies", {{{"id", mallorysBaby}}}}}, lisaToken)
            .status,
        403);
    EXPECT_EQ(post(lisaPhone, "member/nicu_journey", {{"user_id", lisaId}}, lisaToken).body["babies"].size(),
              2u);
    // Mallory's invitation still waits: Lisa is in no family of hers, so none of Emma's family's posts
    // or comments reach Mallory through Lisa.
    Reply family = get("invite/data", {{"user_id", std::to_string(mallory.userId)}}, mallory.access);
    ASSERT_EQ(family.body["members"].size(), 1u) << family.raw;
    EXPECT_EQ(family.body["members"][0]["connected"], false);

    // Her own code, proven later, brings her into Mallory's family too.
    ASSERT_EQ(post(lisaPhone, "invite/check",
                   {{"email", "mallory@cradleway.test"}, {"invitation_code", mallorysCode}})
                  .status,
              409);
    Reply back =
        post(lisaPhone, "signin", {{"email", "lisa@cradleway.test"}, {"password", "password-of-Lisa"}});
    ASSERT_EQ(back.status, 200);
    EXPECT_EQ(post(lisaPhone, "baby/update", {{"user_id", lisaId}, {"babies", {{{"id", mallorysBaby}}}}},
                   back.body["tokens"]["access_token"])
                  .status,
              200);
}

TEST_F(MembershipTest, WhatOnePhoneProvedServesOnlyTheAccountItWasProvedFor) {
    // Bob has an account and a phone of his own.
    Session bob = signUpStranger("bob@cradleway.test");
    // On a shared phone, Sarah checks her invitation and Ana looks Mia up; then Bob signs in there once.
    CookieJar sharedPhone;
    ASSERT_EQ(
        post(sharedPhone, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}})
            .status,
        200);
    ASSERT_EQ(post(sharedPhone, "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    Reply bobThere =
        post(sharedPhone, "signin", {{"email", "bob@cradleway.test"}, {"password", "stranger-pass"}});
    ASSERT_EQ(bobThere.status, 200);
    const std::string bobThereToken = bobThere.body["tokens"]["access_token"];

    // Neither proof is his: not from his own phone, nor signed in on the shared one.
    const json claimMia = {{"user_id", bob.userId},
                           {"babies",
                            {{{"id", 3},
                              {"full_name", "Mia Lopez"},
                              {"birthday", "2026-11-01"},
                              {"expected_birthday", "2027-01-01"},
                              {"gender", "Female"}}}}};
    const json nameTwins = {{"user_id", bob.userId}, {"babies", {{{"id", 1}}, {{"id", 2}}}}};
    for (CookieJar* phone : {&app_, &sharedPhone}) {
        const std::string& token = phone == &app_ ? bob.access : bobThereToken;
        EXPECT_EQ(post(*phone, "baby/verify_mrn", {{"mrn", "CW100001"}}, token).status, 409);
        EXPECT_EQ(post(*phone, "baby/update", claimMia, token).status, 403);
        EXPECT_EQ(post(*phone, "baby/update", nameTwins, token).status, 403);
    }
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", bob.userId}}, bob.access).body["babies"].size(), 1u);

    // The proofs still serve those they were made for: Ana's account, made there, claims Mia, and
    // Sarah's, made there next, joins the family that invited her.
    Reply ana = post(sharedPhone, "signup",
                     {{"full_name", "Ana"},
                      {"email", "ana@cradleway.test"},
                      {"relationship", "Mother"},
                      {"password", "anas-password"},
                      {"babies", {{{"id", 3}}}}});
    ASSERT_EQ(ana.status, 200) << ana.raw;
    EXPECT_EQ(ana.body["babies"].size(), 1u);
    Reply sarah = post(sharedPhone, "signup", account("Sarah", "sarah@cradleway.test"));
    ASSERT_EQ(sarah.status, 200) << sarah.raw;
    EXPECT_EQ(sarah.body["babies"].size(), 2u);
}

TEST_F(MembershipTest, ACookieTheServerNeverIssuedIsReplaced) {
    const std::string madeUp = "0123456789abcdef0123456789abcdef";
    CookieJar phone;
    phone.cookies[kClientCookie] = madeUp;
    ASSERT_EQ(post(phone, "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    EXPECT_NE(phone.cookies[kClientCookie], madeUp);
    // Another phone that sends the same made-up value holds none of that phone's proofs.
    CookieJar copy;
    copy.cookies[kClientCookie] = madeUp;
    EXPECT_EQ(post(copy, "signup", account("Copy", "copy@cradleway.test", {{{"id", 3}}})).status, 403);
    // The value the server issued names the phone from then on.
    Reply claimed = post(phone, "signup", account("Parent", "parent@cradleway.test", {{{"id", 3}}}));
    ASSERT_EQ(claimed.status, 200) << claimed.raw;
    EXPECT_EQ(claimed.body["babies"].size(), 1u);
}

} // namespace
} // namespace cw::server::testing
