#include "ServerFixture.h"

#include <atomic>
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

TEST_F(RegistrationTest, WrongPasswordsAreSlowedWithoutLockingTheOwnerOutForLong) {
    const json wrong = {{"email", "demo@cradleway.test"}, {"password", "not-the-password"}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(post("signin", wrong).status, 403);
    EXPECT_EQ(post("signin", wrong).status, 429);
    EXPECT_EQ(post("signin", {{"email", "demo@cradleway.test"}, {"password", "cradleway-demo"}}).status, 429);
    now_ += 5;
    demoMother();
    // The success forgets the failures: the next typo is not slowed.
    EXPECT_EQ(post("signin", wrong).status, 403);
}

TEST_F(RegistrationTest, AfterFiveWrongCodesSheIsToldAtOnceToAskForANewCodeWhichIsJudgedAtOnce) {
    const std::string email = "guess@cradleway.test";
    post("validate/email", {{"email", email}});
    const int spent = std::stoi(consoleCapture("for " + email, "code "));
    const int wrong = spent == 1000 ? 1001 : 1000;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(post("verify/email", {{"email", email}, {"code", wrong}}).status, 400);
    // As found, her spent code was answered "Too many attempts. Please try again in 30 seconds." and
    // only after the wait that it was spent.
    Reply again = post("verify/email", {{"email", email}, {"code", spent}});
    EXPECT_EQ(again.status, 429);
    EXPECT_EQ(again.body.value("message", ""), "Too many wrong codes. Please ask for a new code.")
        << again.raw;
    // Her new code, typed right, is taken at once; and after one slip on it, the right one too.
    for (int slips : {0, 1}) {
        ASSERT_EQ(post("validate/email", {{"email", email}}).status, 200);
        const int code = std::stoi(consoleCapture("for " + email, "code "));
        for (int i = 0; i < slips; ++i)
            EXPECT_EQ(post("verify/email", {{"email", email}, {"code", code == 1000 ? 1001 : 1000}}).status,
                      400);
        Reply verified = post("verify/email", {{"email", email}, {"code", code}});
        EXPECT_EQ(verified.status, 200) << slips << " " << verified.raw;
    }
}

// The server's clock can move on while a sign-up's picture is read.
class InviteeTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.pictureDecoding = [this] { now_ += secondsWhileDecoding_.load(); };
    }
    std::atomic<int64_t> secondsWhileDecoding_{0};
};

