#include "DemoServerSuite.h"

#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "foundation/dispatch/RunLoop.h"

namespace cw::e2e {
namespace {

// The request layer's token handling against the server's own rules.
class DemoServerSessionTest : public DemoServerSuite {
protected:
    void SetUp() override { ASSERT_TRUE(signInDemoMember()); }
};

TEST_F(DemoServerSessionTest, AStaleAccessTokenIsRefreshedAndTheRequestReplayed) {
    auto& session = AuthenticationContext::shared();
    const auto refreshToken = session.oAuthRefreshToken();
    session.setOAuthToken("stale");
    Outcome family;
    MemberService("invite/data").fetchInviteData(family.success(), family.failure());
    ASSERT_TRUE(accepted(family));
    EXPECT_TRUE(family.object()["members"].array());
    EXPECT_EQ(loggedCount("GET", "invite/data", 401), 1u);
    EXPECT_EQ(loggedCount("POST", "tokens", 200), 1u);
    EXPECT_NE(session.oAuthToken(), "stale");
    // The refresh token is spent and replaced.
    EXPECT_NE(session.oAuthRefreshToken(), refreshToken);
}

// The session ends, and the request parked behind the refused renewal ends with it: its caller
// belongs to the session and hears nothing.
TEST_F(DemoServerSessionTest, ARefusedRefreshEndsTheSessionWithTheRequestParkedBehindIt) {
    auto& session = AuthenticationContext::shared();
    session.setOAuthToken("stale");
    session.setOAuthRefreshToken("spent");
    Outcome settings;
    MemberService().fetchNotificationSettings(settings.success(), settings.failure());
    ASSERT_TRUE(awaitLogged("POST", "tokens", 401));
    ASSERT_TRUE(runUntil([&] { return !session.oAuthToken(); }));
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(settings.done());
    EXPECT_EQ(loggedCount("POST", "tokens", 401), 1u);
    EXPECT_FALSE(session.oAuthRefreshToken());
    EXPECT_FALSE(session.user());
}

} // namespace
} // namespace cw::e2e
