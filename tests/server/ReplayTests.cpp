// A phone that sends again what it created, with the same Idempotency-Key (a retry after a lost
// answer, a second tap), finds it created once and hears the first answer again; a request without
// the key is done as it always was. The keys are bounded per sender and kept a day.

#include "ServerFixture.h"

#include "tests/support/Gate.h"

#include <algorithm>
#include <atomic>
#include <future>

namespace cw::server::testing {
namespace {

class ReplayTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        // The bounds of the keys are reached with more posts and comments than an hour allows.
        options.rates.itemsByMember = {100000, 3600};
        options.rates.storedBytesByMember = {1LL << 40, 3600};
        options.rates.storedBytesByAddress = {1LL << 40, 3600};
        options.pictureDecoding = [this] {
            if (!holdPictures_) return;
            decoding_->open();
            held_->wait();
        };
    }
    void TearDown() override {
        held_->open();
        ServerTest::TearDown();
    }

    // A JSON POST with the key (none: no header), as the member.
    Reply keyed(const std::string& path, const json& body, const std::string& key, const std::string& token = "") {
        httplib::Headers headers = app_.headers(token);
        if (!key.empty()) headers.emplace("Idempotency-Key", key);
        return toReply(client_->Post(("/m/api/" + path).c_str(), headers, body.dump(), "application/json"));
    }
    Reply keyedForm(const std::string& path, const httplib::MultipartFormDataItems& items, const std::string& key,
                    const std::string& token) {
        httplib::Headers headers = app_.headers(token);
        if (!key.empty()) headers.emplace("Idempotency-Key", key);
        return toReply(client_->Post(("/m/api/" + path).c_str(), headers, items));
    }
    // The demo family's post that the tests comment on.
    int64_t heldNoah() { return count("SELECT id FROM posts WHERE post_text LIKE 'Held Noah%'"); }
    int64_t count(const std::string& sql) {
        Connection db((dir_ / "cradleway.db").string());
        auto st = db.prepare(sql);
        return st.step() ? st.integer(0) : 0;
    }
    httplib::MultipartFormDataItems postForm(const Session& who, const std::string& text) {
        return {{"user_id", std::to_string(who.userId), "", ""}, {"post_text", text, "", ""}};
    }

    std::atomic<bool> holdPictures_ = false;
    std::shared_ptr<cw::test::Gate> held_ = std::make_shared<cw::test::Gate>();
    std::shared_ptr<cw::test::Gate> decoding_ = std::make_shared<cw::test::Gate>();
};

