// What members may do to their family and to what is read on their behalf.

#include "ServerFixture.h"

namespace cw::server::testing {
namespace {

using FamilyTest = ServerTest;

TEST_F(FamilyTest, OnlyAParentInvitesOrRemovesFamilyMembers) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    ASSERT_EQ(post("invite",
                   {{"full_name", "Fay"},
                    {"relationship", "Friend"},
                    {"email", "fay@cradleway.test"},
                    {"user_id", mother.userId}},
                   mother.access)
                  .status,
              200);
    checkInvitation("fay@cradleway.test", consoleCapture("<fay@cradleway.test>", "invitation code "));
    ASSERT_EQ(post("signup", {{"full_name", "Fay"},
                              {"email", "fay@cradleway.test"},
                              {"relationship", "Friend"},
                              {"password", "fays-password"}})
                  .status,
              200);
    Session friendOfFamily = signIn("fay@cradleway.test", "fays-password");
    ASSERT_EQ(friendOfFamily.reply["babies"].size(), 2u);

    for (int64_t parent : {mother.userId, father.userId}) {
        Reply removal = post("member/delete",
                             {{"user_id", friendOfFamily.userId},
                              {"security_code", friendOfFamily.code},
                              {"family_member_id", parent}},
                             friendOfFamily.access);
        EXPECT_EQ(removal.status, 403) << removal.raw;
    }
    EXPECT_EQ(post("invite",
                   {{"full_name", "Gus"},
                    {"relationship", "Friend"},
                    {"email", "gus@cradleway.test"},
                    {"user_id", friendOfFamily.userId}},
                   friendOfFamily.access)
                  .status,
              403);
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", mother.userId}}, mother.access).body["babies"].size(),
              2u);
    EXPECT_EQ(post("member/nicu_journey", {{"user_id", father.userId}}, father.access).body["babies"].size(),
              2u);

    // A parent removes the friend.
    EXPECT_EQ(post("member/delete",
                   {{"user_id", father.userId},
                    {"security_code", father.code},
                    {"family_member_id", friendOfFamily.userId}},
                   father.access)
                  .status,
              200);
}

TEST_F(FamilyTest, AnArticleIsMarkedReadOnlyWithItsReadersToken) {
    Session mother = demoMother();
    Session father = signIn("partner@cradleway.test", "cradleway-demo");
    auto read = [&] {
        Reply feed =
            post("content/", {{"baby_ids", json::array({1})}, {"user_id", mother.userId}}, mother.access);
        EXPECT_EQ(feed.status, 200) << feed.raw;
        for (const auto& card : feed.body["data"]["content"])
            if (card["id"] == 4) return card["card_read"].get<bool>();
        ADD_FAILURE() << "no card 4 in the feed";
        return false;
    };
    const std::string page = "/content/education/4?user_id=" + std::to_string(mother.userId);
    ASSERT_FALSE(read());
    ASSERT_EQ(client_->Get(page.c_str())->status, 200);
    EXPECT_FALSE(read());
    ASSERT_EQ(client_->Get(page.c_str(), {{"X-Access-Token", father.access}})->status, 200);
    EXPECT_FALSE(read());
    ASSERT_EQ(client_->Get(page.c_str(), {{"X-Access-Token", mother.access}})->status, 200);
    EXPECT_TRUE(read());
}

} // namespace
} // namespace cw::server::testing
