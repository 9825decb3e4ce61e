// A phone that sends again what it created, with the same Idempotency-Key (a retry after a lost
// answer, a second tap), finds it created once and hears its answer again; a request without the key
// is done as it always was. A key is its sender's and its request's: the same key from someone else
// is another action, and with another request it is refused. The keys are bounded per sender, kept a
// day, and counted in the sender's storage.

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

    // A JSON POST with the key (none: no header), as the member, from the application `app`.
    Reply keyed(const std::string& path, const json& body, const std::string& key, const std::string& token = "",
                CookieJar* app = nullptr) {
        if (!app) app = &app_;
        httplib::Headers headers = app->headers(token);
        if (!key.empty()) headers.emplace("Idempotency-Key", key);
        auto result = client_->Post(("/m/api/" + path).c_str(), headers, body.dump(), "application/json");
        app->take(result);
        return toReply(result);
    }
    Reply keyedForm(const std::string& path, const httplib::MultipartFormDataItems& items, const std::string& key,
                    const std::string& token) {
        httplib::Headers headers = app_.headers(token);
        if (!key.empty()) headers.emplace("Idempotency-Key", key);
        // Each form with a boundary of its own, as an honest client's retry may have.
        return toReply(
            client_->Post(("/m/api/" + path).c_str(), headers, items, "form-" + std::to_string(++forms_)));
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

    int forms_ = 0;
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
        {"a password change",
         [&](const std::string& key) {
             return keyed("member/update_pass",
                          {{"user_id", user},
                           {"current_password", "cradleway-demo"},
                           {"new_password", "a-new-password"}},
                          key, mother.access);
         },
         // Done again, the change would find its own new password where the current one goes.
         "SELECT 1"},
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
    // What the keys keep is sealed: the database alone does not give the new account's tokens away.
    const std::string token = cases.back().send("first-an-account").body["tokens"]["access_token"];
    Connection db((dir_ / "cradleway.db").string());
    auto rows = db.prepare("SELECT made FROM request_replays");
    while (rows.step()) EXPECT_EQ(rows.text(0).find(token), std::string::npos);
}

