// Pictures are read before the write that names them: no writer of the server waits while a picture
// is decoded, what one request or account may make the server decode is bounded, and what the write
// judges (who is in the family) is judged after the picture, when the write happens.

#include "ServerFixture.h"

#include "server/Database.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <utility>

namespace cw::server::testing {
namespace {

class PictureWriteTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 8;
        options.pictureDecoding = [this] { decoding(); };
    }

    // Each decoding: whether its thread held a write open then; and the first decoding after
    // `sendHeld` waits there until the test lets it go.
    void decoding() {
        ++decoded_;
        if (Transaction::openOnThisThread()) ++decodedInsideAWrite_;
        std::shared_ptr<Hold> hold;
        {
            std::lock_guard lock(holdMutex_);
            hold = std::exchange(pending_, nullptr);
        }
        if (!hold) return;
        hold->started.set_value();
        // Bounded, so that a test that fails before letting go does not hang the run.
        hold->released.wait_for(std::chrono::seconds(60));
    }

    // Sends `items` on a connection of its own, from a thread of its own; its first decoding is held
    // until `release()`. Returns once that decoding has begun.
    std::future<Reply> sendHeld(const std::string& path, const httplib::MultipartFormDataItems& items,
                                const std::string& token) {
        auto hold = std::make_shared<Hold>();
        auto started = hold->started.get_future();
        {
            std::lock_guard lock(holdMutex_);
            pending_ = hold;
            held_ = hold;
        }
        auto reply = std::async(std::launch::async, [this, path, items, token] {
            httplib::Client client("127.0.0.1", server_->port());
            client.set_read_timeout(60, 0);
            httplib::Headers headers;
            if (!token.empty()) headers.emplace("X-Access-Token", token);
            auto result = client.Post(("/m/api/" + path).c_str(), headers, items);
            Reply out;
            if (result) out = {result->status, json::parse(result->body, nullptr, false), result->body};
            return out;
        });
        EXPECT_EQ(started.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        return reply;
    }
    void release() {
        std::lock_guard lock(holdMutex_);
        if (held_) held_->release.set_value();
        held_.reset();
    }

    // A relative the demo mother invites, who takes the invitation up from a phone of her own.
    Session invitedRelative(const Session& mother, const std::string& name, const std::string& email) {
        EXPECT_EQ(post("invite",
                       {{"full_name", name},
                        {"relationship", "Relative"},
                        {"email", email},
                        {"user_id", mother.userId}},
                       mother.access)
                      .status,
                  200);
        CookieJar phone;
        std::string code = consoleCapture("<" + email + ">", "invitation code ");
        EXPECT_EQ(
            post(phone, "invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", code}}).status,
            200);
        Reply signUp = post(phone, "signup",
                            {{"full_name", name},
                             {"email", email},
                             {"relationship", "Relative"},
                             {"password", "password-of-" + name}});
        EXPECT_EQ(signUp.body["babies"].size(), 2u) << signUp.raw;
        return signIn(email, "password-of-" + name);
    }

    Reply removeFromFamily(const Session& mother, const Session& member) {
        return post(
            "member/delete",
            {{"user_id", mother.userId}, {"security_code", mother.code}, {"family_member_id", member.userId}},
            mother.access);
    }

    std::atomic<int> decoded_{0};
    std::atomic<int> decodedInsideAWrite_{0};

private:
    struct Hold {
        std::promise<void> started;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
    };
    std::mutex holdMutex_;
    std::shared_ptr<Hold> pending_; // for the next decoding
    std::shared_ptr<Hold> held_;    // until released
};

const std::string kBirth = "2026-11-01", kDue = "2027-01-01";

std::string babyEntries(int count) {
    json babies = json::array();
    for (int i = 1; i <= count; ++i)
        babies.push_back({{"id", -i},
                          {"full_name", "Baby " + std::to_string(i)},
                          {"birthday", kBirth},
                          {"expected_birthday", kDue}});
    return babies.dump();
}

httplib::MultipartFormDataItems signUpForm(const std::string& email, int babies) {
    return {{"full_name", "Picture Sender", "", ""},
            {"email", email, "", ""},
            {"relationship", "Mother", "", ""},
            {"password", "picture-sender", "", ""},
            {"babies", babyEntries(babies), "", ""}};
}

