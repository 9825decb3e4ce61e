// Whose comments a member reads on the library's articles: a family's conversation stays in the family.

#include "ServerFixture.h"

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

} // namespace
} // namespace cw::server::testing
