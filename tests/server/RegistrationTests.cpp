#include "ServerFixture.h"

#include <functional>
#include <thread>

#include <unistd.h>

namespace cw::server::testing {
namespace {

using RegistrationTest = ServerTest;

TEST_F(RegistrationTest, EmailVerificationCodes) {
    Reply sent = post("validate/email", {{"email", "new.parent@cradleway.test"}});
    ASSERT_EQ(sent.status, 200);
    EXPECT_TRUE(sent.body["status"].is_string());
    std::string code = consoleCapture("for new.parent@cradleway.test", "code ");
    ASSERT_EQ(code.size(), 4u);
    int wrong = std::stoi(code) == 1000 ? 1001 : 1000;
    EXPECT_EQ(post("verify/email", {{"email", "new.parent@cradleway.test"}, {"code", wrong}}).status, 400);
    EXPECT_EQ(post("verify/email", {{"email", "new.parent@cradleway.test"}, {"code", "1234x"}}).status, 400);
    Reply verified =
        post("verify/email", {{"email", "new.parent@cradleway.test"}, {"code", std::stoi(code)}});
    EXPECT_EQ(verified.status, 200) << verified.raw;
    // Five wrong codes use a code up.
    post("validate/email", {{"email", "other@cradleway.test"}});
    std::string second = consoleCapture("for other@cradleway.test", "code ");
    int bad = std::stoi(second) == 1000 ? 1001 : 1000;
    for (int i = 0; i < 5; ++i)
        post("verify/email", {{"email", "other@cradleway.test"}, {"code", bad}});
    EXPECT_EQ(post("verify/email", {{"email", "other@cradleway.test"}, {"code", std::stoi(second)}}).status,
              429);
    // An address that already has an account gets no code.
    EXPECT_EQ(post("validate/email", {{"email", "demo@cradleway.test"}}).status, 409);
}

TEST_F(RegistrationTest, InvitationBringsTheNewMemberIntoTheFamily) {
    Session mother = demoMother();
    Reply invited = post("invite/",
                         {{"full_name", "Aunt Kate"},
                          {"relationship", "relative"},
                          {"email", "kate@cradleway.test"},
                          {"user_id", mother.userId}},
                         mother.access);
    ASSERT_EQ(invited.status, 200) << invited.raw;
    std::string code = consoleCapture("kate@cradleway.test", "invitation code ");
    ASSERT_FALSE(code.empty());

    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "000000"}}).status,
              404);
    Reply check = post(
        "invite/check",
        {{"invite_full_name", "Emma Hart"}, {"email", "demo@cradleway.test"}, {"invitation_code", code}});
    ASSERT_EQ(check.status, 200) << check.raw;
    EXPECT_EQ(
        check.body,
        json({{"full_name", "Aunt Kate"}, {"relationship", "Relative"}, {"email", "kate@cradleway.test"}}));

    Reply family =
        get("invite/data", {{"user_id", std::to_string(mother.userId)}, {"email", "demo@cradleway.test"}},
            mother.access);
    ASSERT_EQ(family.status, 200);
    bool pending = false;
    for (const auto& m : family.body["members"])
        if (m["email"] == "kate@cradleway.test") pending = m["connected"] == false;
    EXPECT_TRUE(pending);

    Reply signup = multipart("signup/", {{"full_name", "Kate Hart", "", ""},
                                         {"email", "kate@cradleway.test", "", ""},
                                         {"relationship", "Relative", "", ""},
                                         {"password", "kate-password", "", ""},
                                         {"user_picture", jpegBytes(300), "photo", "image/jpeg"}});
    ASSERT_EQ(signup.status, 200) << signup.raw;
    EXPECT_EQ(signup.body["babies"].size(), 2u);
    EXPECT_TRUE(signup.body["tokens"]["access_token"].is_string());
    EXPECT_TRUE(signup.body["user"]["file_name"].is_string());
    EXPECT_EQ(post("signup/", {{"full_name", "Kate"},
                               {"email", "KATE@cradleway.test"},
                               {"relationship", "Friend"},
                               {"password", "kate-password"}})
                  .status,
              409);
    // The invitation is spent.
    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}}).status,
              404);
}

