// Where a finger lands on a small phone and a tall one, against the embedded demo server: the
// keyboard over each form takes the touches within it (a key types, a touch between keys does
// nothing, and nothing beneath is pressed); a click right after Return lands on what is drawn while
// the sign-in form slides with the keyboard.

#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

// A form, the steps that bring it up with one of its fields taking the keys, and what opens it
// where a script step cannot (the floating menu's item answers on its disc, beside its title).
struct Form {
    std::string name;
    bool signedIn;
    std::string steps;
    std::function<bool(HeadlessHost&)> then = {};
};

bool tapPostDisc(HeadlessHost& host) {
    auto title = host.findByText("POST");
    return title && title->superviewPointer() &&
           host.tap(std::static_pointer_cast<UIView>(title->superviewPointer()->shared_from_this())) &&
           host.isShowing("Share a moment, photo, or news");
}

const std::vector<Form>& forms() {
    static const std::vector<Form> all = {
        {"sign-in", false, "tap #emailTextField\ntype \"demo@cradleway.test\"\ntap #passwordField\n"},
        {"sign-up", false, "tap \"Create Account\"\ntap #inviterNameTextField\n"},
        {"add milestone", true,
         "tap \"Journey\"\ntap \"Add Milestone\"\ntap \"First time holding me\"\nturn \"Something else\"\n"
         "tap \"Done\"\ntap \"Type here\"\n"},
        {"composer", true, "tap #floatingActionButton\n", tapPostDisc},
        {"comment", true, "tap \"Write a comment\"\n"},
        {"invite", true, "tap #hamburgerButton\ntap \"Family & Friends\"\nexpect \"James Hart\"\ntap #add_baby\ntap #fullNameTextField\n"},
        {"My Account", true, "tap #hamburgerButton\ntap \"My Account\"\ntap \"Emma Hart\"\n"},
        {"password change", true, "tap #hamburgerButton\ntap \"My Account\"\ntap #passwordField\ntap \"Current Password\"\n"},
        {"My Baby", true, "tap #hamburgerButton\ntap \"My Baby\"\ntap \"Olivia Hart\"\n"},
    };
    return all;
}

// What the field being edited holds.
std::string editedText() {
    auto* responder = UIResponder::currentFirstResponder();
    if (auto* field = dynamic_cast<UITextField*>(responder)) return field->text().value_or("");
    if (auto* view = dynamic_cast<UITextView*>(responder)) return view->text();
    return "(nothing edited)";
}

// Whether a button or field of the screen, beneath the keyboard, stands at `point` (window).
bool buttonUnder(const UIView& view, CGPoint point) {
    if (&view == Keyboard::shared().hostView().get() || view.isHidden()) return false;
    const bool presses = dynamic_cast<const UIControl*>(&view) || dynamic_cast<const cw::TapTargetView*>(&view);
    if (presses && isVisibleOnScreen(view) && view.convert(view.bounds(), nullptr).contains(point)) return true;
    for (const auto& sub : view.subviews())
        if (buttonUnder(*sub, point)) return true;
    return false;
}

CGPoint middle(const CGRect& r) {
    return {r.midX(), r.midY()};
}

class TouchesOnPhones : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
        demo->answerFeedQuestions();
    }
    // The screen on top, inside its navigation.
    UIViewControllerPtr shownScreen() const {
        auto top = host->topViewController();
        while (auto navigation = std::dynamic_pointer_cast<UINavigationController>(top)) {
            auto inner = navigation->visibleViewController();
            if (!inner || inner == top) break;
            top = inner;
        }
        return top;
    }
    // A new launch, signed in as the mother or not.
    void launchFor(const Form& form) {
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
    }
    // Presses every key over a button of the form, and the keys that were found pressing what lay
    // beneath ("c", "f", "v"), then touches between two keys: each key types its character, and
    // the form stays as it was, its field still edited.
    void pressKeys(const std::string& form, int& keysOverButtons) {
        auto& keyboard = Keyboard::shared();
        ASSERT_TRUE(keyboard.areKeysShown()) << form;
        auto* field = UIResponder::currentFirstResponder();
        const auto shown = shownScreen();
        std::string expected = editedText();
        const auto unchanged = [&](const std::string& what) {
            EXPECT_EQ(editedText(), expected) << form << ": " << what;
            EXPECT_EQ(UIResponder::currentFirstResponder(), field) << form << ": " << what;
            EXPECT_EQ(shownScreen(), shown) << form << ": " << what << " pressed what lies beneath";
        };
        std::optional<CGPoint> gap;
        for (const char* row : {"qwertyuiop", "asdfghjkl", "zxcvbnm"})
            for (const char* c = row; *c; ++c) {
                const auto key = keyboard.keyFrame(std::string(1, *c));
                ASSERT_TRUE(key) << *c;
                const bool over = buttonUnder(*host->window(), middle(*key));
                keysOverButtons += over;
                if (c[1]) {
                    const CGPoint between{(key->maxX() + keyboard.keyFrame(std::string(1, c[1]))->minX()) / 2, key->midY()};
                    if (!gap || buttonUnder(*host->window(), between)) gap = between;
                }
                if (!over && !std::strchr("cfv", *c)) continue;
                ASSERT_TRUE(host->tapPoint(middle(*key)));
                expected += *c;
                unchanged(std::string("key ") + *c);
            }
        ASSERT_TRUE(host->tapPoint(*gap));
        unchanged("between keys");
    }
};

TEST_P(TouchesOnPhones, EveryFormsKeyboardTypesItsKeysAndPressesNothingBeneath) {
    int keysOverButtons = 0;
    for (const auto& form : forms()) {
        ASSERT_NO_FATAL_FAILURE(launchFor(form));
        ASSERT_NO_FATAL_FAILURE(runScript(*host, form.steps, environment.directory()));
        if (form.then) {
            ASSERT_TRUE(form.then(*host)) << form.name;
        }
        ASSERT_NO_FATAL_FAILURE(pressKeys(form.name, keysOverButtons));
    }
    EXPECT_GT(keysOverButtons, 0) << "no key of any form lay over one of its buttons";
}

INSTANTIATE_TEST_SUITE_P(Phones, TouchesOnPhones, ::testing::Values(CGSize{320, 568}, CGSize{414, 896}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

class SmallPhone : public FeedScreenTest {
protected:
    void SetUp() override {
        screen = {320, 568};
        FeedScreenTest::SetUp();
    }
};

// The sign-in form slides up while the password is edited and back down when the keyboard goes:
// a click that comes while it slides lands on what is drawn under the pointer.
TEST_F(SmallPhone, AClickRightAfterReturnLandsOnWhatIsDrawnWhileTheFormSlides) {
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(host->type("partner@cradleway.test"));
    // Return goes on to the password, and the form starts up: a click on the e-mail address.
    ASSERT_TRUE(Keyboard::shared().pressReturn());
    host->advance(0.05);
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    EXPECT_TRUE(host->findByIdentifier("emailTextField")->isFirstResponder());

    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    ASSERT_TRUE(host->type("cradleway-demo"));
    // Return puts the keyboard away, and the form starts down: a click on Sign In.
    ASSERT_TRUE(Keyboard::shared().pressReturn());
    host->advance(0.05);
    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_NO_FATAL_FAILURE(waitForCards());
}

} // namespace
} // namespace cw::test
