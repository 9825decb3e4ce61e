// One action, one write: a quick double click on the composer's Submit, a second tap while the post
// is on its way, a click that lands on Submit as the quickly answered composer starts to leave, and a
// second Submit after the answer to the first was lost on its way back each leave the family with one
// post. The application talks to the demo server through a front that
// passes every request on and can hold or break the answers.

#include "PostsFixture.h"

#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controls/UIEvent.h"

#include <atomic>
#include <utility>

namespace cw::test {
namespace {

class OneWrite : public PostsScreenTest {
protected:
    void SetUp() override {
        PostsScreenTest::SetUp();
        front.setHandler([this, upstream = demo->baseUrl()](const RecordedRequest& request,
                                                             httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.path != watched) return;
            if (holding) gate->wait();
            // The server stored it; the answer breaks off on its way back, as a reset connection.
            if (resets.fetch_sub(1) > 0) {
                response.body.clear();
                response.set_chunked_content_provider("application/json",
                                                      [](size_t, httplib::DataSink&) { return false; });
            }
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    void TearDown() override {
        gate->open();
        front.stop();
        PostsScreenTest::TearDown();
    }
    // What was sent so far has arrived, and whatever it could still set off has, once a request
    // sent after it has.
    void settleRequests() {
        const std::size_t before = front.requestCount("/m/api/sentinel/");
        BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == before + 1; }));
        host->settle();
    }
    std::shared_ptr<PostViewController> composeWith(const std::string& text) {
        auto composer = openComposer();
        EXPECT_TRUE(host->type(text));
        return composer;
    }
    // Its dismissal begun: the closing slide runs on the application's clock, which only a settle moves.
    bool composerClosed() const {
        auto shown = navigation()->presentedViewController();
        return !shown || shown->isBeingDismissed();
    }

    std::string watched = "/m/api/post/";
    std::atomic<bool> holding = false;
    std::atomic<int> resets = 0;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    RecordingServer front;
};

TEST_F(OneWrite, AQuickDoubleClickOnSubmitSendsOnePostAndTheFamilyFindsItOnce) {
    signInAndLaunch();
    composeWith("Double tap test: Noah smiled");
    ASSERT_TRUE(host->doubleTap(host->findByIdentifier("submitButton")));
    ASSERT_TRUE(waitFor([&] { return composerClosed(); }));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/post/"), 1u) << "the second click sent it again";
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Double tap test: Noah smiled'"), 1);
}

TEST_F(OneWrite, ASecondTapWhileThePostIsOnItsWayDoesNothing) {
    holding = true;
    signInAndLaunch();
    auto composer = composeWith("Slow ward network");
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/post/") == 1; }));
    // The spinner turns; the member taps Submit again.
    EXPECT_FALSE(composer->doneButton()->isEnabled());
    host->tapIdentifier("submitButton");
    host->advance(1);
    gate->open();
    ASSERT_TRUE(waitFor([&] { return composerClosed(); }));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/post/"), 1u) << "the tap while it was on its way sent it again";
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Slow ward network'"), 1);
}

// Hears of the post for the feed, and with it a click that came with the quick answer: it lands
// while the answer is taken, before the composer has started to leave (from then on the screens'
// change takes no touch).
class ClickWithTheAnswer : public PostViewControllerDelegate {
public:
    void succesfullyPosted() override {
        if (auto f = feed.lock()) f->succesfullyPosted();
        if (auto c = std::exchange(click, nullptr)) c();
    }
    std::weak_ptr<PostViewControllerDelegate> feed;
    std::function<void()> click;
};

TEST_F(OneWrite, AClickOnSubmitAsTheAnsweredComposerClosesSendsNothing) {
    signInAndLaunch();
    auto composer = composeWith("Answered in between");
    const auto submit = host->findByIdentifier("submitButton");
    ASSERT_TRUE(submit);
    const CGPoint at = host->tapPointOf(*submit);
    auto listener = std::make_shared<ClickWithTheAnswer>();
    listener->feed = composer->delegate;
    bool landed = false;
    listener->click = [&] {
        landed = host->viewUnderFinger(at) == submit;
        sendTouch(host->window(), at, UITouchPhase::began);
        sendTouch(host->window(), at, UITouchPhase::ended);
    };
    composer->delegate = listener;
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([&] { return composerClosed(); }));
    EXPECT_TRUE(landed) << "the click did not land on Submit";
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/post/"), 1u) << "the click as it closed sent it again";
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Answered in between'"), 1);
}

TEST_F(OneWrite, APostWhoseAnswerWasLostIsStoredOnceWhenSubmittedAgain) {
    resets = 1;
    signInAndLaunch();
    auto composer = composeWith("Kangaroo care today");
    ASSERT_TRUE(pickFromLibrary(pictureFile("kangaroo.png", 60, 40)));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Kangaroo care today'"), 1) << "stored before the reset";
    ASSERT_TRUE(composer->doneButton()->isEnabled());

    // "Please try again": the same post again is the same action.
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([&] { return composerClosed(); }));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/post/"), 2u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Kangaroo care today'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM post_media WHERE post_id IN (SELECT id FROM posts WHERE post_text = "
                    "'Kangaroo care today')"),
              1);
    const auto sent = front.requestsAt("/m/api/post/");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[0].header("Idempotency-Key"));
    EXPECT_EQ(sent[0].header("Idempotency-Key"), sent[1].header("Idempotency-Key"));

    // A new post afterwards, even with the same words, is a new action.
    composeWith("Kangaroo care today");
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([&] { return composerClosed(); }));
    EXPECT_EQ(count("SELECT COUNT(*) FROM posts WHERE post_text = 'Kangaroo care today'"), 2);
}

TEST_F(OneWrite, ACommentWhoseAnswerWasLostIsStoredOnceWhenPostedAgain) {
    watched = "/m/api/comments/new";
    resets = 1;
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    ASSERT_TRUE(host->type("So proud of him"));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Your comment could not be posted. Please try again.");
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(showsSoon("3 Comments"));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/comments/new"), 2u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'So proud of him' AND post_id = " +
                    std::to_string(*held->cardId)),
              1);
}

TEST_F(OneWrite, WordsTypedWhileTheCommentIsOnItsWayAreNotSwallowedByItsAnswer) {
    watched = "/m/api/comments/new";
    holding = true;
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    ASSERT_TRUE(host->type("First"));
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/comments/new") == 1; }));
    // She goes on typing while it is on its way; what the bar took is what she sees.
    host->type(" and more");
    const auto shown = list->commentTextInputView()->textView()->text();
    host->tapText("Post");
    gate->open();
    ASSERT_TRUE(showsSoon("3 Comments"));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount("/m/api/comments/new"), 1u);
    EXPECT_EQ(shown, "First") << "the bar showed words its answer then cleared";
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'First'"), 1);
}

} // namespace
} // namespace cw::test
