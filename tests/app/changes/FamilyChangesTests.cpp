// The family as every screen shows it: a member a parent removes leaves the feed with her posts and
// her comments on articles, a post opened from a push counts and takes comments while it still
// loads, and each member sees the babies as her place in the family lets her: a relative reads My
// Baby, picture included, and everyone sees each baby's record number.

#include "ChangesFixture.h"

#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "server/Auth.h"
#include "server/Database.h"
#include "server/Server.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"

#include <functional>
#include <tuple>

namespace cw::test {
namespace {

constexpr const char* kKnitted = "Knitted two tiny hats for the twins. Blue and pink, of course.";
constexpr const char* kKangaroo = "Kangaroo care: skin to skin";
const std::string kRuth = "(SELECT id FROM members WHERE email = 'ruth@cradleway.test')";

class FamilyChanges : public ChangesTest {
protected:
    // The grandmother, a member of the family but not a parent, with the demo's password.
    void giveTheGrandmotherThePassword() {
        auto db = demo->server().state().pool->acquire();
        db->prepare("UPDATE members SET password_hash = ? WHERE email = 'ruth@cradleway.test'")
            .with(cw::server::hashPassword("cradleway-demo", true))
            .run();
    }
    std::string commentCount(const std::string& text) {
        auto cell = feedCell(text);
        return cell ? cell->writeACommentIconLabel()->text().value_or("") : "no card";
    }
};

TEST_F(FamilyChanges, AMemberRemovedFromTheFamilyLeavesTheFeedItsSearchAndTheArticlesSheCommentedOn) {
    // Her comment on an article, the latest of its two.
    count("INSERT INTO comments (member_id, feed_id, comment_text, created_at) SELECT " + kRuth +
          ", 5, 'We did this with all ours.', MAX(created_at) + 60 FROM comments");
    launchAsTheMother();
    ASSERT_TRUE(feedCell(kKnitted));
    EXPECT_EQ(commentCount(kKangaroo), "2");
    scrollFeedToTop();
    run(R"(tap #feedSearchBar
type "Knitted"
expect "Found 1 Results for \"Knitted\""
)");

    openFromMenu("Family & Friends");
    run(R"(tap "Ruth Hart"
tap #card_menu
alert "OK"
)");
    // Back on the list once the server has taken it, which no longer shows her when it is laid out
    // again with the server's answer.
    ASSERT_TRUE(waitFor([&] {
        host->settle();
        return host->isShowing("James Hart") && !host->isShowing("Ruth Hart");
    })) << ::testing::PrintToString(host->visibleTexts());
    run("back\nexpect \"Found 0 Results for \\\"Knitted\\\"\"\nabsent \"" + std::string(kKnitted) + "\"\n");
    run(R"(tap #feedSearchBar
delete 7
absent "Found 0 Results for \"Knitted\""
)");
    EXPECT_FALSE(feedCell(kKnitted)) << "her post left the feed";
    EXPECT_EQ(commentCount(kKangaroo), "1") << "and her comment the article's count";
    // Her comments on the family's posts stay with them, as the server keeps them.
    EXPECT_EQ(commentCount(kHeldNoah), "2");

    // As the server has it: her post is refused to the family.
    EXPECT_EQ(count("SELECT COUNT(*) FROM member_babies WHERE member_id = " + kRuth), 0);
    ASSERT_TRUE(repliesArrived());
}

TEST_F(FamilyChanges, APostOpenedFromAPushTakesNoCommentTapWhileItLoadsAndThenCountsTheComments) {
    launchAsTheMother();
    // The post's own reply is held: the details screen is still loading it.
    auto held = std::make_shared<Gate>();
    OpenOnExit release{held};
    RecordingServer front;
    front.setHandler(
        [upstream = demo->baseUrl(), held](const RecordedRequest& request, httplib::Response& response) {
            if (request.method == "GET" && request.path.rfind("/m/api/post/", 0) == 0) held->wait();
            forwardRequest(upstream, request, response);
        });
    prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    const std::string heldNoah =
        std::to_string(count("SELECT id FROM posts WHERE post_text LIKE 'Held Noah%'"));

    // Under its loading overlay the screen's bar takes no tap: no comment list is asked for without
    // the post ("0 Comments" for a post with two, whose Post always failed).
    run(R"(tap-push {"aps": {"alert": "James shared a post"}, "screen": "post", "post_id": )" + heldNoah +
        R"(, "notification_type": "post"}
tap #commentButton
absent "0 Comments"
absent "2 Comments"
)");
    held->open();
    run("expect \"" + std::string(kHeldNoah) + "\"\n" + R"(tap #commentButton
expect "2 Comments"
type "He looks so peaceful"
tap "Post"
expect "3 Comments"
expect "He looks so peaceful"
)");
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE post_id = " + heldNoah), 3);
    run("back\nexpect \"" + std::string(kHeldNoah) + "\"\n");
    auto details = std::dynamic_pointer_cast<PostDetailsViewController>(top());
    ASSERT_TRUE(details);
    EXPECT_TRUE(waitFor([&] { return badgeText(*details->commentButton()) == "3"; }))
        << "the badge counts hers";
    ASSERT_TRUE(repliesArrived());
}

TEST_F(FamilyChanges, MyBabyShowsTheRecordNumberOfEachBabyTheSignInBroughtAndASaveKeeps) {
    launchAsTheMother();
    openFromMenu("My Baby");
    run(R"(expect "Olivia Hart"
expect "CW100001"
drag 340,300 30,300
expect "Noah Hart"
expect "CW100002"
tap "Noah Hart"
delete 4
type "James\n"
tap "Save"
expect "Successfully saved."
expect "Home"
wait 5
)");
    openFromMenu("My Baby");
    run(R"(expect "CW100001"
drag 340,300 30,300
expect "Noah James"
expect "CW100002"
)");
}

TEST_F(FamilyChanges, ARelativeReadsMyBabyPictureIncludedAndIsOfferedNothingToSave) {
    giveTheGrandmotherThePassword();
    launchAs("ruth@cradleway.test");
    openFromMenu("My Baby");
    run(R"(expect "Olivia Hart"
absent "Save"
tap #babyImageView
absent "Photo Library"
tap "Olivia Hart"
)");
    EXPECT_FALSE(host->findByIdentifier("cameraButton")) << "no pencil on her picture";
    EXPECT_FALSE(host->isShowing("Unexpected error. Please try again."));
}

// On a small phone what she leaves is what she meant, and each screen then shows its content, not
// the space past it (Save at the foot of My Baby) or a box still four lines tall (72 points a line).
TEST_F(FamilyChanges, WhatSheLeavesIsWhatSheMeantAndTheScreenFitsWhatIsLeft) {
    host.reset();
    host = std::make_unique<cw::HeadlessHost>(CGSize{320, 568});
    launchAsTheMother();
    const std::string milestone = "SELECT COUNT(*) FROM journey_items WHERE file_name IS NULL AND id > " +
                                  std::to_string(count("SELECT MAX(id) FROM journey_items"));
    const char* comment =
        "SELECT COUNT(*) FROM comments WHERE comment_text = 'Blue,\npink,\nand white\nfor winter'";
    const auto knitted = std::to_string(count("SELECT id FROM posts WHERE post_text LIKE 'Knitted%'"));
    const auto stored = [&](const std::string& sql) { return waitFor([&] { return count(sql) == 1; }); };
    const std::tuple<const char*, std::string, std::function<bool()>> things[] = {
        {"a milestone saved without a photo",
         "tap \"Journey\"\ntap \"Add Milestone\"\nexpect \"First time holding me\"\nscreenshot kind\n"
         "tap \"Save\"",
         [&] { return stored(milestone); }},
        {"a comment of four lines and blank ones",
         "tap \"Home\"\ntap-push {\"screen\": \"post\", \"notification_type\": \"post\", \"post_id\": " +
             knitted + "}\nexpect \"Ruth Hart\"\ntap #commentButton\nexpect \"4 Comments\"\n" +
             "type \"Blue,\\npink,\\nand white\\nfor winter\\n\\n  \\n\"\ntap \"Post\"\n" +
             "expect \"5 Comments\"",
         [&] {
             auto list = std::dynamic_pointer_cast<CommentTableViewController>(top());
             return stored(comment) && list && list->commentTextInputView()->frame().size.height < 80;
         }},
        {"Notifications after Scheduled is switched off at the foot of the list",
         "back\nback\ntap #hamburgerButton\ntap \"Settings\"\ntap \"Notifications\"\ntap #scheduledSwitch\n"
         "tap \"To\"\ndrag 160,500 160,60\ntap #scheduledSwitch",
         [&] { return host->isShowing("Recommended Content"); }},
        {"My Baby after Return closed the keyboard",
         "back\nback\ntap #hamburgerButton\ntap \"My Baby\"\ntap \"Olivia Hart\"\ndrag 160,500 160,60\n"
         "type \"\\n\"",
         [&] {
             auto save = host->findByText("Save");
             return save && save->convert(save->bounds(), nullptr).maxY() > 500;
         }},
    };
    for (const auto& [what, steps, seen] : things) {
        run(steps + "\n");
        host->settle();
        EXPECT_TRUE(seen()) << what << " shows " << ::testing::PrintToString(host->visibleTexts());
    }
}

} // namespace
} // namespace cw::test
