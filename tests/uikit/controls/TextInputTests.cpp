#include "uikit/controllers/UIWindow.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/view/ViewRendering.h"

#include <cmath>

#include <gtest/gtest.h>

#include <cctype>

namespace {

struct Fixture : ::testing::Test {
    ManualClock clock;
    // Fields take the keyboard only inside a window.
    std::shared_ptr<UIView> root = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    std::shared_ptr<UITextField> field = std::make_shared<UITextField>(CGRect(20, 100, 300, 40));
    std::vector<Notification> posted;
    std::vector<std::shared_ptr<NotificationObserver>> observers;

    void SetUp() override {
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
        root->setHidden(false);
        root->addSubview(field);
        for (const auto& name : {UIKeyboardWillShowNotification, UIKeyboardDidShowNotification,
                                 UIKeyboardWillHideNotification, UIKeyboardDidHideNotification,
                                 UIKeyboardWillChangeFrameNotification, UIKeyboardDidChangeFrameNotification})
            observers.push_back(NotificationCenter::defaultCenter().addObserver(
                name, nullptr, nullptr, [this](const Notification& n) { posted.push_back(n); }));
    }
    void TearDown() override {
        // The tests' delegates live on their stacks: gone by now.
        field->setDelegate(nullptr);
        root->endEditing(true);
        for (auto& o : observers)
            NotificationCenter::defaultCenter().removeObserver(o);
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& n : posted)
            out.push_back(n.name);
        return out;
    }
};

struct RefusingDelegate : UITextFieldDelegate {
    bool textFieldShouldBeginEditing(UITextField*) override { return false; }
};

struct NoDigits : UITextFieldDelegate {
    std::vector<NSRange> ranges;
    bool shouldChangeCharactersIn(UITextField*, NSRange range, const std::string& s) override {
        ranges.push_back(range);
        for (unsigned char c : s)
            if (std::isdigit(c)) return false;
        return true;
    }
};

struct Counter {
    int changed = 0;
    void onChange() { ++changed; }
};

TEST_F(Fixture, ShowingTheKeyboardPostsFramesAndTheDidNotificationsFollowTheClock) {
    EXPECT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(names(), (std::vector<std::string>{UIKeyboardWillChangeFrameNotification,
                                                 UIKeyboardWillShowNotification}));
    const Notification& show = posted[1];
    EXPECT_EQ(show.value<CGRect>(UIKeyboardFrameBeginUserInfoKey), CGRect(0, 667, 375, 216));
    EXPECT_EQ(show.value<CGRect>(UIKeyboardFrameEndUserInfoKey), CGRect(0, 451, 375, 216));
    EXPECT_EQ(show.value<double>(UIKeyboardAnimationDurationUserInfoKey), 0.25);
    EXPECT_EQ(show.value<long>(UIKeyboardAnimationCurveUserInfoKey), 7);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(posted.size(), 2u);
    clock.advance(0.3);
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[3].name, UIKeyboardDidShowNotification);

    // Moving to another field keeps the keyboard up: nothing is posted.
    auto other = std::make_shared<UITextField>(CGRect(20, 200, 300, 40));
    root->addSubview(other);
    posted.clear();
    EXPECT_TRUE(other->becomeFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(posted.empty());

    root->endEditing(true);
    EXPECT_EQ(names(), (std::vector<std::string>{UIKeyboardWillChangeFrameNotification,
                                                 UIKeyboardWillHideNotification}));
    EXPECT_EQ(posted[1].value<CGRect>(UIKeyboardFrameEndUserInfoKey), CGRect(0, 667, 375, 216));
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
}

TEST_F(Fixture, AccessoryViewDocksAboveTheKeyboardAndTheScreenSizeCounts) {
    cw::Keyboard::shared().setScreenSize({414, 736});
    auto bar = std::make_shared<UIView>(CGRect(0, 0, 0, 44));
    field->setInputAccessoryView(bar);
    field->becomeFirstResponder();
    EXPECT_EQ(cw::Keyboard::shared().frame(), CGRect(0, 736 - 226 - 44, 414, 270));
    EXPECT_EQ(bar->frame(), CGRect(0, 736 - 270, 414, 44));
    cw::Keyboard::shared().setScreenSize({375, 667});
}