TEST_F(PictureWriteTest, EveryRouteReadsItsPicturesBeforeItOpensItsWrite) {
    Session mother = demoMother();
    const std::string me = std::to_string(mother.userId);
    auto form = signUpForm("pictures@cradleway.test", 1);
    form.push_back({"user_picture", jpegBytes(700), "photo", "image/jpeg"});
    form.push_back({"baby_picture_-1", pngBytes(), "photo_-1.jpg", "image/png"});
    Reply signUp = multipart("signup", form);
    EXPECT_EQ(signUp.status, 200) << signUp.raw;

    Reply babies = multipart("baby/update",
                             {{"user_id", me, "", ""},
                              {"babies", R"([{"id": 1, "full_name": "Olivia Hart", "birthday": "2026-11-13",
                                              "expected_birthday": "2027-01-27"}])",
                               "", ""},
                              {"baby_picture_1", jpegBytes(701), "photo_1.jpg", "image/jpeg"}},
                             mother.access);
    EXPECT_EQ(babies.status, 200) << babies.raw;
    Reply member = multipart("member/update",
                             {{"user_id", me, "", ""},
                              {"full_name", "Emma Hart", "", ""},
                              {"user_picture_" + me, jpegBytes(702), "photo", "image/jpeg"}},
                             mother.access);
    EXPECT_EQ(member.status, 200) << member.raw;
    Reply added = multipart("baby/nicu_journey_add",
                            {{"baby_id", "1", "", ""},
                             {"user_id", me, "", ""},
                             {"date", "2026-12-01", "", ""},
                             {"type", "first_bath", "", ""},
                             {"image_file", jpegBytes(703), "photo.jpg", "image/jpeg"}},
                            mother.access);
    ASSERT_EQ(added.status, 200) << added.raw;
    Reply edited =
        multipart("baby/nicu_journey_edit",
                  {{"baby_id", "1", "", ""},
                   {"user_id", me, "", ""},
                   {"id", std::to_string(added.body["nicu_journey_add"]["id"].get<int64_t>()), "", ""},
                   {"date", "2026-12-02", "", ""},
                   {"image_file", jpegBytes(704), "photo.jpg", "image/jpeg"}},
                  mother.access);
    EXPECT_EQ(edited.status, 200) << edited.raw;
    Reply shared = multipart("post",
                             {{"user_id", me, "", ""},
                              {"post_text", "Two pictures", "", ""},
                              {"post_picture_1", jpegBytes(705), "photo_1.jpg", "image/jpeg"},
                              {"post_picture_2", pngBytes(), "photo_2.jpg", "image/png"}},
                             mother.access);
    EXPECT_EQ(shared.status, 200) << shared.raw;

    EXPECT_EQ(decoded_, 8);
    EXPECT_EQ(decodedInsideAWrite_, 0);
}

TEST_F(PictureWriteTest, WritersGoOnWhileAnotherRequestsPictureIsDecoded) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    // The mother's baby update, held in the middle of decoding its picture (as a slow picture is).
    auto update = sendHeld("baby/update",
                           {{"user_id", std::to_string(mother.userId), "", ""},
                            {"babies", R"([{"id": 2, "full_name": "Noah Hart", "birthday": "2026-11-13",
                                            "expected_birthday": "2027-01-27"}])",
                             "", ""},
                            {"baby_picture_2", jpegBytes(800), "photo_2.jpg", "image/jpeg"}},
                           mother.access);

    // Meanwhile every kind of writer is answered: a sign-in, a refresh, a comment, an invitation
    // check, a usage event.
    Reply signedIn = post("signin", {{"email", "partner@cradleway.test"}, {"password", "cradleway-demo"}});
    EXPECT_EQ(signedIn.status, 200) << signedIn.raw;
    auto refreshed =
        client_->Post("/m/api/tokens/", {{"X-Refresh-Token", father.refresh}}, "", "application/json");
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->status, 200) << refreshed->body;
    Reply comment =
        post("comments/new", {{"comment_text", "So light!"}, {"post_id", 29}, {"user_id", father.userId}},
             father.access);
    EXPECT_EQ(comment.status, 200) << comment.raw;
    EXPECT_EQ(post("invite/check", {{"email", "demo@cradleway.test"}, {"invitation_code", "424242"}}).status,
              200);
    EXPECT_EQ(
        post("analytics",
             {{"screen_name", "FeedScreen"}, {"screen_action", "Tap"}, {"event_details", json::object()}})
            .status,
        200);

    release();
    Reply updated = update.get();
    EXPECT_EQ(updated.status, 200) << updated.raw;
    EXPECT_NE(updated.body["response"][1].value("file_name", "").find("images/upload/"), std::string::npos)
        << updated.raw;
}

