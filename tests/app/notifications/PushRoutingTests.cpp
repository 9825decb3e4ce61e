// Pushes as a family meets them in front of the running application against the demo server: a
// title with a NUL in it, a post push tapped on its banner while a post is being written, a post
// push whose post id is no number, and an article push whose number a daily update also has.

#include "App/AppDelegate.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/NotificationBannerView.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UNUserNotificationCenter.h"
#include "uikit/controls/UITextView.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

namespace cw::test {

namespace {

class PushRouting : public ::testing::Test {
protected:
    void SetUp() override {
        demo.answerFeedQuestions();
        prepareBundle(environment, demo.baseUrl(), "org.cradleway.push-routing-tests");
        forgetSession();
        ASSERT_NO_FATAL_FAILURE(signInBeforeLaunch("partner@cradleway.test", "cradleway-demo"));
        app = std::make_shared<AppDelegate>();
        ASSERT_TRUE(host.launch(app));
        ASSERT_TRUE(showsSoon(host, "Daily update for Olivia", 20));
    }
    void TearDown() override {
        RunLoop::main().runFor(0.05);
        forgetSession();
        UIAppearance::reset();
    }

    void run(const std::string& steps) { runScript(host, steps, environment.directory() / "shots"); }
    UIViewControllerPtr top() const {
        auto root = std::dynamic_pointer_cast<UINavigationController>(host.window()->rootViewController());
        return root ? root->topViewController() : nullptr;
    }
    std::int64_t heldPost() { return queryInteger(demo, "SELECT id FROM posts WHERE post_text LIKE 'Held Noah%'"); }

    AppEnvironment environment{"cw-push-routing"};
    DemoServer demo{environment.directory() / "server"};
    cw::HeadlessHost host;
    std::shared_ptr<AppDelegate> app;
};

TEST_F(PushRouting, ATitleWithANulInItIsDrawnWhole) {
    const std::string title("Ward round\0at noon", 18);
    host.deliverPush({{"aps", {{"alert", {{"title", title}, {"body", "The team will see Olivia first."}}}}}});
    auto banner = UNUserNotificationCenter::current().banner();
    ASSERT_TRUE(banner);
    auto shown = std::dynamic_pointer_cast<UILabel>(host.findByText(title));
    ASSERT_TRUE(shown);
    // What the NUL cut off would leave: the title's first words alone.
    UILabel cut;
    cut.setFont(shown->font());
    cut.setText(std::string("Ward round"));
    UILabel whole;
    whole.setFont(shown->font());
    whole.setText(std::string("Ward roundat noon"));
    EXPECT_GT(shown->intrinsicContentSize().width, cut.intrinsicContentSize().width + 20);
    EXPECT_NEAR(shown->intrinsicContentSize().width, whole.intrinsicContentSize().width, 1);
}

TEST_F(PushRouting, ABannerTappedWhileAPostIsWrittenOpensThePostOverTheComposerWhichKeepsItsText) {
    run(R"(tap #floatingActionButton
drag 331,509 331,509
expect "Share a moment, photo, or news"
type "First cuddle"
)");
    const auto post = std::to_string(heldPost());
    run(R"(push {"aps": {"alert": {"title": "James shared a post", "body": "Held Noah"}}, "screen": "post", "post_id": )" +
        post + R"(, "notification_type": "post"})");
    auto banner = UNUserNotificationCenter::current().banner();
    ASSERT_TRUE(banner);
    ASSERT_TRUE(host.tap(banner));
    EXPECT_TRUE(showsSoon(host, "Held Noah for the first time today. He is so light!"));
    EXPECT_FALSE(host.isShowing("First cuddle")) << "the post is in front of the composer";
    run(R"(back
expect "First cuddle"
)");
    EXPECT_FALSE(host.isShowing("Held Noah for the first time today. He is so light!"));
}

TEST_F(PushRouting, APostPushWhosePostIdIsNoNumberOpensNothing) {
    const auto shown = top();
    for (const char* id : {R"("abc")", R"("12abc")", "1.5", "true", "null", "[31]", R"({"id": 31})"}) {
        SCOPED_TRACE(id);
        const auto payload = nlohmann::json::parse(std::string(R"({"screen": "post", "notification_type": "post", "post_id": )") +
                                                   id + "}");
        host.tapPush(payload);
        RunLoop::main().runFor(0.2);
        host.settle();
        EXPECT_EQ(top(), shown);
        EXPECT_FALSE(std::dynamic_pointer_cast<PostDetailsViewController>(top()));
    }
}

TEST_F(PushRouting, AnArticlePushOpensTheArticleThoughADailyUpdateOnTheFeedHasItsNumber) {
    // An article the feed shows below a newer daily update numbered as it is.
    const auto id = queryInteger(demo, "SELECT e.id FROM education_content e JOIN posts p ON p.id = e.id "
                                       "WHERE p.kind = 'daily_update' AND p.created_at > e.published_at "
                                       "ORDER BY e.id LIMIT 1");
    ASSERT_GT(id, 0);
    const auto title = queryText(demo, "SELECT card_title FROM education_content WHERE id = " + std::to_string(id));
    ASSERT_TRUE(title);
    host.tapPush({{"screen", "feed"}, {"feed_id", id}, {"notification_type", "education_content"}});
    EXPECT_TRUE(showsSoon(host, *title));
}

} // namespace

} // namespace cw::test
