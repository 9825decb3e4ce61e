#include "ControllerTestSupport.h"

#include "uikit/controllers/UIAlertController.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

struct Stack {
    std::shared_ptr<RecordingController> a, b;
    std::shared_ptr<UINavigationController> nav;
};

} // namespace

class PresentationTest : public ControllerTest {
protected:
    Stack showStack() {
        Stack s{make("A"), make("B"), nullptr};
        s.nav = UINavigationController::withRoot(s.a);
        window->setRootViewController(s.nav);
        window->makeKeyAndVisible();
        s.nav->pushViewController(s.b, false);
        settle();
        clearLog();
        return s;
    }
};

TEST_F(PresentationTest, ModalOverANavigationStackAndItsDismissal) {
    auto s = showStack();
    auto m = make("M");
    bool completed = false;
    s.b->present(m, true, [&] { completed = true; });
    EXPECT_EQ(s.nav->presentedViewController(), m) << "the stack's container presents";
    EXPECT_EQ(s.b->presentedViewController(), m);
    EXPECT_EQ(m->presentingViewController(), s.nav);
    EXPECT_TRUE(m->isBeingPresented());
    EXPECT_THAT(*log, ElementsAre("M.viewDidLoad", "B.viewWillDisappear", "M.viewWillAppear"));
    EXPECT_FALSE(completed);
    clearLog();
    settle();
    EXPECT_THAT(*log, ElementsAre("B.viewDidDisappear", "M.viewDidAppear"));
    EXPECT_TRUE(completed);
    EXPECT_FALSE(m->isBeingPresented());
    EXPECT_TRUE(s.nav->view()->isHidden());

    clearLog();
    m->dismiss(true);
    EXPECT_TRUE(m->isBeingDismissed());
    EXPECT_THAT(*log, ElementsAre("M.viewWillDisappear", "B.viewWillAppear"));
    settle();
    EXPECT_THAT(*log, ElementsAre("M.viewWillDisappear", "B.viewWillAppear", "M.viewDidDisappear",
                                  "B.viewDidAppear"));
    EXPECT_EQ(s.nav->presentedViewController(), nullptr);
    EXPECT_EQ(m->presentingViewController(), nullptr);
    EXPECT_FALSE(m->viewIfLoaded()->superview());
    EXPECT_FALSE(s.nav->view()->isHidden());
}

TEST_F(PresentationTest, OverFullScreenAndAlertsLeaveThePresenterShown) {
    auto s = showStack();
    auto m = make("M");
    m->modalPresentationStyle = UIModalPresentationStyle::overFullScreen;
    s.b->present(m, false);
    EXPECT_THAT(*log, ElementsAre("M.viewDidLoad", "M.viewWillAppear", "M.viewDidAppear"));
    EXPECT_TRUE(s.b->isAppeared());
    m->dismiss(false);
    EXPECT_TRUE(s.b->isAppeared());
}

TEST_F(PresentationTest, PopoverFallsBackToFullScreenOnAPhone) {
    auto s = showStack();
    auto m = make("M");
    m->modalPresentationStyle = UIModalPresentationStyle::popover;
    s.b->present(m, false);
    EXPECT_FALSE(s.b->isAppeared());
    EXPECT_EQ(m->view()->frame(), window->bounds());
}

TEST_F(PresentationTest, ASecondPresentIsRefusedWithTheWarningWhileTheFirstIsShown) {
    auto s = showStack();
    auto first = UIAlertController::make("Question", "One?", UIAlertControllerStyle::alert);
    auto second = UIAlertController::make("Question", "Two?", UIAlertControllerStyle::alert);
    s.b->present(first, true);
    testing::internal::CaptureStderr();
    s.b->present(second, true);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_THAT(err, HasSubstr("Warning: Attempt to present <UIAlertController: "));
    EXPECT_THAT(err, HasSubstr("while a presentation is in progress!"));
    settle();
    testing::internal::CaptureStderr();
    s.b->present(second, true);
    err = testing::internal::GetCapturedStderr();
    EXPECT_THAT(
        err, HasSubstr(" on " + s.b->description() + " which is already presenting " + first->description()));
    EXPECT_EQ(s.nav->presentedViewController(), first);
    EXPECT_EQ(second->presentingViewController(), nullptr);
    EXPECT_FALSE(second->isViewLoaded());
}

TEST_F(PresentationTest, PresentingFromAViewOutsideTheWindowIsRefused) {
    auto loose = make("L");
    loose->view();
    testing::internal::CaptureStderr();
    loose->present(make("M"), false);
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                HasSubstr("whose view is not in the window hierarchy!"));
    EXPECT_EQ(loose->presentedViewController(), nullptr);
}

TEST_F(PresentationTest, ShowPushesInsideANavigationControllerAndPresentsElsewhere) {
    auto s = showStack();
    auto c = make("C");
    s.b->show(c);
    settle();
    EXPECT_EQ(s.nav->topViewController(), c);
    auto solo = make("S");
    window->setRootViewController(solo);
    auto d = make("D");
    solo->show(d);
    settle();
    EXPECT_EQ(solo->presentedViewController(), d);
}

