#include "ServerFixture.h"

#include "server/Auth.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

using SessionTest = ServerTest;

TEST_F(SessionTest, SignInFeedExpiryRefreshAndReplay) {
    Session s = demoMother();
    ASSERT_EQ(s.reply["babies"].size(), 2u);
    EXPECT_TRUE(s.reply["user"]["security_code"].is_number_integer());
    json feedBody = {{"baby_ids", {1, 2}}, {"user_id", s.userId}};

    Reply feed = post("content/", feedBody, s.access);
    ASSERT_EQ(feed.status, 200) << feed.raw;
    EXPECT_FALSE(feed.body["data"]["content"].empty());

    // An hour later the access token has expired: the member-only request is refused with 401.
    now_ += 3601;
    Reply expired = post("content/", feedBody, s.access);
    EXPECT_EQ(expired.status, 401);
    EXPECT_TRUE(expired.body["message"].is_string());

    // The refresh answers both tokens at the top level, both new.
    httplib::Headers h = {{"X-Access-Token", s.access}, {"X-Refresh-Token", s.refresh}};
    auto refreshed = client_->Post("/m/api/tokens/", h, "null", "application/json");
    ASSERT_TRUE(refreshed);
    ASSERT_EQ(refreshed->status, 200) << refreshed->body;
    json tokens = json::parse(refreshed->body);
    std::string access = tokens["access_token"], refresh = tokens["refresh_token"];
    EXPECT_NE(access, s.access);
    EXPECT_NE(refresh, s.refresh);

    // The replayed request goes through with the new token.
    EXPECT_EQ(post("content/", feedBody, access).status, 200);

    // The spent refresh token cannot be used again; a made-up one neither.
    auto again = client_->Post("/m/api/tokens/", {{"X-Refresh-Token", s.refresh}}, "", "application/json");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 401);
    auto junk = client_->Post("/m/api/tokens", {{"X-Refresh-Token", "junk"}}, "", "application/json");
    ASSERT_TRUE(junk);
    EXPECT_EQ(junk->status, 401);
    EXPECT_EQ(json::parse(junk->body)["message"].is_string(), true);
}

TEST_F(SessionTest, RefreshTokensExpireToo) {
    Session s = demoMother();
    now_ += 31LL * 24 * 3600;
    auto result = client_->Post("/m/api/tokens/", {{"X-Refresh-Token", s.refresh}}, "", "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 401);
}

TEST_F(SessionTest, SignedOutRequestsNeverAnswer401) {
    const std::string stale = "0000";
    EXPECT_EQ(
        post("signin/", {{"email", "demo@cradleway.test"}, {"password", "wrong-password"}}, stale).status,
        403);
    EXPECT_EQ(post("signin/", {{"email", "nobody@cradleway.test"}, {"password", "x"}}).status, 403);
    EXPECT_EQ(post("member/check/", {{"email", "new@cradleway.test"}}, stale).status, 200);
    EXPECT_EQ(post("member/password/reset/", {{"email", "new@cradleway.test"}}, stale).status, 200);
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}, stale).status, 200);
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW100001"}}, stale).status, 409);
    EXPECT_EQ(post("invite/check", {{"email", "x@y.z"}, {"invitation_code", "1"}}, stale).status, 404);
    EXPECT_EQ(post("validate/email", {{"email", "fresh@cradleway.test"}}, stale).status, 200);
    EXPECT_EQ(post("verify/email", {{"email", "fresh@cradleway.test"}, {"code", 1}}, stale).status, 400);
    json event = {
        {"screen_name", "LoginScreen"}, {"screen_action", "Loaded"}, {"event_details", json::object()}};
    EXPECT_EQ(post("analytics/", event, stale).status, 200);
    // Member-only requests without a token are refused.
    EXPECT_EQ(post("baby/daily_update", {{"baby_id", 1}, {"user_id", 1}}).status, 401);
    EXPECT_EQ(get("comments/", {{"user_id", "1"}, {"post_id", "1"}}).status, 401);
}

TEST_F(SessionTest, PasswordResetGivesATemporaryPasswordThatBecomesThePassword) {
    Reply reply = post("member/password/reset/", {{"email", "demo@cradleway.test"}});
    ASSERT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body["message"].is_string());
    std::string temporary = consoleCapture("for demo@cradleway.test", "temporary password ");
    ASSERT_FALSE(temporary.empty());
    // The old password still works until the temporary one is used.
    demoMother();
    signIn("demo@cradleway.test", temporary);
    EXPECT_EQ(post("signin/", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}}).status,
              403);
}

