// A comment or a post the server stores at once but answers only after the application's time-out,
// as a slow ward network delivers it: the member hears that it did not go, her words stay where
// she wrote them, and the family finds it stored once, not twice. And a list of comments whose
// answer is broken on its way: the member hears that it did not come.

#include "PostsFixture.h"

#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ShortTimeOut.h"

namespace cw::test {
namespace {

// The application talks to the demo server through a front that passes every request on, and holds
// the answer to requests at `held` until the test opens the gate.
class UnansweredPosting : public PostsScreenTest {
protected:
    void holdAnswersTo(const std::string& held) {
        front.setHandler([upstream = demo->baseUrl(), held, gate = gate](const RecordedRequest& request,
                                                                         httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.path == held) gate->wait();
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    // Every answer to requests at `broken` comes as a proxy's error page instead of the server's.
    void breakAnswersTo(const std::string& broken) {
        front.setHandler([upstream = demo->baseUrl(), broken](const RecordedRequest& request,
                                                              httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.path == broken) response.set_content("<html><body>Bad gateway</body></html>", "text/html");
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    void TearDown() override {
        gate->open();
        front.stop();
        PostsScreenTest::TearDown();
    }
    // The answers held so far come, and whatever they could still set off has arrived once a
    // request sent after them has.
    void answerAndSettle() {
        gate->open();
        BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == 1; }));
        RunLoop::main().runFor(0.2);
    }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    RecordingServer front;
};

TEST_F(UnansweredPosting, ACommentAnsweredAfterTheTimeOutIsStoredOnceAndItsTextStays) {
    holdAnswersTo("/m/api/comments/new");
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    ASSERT_TRUE(host->type("So proud of him"));
    GSMessage::clearHistory();
    {
        ShortTimeOut slowWard(1.0);
        ASSERT_TRUE(host->tapText("Post"));
    }
    const auto& bar = list->commentTextInputView();
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Your comment could not be posted. Please try again.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_EQ(bar->textView()->text(), "So proud of him");
    EXPECT_TRUE(bar->postButton()->isEnabled());
    EXPECT_TRUE(host->isShowing("2 Comments"));

    ASSERT_NO_FATAL_FAILURE(answerAndSettle());
    const std::string stored = "SELECT COUNT(*) FROM comments WHERE comment_text = 'So proud of him' AND post_id = " +
                               std::to_string(*held->cardId);
    EXPECT_EQ(count(stored), 1);
    EXPECT_EQ(front.requestCount("/m/api/comments/new"), 1u);
    EXPECT_EQ(front.requestCount("/m/api/tokens/"), 0u);
}

TEST_F(UnansweredPosting, APostWithAPictureAnsweredAfterTheTimeOutIsStoredOnceAndTheComposerKeepsIt) {
    holdAnswersTo("/m/api/post/");
    signInAndLaunch();
    auto composer = openComposer();
    ASSERT_TRUE(host->type("First bath"));
    ASSERT_TRUE(pickFromLibrary(pictureFile("bath.png", 60, 40)));
    GSMessage::clearHistory();
    {
        // The post leaves once its picture is encoded: the time-out stands until it has gone.
        ShortTimeOut slowWard(1.0);
        ASSERT_TRUE(host->tapIdentifier("submitButton"));
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/post/") == 1; }));
    }
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(navigation()->presentedViewController()->childViewControllers().front(), composer);
    EXPECT_EQ(composer->postBox()->text(), "First bath");
    EXPECT_EQ(composer->postImages.size(), 1u);
    EXPECT_TRUE(composer->doneButton()->isEnabled());

    ASSERT_NO_FATAL_FAILURE(answerAndSettle());
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'First bath'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM post_media WHERE post_id IN (SELECT id FROM posts WHERE post_text = "
                    "'First bath')"),
              1);
    EXPECT_EQ(front.requestCount("/m/api/post/"), 1u);
    EXPECT_EQ(front.requestCount("/m/api/tokens/"), 0u);
}

TEST_F(UnansweredPosting, ACommentListThatDoesNotComeIsSaidAndTheBarStillWrites) {
    breakAnswersTo("/m/api/comments/");
    signInAndLaunch();
    GSMessage::clearHistory();
    auto list = openComments(card(kHeldNoah));
    ASSERT_TRUE(list);
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*list) != nullptr; })) << "no word of it";
    EXPECT_EQ(GSMessage::shown(*list)->text(), "Unexpected error finding comments. Please try again.");
    EXPECT_EQ(GSMessage::shown(*list)->type(), GSMessageType::error);
    EXPECT_EQ(list->tableView()->numberOfRows(0), 0);
    ASSERT_TRUE(host->type("So proud of him"));
    EXPECT_TRUE(list->commentTextInputView()->postButton()->isEnabled());
}

} // namespace
} // namespace cw::test