TEST_F(Fixture, FieldTheDelegateRefusesStaysWithoutKeyboard) {
    RefusingDelegate refusing;
    field->setDelegate(&refusing);
    EXPECT_FALSE(field->becomeFirstResponder());
    cw::TouchDelivery touches(root);
    touches.tap({100, 120});
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(cw::Keyboard::shared().type("abc"));
}

TEST_F(Fixture, TypingGoesThroughTheDelegateThatRejectsDigits) {
    NoDigits delegate;
    Counter counter;
    field->setDelegate(&delegate);
    field->addTarget(&counter, &Counter::onChange, UIControlEventEditingChanged);
    cw::TouchDelivery touches(root);
    touches.tap({100, 120}); // a tap focuses the field
    ASSERT_TRUE(field->isFirstResponder());
    cw::Keyboard::shared().type("a");
    cw::Keyboard::shared().type("1");
    cw::Keyboard::shared().type("b");
    EXPECT_EQ(field->text(), "ab");
    EXPECT_EQ(counter.changed, 2);
    ASSERT_EQ(delegate.ranges.size(), 3u);
    EXPECT_EQ(delegate.ranges[2], (NSRange{1, 0}));
    cw::Keyboard::shared().deleteBackward();
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(delegate.ranges.back(), (NSRange{1, 1}));
    // Text set from code fires nothing.
    field->setText("123");
    EXPECT_EQ(counter.changed, 3);
    EXPECT_EQ(field->text(), "123");
}

TEST_F(Fixture, ReturnKeyAsksTheDelegateAndEndOnExitResigns) {
    struct Returner : UITextFieldDelegate {
        int asked = 0;
        bool textFieldShouldReturn(UITextField* f) override {
            ++asked;
            f->resignFirstResponder();
            return true;
        }
    } returner;
    field->setDelegate(&returner);
    field->becomeFirstResponder();
    cw::Keyboard::shared().type("hi\n");
    EXPECT_EQ(returner.asked, 1);
    EXPECT_EQ(field->text(), "hi");
    EXPECT_FALSE(field->isFirstResponder());
}

TEST_F(Fixture, ClearButtonAsksTheDelegateAndSecureTextIsHidden) {
    struct NoClear : UITextFieldDelegate {
        bool textFieldShouldClear(UITextField*) override { return false; }
    } noClear;
    field->setText("secret");
    field->isSecureTextEntry = true;
    field->setClearButtonMode(UITextFieldViewMode::always);
    EXPECT_TRUE(field->isClearButtonShown());
    EXPECT_LT(field->textRect(field->bounds()).maxX(), field->clearButtonRect(field->bounds()).minX() + 0.01);
    field->setDelegate(&noClear);
    field->clearButtonTapped();
    EXPECT_EQ(field->text(), "secret");
    field->setDelegate(nullptr);
    field->clearButtonTapped();
    EXPECT_EQ(field->text(), "");
}

TEST_F(Fixture, TheClearButtonIsAButtonOfTheFieldShownWhileThereIsTextToClear) {
    field->setClearButtonMode(UITextFieldViewMode::whileEditing);
    auto clear = std::dynamic_pointer_cast<UIButton>(field->valueForKey("clearButton"));
    ASSERT_TRUE(clear);
    ASSERT_TRUE(field->becomeFirstResponder());
    cw::Keyboard::shared().type("Olivia");
    root->layoutIfNeeded();
    EXPECT_FALSE(clear->isHidden());
    cw::TouchDelivery touches(root);
    touches.tap(clear->convert(CGPoint{clear->bounds().midX(), clear->bounds().midY()}, root.get()));
    EXPECT_EQ(field->text(), "");
    root->layoutIfNeeded();
    EXPECT_TRUE(clear->isHidden()) << "nothing left to clear";
}

