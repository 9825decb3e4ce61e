// Where a finger lands on a small phone and a tall one, against the embedded demo server: the
// keyboard over each form takes the touches within it (a key types, a touch between keys does
// nothing, and nothing beneath is pressed); a click right after Return lands on what is drawn while
// the sign-in form slides with the keyboard; a finger that slides off a tab or a button before it
// lifts chooses nothing; and a question longer than the screen scrolls under the finger with its
// buttons on screen.

#include "net/NSURLSessionDataTask.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/TapTargetView.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

// A form, and the steps that bring it up with one of its fields taking the keys (the composer's
// floating menu item answers on its disc, beside its title: the test taps it).
struct Form {
    std::string name;
    bool signedIn;
    std::string steps;
};
const Form kForms[] = {
    {"sign-in", false, "tap #emailTextField\ntype \"demo@cradleway.test\"\ntap #passwordField\n"},
    {"sign-up", false, "tap \"Create Account\"\ntap #inviterNameTextField\n"},
    {"add milestone", true, "tap \"Journey\"\ntap \"Add Milestone\"\ntap \"First time holding me\"\n"
                            "turn \"Something else\"\ntap \"Done\"\ntap \"Type here\"\n"},
    {"composer", true, "tap #floatingActionButton\n"},
    {"comment", true, "tap \"Write a comment\"\n"},
    {"invite", true, "tap #hamburgerButton\ntap \"Family & Friends\"\nexpect \"James Hart\"\ntap #add_baby\ntap #fullNameTextField\n"},
    {"My Account", true, "tap #hamburgerButton\ntap \"My Account\"\ntap \"Emma Hart\"\n"},
    {"password change", true, "tap #hamburgerButton\ntap \"My Account\"\ntap #passwordField\ntap \"Current Password\"\n"},
    {"My Baby", true, "tap #hamburgerButton\ntap \"My Baby\"\ntap \"Olivia Hart\"\n"},
};

std::string editedText() {
    auto* responder = UIResponder::currentFirstResponder();
    if (auto* field = dynamic_cast<UITextField*>(responder)) return field->text().value_or("");
    if (auto* view = dynamic_cast<UITextView*>(responder)) return view->text();
    return "(nothing edited)";
}

// Whether a button or field of the screen beneath the keyboard stands at `point` (window).
bool buttonUnder(const UIView& view, CGPoint point) {
    if (&view == Keyboard::shared().hostView().get() || view.isHidden()) return false;
    if ((dynamic_cast<const UIControl*>(&view) || dynamic_cast<const cw::TapTargetView*>(&view)) &&
        isVisibleOnScreen(view) && view.convert(view.bounds(), nullptr).contains(point))
        return true;
    for (const auto& sub : view.subviews())
        if (buttonUnder(*sub, point)) return true;
    return false;
}

class TouchesOnPhones : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
        demo->answerFeedQuestions();
    }
    UIViewControllerPtr shownScreen() const {
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(host->topViewController());
        return navigation ? navigation->visibleViewController() : host->topViewController();
    }
    // A new launch, signed in as the mother or not, with the form up.
    void open(const Form& form) {
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
        if (auto post = form.name == "composer" ? host->findByText("POST") : nullptr) {
            ASSERT_TRUE(host->tap(std::static_pointer_cast<UIView>(post->superviewPointer()->shared_from_this())));
        }
    }
};