TEST_F(ReplayTest, AKeyIsBoundToItsSenderAndToItsRequest) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto postAs = [&](const Session& who, const std::string& text) {
        return keyedForm("post", postForm(who, text), "shared-key", who.access);
    };
    auto posts = [&](const std::string& text) {
        return count("SELECT COUNT(*) FROM posts WHERE post_text = '" + text + "'");
    };
    // The same key from two members is two actions.
    Reply hers = postAs(mother, "Hers");
    ASSERT_EQ(hers.status, 200);
    ASSERT_EQ(postAs(father, "His").status, 200);
    EXPECT_EQ(posts("Hers") + posts("His"), 2);
    // As found: her same key with another text was answered 200, and nothing was stored.
    Reply other = postAs(mother, "Hers, edited");
    EXPECT_EQ(other.status, 422) << other.raw;
    EXPECT_EQ(posts("Hers, edited"), 0);
    // As found: a GET of a post carrying a key that a POST used was answered with that POST's answer.
    const std::string asked = std::to_string(heldNoah());
    auto got = client_->Get(("/m/api/post?user_id=" + std::to_string(mother.userId) + "&post_id=" + asked).c_str(),
                            {{"X-Access-Token", mother.access}, {"Idempotency-Key", "shared-key"}});
    ASSERT_TRUE(got);
    EXPECT_EQ(json::parse(got->body)["data"]["posts"][0]["id"].dump(), asked) << got->body;
    EXPECT_EQ(postAs(mother, "Hers").raw, hers.raw);

    // A refused request stored nothing and took no key: sent again right, it is done.
    Reply refused = keyed("comments/new", {{"comment_text", " "}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                          "comment-key", mother.access);
    ASSERT_EQ(refused.status, 400) << refused.raw;
    Reply right = keyed("comments/new", {{"comment_text", "Now right"}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                        "comment-key", mother.access);
    ASSERT_EQ(right.status, 200) << right.raw;
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'Now right'"), 1);

    // As found: a second sign-up from the ward's address with the same key got the first person's
    // account and tokens. Each phone the server named is a sender of its own; a phone it never named
    // is its address, and the same key with another sign-up does nothing there.
    CookieJar herPhone, hisPhone;
    for (CookieJar* phone : {&herPhone, &hisPhone})
        ASSERT_EQ(post(*phone, "baby/verify_mrn", {{"mrn", "none"}}).status, 404);
    Reply ann = keyed("signup", newMemberForm("ann@cradleway.test"), "ward-key", "", &herPhone);
    Reply ben = keyed("signup", newMemberForm("ben@cradleway.test"), "ward-key", "", &hisPhone);
    ASSERT_EQ(ann.status, 200) << ann.raw;
    ASSERT_EQ(ben.status, 200) << ben.raw;
    EXPECT_EQ(ben.body["user"]["email"], "ben@cradleway.test");
    EXPECT_EQ(get("invite/data", {{"user_id", ben.body["user"]["id"].dump()}}, ben.body["tokens"]["access_token"])
                  .status,
              200);
    EXPECT_EQ(keyed("signup", newMemberForm("ann@cradleway.test"), "ward-key", "", &herPhone).raw, ann.raw);
    CookieJar noName, noNameEither;
    ASSERT_EQ(keyed("signup", newMemberForm("cat@cradleway.test"), "new-key", "", &noName).status, 200);
    Reply dan = keyed("signup", newMemberForm("dan@cradleway.test"), "new-key", "", &noNameEither);
    EXPECT_EQ(dan.status, 422) << dan.raw;
    EXPECT_FALSE(dan.body.contains("tokens"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM members WHERE email = 'dan@cradleway.test'"), 0);

    // A key that is no key is refused before anything is done.
    EXPECT_EQ(keyedForm("post", postForm(mother, "Bad key"), std::string(256, 'k'), mother.access).status, 400);
    EXPECT_EQ(keyedForm("post", postForm(mother, "Bad key"), "with space", mother.access).status, 400);
    EXPECT_EQ(posts("Bad key"), 0);
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
    for (int i = 0; i <= kKeysPerSender; ++i)
        ASSERT_EQ(post(mother, std::to_string(i)).status, 200) << i;
    EXPECT_EQ(count("SELECT COUNT(*) FROM request_replays WHERE owner = 'member:" + std::to_string(mother.userId) +
                    "'"),
              kKeysPerSender);
    ASSERT_EQ(post(mother, "0").status, 200);
    EXPECT_EQ(posts("0"), 2) << "the oldest key is forgotten";
    ASSERT_EQ(post(mother, std::to_string(kKeysPerSender)).status, 200);
    EXPECT_EQ(posts(std::to_string(kKeysPerSender)), 1) << "the latest key is kept";
    ASSERT_EQ(post(father, "his").status, 200);
    EXPECT_EQ(posts("his"), 1) << "another member's key is kept";

    // A day later every key is free again.
    now_ += kReplayKeptSeconds;
    father = signIn("partner@cradleway.test", "cradleway-demo");
    ASSERT_EQ(post(father, "his").status, 200);
    EXPECT_EQ(posts("his"), 2);
}

// As found: a comment's kept answer was its card's whole list (440 KB on a post of 1,619 comments), so
// that a member's 8 MB held 29 keys, and a retry of an earlier key stored its text twice.
TEST_F(ReplayTest, ACommentsKeyKeepsLittleAndItsRetryAnswersTheCardsCommentsAsTheyAreNow) {
    Session mother = demoMother();
    {
        // Fewer and longer, to the same end: each answer holds 2 MB of comments.
        Connection db((dir_ / "cradleway.db").string());
        db.prepare("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                   "INSERT INTO comments (member_id, post_id, comment_text, created_at) "
                   "SELECT ?, ?, printf('%04900d', i), 0 FROM n")
            .with(mother.userId, heldNoah())
            .run();
    }
    auto comment = [&](int i) {
        return keyed("comments/new",
                     {{"comment_text", "Comment " + std::to_string(i)}, {"post_id", heldNoah()}, {"user_id", mother.userId}},
                     "comment-" + std::to_string(i), mother.access);
    };
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(comment(i).status, 200) << i;
    Reply again = comment(0);
    ASSERT_EQ(again.status, 200) << again.raw.substr(0, 200);
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'Comment 0'"), 1);
    EXPECT_EQ(again.body["data"]["comment"]["comment_text"], "Comment 0");
    EXPECT_EQ(commentTexts(again.body["data"]["comments"]).back(), "Comment 5");
    EXPECT_LT(count("SELECT MAX(length(made) + length(fingerprint) + length(id) + length(owner)) FROM request_replays"),
              static_cast<int64_t>(kKeptBytesPerKey));
}

// What her keys keep counts in her storage, as anything else she stores; a retry stores nothing.
class KeptKeyStorageTest : public ReplayTest {
    void adjust(ServerOptions& options) override {
        ReplayTest::adjust(options);
        options.rates.storedBytesByMember = {4000, 3600};
    }
};

TEST_F(KeptKeyStorageTest, KeptKeysCountInTheSendersStorage) {
    Session mother = demoMother();
    const std::string text(1000, 'w');
    auto comment = [&](const std::string& key) {
        return keyed("comments/new", {{"comment_text", text}, {"post_id", heldNoah()}, {"user_id", mother.userId}}, key,
                     mother.access);
    };
    ASSERT_EQ(comment("first").status, 200);
    EXPECT_EQ(comment("second").status, 429) << "four of her 1,000-byte comments fit, but not two with their keys";
    EXPECT_EQ(comment("first").status, 200);
}

} // namespace
} // namespace cw::server::testing