TEST_F(Fixture, TextViewTypingTellsTheDelegate) {
    struct Watcher : UITextViewDelegate {
        int changes = 0;
        void textViewDidChange(UITextView*) override { ++changes; }
        bool shouldChangeTextIn(UITextView*, NSRange, const std::string& s) override { return s != "x"; }
    } watcher;
    auto view = std::make_shared<UITextView>(CGRect(0, 300, 300, 100));
    root->addSubview(view);
    view->setDelegate(&watcher);
    view->setText("Hello");
    EXPECT_EQ(watcher.changes, 0);
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_TRUE(cw::Keyboard::shared().isVisible());
    cw::Keyboard::shared().type("!\n");
    cw::Keyboard::shared().type("x");
    EXPECT_EQ(view->text(), "Hello!\n");
    EXPECT_EQ(watcher.changes, 2);
    view->setEditable(false);
    EXPECT_FALSE(view->isFirstResponder());
}

TEST_F(Fixture, FieldLeavingWithItsScreenResignsEvenAgainstItsDelegateButKeepsFocusWhenMoved) {
    struct Clinging : UITextFieldDelegate {
        bool textFieldShouldEndEditing(UITextField*) override { return false; }
    } clinging;
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    auto other = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    root->addSubview(screen);
    root->addSubview(other);
    screen->addSubview(field);
    field->setDelegate(&clinging);
    ASSERT_TRUE(field->becomeFirstResponder());
    // Moving to another superview is not leaving.
    other->addSubview(field);
    EXPECT_TRUE(field->isFirstResponder());
    screen->addSubview(field);
    // Removing an unrelated view changes nothing.
    other->removeFromSuperview();
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(cw::Keyboard::shared().isVisible());
    screen->removeFromSuperview();
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_EQ(field->superview(), screen);
}

} // namespace

namespace {

TEST_F(Fixture, ViewsOutsideAWindowNeverTakeTheKeyboardNorAskTheirDelegate) {
    struct Asking : UITextFieldDelegate {
        int asked = 0;
        bool textFieldShouldBeginEditing(UITextField*) override { return ++asked, true; }
    } asking;
    // Never put anywhere, and put in a tree that hangs in no window.
    auto loose = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    loose->setDelegate(&asking);
    auto detached = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    auto inDetached = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    detached->addSubview(inDetached);
    auto text = std::make_shared<UITextView>(CGRect(0, 0, 200, 80));
    for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{loose, inDetached, text}) {
        EXPECT_FALSE(v->becomeFirstResponder()) << v->className();
        EXPECT_FALSE(v->isFirstResponder());
    }
    EXPECT_EQ(asking.asked, 0);
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);

    // The field in the window keeps the focus when a loose one is asked.
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_FALSE(loose->becomeFirstResponder());
    EXPECT_TRUE(field->isFirstResponder());
    // Once in a window, the same field may.
    root->addSubview(loose);
    EXPECT_TRUE(loose->becomeFirstResponder());
    EXPECT_EQ(asking.asked, 1);
    EXPECT_EQ(loose->window(), root.get());
    EXPECT_EQ(inDetached->window(), nullptr);
    loose->setDelegate(nullptr);
}

} // namespace

namespace {

// The colour of the window's picture at a point (scale 1).
UIColor shownAt(UIView& window, CGPoint p) {
    auto picture = cw::renderView(window, 1);
    return picture ? picture->pixelColor(static_cast<int>(p.x), static_cast<int>(p.y)) : UIColor::clearColor();
}

} // namespace

