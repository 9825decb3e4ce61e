#include "AccountsFixture.h"
#include "tests/support/session/SessionReset.h"

#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/ContentService.h"
#include "Services/MemberService.h"
#include "Services/SignInService.h"
#include "Services/SignUpService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/dispatch/RunLoop.h"
#include "server/Server.h"
#include "tests/support/DemoServer.h"

namespace cw::accountstest {
namespace {

class AccountsDemoServerTest : public AccountServiceTest {
protected:
    void SetUp() override {
        AccountServiceTest::SetUp();
        server = std::make_unique<cw::test::DemoServer>(environment->directory() / "server");
        setServerURL(server->baseUrl());
    }
    void TearDown() override {
        RunLoop::main().runUntilIdle();
        server->stop();
        AccountServiceTest::TearDown();
    }
    std::unique_ptr<cw::test::DemoServer> server;
};

TEST_F(AccountsDemoServerTest, ASignedInMemberReadsTheFamilysDataThroughTheServices) {
    const auto account = cw::server::demoAccounts().front();
    Outcome signedIn;
    SignInService().signin(account.email, account.password, cw::test::screenThatStays(), signedIn.taskSuccess(), signedIn.taskFailure());
    wait(signedIn);
    ASSERT_TRUE(signedIn.reply) << (signedIn.errorObject ? signedIn.errorObject->localizedDescription() : "");
    auto& session = AuthenticationContext::shared();
    session.login(signedIn.reply);
    ASSERT_TRUE(session.user());
    ASSERT_FALSE(session.babies().empty());
    ASSERT_TRUE(session.babies().front()->babyId());
    const std::int64_t babyId = *session.babies().front()->babyId();

    Outcome settings, careTeam, feed, family;
    MemberService().fetchNotificationSettings(settings.success(), settings.failure());
    BabyService().fetchCareGivers(babyId, careTeam.success(), careTeam.failure());
    ContentService().fetchFeed({babyId}, session.user()->id(), feed.taskSuccess(), feed.taskFailure());
    MemberService("invite/data").fetchInviteData(family.success(), family.failure());
    runUntil([&] { return settings.calls && careTeam.calls && feed.calls && family.calls; });
    for (const auto* outcome : {&settings, &careTeam, &feed, &family})
        EXPECT_TRUE(outcome->reply && !outcome->error);
    ASSERT_TRUE(settings.reply);
    setNotificationSettings(UserDefaults::standard(), *settings.reply);
    EXPECT_EQ(notificationSettingsParameters(UserDefaults::standard()).count(), 7u);
    EXPECT_TRUE(family.reply && (*family.reply)["members"].array());

    // Registering the same e-mail again is refused with the server's own message.
    Outcome again;
    UserData twin("Emma Hart", FamilyRelationship::Mother, account.email);
    SignUpService().signUp(twin, std::nullopt, "another-password", cw::test::screenThatStays(), again.taskSuccess(), again.failure());
    wait(again);
    ASSERT_TRUE(again.error);
    EXPECT_EQ(again.error->kind(), RequestError::Kind::erroResponse);
    EXPECT_FALSE(JSON(again.error->object())["message"].stringValue().empty());
}

} // namespace
} // namespace cw::accountstest
