#include "DemoServerSuite.h"
#include "tests/support/session/SessionReset.h"

#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/InviteService.h"
#include "Services/MemberService.h"
#include "Services/NotificationService.h"
#include "Services/SearchResult.h"
#include "Services/SearchService.h"
#include "Services/SignInService.h"
#include "Services/SignUpService.h"

namespace cw::e2e {
namespace {

// The requests the application sends before anybody is signed in.
class DemoServerSignedOutTest : public DemoServerSuite {
protected:
    void SetUp() override {
        auto& session = AuthenticationContext::shared();
        session.logout();
        session.setUser(nullptr);
    }
    // The word that follows `lead` on the last console line that holds `lead` and ends the word
    // with " for " + `email`.
    static std::optional<std::string> printed(const std::string& lead, const std::string& email) {
        std::optional<std::string> found;
        for (const auto& line : consoleLines()) {
            const auto start = line.find(lead);
            if (start == std::string::npos) continue;
            const auto end = line.find(' ', start + lead.size());
            if (end == std::string::npos || line.compare(end, 5 + email.size(), " for " + email) != 0)
                continue;
            found = line.substr(start + lead.size(), end - start - lead.size());
        }
        return found;
    }
};

TEST_F(DemoServerSignedOutTest, SignInGivesTheMemberTheBabiesAndBothTokens) {
    ASSERT_TRUE(signIn(server::demoAccounts().at(0)));
    auto& session = AuthenticationContext::shared();
    EXPECT_GT(session.user()->id(), 0);
    EXPECT_TRUE(session.user()->code());
    EXPECT_EQ(session.user()->relationship(), FamilyRelationship::Mother);
    EXPECT_TRUE(session.oAuthRefreshToken());
    const auto babies = session.babies();
    ASSERT_EQ(babies.size(), 2u);
    for (const auto& baby : babies) {
        EXPECT_TRUE(baby->babyId());
        EXPECT_FALSE(baby->fullName().empty());
        ASSERT_TRUE(baby->imageFile());
        EXPECT_TRUE(servedPicture(*baby->imageFile()));
    }
    ASSERT_TRUE(session.user()->pictureFile());
    EXPECT_TRUE(servedPicture(*session.user()->pictureFile()));

    Outcome refused;
    SignInService().signin(server::demoAccounts().at(0).email, "not-the-password", cw::test::screenThatStays(),
                           refused.taskSuccess(), refused.taskFailure());
    ASSERT_TRUE(runUntil([&] { return refused.done(); }));
    EXPECT_TRUE(refused.error);
}

TEST_F(DemoServerSignedOutTest, AMedicalRecordNumberLooksUpTheBaby) {
    Outcome found;
    BabyService().verifyMRN("CW200001", found.success(), found.failure());
    ASSERT_TRUE(accepted(found));
    const auto baby = BabyData::initWithResponseObject(found.object());
    ASSERT_TRUE(baby) << found.object().serialize();
    EXPECT_TRUE(baby->babyId());
    EXPECT_FALSE(baby->fullName().empty());

    Outcome unknown;
    BabyService().verifyMRN("CW999999", unknown.success(), unknown.failure());
    ASSERT_TRUE(runUntil([&] { return unknown.done(); }));
    ASSERT_TRUE(unknown.error);
    EXPECT_NE(unknown.error->find("message"), std::string::npos) << *unknown.error;
}

TEST_F(DemoServerSignedOutTest, AnEmailAddressIsCheckedValidatedAndVerified) {
    Outcome taken, free;
    MemberService("member/check")
        .checkEmail(server::demoAccounts().at(0).email, taken.success(), taken.failure());
    MemberService("member/check").checkEmail("nobody-yet@cradleway.test", free.success(), free.failure());
    ASSERT_TRUE(accepted(taken));
    ASSERT_TRUE(accepted(free));
    EXPECT_FALSE(taken.object()["message"].stringValue().empty());
    EXPECT_EQ(free.object()["message"].stringValue(), "");

    // The registration screens send these two themselves, on services of their own base paths.
    const std::string email = "new-parent@cradleway.test";
    Outcome validated;
    BaseHTTPService("validate")
        .post("email", JSON(nlohmann::json{{"email", email}}), validated.taskSuccess(),
              validated.taskFailure());
    ASSERT_TRUE(accepted(validated));
    EXPECT_TRUE(validated.object()["status"].string());
    const auto code = printed("e-mail verification: code ", email);
    ASSERT_TRUE(code);

    Outcome verified;
    BaseHTTPService("verify").post("email",
                                   JSON(nlohmann::json{{"email", email}, {"code", std::stoll(*code)}}),
                                   verified.taskSuccess(), verified.taskFailure());
    ASSERT_TRUE(accepted(verified));
}

TEST_F(DemoServerSignedOutTest, SignUpWithTheLookedUpBabyAndPicturesStartsASession) {
    Outcome found;
    BabyService().verifyMRN("CW200001", found.success(), found.failure());
    ASSERT_TRUE(accepted(found));
    auto baby = BabyData::initWithResponseObject(found.object());
    ASSERT_TRUE(baby);
    baby->setRequestImage(solidImage(0xFFE0A0B0));

    UserData member("Lena Okafor", FamilyRelationship::Mother, "lena@cradleway.test");
    member.setRequestImage(solidImage(0xFF406080));
    Outcome registered;
    SignUpService().signUp(member, std::vector{baby}, "a-long-password", cw::test::screenThatStays(),
                           registered.taskSuccess(), registered.failure());
    ASSERT_TRUE(accepted(registered));

    auto& session = AuthenticationContext::shared();
    session.login(registered.reply);
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->email(), "lena@cradleway.test");
    EXPECT_TRUE(session.user()->pictureFile());
    ASSERT_EQ(session.babies().size(), 1u);
    EXPECT_EQ(session.babies().front()->babyId(), baby->babyId());
    ASSERT_TRUE(session.babies().front()->imageFile());
    EXPECT_TRUE(servedPicture(*session.babies().front()->imageFile()));
    EXPECT_TRUE(servedPicture(*session.user()->pictureFile()));
}

TEST_F(DemoServerSignedOutTest, AnInvitationCodeGivesTheInvitedMember) {
    std::shared_ptr<UserData> invited;
    Outcome outcome;
    InviteService().check(
        "sarah@cradleway.test", "424242",
        [&](const std::shared_ptr<UserData>& user) {
            invited = user;
            ++outcome.calls;
        },
        outcome.taskFailure());
    ASSERT_TRUE(accepted(outcome));
    ASSERT_TRUE(invited);
    EXPECT_EQ(invited->email(), "sarah@cradleway.test");
    EXPECT_FALSE(invited->fullName().empty());
}

TEST_F(DemoServerSignedOutTest, TheInvitedMemberSignsUpAndJoinsTheFamily) {
    // The invited road starts with the invitation check, as the application's does: it is what
    // proves the address to the server.
    Outcome checked;
    InviteService().check(
        "demo@cradleway.test", "424242", [&](const std::shared_ptr<UserData>&) { ++checked.calls; },
        checked.taskFailure());
    ASSERT_TRUE(accepted(checked));

    UserData member("Sarah Hart", FamilyRelationship::GrandParent, "sarah@cradleway.test");
    Outcome registered;
    SignUpService().signUp(member, std::nullopt, "sarahs-long-password", cw::test::screenThatStays(),
                           registered.taskSuccess(), registered.failure());
    ASSERT_TRUE(accepted(registered));
    auto& session = AuthenticationContext::shared();
    session.login(registered.reply);
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->relationship(), FamilyRelationship::GrandParent);
    // The twins of the family that invited her.
    EXPECT_EQ(session.babies().size(), 2u);
}