TEST_F(SessionTest, PasswordUpdateChecksTheCurrentPassword) {
    Session s = demoMother();
    json body = {{"user_id", std::to_string(s.userId)},
                 {"security_code", std::to_string(s.code)},
                 {"current_password", "not-it"},
                 {"new_password", "a-new-password"}};
    Reply wrong = post("member/update_pass/", body, s.access);
    EXPECT_EQ(wrong.status, 400);
    EXPECT_TRUE(wrong.body["message"].is_string());
    body["current_password"] = "cradleway-demo";
    body["new_password"] = "short";
    EXPECT_EQ(post("member/update_pass/", body, s.access).status, 400);
    body["new_password"] = "a-new-password";
    Reply ok = post("member/update_pass/", body, s.access);
    EXPECT_EQ(ok.status, 200);
    EXPECT_TRUE(ok.body["message"].is_string());
    signIn("demo@cradleway.test", "a-new-password");
}

} // namespace
} // namespace cw::server::testing

namespace cw::server::testing {
namespace {

TEST_F(SessionTest, AChangedPasswordEndsEveryOtherSession) {
    Session here = demoMother();
    Session elsewhere = demoMother();
    json feed = {{"baby_ids", {1}}, {"user_id", here.userId}};
    ASSERT_EQ(post("content/", feed, elsewhere.access).status, 200);
    Reply changed = post("member/update_pass/",
                         {{"user_id", here.userId},
                          {"security_code", here.code},
                          {"current_password", "cradleway-demo"},
                          {"new_password", "a-new-password"}},
                         here.access);
    ASSERT_EQ(changed.status, 200) << changed.raw;
    EXPECT_EQ(post("content/", feed, here.access).status, 200);
    EXPECT_EQ(post("content/", feed, elsewhere.access).status, 401);
    auto refreshed =
        client_->Post("/m/api/tokens/", {{"X-Refresh-Token", elsewhere.refresh}}, "", "application/json");
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->status, 401);
    // The session that changed it goes on, refreshed too.
    auto mine = client_->Post("/m/api/tokens/", {{"X-Refresh-Token", here.refresh}}, "", "application/json");
    ASSERT_TRUE(mine);
    ASSERT_EQ(mine->status, 200);
    EXPECT_EQ(post("content/", feed, json::parse(mine->body)["access_token"]).status, 200);
}

// Her token's hour runs out while her password change waits for its hashes, and her tablet's refresh
// clears the expired token meanwhile: the change still keeps the session it was let in with, and
// ends only the others.
TEST_F(SessionTest, APasswordChangeKeepsItsSessionThoughItsTokenEndedWhileItWaited) {
    Session phone = demoMother();
    Session tablet = demoMother();
    std::vector<std::unique_ptr<Gate::Turn>> crowd;
    for (;;) {
        auto turn = std::make_unique<Gate::Turn>(passwordHashGate(), std::chrono::milliseconds(0));
        if (!*turn) break;
        crowd.push_back(std::move(turn));
    }
    Reply changed;
    std::thread changing([&] {
        changed = post("member/update_pass",
                       {{"user_id", phone.userId},
                        {"security_code", phone.code},
                        {"current_password", "cradleway-demo"},
                        {"new_password", "a-new-password"}},
                       phone.access);
    });
    while (passwordHashesWaiting() < 1)
        std::this_thread::yield();
    now_ += 3600 + 1;
    const Reply turned = postFrom("127.0.0.2", "tokens", {{"refresh_token", tablet.refresh}});
    ASSERT_EQ(turned.status, 200) << turned.raw;
    crowd.clear();
    changing.join();
    ASSERT_EQ(changed.status, 200) << changed.raw;

    const json feed = {{"baby_ids", {1}}, {"user_id", phone.userId}};
    auto mine = client_->Post("/m/api/tokens/", {{"X-Refresh-Token", phone.refresh}}, "", "application/json");
    ASSERT_TRUE(mine);
    ASSERT_EQ(mine->status, 200) << mine->body;
    EXPECT_EQ(post("content/", feed, json::parse(mine->body)["access_token"]).status, 200);
    EXPECT_EQ(post("content/", feed, turned.body["access_token"]).status, 401);
}

TEST_F(SessionTest, SigningInWithATemporaryPasswordEndsEverySessionBefore) {
    Session before = demoMother();
    ASSERT_EQ(post("member/password/reset/", {{"email", "demo@cradleway.test"}}).status, 200);
    // Asking for a reset ends nothing: anybody can ask for anybody's.
    json feed = {{"baby_ids", {1}}, {"user_id", before.userId}};
    EXPECT_EQ(post("content/", feed, before.access).status, 200);
    Session after =
        signIn("demo@cradleway.test", consoleCapture("for demo@cradleway.test", "temporary password "));
    EXPECT_EQ(post("content/", feed, before.access).status, 401);
    EXPECT_EQ(post("content/", feed, after.access).status, 200);
}

TEST_F(SessionTest, ARightPasswordWhileEveryHashPlaceIsTakenIs429AndCountsNothing) {
    Session mother = demoMother();
    // Every place for a password hash is taken, as by a crowd signing in at once.
    std::vector<std::unique_ptr<Gate::Turn>> crowd;
    for (;;) {
        auto turn = std::make_unique<Gate::Turn>(passwordHashGate(), std::chrono::milliseconds(0));
        if (!*turn) break;
        crowd.push_back(std::move(turn));
    }
    Reply signedIn, changed;
    std::thread signingIn([&] {
        signedIn = postFrom("127.0.0.2", "signin",
                            {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}});
    });
    std::thread changing([&] {
        changed = post("member/update_pass",
                       {{"user_id", mother.userId},
                        {"security_code", mother.code},
                        {"current_password", "cradleway-demo"},
                        {"new_password", "a-new-password"}},
                       mother.access);
    });
    // Both have read the member and wait for a place; meanwhile another member's write lands.
    while (passwordHashesWaiting() < 2)
        std::this_thread::yield();
    server_->state().pool->acquire()->exec("UPDATE members SET notification_count = notification_count + 1 "
                                           "WHERE email = 'partner@cradleway.test'");
    signingIn.join();
    changing.join();
    for (const Reply* busy : {&signedIn, &changed}) {
        EXPECT_EQ(busy->status, 429) << busy->raw;
        EXPECT_EQ(busy->body["message"], "The server is busy. Please try again in a moment.");
    }
    crowd.clear();
    // Neither was a guess: nothing is counted against the account or the addresses.
    server_->state().pool->flushGathered();
    EXPECT_EQ(
        server_->state().pool->acquire()->queryInteger("SELECT COALESCE(SUM(failures), 0) FROM throttles "
                                                       "WHERE ? = 1",
                                                       1),
        0);
    signIn("demo@cradleway.test", "cradleway-demo");
}