// Whatever road an invitee takes, an answer that lets her in shows her family's babies, and one that
// cannot leaves no account behind and asks for her code again, the invitation waiting for it.
TEST_F(InviteeTest, AnInviteeIsInHerFamilyOrAskedForHerCodeAgainNeverLeftOutsideIt) {
    const std::string again = "An invitation is waiting for this e-mail address. Please enter your "
                              "invitation code again to join your family.";
    auto signUp = [&](const std::string& email) {
        return post("signup", {{"full_name", "Guest"},
                               {"email", email},
                               {"relationship", "Friend"},
                               {"password", "guest-password"}});
    };
    auto verifyByMail = [&](const std::string& email) {
        post("validate/email", {{"email", email}});
        const int code = std::stoi(consoleCapture("for " + email, "code "));
        EXPECT_EQ(post("verify/email", {{"email", email}, {"code", code}}).status, 200);
    };
    struct Road {
        const char* email;
        // What she does with her invitation's code; the reply that ends it.
        std::function<Reply(const std::string& email, const std::string& code)> take;
        int status;
        size_t babies;
    };
    const std::vector<Road> roads = {
        // The address alone proves nothing.
        {"alone@cradleway.test", [&](const std::string& email, const std::string&) { return signUp(email); },
         403, 0},
        // The code checked, with the inviter's address as the application sends it.
        {"invited@cradleway.test",
         [&](const std::string& email, const std::string& code) {
             checkInvitation("demo@cradleway.test", code);
             now_ += 3599;
             return signUp(email);
         },
         200, 2},
        // The check lapsed while she filled the form in.
        {"late@cradleway.test",
         [&](const std::string& email, const std::string& code) {
             checkInvitation("late@cradleway.test", code);
             now_ += 3601;
             return signUp(email);
         },
         403, 0},
        // It lapsed while her photo was read.
        {"photo@cradleway.test",
         [&](const std::string& email, const std::string& code) {
             checkInvitation("demo@cradleway.test", code);
             now_ += 3599;
             secondsWhileDecoding_ = 2;
             Reply reply = multipart("signup", {{"full_name", "Guest", "", ""},
                                                {"email", email, "", ""},
                                                {"relationship", "Friend", "", ""},
                                                {"password", "guest-password", "", ""},
                                                {"user_picture", jpegBytes(300), "photo", "image/jpeg"}});
             secondsWhileDecoding_ = 0;
             return reply;
         },
         403, 0},
        // The e-mail road proves the address, but no invitation's code: her own account, no family.
        {"verified@cradleway.test",
         [&](const std::string& email, const std::string&) {
             verifyByMail(email);
             return signUp(email);
         },
         200, 0},
        // Signed in to that account, her code brings her in.
        {"signedin@cradleway.test",
         [&](const std::string& email, const std::string& code) {
             verifyByMail(email);
             EXPECT_EQ(signUp(email).status, 200);
             now_ += 7200;
             const Session guest = signIn(email, "guest-password");
             return post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}},
                         guest.access);
         },
         200, 2},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.email);
        const Session mother = demoMother();
        Reply invited = post("invite",
                             {{"full_name", "Guest"},
                              {"relationship", "Friend"},
                              {"email", road.email},
                              {"user_id", mother.userId}},
                             mother.access);
        ASSERT_EQ(invited.status, 200) << invited.raw;
        const std::string code = consoleCapture(std::string("<") + road.email + ">", "invitation code ");
        Reply reply = road.take(road.email, code);
        EXPECT_EQ(reply.status, road.status) << reply.raw;
        EXPECT_EQ(reply.body["babies"].size(), road.babies) << reply.raw;
        if (road.status != 200) {
            EXPECT_EQ(reply.body["message"], again);
            EXPECT_EQ(post("signin", {{"email", road.email}, {"password", "guest-password"}}).status, 403)
                << "no account was made";
            // Her code, entered again, brings her in.
            checkInvitation("demo@cradleway.test", code);
            EXPECT_EQ(signUp(road.email).body["babies"].size(), 2u);
        }
        // An invitation taken up is spent; one not taken up waits for its code.
        EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}}).status,
                  road.babies == 0 && road.status == 200 ? 409 : 404);
    }
}

TEST_F(RegistrationTest, ABabyWithNoFamilyIsClaimedOnlyAfterItsRecordNumberIsLookedUp) {
    const int64_t mia = 3;
    json claim = {{"full_name", "Claimer"},
                  {"email", "claimer@cradleway.test"},
                  {"relationship", "Mother"},
                  {"password", "claimer-pass"},
                  {"babies", {{{"id", mia}}}}};
    EXPECT_EQ(post("signup", claim).status, 403);
    EXPECT_EQ(post("signin", {{"email", "claimer@cradleway.test"}, {"password", "claimer-pass"}}).status,
              403);
    // Nor does a baby update claim it by its id.
    Session stranger = signUpStranger("stranger@cradleway.test");
    json update = {{"user_id", stranger.userId},
                   {"babies",
                    {{{"id", mia},
                      {"full_name", "Mia Lopez"},
                      {"birthday", "2026-11-01"},
                      {"expected_birthday", "2027-01-01"},
                      {"gender", "Female"}}}}};
    EXPECT_EQ(post("baby/update", update, stranger.access).status, 403);
    // Another client's look-up does not count for this one.
    EXPECT_EQ(postFrom("127.0.0.2", "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    EXPECT_EQ(post("signup", claim).status, 403);
    // Looked up by this client, it is claimed.
    Reply found = post("baby/verify_mrn", {{"mrn", "CW200001"}});
    ASSERT_EQ(found.status, 200);
    EXPECT_EQ(found.body["id"], mia);
    Reply signup = post("signup", claim);
    ASSERT_EQ(signup.status, 200) << signup.raw;
    EXPECT_EQ(signup.body["babies"].size(), 1u);
    // Now that it has a family, a look-up no longer lets anyone else take it.
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}).status, 409);
    EXPECT_EQ(post("baby/update", update, stranger.access).status, 403);
}

