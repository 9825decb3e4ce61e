// How long a comment, a post, a name or a password may be is counted one way by the application,
// before it sends, and by the server, which checks again: in every script a text measures the same
// on both sides, so that nothing the application lets through is refused for its length. What is
// too long is refused before it is sent, with what to take away; a refusal that still comes from the
// server is said in its words, and the same words are not sent again until she changes them.

#include "PostsFixture.h"

#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Services/TextLimits.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/CaseMapping.h"
#include "foundation/text/Utf8.h"
#include "kits/banners/GSMessage.h"
#include "server/Records.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"

#include <atomic>
#include <vector>

namespace cw::test {
namespace {

std::string times(std::string_view piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

// The first `count` code points of `text` (a malformed byte as one).
std::string firstCodePoints(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < count && end < text.size(); ++i)
        decodeUtf8(text, end);
    return std::string(text.substr(0, end));
}

// Four people joined by three zero-width joiners: one emoji to her, seven code points.
constexpr const char* kFamily = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
// A letter with its vowel mark (beh with kasra): one character to her, two code points.
constexpr const char* kMarkedBeh = "\u0628\u0650";

TEST(TextMeasure, TheApplicationAndTheServerMeasureEveryScriptAlikeAndAgreeOnEachLimit) {
    struct Row {
        const char* what;
        std::string text;
        std::size_t length; // code points, a malformed byte as one
    };
    const Row rows[] = {
        {"Chinese", "\u4eca\u5929\u5979\u63e1\u7740\u6211\u7684\u624b\u6307", 9},
        {"an emoji with a skin tone", "\U0001F476\U0001F3FD", 2},
        {"a family of four joined", kFamily, 7},
        {"a couple with skin tones", "\U0001F469\U0001F3FB\u200D\u2764\uFE0F\u200D\U0001F468\U0001F3FF", 8},
        {"flags", "\U0001F1EF\U0001F1F5\U0001F1F8\U0001F1E6", 4},
        {"Arabic with vowel marks", "\u0645\u064E\u0631\u0652\u062D\u064E\u0628\u064B\u0627", 9},
        {"combining marks", "e\u0301a\u0300\u0323", 5},
        {"stacked marks", "Z" + times("\u0336", 40), 41},
        {"Hebrew", "\u05E9\u05DC\u05D5\u05DD", 4},
        {"a stray continuation byte", "a\x80" "b", 3},
        {"a sequence cut short", "a\xE2\x82", 3},
        {"an overlong form", "\xC0\xAF", 2},
        {"a surrogate", "\xED\xA0\x80", 3},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 4},
        {"a byte that starts nothing", "\xFF" "a", 2},
    };
    struct Limit {
        const char* what;
        std::size_t application;
        std::size_t server;
    };
    const Limit limits[] = {
        {"comment", CommentTableViewController::kLongestComment, server::kLongestComment},
        {"post", cw::kLongestPost, server::kLongestPost},
        {"password", SignInForm::kMinimumPasswordLength, server::kShortestPassword},
    };
    for (const Limit& limit : limits) {
        SCOPED_TRACE(limit.what);
        EXPECT_EQ(limit.application, limit.server);
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(cw::textLength(row.text), row.length);
        EXPECT_EQ(server::characterCount(row.text), row.length);
        // As many as a comment holds, and one more: both sides take the first and refuse the second.
        const std::size_t copies = cw::kLongestComment / row.length;
        const std::string most = times(row.text, copies) + std::string(cw::kLongestComment - copies * row.length, 'a');
        EXPECT_EQ(cw::textLength(most), cw::kLongestComment);
        EXPECT_EQ(server::characterCount(most), server::kLongestComment);
        EXPECT_FALSE(cw::overLimitMessage("", most, cw::kLongestComment));
        EXPECT_TRUE(cw::overLimitMessage("", most + row.text, cw::kLongestComment));
        EXPECT_GT(server::characterCount(most + row.text), server::kLongestComment);
        // A password of it at the least length is long enough on both sides; one shorter is too short
        // on both.
        const std::string repeated = times(row.text, cw::kShortestPassword);
        const std::string password = firstCodePoints(repeated, cw::kShortestPassword);
        EXPECT_TRUE(SignInForm::isLongEnoughPassword(password));
        EXPECT_GE(server::characterCount(password), server::kShortestPassword);
        const std::string shorter = firstCodePoints(repeated, cw::kShortestPassword - 1);
        EXPECT_FALSE(SignInForm::isLongEnoughPassword(shorter));
        EXPECT_LT(server::characterCount(shorter), server::kShortestPassword);
    }
}

class LengthLimit : public PostsScreenTest {
protected:
    // She takes away the last `count` characters she sees: the text without them is what her edit
    // leaves in the box (the stand-in's delete key takes a code point a press, where a phone's takes
    // what she sees as one).
    bool takeAway(UITextView& box, std::size_t count) {
        std::vector<std::string_view> seen;
        const std::string text = box.text();
        cw::forEachCharacter(text, [&](std::string_view c) {
            seen.push_back(c);
            return true;
        });
        std::string kept;
        for (std::size_t i = 0; i + count < seen.size(); ++i)
            kept += seen[i];
        box.setText(std::string());
        return host->paste(kept);
    }
    std::string stored(const FeedResponse::Card& post) const {
        return "SELECT COUNT(*) FROM comments WHERE post_id = " + std::to_string(*post->cardId);
    }
};

TEST_F(LengthLimit, ACommentTooLongIsRefusedByTheBarBeforeItIsSentWithWhatToTakeAway) {
    struct Row {
        const char* what;
        std::string text;
        std::string told;
        std::size_t toTakeAway; // characters as she sees them
    };
    const Row rows[] = {
        {"800 family emoji, pasted", times(kFamily, 800),
         "A comment can be at most 5000 characters long. This one has 5600 (some emoji and letters with marks "
         "count as several): take away its last 86 characters.",
         86},
        {"Arabic with vowel marks", times(kMarkedBeh, 2'600),
         "A comment can be at most 5000 characters long. This one has 5200 (some emoji and letters with marks "
         "count as several): take away its last 100 characters.",
         100},
        {"a page of letters", std::string(5'001, 'a'),
         "A comment can be at most 5000 characters long. This one has 5001: take away its last 1 character.", 1},
    };
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    const auto& bar = list->commentTextInputView();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto before = count(stored(held));
        ASSERT_TRUE(host->paste(row.text));
        GSMessage::clearHistory();
        ASSERT_TRUE(host->tapText("Post"));
        ASSERT_FALSE(GSMessage::history().empty());
        EXPECT_EQ(GSMessage::history().back().text, row.told);
        EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
        RunLoop::main().runFor(0.2);
        EXPECT_EQ(count(stored(held)), before);
        EXPECT_EQ(bar->textView()->text(), row.text);
        // Doing what she was told, the server takes it.
        ASSERT_TRUE(takeAway(*bar->textView(), row.toTakeAway));
        GSMessage::clearHistory();
        // A bar grown taller than the screen holds its Post button below it: pressed as its action.
        bar->postButton()->sendActions(UIControlEventTouchUpInside);
        ASSERT_TRUE(waitFor([&] { return count(stored(held)) == before + 1; }));
        ASSERT_TRUE(waitFor([&] { return bar->textView()->text().empty(); }));
        for (const auto& message : GSMessage::history()) ADD_FAILURE() << message.text;
        ASSERT_TRUE(host->tap(bar->textView()));
    }
}

TEST_F(LengthLimit, APostTooLongIsRefusedByTheComposerBeforeItIsSentWithWhatToTakeAway) {
    signInAndLaunch();
    const std::string posts = "SELECT COUNT(*) FROM posts";
    const auto before = count(posts);
    auto composer = openComposer();
    ASSERT_TRUE(composer);
    ASSERT_TRUE(host->paste(times(kFamily, 800)));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_FALSE(GSMessage::history().empty());
    EXPECT_EQ(GSMessage::history().back().text,
              "A post can be at most 5000 characters long. This one has 5600 (some emoji and letters with marks "
              "count as several): take away its last 86 characters.");
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(count(posts), before);
    EXPECT_TRUE(navigation()->presentedViewController());
    ASSERT_TRUE(takeAway(*composer->postBox(), 86));
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([&] { return count(posts) == before + 1; }, 20));
}

// The server refuses a comment for what it is (here a front answers for it as a server with a lower
// bound would): she reads the server's words, not "try again", and Post waits for her to change them;
// a server that is only busy is still a failure to try again.
TEST_F(LengthLimit, TheServersRefusalIsSaidInItsWordsAndTheSameWordsAreNotSentAgain) {
    RecordingServer front;
    std::atomic<int> status = 400;
    front.setHandler([upstream = demo->baseUrl(), &status](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/m/api/comments/new") return forwardRequest(upstream, request, response);
        response.status = status;
        response.set_content(status == 400 ? R"({"message": "The comment is longer than 10 characters."})"
                                           : R"({"message": "Too many requests. Please try again in a moment."})",
                             "application/json");
    });
    prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    signInAndLaunch();
    auto list = openComments(card(kHeldNoah), "2 Comments");
    ASSERT_TRUE(list);
    const auto& bar = list->commentTextInputView();
    ASSERT_TRUE(host->type("So proud of him"));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
    EXPECT_EQ(GSMessage::history().back().text, "The comment is longer than 10 characters.");
    RunLoop::main().runFor(0.2);
    EXPECT_FALSE(bar->postButton()->isEnabled());
    EXPECT_EQ(bar->textView()->text(), "So proud of him");
    host->tapText("Post");
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(front.requestCount("/m/api/comments/new"), 1u);

    // Changed, it goes again; a busy server's answer leaves it to send once more.
    ASSERT_TRUE(host->tap(bar->textView()));
    ASSERT_TRUE(host->deleteBackward(4));
    EXPECT_TRUE(bar->postButton()->isEnabled());
    status = 429;
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
    EXPECT_EQ(GSMessage::history().back().text, "Your comment could not be posted. Please try again.");
    ASSERT_TRUE(waitFor([&] { return bar->postButton()->isEnabled(); }));
    EXPECT_EQ(front.requestCount("/m/api/comments/new"), 2u);
    front.stop();
}

} // namespace
} // namespace cw::test
