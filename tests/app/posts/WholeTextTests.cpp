// A post as long as a member may write (5,000 characters) in any script: the composer lays it out
// whole while she writes it, and the post's details show it whole once it is posted.

#include "PostsFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/Utf8.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextView.h"

namespace cw::test {
namespace {

std::string times(std::string_view piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

class WholePost : public PostsScreenTest {
protected:
    // A finger drags the scroll view to its end.
    bool scrollToEnd(const std::shared_ptr<UIScrollView>& scroller) {
        const bool dragged =
            host->scroll(scroller, {0, scroller->contentOffset().y - scroller->maximumContentOffset().y});
        host->settle();
        return dragged;
    }
    // The label showing `text`, and the boxes of its last characters: none when they are not laid out
    // (an ellipsis took their place).
    std::vector<CGRect> lastCharacters(const std::string& text, std::shared_ptr<UILabel>& label) const {
        label = std::dynamic_pointer_cast<UILabel>(host->findByText(text));
        return label ? label->rects({utf8ToUTF16(text).size() - 8, 8}) : std::vector<CGRect>{};
    }
    // They are laid out and on screen: inside the window and the scroll views that hold them, where a
    // finger reaches them.
    ::testing::AssertionResult endIsOnScreen(const std::string& text) const {
        std::shared_ptr<UILabel> label;
        const auto boxes = lastCharacters(text, label);
        if (boxes.empty()) return ::testing::AssertionFailure() << "its last characters are not laid out";
        const CGRect last = label->convert(boxes.back(), nullptr);
        const CGPoint middle{last.midX(), last.midY()};
        for (UIView* v = label->superview().get(); v; v = v->superview().get()) {
            if (!dynamic_cast<UIScrollView*>(v)) continue;
            const CGRect seen = v->convert(v->bounds(), nullptr);
            if (!seen.contains(middle)) return ::testing::AssertionFailure() << "its end lies outside its scroll view";
        }
        const auto touched = host->viewUnderFinger(middle);
        if (!touched || !label->isDescendant(touched.get()))
            return ::testing::AssertionFailure() << "its end is off screen or covered";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(WholePost, APostOfFiveThousandCharactersInAnyScriptIsReadWholeInTheComposerAndTheDetails) {
    struct Row {
        const char* script;
        std::string text;
    };
    const Row rows[] = {
        // "Today she held my finger." ten characters at a time.
        {"Chinese", times("\u4eca\u5929\u5979\u63e1\u7740\u6211\u7684\u624b\u6307\u3002", 500)},
        {"emoji", times("\U0001F476\U0001F37C\U0001F49B\U0001F60D", 1'250)},
        {"Arabic", times("\u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 ", 499) + "\u0645\u0631\u062d\u0628\u0627"},
        {"combining marks", times("e\u0301", 2'500)},
    };
    signInAndLaunch();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        auto composer = openComposer();
        ASSERT_TRUE(host->paste(row.text));
        // Written whole: the box she writes in holds the last characters, below the keyboard.
        std::shared_ptr<UILabel> written;
        const auto end = lastCharacters(row.text, written);
        ASSERT_FALSE(end.empty()) << "the composer cut the text";
        EXPECT_LE(written->convert(end.back(), composer->scrollView()).maxY(), composer->scrollView()->contentSize().height);

        ASSERT_TRUE(host->tapIdentifier("submitButton"));
        ASSERT_TRUE(waitFor([&] {
            host->settle();
            return !navigation()->presentedViewController();
        }, 20));
        ASSERT_TRUE(awaitCount("SELECT COUNT(*) FROM posts WHERE post_text = '" + row.text + "'", 1));
        bool loaded = false;
        FeedDataStore::shared().fetchFeed([&](const std::vector<FeedResponse::Card>&) { loaded = true; },
                                          [](const NSError&) {});
        ASSERT_TRUE(waitFor([&] { return loaded && card(row.text); }));

        auto details = open<PostDetailsViewController>("PostDetailsViewController", card(row.text));
        ASSERT_TRUE(details);
        ASSERT_TRUE(scrollToEnd(details->scrollView));
        EXPECT_TRUE(endIsOnScreen(row.text)) << "in the details";
        ASSERT_TRUE(host->goBack());
        host->settle();
    }
}

} // namespace
} // namespace cw::test
