// Whose comments a member reads on the library's articles: a family's conversation stays in the family;
// and how long a conversation grows.

#include "ServerFixture.h"

#include "server/Records.h"

namespace cw::server::testing {
namespace {

using CommentTest = ServerTest;

constexpr int64_t kKangarooCare = 5; // the demo family's father commented on it

TEST_F(CommentTest, AnArticlesCommentsAreSeenByTheWritersFamilyOnly) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    Session stranger = signUpStranger("stranger@cradleway.test");
    auto comment = [&](const Session& who, const std::string& text) {
        return post("comments/new",
                    {{"comment_text", text}, {"feed_id", kKangarooCare}, {"user_id", who.userId}},
                    who.access);
    };
    auto listed = [&](const Session& who) {
        return commentTexts(
            get("comments",
                {{"feed_id", std::to_string(kKangarooCare)}, {"user_id", std::to_string(who.userId)}},
                who.access)
                .body["data"]["comments"]);
    };
    auto card = [&](const Session& who) {
        Reply feed = post(
            "content", {{"baby_ids", json::array({who.reply["babies"][0]["id"]})}, {"user_id", who.userId}},
            who.access);
        for (const auto& item : feed.body["data"]["content"])
            if (item["id"] == kKangarooCare) return item;
        return json();
    };

    // The stranger's comment comes back to the stranger alone.
    Reply strangers = comment(stranger, "Buy my miracle cream");
    ASSERT_EQ(strangers.status, 200) << strangers.raw;
    EXPECT_EQ(commentTexts(strangers.body["data"]["comments"]),
              std::vector<std::string>{"Buy my miracle cream"});
    EXPECT_EQ(card(stranger)["comments_count"], 1);

    // The family sees every comment of its own, in order, and none of the stranger's.
    ASSERT_EQ(comment(mother, "We tried it today.").status, 200);
    const std::vector<std::string> family = {"We did our first session yesterday. Worth it.",
                                             "We tried it today."};
    EXPECT_EQ(listed(mother), family);
    EXPECT_EQ(listed(father), family);
    json seen = card(father);
    EXPECT_EQ(seen["comments_count"], 2);
    EXPECT_EQ(commentTexts(seen["latest_comments"]), family);

    // An account with no baby has no family to talk with.
    ASSERT_EQ(post("signup", {{"full_name", "Nobody"},
                              {"email", "nobody@cradleway.test"},
                              {"relationship", "Friend"},
                              {"password", "nobody-password"}})
                  .status,
              200);
    Session nobody = signIn("nobody@cradleway.test", "nobody-password");
    Reply refused = comment(nobody, "Hello everyone");
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.body["message"], "Only a member of a family can comment.");
    EXPECT_EQ(listed(stranger), std::vector<std::string>{"Buy my miracle cream"});
}

TEST_F(CommentTest, AConversationHoldsItsBoundOfCommentsWholeAndRefusesTheNext) {
    // As found: a stranger's family of four wrote 1,200 comments on one post in 18 s, every one
    // answered with the whole list, and the list a reply of 36 MB. A post's comments, and an article's
    // of one family, stop at their bound; the list stays whole, its count what the application shows.
    const Session stranger = signUpStranger("stranger@cradleway.test");
    const Session mother = demoMother();
    Reply mine = post("post", {{"user_id", stranger.userId}, {"post_text", "Mine"}}, stranger.access);
    ASSERT_EQ(mine.status, 200) << mine.raw;
    struct Card {
        const char* name;
        const Session& writer;
        const char* key;
        int64_t id;
    };
    const Card cards[] = {{"a post", stranger, "post_id", mine.body["data"]["posts"][0]["id"]},
                          {"an article", mother, "feed_id", kKangarooCare}};
    for (const Card& card : cards) {
        const Reply listed =
            get("comments",
                {{card.key, std::to_string(card.id)}, {"user_id", std::to_string(card.writer.userId)}},
                card.writer.access);
        const int64_t already = static_cast<int64_t>(listed.body["data"]["comments"].size());
        {
            auto db = server_->state().pool->acquire();
            Transaction tx(*db);
            for (int64_t i = already; i < kMostCommentsPerCard - 1; ++i)
                db->prepare(std::string("INSERT INTO comments (member_id, ") + card.key +
                            ", comment_text, created_at) VALUES (?, ?, 'More', ?)")
                    .with(card.writer.userId, card.id, now_.load())
                    .run();
            tx.commit();
        }
        auto comment = [&](const std::string& text) {
            return post("comments/new",
                        {{"comment_text", text}, {card.key, card.id}, {"user_id", card.writer.userId}},
                        card.writer.access);
        };
        const Reply last = comment("The last one");
        ASSERT_EQ(last.status, 200) << card.name << " " << last.raw.substr(0, 300);
        EXPECT_EQ(last.body["data"]["comments"].size(), static_cast<size_t>(kMostCommentsPerCard))
            << card.name;
        EXPECT_EQ(last.body["data"]["comments"].back()["comment_text"], "The last one") << card.name;
        const Reply refused = comment("One too many");
        EXPECT_EQ(refused.status, 403) << card.name;
        EXPECT_EQ(refused.body["message"], "This conversation holds 500 comments, as many as it may.")
            << card.name;
    }
}

} // namespace
} // namespace cw::server::testing