TEST_F(PictureWriteTest, WhatOneRequestAndOneAccountMayHaveDecodedIsBounded) {
    const auto stored = uploads();
    // As found: a new account's sign-up with twenty babies, each with its picture.
    auto twenty = signUpForm("twenty@cradleway.test", 20);
    for (int i = 1; i <= 20; ++i)
        twenty.push_back({"baby_picture_-" + std::to_string(i), pngBytes(), "photo.png", "image/png"});
    Reply refused = multipart("signup", twenty);
    EXPECT_EQ(refused.status, 413) << refused.raw;
    EXPECT_EQ(refused.body["message"], "A request carries at most 6 pictures; this one carries 20.");
    EXPECT_EQ(decoded_, 0);
    EXPECT_EQ(uploads(), stored);
    EXPECT_EQ(post("signin", {{"email", "twenty@cradleway.test"}, {"password", "picture-sender"}}).status,
              403);

    // The most the application sends, the member's picture and four babies', is taken.
    auto four = signUpForm("four@cradleway.test", 4);
    four.push_back({"user_picture", jpegBytes(900), "photo", "image/jpeg"});
    for (int i = 1; i <= 4; ++i)
        four.push_back({"baby_picture_-" + std::to_string(i), jpegBytes(900 + i), "photo.jpg", "image/jpeg"});
    Reply taken = multipart("signup", four);
    ASSERT_EQ(taken.status, 200) << taken.raw;
    EXPECT_EQ(decoded_, 5);

    // Baby updates: thirty an hour from one account, then a wait; another account is counted apart.
    Session member = signIn("four@cradleway.test", "picture-sender");
    const std::string baby = std::to_string(taken.body["babies"][0]["id"].get<int64_t>());
    auto update = [&](const Session& who, const std::string& id) {
        return multipart(
            "baby/update",
            {{"user_id", std::to_string(who.userId), "", ""},
             {"babies", R"([{"id": )" + id + R"(, "full_name": "Baby 1", "birthday": "2026-11-01",
                                          "expected_birthday": "2027-01-01"}])",
              "", ""},
             {"baby_picture_" + id, jpegBytes(950), "photo.jpg", "image/jpeg"}},
            who.access);
    };
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(update(member, baby).status, 200) << "update " << i;
    const int decodedBefore = decoded_;
    Reply paced = update(member, baby);
    EXPECT_EQ(paced.status, 429);
    EXPECT_EQ(paced.body["message"],
              "Too many baby updates were sent from this account. Please try again in 2 minutes.");
    EXPECT_EQ(decoded_, decodedBefore);
    EXPECT_EQ(update(demoMother(), "1").status, 200);
    now_ += 120;
    EXPECT_EQ(update(member, baby).status, 200);
}