TEST_F(DemoServerSignedOutTest, APasswordResetPrintsATemporaryPasswordThatSignsIn) {
    const auto partner = server::demoAccounts().at(1);
    Outcome reset;
    MemberService("member/password/reset").resetPassword(partner.email, reset.success(), reset.failure());
    ASSERT_TRUE(accepted(reset));
    EXPECT_FALSE(reset.object()["message"].stringValue().empty());
    const auto temporary = printed("temporary password ", partner.email);
    ASSERT_TRUE(temporary);
    EXPECT_TRUE(signIn({partner.email, *temporary, partner.fullName}));
}

TEST_F(DemoServerSignedOutTest, SearchAnalyticsAndANotificationReceiptNeedNoMember) {
    std::optional<std::vector<std::shared_ptr<SearchResult>>> hits;
    Outcome searched;
    SearchService().search(
        "feeding",
        [&](const std::vector<std::shared_ptr<SearchResult>>& results) {
            hits = results;
            ++searched.calls;
        },
        searched.failure());
    ASSERT_TRUE(accepted(searched));
    ASSERT_FALSE(hits->empty());
    for (const auto& hit : *hits) {
        EXPECT_GT(hit->cardID, 0);
        EXPECT_FALSE(hit->cardTitle.empty());
        EXPECT_FALSE(hit->contentURL.empty());
        EXPECT_FALSE(hit->bookmarked);
    }

    Outcome logged;
    AnalyticsService().send("SignInScreen", rawValue(ScreenAction::Loaded), {{"attempt", JSON(1)}},
                            logged.taskSuccess(), logged.taskFailure());
    ASSERT_TRUE(accepted(logged));
    AnalyticsService().send("SignInScreen", ScreenAction::Tap, {});
    EXPECT_TRUE(runUntil([] { return loggedCount("POST", "analytics", 200) == 2; }));

    NotificationService("notification").sendNotificationId(1);
    EXPECT_TRUE(awaitLogged("POST", "notification/received", 200));
}

} // namespace
} // namespace cw::e2e