TEST_F(RegistrationTest, UnclaimedBabyFoundByRecordNumberJoinsTheNewFamily) {
    Reply found = post("baby/verify_mrn", {{"mrn", "CW200001"}});
    ASSERT_EQ(found.status, 200);
    EXPECT_EQ(found.body["full_name"], "Mia Lopez");
    EXPECT_TRUE(found.body["id"].is_number_integer());
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "nope"}}).status, 404);
    json body = {
        {"full_name", "Ana Lopez"},
        {"email", "ana@cradleway.test"},
        {"relationship", "Mother"},
        {"password", "ana-password"},
        {"babies", {{{"id", std::to_string(found.body["id"].get<int64_t>())}, {"full_name", "Mia Lopez"}}}}};
    Reply signup = post("signup/", body);
    ASSERT_EQ(signup.status, 200) << signup.raw;
    ASSERT_EQ(signup.body["babies"].size(), 1u);
    EXPECT_EQ(signup.body["babies"][0]["mrn"], "CW200001");
}

TEST_F(RegistrationTest, MemberCheckAnswersWithAMessage) {
    EXPECT_EQ(post("member/check", {{"email", "free@cradleway.test"}}).body["message"], "");
    EXPECT_NE(post("member/check/", {{"email", "demo@cradleway.test"}}).body["message"], "");
}

} // namespace
} // namespace cw::server::testing

namespace cw::server::testing {
namespace {

TEST_F(RegistrationTest, GuessingInvitationCodesIsSlowedDown) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(
            post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(i)}})
                .status,
            404);
    // Even the right code waits now, for an hour.
    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}}).status,
              429);
    now_ += 3601;
    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}}).status,
              200);
}

// Wrong guesses sent at once from many connections are each counted before the next is judged.
TEST_F(RegistrationTest, ParallelGuessesStayWithinTheLimits) {
    post("validate/email", {{"email", "rush@cradleway.test"}});
    std::string code = consoleCapture("for rush@cradleway.test", "code ");
    int port = server_->port();
    auto guessAll = [port](const std::string& path, const std::function<json(int)>& body) {
        std::atomic<int> judged{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 16; ++t)
            threads.emplace_back([&, t] {
                httplib::Client c("127.0.0.1", port);
                for (int i = 0; i < 8; ++i) {
                    auto r = c.Post("/m/api/" + path, body(t * 8 + i).dump(), "application/json");
                    if (r && (r->status == 400 || r->status == 404)) ++judged;
                }
            });
        for (auto& t : threads)
            t.join();
        return judged.load();
    };
    int wrong = std::stoi(code) == 1000 ? 1001 : 1000;
    EXPECT_LE(guessAll("verify/email",
                       [wrong](int) {
                           return json{{"email", "rush@cradleway.test"}, {"code", wrong}};
                       }),
              5);
    EXPECT_LE(
        guessAll("invite/check",
                 [](int t) {
                     return json{{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(t)}};
                 }),
        10);
}

TEST(Schema, MigratesOnceAndRefusesANewerDatabase) {
    // A name of this process's own: the builds' test runs may overlap.
    auto path =
        std::filesystem::temp_directory_path() / ("cw-schema-test-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(path);
    {
        Connection db(path.string());
        int version = migrate(db);
        EXPECT_GE(version, 2);
        EXPECT_EQ(migrate(db), version);
        // The seed rows of the first version are there once, not once per start.
        EXPECT_EQ(db.queryInteger("SELECT COUNT(*) FROM milestone_types WHERE 1 = ?", 1), 8);
        db.exec("UPDATE schema_version SET version = version + 1");
        EXPECT_THROW(migrate(db), DatabaseError);
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + "-wal");
    std::filesystem::remove(path.string() + "-shm");
}

} // namespace
} // namespace cw::server::testing