TEST_F(RegistrationTest, ARecordNumberShowsAFamilysBabyOnlyToTheFamilyOrItsInvitee) {
    Reply stranger = post("baby/verify_mrn", {{"mrn", "CW100001"}});
    EXPECT_EQ(stranger.status, 409);
    EXPECT_EQ(stranger.body["message"],
              "This baby is already registered to a family. A parent of the baby can invite you to join.");
    EXPECT_FALSE(stranger.body.contains("full_name"));
    Session mother = demoMother();
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW100001"}}, mother.access).body["full_name"], "Olivia Hart");
    // The invited road: after the invitation check, this client sees the inviting family's babies.
    checkInvitation("demo@cradleway.test", "424242");
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW100002"}}).body["full_name"], "Noah Hart");
    EXPECT_EQ(postFrom("127.0.0.2", "baby/verify_mrn", {{"mrn", "CW100002"}}).status, 409);
}

TEST_F(RegistrationTest, RecordNumberGuessesAreSlowedPerClient) {
    int refused = 0;
    for (int i = 0; i < 40 && refused == 0; ++i) {
        int status = post("baby/verify_mrn", {{"mrn", "CW9" + std::to_string(10000 + i)}}).status;
        EXPECT_TRUE(status == 404 || status == 429) << status;
        refused += status == 429;
    }
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}).status, 429);
    EXPECT_EQ(postFrom("127.0.0.2", "baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
}

TEST_F(RegistrationTest, PicturesAreServedUnderNamesThatCannotBeGuessed) {
    Session mother = demoMother();
    for (const auto& baby : mother.reply["babies"]) {
        std::string name = baby["file_name"];
        EXPECT_GE(name.size(), std::string("images/upload/").size() + 32) << name;
        EXPECT_EQ(client_->Get(("/" + name).c_str())->status, 200);
    }
    EXPECT_EQ(client_->Get("/images/upload/demo-olivia.png")->status, 404);
    EXPECT_EQ(client_->Get("/images/upload/demo-noah.png")->status, 404);
}

// Wrong guesses sent at once from many connections are each counted before the next is judged.
TEST_F(RegistrationTest, ParallelGuessesStayWithinTheLimits) {
    post("validate/email", {{"email", "rush@cradleway.test"}});
    std::string code = consoleCapture("for rush@cradleway.test", "code ");
    int port = server_->port();
    // Every guess comes from the application that asked for the code.
    const httplib::Headers cookies = app_.headers("");
    auto guessAll = [port, &cookies](const std::string& path, const std::function<json(int)>& body) {
        std::atomic<int> judged{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 16; ++t)
            threads.emplace_back([&, t] {
                httplib::Client c("127.0.0.1", port);
                for (int i = 0; i < 8; ++i) {
                    auto r = c.Post("/m/api/" + path, cookies, body(t * 8 + i).dump(), "application/json");
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
    // The address's hundred free wrong codes, and Sarah's code renewed once, at the ninetieth.
    EXPECT_LE(
        guessAll("invite/check",
                 [](int t) {
                     return json{{"email", "demo@cradleway.test"}, {"invitation_code", std::to_string(t)}};
                 }),
        100);
    int renewed = 0;
    for (const auto& line : consoleLines())
        renewed += line.find("a new code for Sarah Hart <sarah@cradleway.test>") != std::string::npos;
    EXPECT_EQ(renewed, 1);
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
