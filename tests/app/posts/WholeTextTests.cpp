// A post as long as a member may write (5,000 characters) in any script: the composer lays it out
// whole while she writes it, and the post's details show it whole once it is posted; and the end
// she writes at stays in sight above the keyboard wherever she writes a long text.

#include "PostsFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/CommentTextInputView.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/Utf8.h"
#include "uikit/controls/UIKeyboard.h"
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
    // The caret is where she sees it: inside the scroll views that hold its text view, above the
    // keyboard, and what a finger there touches is the text view (no bar lies over it).
    ::testing::AssertionResult caretInSight(const UITextView& text) const {
        const CGRect caret = text.convert(text.caretRect(), nullptr);
        if (caret.isEmpty()) return ::testing::AssertionFailure() << "no caret";
        const CGPoint middle{caret.midX(), caret.midY()};
        for (UIView* v = text.superview().get(); v; v = v->superview().get())
            if (dynamic_cast<UIScrollView*>(v) && !v->convert(v->bounds(), nullptr).contains(middle))
                return ::testing::AssertionFailure()
                       << "the caret " << caret << " lies outside its scroll view";
        // The keys take no touches: a caret under them is found by their frame.
        const auto& keyboard = Keyboard::shared();
        if (caret.maxY() > keyboard.frame().maxY() - Keyboard::heightFor(keyboard.screenSize()) + 0.5)
            return ::testing::AssertionFailure() << "the caret " << caret << " lies under the keys";
        const auto touched = host->viewUnderFinger(middle);
        if (!touched || !touched->isDescendant(&text))
            return ::testing::AssertionFailure() << "the caret " << caret << " is covered by "
                                                 << (touched ? touched->className() : "nothing");
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

TEST_F(WholePost, TheCaretStaysAboveTheKeyboardAsSheTypesOrPastesALongPost) {
    host.reset();
    host = std::make_unique<cw::HeadlessHost>(CGSize{320, 568});
    signInAndLaunch();
    std::vector<std::string> lines(24, "A line of the day\n");
    // Typed line by line, then pasted as one edit; she goes on typing after either.
    for (const auto& edits :
         {lines, {times("\u4eca\u5929\u5979\u63e1\u7740\u6211\u7684\u624b\u6307\u3002", 300)}}) {
        auto box = openComposer()->postBox();
        for (const auto& edit : edits) {
            ASSERT_TRUE(edits.size() > 1 ? host->type(edit) : host->paste(edit));
            host->settle();
            ASSERT_TRUE(caretInSight(*box)) << box->text().size() << " bytes in";
        }
        ASSERT_TRUE(host->type("The end"));
        host->settle();
        EXPECT_TRUE(caretInSight(*box));
        navigation()->dismiss(false);
    }
}

// A long comment, pasted or typed line by line, on the smallest phone: the bar stops growing at a
// few lines and scrolls its text with the caret in sight, its Post button stays on the screen above
// the keys, and a finger there posts the comment; the bar is one line again after it.
TEST_F(WholePost, TheCommentBarsPostButtonStaysWithinReachOfALongComment) {
    host.reset();
    host = std::make_unique<cw::HeadlessHost>(CGSize{320, 568});
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    ASSERT_TRUE(held);
    const std::string comments = "SELECT COUNT(*) FROM comments WHERE post_id = " + std::to_string(*held->cardId);
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
    const std::vector<std::string> lines(14, "We are all thinking of you\n");
    for (const auto& edits : {std::vector<std::string>{times(family, 714)}, lines}) {
        auto list = openComments(held);
        ASSERT_TRUE(list);
        const auto& bar = list->commentTextInputView();
        const CGFloat oneLine = bar->frame().size.height;
        const auto before = count(comments);
        for (const auto& edit : edits) {
            ASSERT_TRUE(edits.size() > 1 ? host->type(edit) : host->paste(edit));
            host->settle();
            EXPECT_TRUE(caretInSight(*bar->textView())) << bar->textView()->text().size() << " bytes in";
        }
        // At most a part of the screen, wholly on it, leaving the list and its navigation bar to a
        // finger; and the Post button on it, above the keys.
        const CGRect shown = bar->convert(bar->bounds(), nullptr);
        EXPECT_LT(shown.size.height, 568 / 3.0) << "the bar " << shown;
        EXPECT_GE(shown.minY(), 0) << "the bar " << shown << " reaches above the screen";
        const auto atTheTop = host->viewUnderFinger({160, 40});
        EXPECT_TRUE(atTheTop && !atTheTop->isDescendant(bar.get())) << "the bar covers the navigation bar";
        const auto& post = bar->postButton();
        const CGRect button = post->convert(post->bounds(), nullptr);
        const CGFloat keysTop = 568 - Keyboard::heightFor({320, 568});
        EXPECT_GE(button.minY(), 0);
        EXPECT_LE(button.maxY(), keysTop) << "the Post button " << button << " lies under the keys or below the screen";
        const auto touched = host->viewUnderFinger({button.midX(), button.midY()});
        ASSERT_TRUE(touched && touched->isDescendant(post.get())) << "nothing of the Post button is under a finger";
        ASSERT_TRUE(host->tapPoint({button.midX(), button.midY()}));
        ASSERT_TRUE(waitFor([&] { return count(comments) == before + 1; })) << "the comment was not posted";
        ASSERT_TRUE(waitFor([&] { return bar->textView()->text().empty(); }));
        host->settle();
        EXPECT_NEAR(bar->frame().size.height, oneLine, 0.5) << "the emptied bar is one line again";
        ASSERT_TRUE(host->goBack());
        host->settle();
    }
}

} // namespace
} // namespace cw::test
