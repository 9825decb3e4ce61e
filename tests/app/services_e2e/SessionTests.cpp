#include "DemoServerSuite.h"

#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"

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

TEST_F(DemoServerSessionTest, ARefusedRefreshFailsTheParkedRequestAndEndsTheSession) {
    auto& session = AuthenticationContext::shared();
    session.setOAuthToken("stale");
    session.setOAuthRefreshToken("spent");
    Outcome settings;
    MemberService().fetchNotificationSettings(settings.success(), settings.failure());
    ASSERT_TRUE(runUntil([&] { return settings.done(); }));
    EXPECT_TRUE(settings.error);
    EXPECT_EQ(loggedCount("POST", "tokens", 401), 1u);
    EXPECT_FALSE(session.oAuthToken());
    EXPECT_FALSE(session.oAuthRefreshToken());
}

} // namespace
} // namespace cw::e2e