TEST_F(PictureWriteTest, AMemberRemovedWhileHerPictureIsReadWritesNothing) {
    Session mother = demoMother();
    auto removedWhileHeld = [&](const Session& member, const std::string& path,
                                httplib::MultipartFormDataItems items) {
        items.push_back({"user_id", std::to_string(member.userId), "", ""});
        auto reply = sendHeld(path, items, member.access);
        EXPECT_EQ(removeFromFamily(mother, member).status, 200);
        release();
        return reply.get();
    };
    auto journey = [&] {
        return post("baby/nicu_journey_data", {{"baby_id", 1}, {"user_id", mother.userId}}, mother.access)
            .body["nicu_journey_data"];
    };
    const json journeyBefore = journey();
    const auto stored = uploads();

    // As found: Sarah adds a milestone with a slow picture, and is removed meanwhile.
    Session sarah = invitedRelative(mother, "Sarah", "sarah.relative@cradleway.test");
    Reply added = removedWhileHeld(sarah, "baby/nicu_journey_add",
                                   {{"baby_id", "1", "", ""},
                                    {"date", "2026-12-01", "", ""},
                                    {"type", "other", "", ""},
                                    {"input_text", "Sarah's milestone", "", ""},
                                    {"image_file", jpegBytes(1000), "photo.jpg", "image/jpeg"}});
    EXPECT_EQ(added.status, 403) << added.raw;
    EXPECT_EQ(journey(), journeyBefore);

    // Changing a milestone the same way: its date and picture stay.
    Session lisa = invitedRelative(mother, "Lisa", "lisa.relative@cradleway.test");
    Reply own = multipart("baby/nicu_journey_add",
                          {{"baby_id", "1", "", ""},
                           {"user_id", std::to_string(lisa.userId), "", ""},
                           {"date", "2026-12-01", "", ""},
                           {"type", "other", "", ""},
                           {"input_text", "Lisa's milestone", "", ""}},
                          lisa.access);
    ASSERT_EQ(own.status, 200) << own.raw;
    const json withLisas = journey();
    Reply edited =
        removedWhileHeld(lisa, "baby/nicu_journey_edit",
                         {{"baby_id", "1", "", ""},
                          {"id", std::to_string(own.body["nicu_journey_add"]["id"].get<int64_t>()), "", ""},
                          {"date", "2026-12-05", "", ""},
                          {"image_file", jpegBytes(1001), "photo.jpg", "image/jpeg"}});
    EXPECT_EQ(edited.status, 403) << edited.raw;
    EXPECT_EQ(journey(), withLisas);

    // A baby update naming the family's babies: neither the record nor the picture is written.
    Session ruth = invitedRelative(mother, "Ruth", "ruth.relative@cradleway.test");
    const json twinsBefore = demoMother().reply["babies"];
    Reply update =
        removedWhileHeld(ruth, "baby/update",
                         {{"babies", R"([{"id": 1, "full_name": "Not Olivia", "birthday": "2026-11-13",
                                                    "expected_birthday": "2027-01-27"}])",
                           "", ""},
                          {"baby_picture_1", jpegBytes(1002), "photo_1.jpg", "image/jpeg"}});
    EXPECT_EQ(update.status, 403) << update.raw;
    EXPECT_EQ(demoMother().reply["babies"], twinsBefore);

    // A post is its writer's: one that lands after the removal is not the family's to read.
    Session ana = invitedRelative(mother, "Ana", "ana.relative@cradleway.test");
    Reply posted = removedWhileHeld(ana, "post",
                                    {{"post_text", "Ana's post", "", ""},
                                     {"post_picture_1", jpegBytes(1003), "photo_1.jpg", "image/jpeg"}});
    ASSERT_EQ(posted.status, 200) << posted.raw;
    Reply feed = post("content", {{"baby_ids", {1, 2}}, {"user_id", mother.userId}}, mother.access);
    ASSERT_EQ(feed.status, 200) << feed.raw;
    EXPECT_EQ(feed.raw.find("Ana's post"), std::string::npos);

    // Of the refused writes, no picture is left behind.
    auto after = uploads();
    EXPECT_EQ(after.size(), stored.size() + 1) << "only the post's picture";
}

class RefusedPictureCostTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.rates.itemsByMember = {3, 3600};
        // Three pictures, and room for what a post's few bytes and its writes to the log cost.
        options.rates.storedBytesByMember = {3 * kPictureBytes + 48 * 1024, 3600};
    }
    static constexpr int64_t kPictureBytes = 64 * 1024;
    // Bytes that begin as a PNG and decode to nothing: read, then refused.
    static std::string brokenPng() {
        std::string bytes = pngBytes();
        bytes.resize(std::min<size_t>(bytes.size(), 64));
        bytes.resize(kPictureBytes, '\x7f');
        return bytes;
    }
};

TEST_F(RefusedPictureCostTest, PicturesRefusedOnceReadCountAgainstTheirSenderOnEveryRoad) {
    // As found: one account posted broken pictures over and over, each read and refused, and never
    // came to the end of its allowance, so that the decoding places were kept busy for nothing.
    Session mother = demoMother();
    auto postWith = [&](const std::string& bytes) {
        return multipart("post/",
                         {{"user_id", std::to_string(mother.userId), "", ""},
                          {"post_text", "A picture", "", ""},
                          {"post_picture_1", bytes, "photo_1.png", "image/png"}},
                         mother.access);
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(postWith(brokenPng()).status, 415) << "post " << i;
    Reply spent = postWith(pngBytes());
    EXPECT_EQ(spent.status, 429) << spent.raw;
    EXPECT_NE(spent.raw.find("Too much was stored from this account"), std::string::npos) << spent.raw;

    // The refusals cost her alone: her husband posts as before. And on another road, his own
    // picture, the bytes refused count as bytes stored.
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    EXPECT_EQ(multipart("post/",
                        {{"user_id", std::to_string(father.userId), "", ""},
                         {"post_text", "A picture", "", ""},
                         {"post_picture_1", pngBytes(), "photo_1.png", "image/png"}},
                        father.access)
                  .status,
              200);
    auto pictureOf = [&](const std::string& bytes) {
        return multipart("member/update",
                         {{"user_id", std::to_string(father.userId), "", ""},
                          {"full_name", "James Hart", "", ""},
                          {"user_picture_" + std::to_string(father.userId), bytes, "me.png", "image/png"}},
                         father.access);
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pictureOf(brokenPng()).status, 415) << "picture " << i;
    EXPECT_EQ(pictureOf(brokenPng()).status, 429);
}

} // namespace
} // namespace cw::server::testing