// Every key over a button of the form is pressed, and the keys found pressing what lay beneath
// ("c", "f", "v"), then a touch between "c" and "v": each key types its character, and the form
// stays as it was, its field still edited.
TEST_P(TouchesOnPhones, EveryFormsKeyboardTypesItsKeysAndPressesNothingBeneath) {
    auto& keyboard = Keyboard::shared();
    int keysOverButtons = 0;
    for (const auto& form : kForms) {
        ASSERT_NO_FATAL_FAILURE(open(form));
        ASSERT_TRUE(keyboard.areKeysShown()) << form.name;
        auto* field = UIResponder::currentFirstResponder();
        const auto shown = shownScreen();
        std::string expected = editedText();
        const auto tapLeavesTheForm = [&](CGPoint at, const std::string& what) {
            ASSERT_TRUE(host->tapPoint(at));
            EXPECT_EQ(editedText(), expected) << form.name << ": " << what;
            EXPECT_EQ(UIResponder::currentFirstResponder(), field) << form.name << ": " << what;
            EXPECT_EQ(shownScreen(), shown) << form.name << ": " << what << " pressed what lies beneath";
        };
        // Each letter's key, in the case it shows now (the form's field may ask for capitals).
        const auto letterKey = [&](char c) {
            const std::string small(1, c), capital(1, static_cast<char>(c - 'a' + 'A'));
            return keyboard.keyFrame(small) ? std::pair(small, keyboard.keyFrame(small))
                                            : std::pair(capital, keyboard.keyFrame(capital));
        };
        for (char c : std::string("qwertyuiopasdfghjklzxcvbnm")) {
            const auto [label, key] = letterKey(c);
            ASSERT_TRUE(key) << c;
            const bool over = buttonUnder(*host->window(), {key->midX(), key->midY()});
            keysOverButtons += over;
            if (!over && c != 'c' && c != 'f' && c != 'v') continue;
            expected += label;
            tapLeavesTheForm({key->midX(), key->midY()}, "key " + label);
        }
        const CGRect c = *letterKey('c').second, v = *letterKey('v').second;
        tapLeavesTheForm({(c.maxX() + v.minX()) / 2, c.midY()}, "between keys");
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

// A finger that lands on a tab, an alert's button or a bar's button and slides away before it lifts
// (a scroll begun on the tab bar, a change of mind) chooses nothing, on each of the screens where it
// was found: the Team tab under a scroll of the feed, the logout alert's OK, the composer's Submit.
TEST_F(SmallPhone, AFingerThatSlidesOffATabOrAButtonBeforeLiftingChoosesNothing) {
    demo->answerFeedQuestions();
    ASSERT_NO_FATAL_FAILURE(signInAsTheMother());
    const auto posts = [&] { return queryInteger(*demo, "SELECT COUNT(*) FROM posts"); };
    const auto storedPosts = posts();
    // The steps to the screen, what the finger lands on and how far it slides, what stays.
    const std::tuple<std::string, std::string, CGSize, std::string> slides[] = {
        {"", "Team", {0, -400}, "absent \"Blue Pod Team\"\n"},
        {"tap #hamburgerButton\ntap \"Logout\"\n",
         "OK",
         {0, -200},
         "expect \"Are you sure you want to logout?\"\nalert \"Cancel\"\ntap #hamburgerButton\n"},
        {"tap #floatingActionButton\nwait 1\ndrag 276,413 276,413\ntype \"Kangaroo care\"\n",
         "Submit",
         {-150, 250},
         "expect \"Kangaroo care\"\n"},
    };
    for (const auto& [steps, pressed, away, stays] : slides) {
        ASSERT_NO_FATAL_FAILURE(runScript(*host, "tap \"Home\"\n" + steps, environment.directory()));
        auto finger = pressed == "OK" ? host->alertButton(pressed) : host->findByText(pressed);
        ASSERT_TRUE(finger) << pressed;
        const CGRect at = finger->convert(finger->bounds(), nullptr);
        ASSERT_TRUE(host->drag({at.midX(), at.midY()}, {at.midX() + away.width, at.midY() + away.height}));
        // Whatever the slide sent has been answered.
        ASSERT_TRUE(RunLoop::main().runUntil([] { return NSURLSessionDataTask::tasksInFlight() == 0; }, 10));
        ASSERT_NO_FATAL_FAILURE(runScript(*host, stays, environment.directory())) << pressed;
    }
    EXPECT_EQ(posts(), storedPosts) << "the post was sent";
}

// A question's text comes from the server: one longer than the screen keeps the alert on it, the
// text scrolls under a finger, and the buttons answer it.
TEST_F(SmallPhone, AQuestionLongerThanTheScreenScrollsAndItsButtonsAnswerIt) {
    std::string question;
    while (question.size() < 3000)
        question += "Did you try kangaroo care this week? ";
    demo->server().state().pool->acquire()->prepare("UPDATE questions SET body = ? WHERE member_id IS NOT NULL AND q_id = 3")
        .with(question)
        .run();
    ASSERT_NO_FATAL_FAILURE(signInAsTheMother());
    ASSERT_TRUE(showsSoon(*host, question));
    const auto window = host->window();
    for (const char* title : {"No", "Yes"}) {
        auto button = host->alertButton(title);
        ASSERT_TRUE(button) << title << " is off the screen";
        EXPECT_TRUE(window->bounds().contains(button->convert(button->bounds(), window.get()))) << title;
        EXPECT_FALSE(host->coverOf(*button)) << title;
    }
    // A finger drags the question up: what came below the screen comes into view.
    auto text = host->findByText(question);
    const CGRect shown = text->superviewPointer()->convert(text->superviewPointer()->bounds(), window.get());
    const CGFloat before = text->convert(text->bounds(), window.get()).minY();
    ASSERT_TRUE(host->drag({shown.midX(), shown.maxY() - 40}, {shown.midX(), shown.minY() + 40}));
    EXPECT_LT(text->convert(text->bounds(), window.get()).minY(), before - 200);
    runScript(*host, "alert \"No\"\nexpect \"Have you held Olivia and Noah today?\"\n", environment.directory());
}

} // namespace
} // namespace cw::test