TEST_F(SessionTest, APhonesPushTokenServesOnlyTheLastMemberWhoRegisteredIt) {
    auto registerToken = [&](const Session& who, const std::string& token) {
        Reply reply =
            post("member/push_notif_token",
                 {{"user_id", who.userId}, {"security_code", who.code}, {"push_token", token}}, who.access);
        ASSERT_EQ(reply.status, 200) << reply.raw;
    };
    auto holders = [&](const std::string& token) {
        auto db = server_->state().pool->acquire();
        auto st = db->prepare("SELECT email FROM members WHERE push_token = ? ORDER BY id");
        st.with(token);
        std::vector<std::string> emails;
        while (st.step())
            emails.push_back(st.text(0));
        return emails;
    };
    // The mother signs in on the family's phone, logs out, and the father signs in there.
    Session mother = demoMother();
    registerToken(mother, "family-phone");
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    registerToken(father, "family-phone");
    EXPECT_EQ(holders("family-phone"), std::vector<std::string>{"partner@cradleway.test"});
    // Once she signs in there again, it is hers again.
    registerToken(mother, "family-phone");
    EXPECT_EQ(holders("family-phone"), std::vector<std::string>{"demo@cradleway.test"});
}

TEST_F(SessionTest, SigningInAgainAndAgainEndsTheOldestSessionsPastFifty) {
    std::vector<Session> sessions;
    for (int i = 0; i < 51; ++i)
        sessions.push_back(demoMother());
    const json feed = {{"baby_ids", {1}}, {"user_id", sessions[0].userId}};
    EXPECT_EQ(post("content/", feed, sessions[0].access).status, 401);
    auto refreshed =
        client_->Post("/m/api/tokens/", {{"X-Refresh-Token", sessions[0].refresh}}, "", "application/json");
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->status, 401);
    EXPECT_EQ(post("content/", feed, sessions[1].access).status, 200);
    EXPECT_EQ(post("content/", feed, sessions[50].access).status, 200);
    auto db = server_->state().pool->acquire();
    EXPECT_EQ(db->queryInteger("SELECT COUNT(*) FROM tokens WHERE member_id = ?", sessions[0].userId),
              2 * 50);
}

TEST_F(SessionTest, RefreshingAgainAndAgainKeepsOnlyTheSessionsLatestAccessTokens) {
    // A client that spends each refresh token as soon as it has it: every turn leaves an access token
    // that is still good for its hour.
    Session s = demoMother();
    std::vector<std::string> access = {s.access};
    std::string refresh = s.refresh;
    for (int i = 0; i < 200; ++i) {
        auto turned = client_->Post("/m/api/tokens/", {{"X-Refresh-Token", refresh}}, "", "application/json");
        ASSERT_TRUE(turned);
        ASSERT_EQ(turned->status, 200) << i << " " << turned->body;
        json tokens = json::parse(turned->body);
        access.push_back(tokens["access_token"]);
        refresh = tokens["refresh_token"];
    }
    // The session holds its latest few access tokens, for requests still on their way, and no more.
    const json feed = {{"baby_ids", {1}}, {"user_id", s.userId}};
    for (size_t back = 1; back <= 4; ++back)
        EXPECT_EQ(post("content/", feed, access[access.size() - back]).status, 200) << back;
    EXPECT_EQ(post("content/", feed, access[access.size() - 5]).status, 401);
    EXPECT_EQ(post("content/", feed, access.front()).status, 401);
    auto db = server_->state().pool->acquire();
    EXPECT_EQ(db->queryInteger("SELECT COUNT(*) FROM tokens WHERE member_id = ?", s.userId), 4 + 1);
}

} // namespace
} // namespace cw::server::testing