TEST_F(ReplayTest, EveryCreatingRequestSentAgainWithItsKeyIsDoneOnceAndAnsweredAsTheFirst) {
    Session mother = demoMother();
    const std::string user = std::to_string(mother.userId);
    const json baby = mother.reply["babies"][0]["id"];
    struct Case {
        const char* what;
        std::function<Reply(const std::string& key)> send;
        std::string stored; // counts what the request stores
    };
    const std::vector<Case> cases = {
        {"a post",
         [&](const std::string& key) { return keyedForm("post", postForm(mother, "Kangaroo time"), key, mother.access); },
         "SELECT COUNT(*) FROM posts WHERE post_text = 'Kangaroo time'"},
        {"a post with a picture",
         [&](const std::string& key) {
             auto form = postForm(mother, "With a picture");
             form.push_back({"no_of_images", "1", "", ""});
             form.push_back({"post_picture_1", jpegBytes(900), "photo_1.jpg", "image/jpeg"});
             return keyedForm("post", form, key, mother.access);
         },
         "SELECT COUNT(*) FROM post_media WHERE post_id IN (SELECT id FROM posts WHERE post_text = 'With a "
         "picture')"},
        {"a comment",
         [&](const std::string& key) {
             return keyed("comments/new", {{"comment_text", "So proud"}, {"post_id", heldNoah()}, {"user_id", user}}, key,
                          mother.access);
         },
         "SELECT COUNT(*) FROM comments WHERE comment_text = 'So proud'"},
        {"an invitation",
         [&](const std::string& key) {
             return keyed("invite",
                          {{"full_name", "Paul Bell"},
                           {"email", "paul@cradleway.test"},
                           {"relationship", "Friend"},
                           {"user_id", user}},
                          key, mother.access);
         },
         "SELECT COUNT(*) FROM invitations WHERE email = 'paul@cradleway.test'"},
        {"a milestone",
         [&](const std::string& key) {
             return keyedForm("baby/nicu_journey_add",
                              {{"baby_id", baby.dump(), "", ""},
                               {"user_id", user, "", ""},
                               {"date", "2026-11-20", "", ""},
                               {"type", "other", "", ""},
                               {"input_text", "Grandma came", "", ""}},
                              key, mother.access);
         },
         "SELECT COUNT(*) FROM journey_items WHERE label = 'Grandma came' OR overlay_text = 'Grandma came'"},
        {"a baby",
         [&](const std::string& key) {
             // The stored babies and a new one, as the add-a-baby flow sends them.
             json babies = json::array();
             for (const auto& stored : mother.reply["babies"])
                 babies.push_back({{"id", std::to_string(stored["id"].get<int64_t>())},
                                   {"full_name", stored["full_name"]},
                                   {"birthday", stored["birthday"]},
                                   {"expected_birthday", "2027-03-10"},
                                   {"gender", stored["gender"]}});
             babies.push_back({{"full_name", "Third Hart"},
                               {"birthday", "2026-11-01"},
                               {"expected_birthday", "2027-01-01"},
                               {"gender", "Female"}});
             return keyedForm("baby/update", {{"babies", babies.dump(), "", ""}, {"user_id", user, "", ""}}, key,
                              mother.access);
         },
         "SELECT COUNT(*) FROM babies WHERE full_name = 'Third Hart'"},
        {"an account",
         [&](const std::string& key) { return keyed("signup", newMemberForm("newcomer@cradleway.test"), key); },
         "SELECT COUNT(*) FROM members WHERE email = 'newcomer@cradleway.test'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string key = std::string("first-") + c.what;
        std::replace(key.begin(), key.end(), ' ', '-');
        Reply first = c.send(key);
        ASSERT_EQ(first.status, 200) << first.raw;
        ASSERT_EQ(count(c.stored), 1);
        Reply again = c.send(key);
        EXPECT_EQ(again.status, first.status);
        EXPECT_EQ(again.raw, first.raw);
        EXPECT_EQ(count(c.stored), 1) << "done twice for one key";
    }
    // A new key is a new action; without the header a request is done as ever.
    ASSERT_EQ(cases[0].send("second").status, 200);
    ASSERT_EQ(cases[0].send("").status, 200);
    ASSERT_EQ(cases[0].send("").status, 200);
    EXPECT_EQ(count(cases[0].stored), 4);
    // The answers are kept sealed: the database alone does not give the new account's tokens away.
    Connection db((dir_ / "cradleway.db").string());
    auto rows = db.prepare("SELECT body FROM request_replays");
    while (rows.step()) EXPECT_EQ(rows.text(0).find("access_token"), std::string::npos);
}

TEST_F(ReplayTest, AKeyIsTheSendersOwnAndARefusedRequestLeavesItFree) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto postAs = [&](const Session& who, const std::string& text) {
        return keyedForm("post", postForm(who, text), "shared-key", who.access);
    };
    // The same key from two members is two actions.
    ASSERT_EQ(postAs(mother, "Hers").status, 200);
    ASSERT_EQ(postAs(father, "His").status, 200);
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text IN ('Hers', 'His')"), 2);
    // A refused request stored nothing and took no key: sent again right, it is done.
    Reply refused = keyed("comments/new", {{"comment_text", " "}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                          "comment-key", mother.access);
    ASSERT_EQ(refused.status, 400) << refused.raw;
    Reply right = keyed("comments/new", {{"comment_text", "Now right"}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                        "comment-key", mother.access);
    ASSERT_EQ(right.status, 200) << right.raw;
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'Now right'"), 1);
    // A sign-up's key is its network's: another address with the same key is another client.
    ASSERT_EQ(keyed("signup", newMemberForm("ward@cradleway.test"), "signup-key").status, 200);
    Reply elsewhere = postFrom("127.0.0.2", "signup", newMemberForm("ward@cradleway.test"));
    EXPECT_EQ(elsewhere.status, 409) << elsewhere.raw;
    // A key that is no key is refused before anything is done.
    EXPECT_EQ(keyedForm("post", postForm(mother, "Bad key"), std::string(256, 'k'), mother.access).status, 400);
    EXPECT_EQ(keyedForm("post", postForm(mother, "Bad key"), "with space", mother.access).status, 400);
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Bad key'"), 0);
}

TEST_F(ReplayTest, TheSameKeyWhileTheFirstIsStillBeingDoneIsToldSoAndThenAnsweredAsTheFirst) {
    Session mother = demoMother();
    auto form = postForm(mother, "Slow picture");
    form.push_back({"no_of_images", "1", "", ""});
    form.push_back({"post_picture_1", jpegBytes(900), "photo_1.jpg", "image/jpeg"});
    holdPictures_ = true;
    auto first = std::async(std::launch::async, [&] {
        httplib::Client client("127.0.0.1", server_->port());
        client.set_read_timeout(60, 0);
        httplib::Headers headers{{"X-Access-Token", mother.access}, {"Idempotency-Key", "slow"}};
        return toReply(client.Post("/m/api/post", headers, form));
    });
    // The first is held at its picture's decoding; the second meanwhile is answered at once.
    decoding_->wait();
    Reply meanwhile = keyedForm("post", form, "slow", mother.access);
    EXPECT_EQ(meanwhile.status, 409) << meanwhile.raw;
    EXPECT_EQ(meanwhile.body["message"], "This request is still being done. Please try again in a moment.");
    held_->open();
    Reply done = first.get();
    ASSERT_EQ(done.status, 200) << done.raw;
    Reply after = keyedForm("post", form, "slow", mother.access);
    EXPECT_EQ(after.raw, done.raw);
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Slow picture'"), 1);
}

TEST_F(ReplayTest, KeysAreKeptADayAndBoundedPerSenderOldestFirst) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto post = [&](const Session& who, const std::string& key) {
        return keyedForm("post", postForm(who, "Post " + key), key, who.access);
    };
    auto posts = [&](const std::string& key) {
        return count("SELECT COUNT(*) FROM posts WHERE post_text = 'Post " + key + "'");
    };
    ASSERT_EQ(post(father, "his").status, 200);
    // The mother's thousand and first key forgets her first, and nobody else's.
    for (int i = 0; i <= kRepliesPerSender; ++i)
        ASSERT_EQ(post(mother, std::to_string(i)).status, 200) << i;
    EXPECT_EQ(count("SELECT COUNT(*) FROM request_replays WHERE owner = 'member:" + std::to_string(mother.userId) +
                    "'"),
              kRepliesPerSender);
    ASSERT_EQ(post(mother, "0").status, 200);
    EXPECT_EQ(posts("0"), 2) << "the oldest key is forgotten";
    ASSERT_EQ(post(mother, std::to_string(kRepliesPerSender)).status, 200);
    EXPECT_EQ(posts(std::to_string(kRepliesPerSender)), 1) << "the latest key is kept";
    ASSERT_EQ(post(father, "his").status, 200);
    EXPECT_EQ(posts("his"), 1) << "another member's key is kept";

    // A day later every key is free again.
    now_ += kReplayKeptSeconds;
    father = signIn("partner@cradleway.test", "cradleway-demo");
    ASSERT_EQ(post(father, "his").status, 200);
    EXPECT_EQ(posts("his"), 2);
}

TEST_F(ReplayTest, TheAnswersKeptPerSenderAreBoundedInBytes) {
    Session mother = demoMother();
    // Each comment's answer holds every comment of the post: their sum soon passes the bound.
    const std::string words(4000, 'w');
    auto comment = [&](int i) {
        return keyed("comments/new",
                     {{"comment_text", std::to_string(i) + words}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                     "comment-" + std::to_string(i), mother.access);
    };
    int sent = 0;
    for (; sent < 80; ++sent)
        ASSERT_EQ(comment(sent).status, 200) << sent;
    EXPECT_LE(count("SELECT SUM(bytes) FROM request_replays"), kReplyBytesPerSender);
    ASSERT_EQ(comment(sent - 1).status, 200);
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text LIKE '79w%'"), 1) << "the latest is kept";
    ASSERT_EQ(comment(0).status, 200);
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text LIKE '0w%'"), 2) << "the oldest went";
}

} // namespace
} // namespace cw::server::testing
