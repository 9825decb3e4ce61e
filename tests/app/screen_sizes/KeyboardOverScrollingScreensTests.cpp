// Every scrolling screen with a field, on a small phone and a tall one, against the embedded demo
// server: with the keys up (and again after the keyboard's frame changed while she edits: a bar that
// grows with its lines, a wheel in place of the keys, or more lines written), the end of what the screen holds can be
// scrolled above the keyboard, and the scroll indicator stops there too.

#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextView.h"

#include <gtest/gtest.h>

#include <deque>

namespace cw::test {
namespace {

struct ScrollingScreen {
    std::string name;
    bool signedIn;
    // The steps that bring it up with one of its fields taking the keys.
    std::string steps;
    // Its scrolling view's identifier; empty: the outermost one of the screen on top.
    std::string scrollIdentifier;
    // Steps while she edits that change the keyboard's frame (a bar that grows, a wheel or a number
    // pad in place of the keys) or what the screen holds; empty: none.
    std::string change;
};
// The signed-out forms that scroll are shown each as its road opens it in the registration tests.
const ScrollingScreen kScreens[] = {
    {"comments", true, "tap \"Write a comment\"\n", "", "type \"one\\ntwo\\nthree\\nfour\"\n"},
    {"composer", true, "tap #floatingActionButton\n", "",
     "type \"1\\n2\\n3\\n4\\n5\\n6\\n7\\n8\\n9\\n10\\n11\\n12\\n13\\n14\\n15\\n16\\n17\\n18\"\n"},
    {"feed search", true, "tap #feedSearchBar\ntype \"a\"\n", "feedTableView", ""},
    {"add milestone", true, "tap \"Journey\"\ntap \"Add Milestone\"\ntap \"First time holding me\"\n"
                            "turn \"Something else\"\ntap \"Done\"\ntap \"Type here\"\n", "", ""},
    {"invite", true, "tap #hamburgerButton\ntap \"Family & Friends\"\nexpect \"James Hart\"\ntap #add_baby\n"
                     "tap #fullNameTextField\n", "", "tap #relationshipTextField\n"},
    {"My Account", true, "tap #hamburgerButton\ntap \"My Account\"\ntap \"Emma Hart\"\n", "", ""},
    {"My Baby", true, "tap #hamburgerButton\ntap \"My Baby\"\ntap \"Olivia Hart\"\n", "babyVerticalScrollView", ""},
};

// The outermost scrolling view of `root` that is not a text view.
std::shared_ptr<UIScrollView> outermostScroll(const std::shared_ptr<UIView>& root) {
    std::deque<std::shared_ptr<UIView>> queue{root};
    while (!queue.empty()) {
        auto view = queue.front();
        queue.pop_front();
        if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(view); scroll && !std::dynamic_pointer_cast<UITextView>(view))
            return scroll;
        for (const auto& sub : view->subviews())
            queue.push_back(sub);
    }
    return nullptr;
}

class KeyboardOverScrollingScreens : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
        demo->answerFeedQuestions();
    }
    UIViewControllerPtr shownScreen() const {
        auto top = host->topViewController();
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(top);
        return navigation ? navigation->visibleViewController() : top;
    }
    // A new launch, signed in as the mother or not, with the screen's field taking the keys.
    void open(const ScrollingScreen& form) {
        end();
        if (!form.signedIn) resetSession();
        FeedDataStore::shared().clear();
        if (form.signedIn && !AuthenticationContext::shared().user()) {
            ASSERT_NO_FATAL_FAILURE(signInBeforeLaunch("demo@cradleway.test", "cradleway-demo"));
        }
        begin();
        if (form.signedIn) {
            ASSERT_NO_FATAL_FAILURE(waitForCards());
        }
        ASSERT_NO_FATAL_FAILURE(runScript(*host, form.steps, environment.directory()));
        // The composer's floating menu item answers on its disc, beside its title.
        if (auto post = form.name == "composer" ? host->findByText("POST") : nullptr) {
            ASSERT_TRUE(host->tap(std::static_pointer_cast<UIView>(post->superviewPointer()->shared_from_this())));
        }
    }
    std::shared_ptr<UIScrollView> scrollOf(const ScrollingScreen& form) const {
        if (!form.scrollIdentifier.empty())
            return std::dynamic_pointer_cast<UIScrollView>(host->findByIdentifier(form.scrollIdentifier));
        auto shown = shownScreen();
        return shown ? outermostScroll(shown->view()) : nullptr;
    }
};

TEST_P(KeyboardOverScrollingScreens, TheEndOfEachScreenScrollsAboveTheKeyboardAsItsFrameChanges) {
    for (const auto& form : kScreens) {
        SCOPED_TRACE(form.name);
        ASSERT_NO_FATAL_FAILURE(open(form));
        ASSERT_TRUE(Keyboard::shared().areKeysShown());
        auto scroll = scrollOf(form);
        ASSERT_TRUE(scroll) << "no scrolling view";
        EXPECT_TRUE(endShowsAboveTheKeyboard(*host, *scroll));
        if (form.change.empty()) continue;
        ASSERT_NO_FATAL_FAILURE(runScript(*host, form.change, environment.directory()));
        host->settle();
        EXPECT_TRUE(Keyboard::shared().areKeysShown() || Keyboard::shared().inputView());
        EXPECT_TRUE(endShowsAboveTheKeyboard(*host, *scroll)) << "after: " << form.change;
    }
}

INSTANTIATE_TEST_SUITE_P(Phones, KeyboardOverScrollingScreens, ::testing::Values(CGSize{320, 568}, CGSize{414, 896}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

} // namespace
} // namespace cw::test
