#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIScrollView.h"

#include <gtest/gtest.h>

namespace {

struct Receiver {
    int taps = 0;
    int outside = 0;
    int downs = 0;
    UIControl* lastSender = nullptr;
    void tapped() { ++taps; }
    void tappedWith(UIButton* sender) {
        ++taps;
        lastSender = sender;
    }
    void upOutside() { ++outside; }
    void down() { ++downs; }
};

struct Screen {
    std::shared_ptr<UIView> root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<UIButton> button = std::make_shared<UIButton>(CGRect(100, 100, 120, 44));
    cw::TouchDelivery touches{root};
    Screen() {
        button->setTitle("Next", UIControlStateNormal);
        root->addSubview(button);
        root->layoutIfNeeded();
    }
};

TEST(ControlTouches, TapLandsOnTheButtonsTarget) {
    ManualClock clock;
    Screen s;
    Receiver r;
    s.button->addTarget(&r, &Receiver::tappedWith, UIControlEventTouchUpInside);
    s.touches.tap({150, 120});
    EXPECT_EQ(r.taps, 1);
    EXPECT_EQ(r.lastSender, s.button.get());
    EXPECT_FALSE(s.button->isHighlighted());
    // A tap beside the button reaches no target.
    clock.advance(1);
    s.touches.tap({20, 20});
    EXPECT_EQ(r.taps, 1);
}

TEST(ControlTouches, MovingOutsideAndLiftingIsTouchUpOutside) {
    ManualClock clock;
    Screen s;
    Receiver r;
    s.button->addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    s.button->addTarget(&r, &Receiver::upOutside, UIControlEventTouchUpOutside);
    s.touches.send(UITouchPhase::began, {150, 120});
    EXPECT_TRUE(s.button->isHighlighted());
    // Within the 70-point slop it is still inside ...
    s.touches.send(UITouchPhase::moved, {150, 200});
    EXPECT_TRUE(s.button->isHighlighted());
    // ... beyond it, not.
    s.touches.send(UITouchPhase::moved, {150, 400});
    EXPECT_FALSE(s.button->isHighlighted());
    s.touches.send(UITouchPhase::ended, {150, 400});
    EXPECT_EQ(r.taps, 0);
    EXPECT_EQ(r.outside, 1);
}

TEST(ControlTouches, CancelledTouchRestoresTheHighlightAndFiresNothing) {
    ManualClock clock;
    Screen s;
    Receiver r;
    s.button->addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    s.button->setTitleColor(UIColor::redColor(), UIControlStateHighlighted);
    s.touches.send(UITouchPhase::began, {150, 120});
    EXPECT_TRUE(s.button->isHighlighted());
    EXPECT_EQ(s.button->titleLabel()->textColor(), UIColor::redColor());
    s.touches.cancelAll();
    EXPECT_FALSE(s.button->isHighlighted());
    EXPECT_EQ(s.button->titleLabel()->textColor(), UIColor::whiteColor());
    EXPECT_EQ(r.taps, 0);
}

TEST(ControlTouches, DisabledButtonIgnoresTouches) {
    ManualClock clock;
    Screen s;
    Receiver r;
    s.button->addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    s.button->addTarget(&r, &Receiver::down, UIControlEventTouchDown);
    s.button->setEnabled(false);
    s.touches.send(UITouchPhase::began, {150, 120});
    EXPECT_FALSE(s.button->isHighlighted());
    s.touches.send(UITouchPhase::ended, {150, 120});
    EXPECT_EQ(r.taps + r.downs, 0);
}

TEST(ControlTargets, SamePairTwiceIsOneEntryAndRemovalIsPerEvent) {
    UIButton button;
    Receiver r;
    button.addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    button.addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    button.addTarget(&r, &Receiver::tapped, UIControlEventValueChanged);
    EXPECT_EQ(button.targetActionCount(), 1u);
    button.sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(r.taps, 1);
    button.removeTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    button.sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(r.taps, 1);
    button.sendActions(UIControlEventValueChanged);
    EXPECT_EQ(r.taps, 2);
    // All events of every action of the target.
    button.removeTarget(&r, UIControlEventAllEvents);
    EXPECT_EQ(button.targetActionCount(), 0u);
}

TEST(ControlTargets, TargetHeldAsSharedObjectIsSkippedOnceGone) {
    UIButton button;
    auto r = std::make_shared<Receiver>();
    button.addTarget(r, &Receiver::tapped, UIControlEventTouchUpInside);
    button.sendActions(UIControlEventTouchUpInside);
    EXPECT_EQ(r->taps, 1);
    r.reset();
    button.sendActions(UIControlEventTouchUpInside); // must not touch the released receiver
    EXPECT_EQ(button.targetActionCount(), 1u);
}

TEST(ButtonStates, TitlesFallBackToNormal) {
    UIButton b;
    b.setTitle("Off", UIControlStateNormal);
    b.setTitle("On", UIControlStateSelected);
    EXPECT_EQ(b.currentTitle(), "Off");
    b.setSelected(true);
    EXPECT_EQ(b.currentTitle(), "On");
    b.setHighlighted(true); // selected and highlighted: the selected title
    EXPECT_EQ(b.currentTitle(), "On");
    b.setSelected(false);
    EXPECT_EQ(b.currentTitle(), "Off");
}

TEST(GestureRecognizers, TapOnAViewAndNotOnAButtonInsideIt) {
    ManualClock clock;
    Screen s;
    int viewTaps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>([&](UIGestureRecognizer& g) {
        if (g.state() == UIGestureRecognizerState::ended) ++viewTaps;
    });
    s.root->addGestureRecognizer(tap);
    Receiver r;
    s.button->addTarget(&r, &Receiver::tapped, UIControlEventTouchUpInside);
    s.touches.tap({20, 20});
    EXPECT_EQ(viewTaps, 1);
    clock.advance(1);
    s.touches.tap({150, 120});
    EXPECT_EQ(viewTaps, 1);
    EXPECT_EQ(r.taps, 1);
}

TEST(GestureRecognizers, QuickTapsCountUpAndLongPressWaitsForTheClock) {
    ManualClock clock;
    Screen s;
    std::vector<long> counts;
    struct Probe : UIView {
        std::vector<long>* counts;
        void touchesEnded(const TouchSet& t, const UIEvent*) override {
            counts->push_back((*t.begin())->tapCount());
        }
    };
    auto probe = std::make_shared<Probe>();
    probe->counts = &counts;
    probe->setFrame({0, 300, 375, 300});
    s.root->addSubview(probe);
    s.touches.tap({50, 400});
    clock.advance(0.1);
    s.touches.tap({52, 401});
    clock.advance(1);
    s.touches.tap({52, 401});
    EXPECT_EQ(counts, (std::vector<long>{1, 2, 1}));

    int began = 0;
    auto press = std::make_shared<UILongPressGestureRecognizer>([&](UIGestureRecognizer& g) {
        if (g.state() == UIGestureRecognizerState::began) ++began;
    });
    probe->addGestureRecognizer(press);
    s.touches.send(UITouchPhase::began, {50, 400});
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(began, 0);
    clock.advance(0.6);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(began, 1);
    // The view lost the touch to the recogniser: its end is not delivered.
    const auto before = counts.size();
    s.touches.send(UITouchPhase::ended, {50, 400});
    EXPECT_EQ(counts.size(), before);
}

TEST(GestureRecognizers, SwipeAndPan) {
    ManualClock clock;
    Screen s;
    int swipes = 0;
    auto swipe = std::make_shared<UISwipeGestureRecognizer>([&](UIGestureRecognizer&) { ++swipes; });
    swipe->direction = UISwipeGestureRecognizerDirectionLeft;
    s.root->addGestureRecognizer(swipe);
    s.touches.drag({300, 500}, {100, 510});
    EXPECT_EQ(swipes, 1);
    s.touches.drag({100, 500}, {300, 510}); // the wrong way
    EXPECT_EQ(swipes, 1);
    s.root->removeGestureRecognizer(swipe);

    std::vector<CGPoint> translations;
    auto pan = std::make_shared<UIPanGestureRecognizer>();
    pan->addTarget([&](UIGestureRecognizer& g) {
        translations.push_back(static_cast<UIPanGestureRecognizer&>(g).translation(nullptr));
    });
    s.root->addGestureRecognizer(pan);
    s.touches.drag({10, 300}, {10, 340}, 4);
    ASSERT_FALSE(translations.empty());
    EXPECT_EQ(translations.back(), (CGPoint{0, 40}));
    EXPECT_EQ(pan->state(), UIGestureRecognizerState::possible); // ready for the next gesture
}

} // namespace

namespace {

TEST(GestureRecognizers, AViewGoingAwayMidTouchIsNotCalledBack) {
    ManualClock clock;
    auto root = std::make_shared<UIView>(CGRect(0, 0, 300, 300));
    auto scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 300, 300));
    scroll->setContentSize({300, 1000});
    root->addSubview(scroll);
    auto pan = scroll->panGestureRecognizer();
    EXPECT_EQ(pan->view(), scroll.get());
    cw::TouchDelivery touches(root);
    touches.send(UITouchPhase::began, {100, 200});
    touches.send(UITouchPhase::moved, {100, 150});
    EXPECT_TRUE(scroll->isDragging());
    scroll->removeFromSuperview();
    scroll.reset(); // the screen went away while the finger is down
    touches.send(UITouchPhase::moved, {100, 100});
    touches.send(UITouchPhase::ended, {100, 100});
    EXPECT_EQ(pan->view(), nullptr);
}

} // namespace