TEST_F(Fixture, AFieldBeingEditedShowsABlinkingCaretAfterItsTextOnTheRunLoopsClock) {
    // A person must see where typing goes: the caret stands after the last character, steady
    // while the text changes, then half a second on and half off; it leaves with the editing.
    auto find = [&](UIView& in) -> std::shared_ptr<cw::TextCaret> {
        for (const auto& v : in.subviews())
            if (auto c = std::dynamic_pointer_cast<cw::TextCaret>(v)) return c;
        return nullptr;
    };
    root->setTintColor(UIColor(0, 0.48, 1, 1));
    root->setBackgroundColor(UIColor::whiteColor());
    auto caret = find(*field);
    ASSERT_TRUE(caret);
    EXPECT_TRUE(caret->isHidden()) << "no caret before the editing";
    ASSERT_TRUE(field->becomeFirstResponder());
    root->layoutIfNeeded();
    EXPECT_FALSE(caret->isHidden());
    const CGFloat empty = caret->frame().minX();
    ASSERT_TRUE(cw::Keyboard::shared().type("Ada"));
    root->layoutIfNeeded();
    const CGFloat afterAda = caret->frame().minX();
    EXPECT_GT(afterAda, empty + 20) << "after the three letters";
    EXPECT_NEAR(caret->frame().size.height, std::ceil(field->font().lineHeight()), 1);
    const CGRect inWindow = caret->convert(caret->bounds(), root.get());
    const UIColor drawn = shownAt(*root, {inWindow.midX(), inWindow.midY()});
    EXPECT_LT(drawn.red(), 0.2);
    EXPECT_GT(drawn.blue(), 0.8) << "drawn in the field's tint";

    // Blinking, on the run loop's timers.
    EXPECT_EQ(caret->alpha(), 1);
    clock.advance(0.5);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(caret->alpha(), 0);
    EXPECT_GT(shownAt(*root, {inWindow.midX(), inWindow.midY()}).red(), 0.9) << "off: the field shows";
    clock.advance(0.5);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(caret->alpha(), 1);
    clock.advance(0.5);
    RunLoop::main().runUntilIdle();
    ASSERT_TRUE(cw::Keyboard::shared().type("m"));
    EXPECT_EQ(caret->alpha(), 1) << "typing shows it steady";
    EXPECT_GE(RunLoop::main().nextTimerDeadline(), 0);
    EXPECT_LT(RunLoop::main().nextWorkDeadline(), 0) << "the blink is no work a host waits for";
    ASSERT_TRUE(cw::Keyboard::shared().deleteBackward(4));
    root->layoutIfNeeded();
    EXPECT_NEAR(caret->frame().minX(), empty, 0.5) << "back where the text starts";

    // A text view: after a line end the caret starts the next line.
    auto view = std::make_shared<UITextView>(CGRect(20, 200, 300, 120));
    root->addSubview(view);
    auto viewCaret = find(*view);
    ASSERT_TRUE(viewCaret);
    ASSERT_TRUE(view->becomeFirstResponder());
    EXPECT_TRUE(caret->isHidden()) << "the field let go";
    ASSERT_TRUE(cw::Keyboard::shared().type("First"));
    root->layoutIfNeeded();
    const CGRect firstLine = viewCaret->frame();
    ASSERT_TRUE(cw::Keyboard::shared().type("\n"));
    root->layoutIfNeeded();
    EXPECT_GT(viewCaret->frame().minY(), firstLine.minY() + 10);
    EXPECT_LT(viewCaret->frame().minX(), firstLine.minX());
    view->resignFirstResponder();
    EXPECT_TRUE(viewCaret->isHidden());
    EXPECT_FALSE(viewCaret->isRunning());
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u) << "and its blinking stops";
}

TEST_F(Fixture, TheKeyboardPanelShowsTheKeysTheFieldAsksFor) {
    // Not a blank grey panel: key caps lighter than the panel, a number pad for numbers.
    auto window = std::static_pointer_cast<UIWindow>(root);
    window->makeKeyAndVisible();
    ASSERT_TRUE(field->becomeFirstResponder());
    window->layoutIfNeeded();
    const CGRect keys = cw::Keyboard::shared().frame();
    auto whiteCaps = [&] {
        auto picture = cw::renderView(*window, 1);
        int white = 0;
        for (int y = static_cast<int>(keys.minY()); y < static_cast<int>(keys.maxY()); y += 2)
            for (int x = 0; x < 375; x += 2)
                if (picture->pixelColor(x, y).red() > 0.97) ++white;
        return white;
    };
    const int letters = whiteCaps();
    EXPECT_GT(letters, 2000) << "the letter keys are drawn";
    field->resignFirstResponder();
    field->keyboardType = UIKeyboardType::numberPad;
    ASSERT_TRUE(field->becomeFirstResponder());
    window->layoutIfNeeded();
    const int pad = whiteCaps();
    EXPECT_GT(pad, 2000);
    EXPECT_NE(pad, letters) << "a number pad, not the letters";
    UIApplication::shared().reset();
}