TEST_F(PresentationTest, AnAlertActionRunsItsHandlerOnceAfterTheAlertIsGone) {
    auto s = showStack();
    int yes = 0, no = 0;
    auto alert = UIAlertController::make("Question", "Is it?", UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("No", UIAlertActionStyle::default_, [&](UIAlertAction&) { ++no; }));
    alert->addAction(UIAlertAction::make("Yes", UIAlertActionStyle::default_, [&](UIAlertAction&) {
        ++yes;
        EXPECT_EQ(s.nav->presentedViewController(), nullptr) << "the handler runs after the dismissal";
    }));
    s.b->present(alert, true);
    settle();
    alert->tapAction(alert->actionTitled("Yes"));
    alert->tapAction(alert->actionTitled("Yes"));
    alert->tapAction(alert->actionTitled("No"));
    EXPECT_EQ(yes, 0);
    settle();
    EXPECT_EQ(yes, 1);
    EXPECT_EQ(no, 0);
    EXPECT_TRUE(s.b->isAppeared()) << "an alert never hid the screen";
}

TEST_F(PresentationTest, AnAlertTakesOneCancelAction) {
    auto alert = UIAlertController::make(std::nullopt, "Pick", UIAlertControllerStyle::actionSheet);
    alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    testing::internal::CaptureStderr();
    alert->addAction(UIAlertAction::make("Close", UIAlertActionStyle::cancel));
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("only have one action with a style of"));
    EXPECT_EQ(alert->actions().size(), 1u);
}

TEST_F(PresentationTest, AControllerAlreadyShownCannotBePresentedAgain) {
    auto s = showStack();
    testing::internal::CaptureStderr();
    s.b->present(s.a, false);
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                HasSubstr("Application tried to present modally an active controller " + s.a->description()));
    auto m = make("M");
    s.b->present(m, false);
    auto other = make("Other");
    m->present(other, false);
    EXPECT_EQ(m->presentedViewController(), other) << "a presented controller presents on top of itself";
    testing::internal::CaptureStderr();
    other->present(m, false);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("active controller"));
    s.nav->dismiss(false);
    EXPECT_EQ(s.nav->presentedViewController(), nullptr) << "dismissing from below takes the whole chain";
    EXPECT_EQ(other->presentingViewController(), nullptr);
    EXPECT_TRUE(s.b->isAppeared());
    EXPECT_FALSE(other->isAppearingOrAppeared());
}

TEST_F(PresentationTest, WhatIsPresentedOverAFieldBeingEditedStandsAboveTheKeyboard) {
    // A post being written with its camera bar above the keys: the picture sheet and the photo
    // picker it opens come up over the keyboard, and a screen over the whole of it ends the editing.
    auto& keyboard = cw::Keyboard::shared();
    keyboard.reset();
    auto s = showStack();
    auto field = std::make_shared<UITextField>(CGRect{20, 100, 335, 40});
    auto bar = std::make_shared<UIView>(CGRect{0, 0, 375, 44});
    field->setInputAccessoryView(bar);
    s.b->view()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    window->layoutIfNeeded();
    const CGPoint onBar = bar->convert(CGPoint{187, 22}, window.get());
    const CGPoint onKeys{187, 667 - 100};
    ASSERT_EQ(window->hitTest(onBar, nullptr), bar);
    EXPECT_TRUE(window->hitTest(onKeys, nullptr)->isDescendant(keyboard.hostView().get()));

    auto sheet = UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet);
    sheet->addAction(UIAlertAction::make("Photo Library", UIAlertActionStyle::default_));
    sheet->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    s.b->present(sheet, true);
    settle();
    EXPECT_TRUE(field->isFirstResponder()) << "an alert leaves the editing as it is";
    for (const CGPoint& p : {onBar, onKeys}) {
        auto hit = window->hitTest(p, nullptr);
        ASSERT_TRUE(hit);
        EXPECT_TRUE(hit->isDescendant(sheet->view().get())) << "the sheet takes the finger at " << p.y;
    }
    sheet->dismiss(false);
    settle();

    auto picker = make("Picker");
    picker->modalPresentationStyle = UIModalPresentationStyle::overCurrentContext;
    s.b->present(picker, true);
    settle();
    EXPECT_TRUE(keyboard.isVisible());
    EXPECT_TRUE(window->hitTest(onBar, nullptr)->isDescendant(picker->view().get()))
        << "the keyboard's bar stays under the picker";
    picker->dismiss(false);
    settle();
    EXPECT_EQ(window->hitTest(onBar, nullptr), bar) << "and is there again when the picker goes";

    s.b->present(make("Full"), true);
    settle();
    EXPECT_FALSE(field->isFirstResponder()) << "a screen over the whole ends the editing";
    EXPECT_FALSE(keyboard.isVisible());
    keyboard.reset();
}
