#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIViewAnimation.h"

#include <gtest/gtest.h>

namespace {

struct Recorder : UIScrollViewDelegate {
    std::vector<std::string> calls;
    CGPoint endedAt;
    void scrollViewWillBeginDragging(UIScrollView*) override { calls.push_back("willBeginDragging"); }
    void scrollViewWillEndDragging(UIScrollView*, CGPoint, CGPoint* target) override {
        calls.push_back("willEndDragging");
        endedAt = *target;
    }
    void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override {
        calls.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(UIScrollView*) override { calls.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(UIScrollView*) override { calls.push_back("didEndDecelerating"); }
    void scrollViewDidEndScrollingAnimation(UIScrollView*) override {
        calls.push_back("didEndScrollingAnimation");
    }
    // Did-scroll calls are many; only whether they came matters.
    int scrolls = 0;
    void scrollViewDidScroll(UIScrollView*) override { ++scrolls; }
};

struct Pages {
    std::shared_ptr<UIView> root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<UIScrollView> scroll = std::make_shared<UIScrollView>();
    std::vector<std::shared_ptr<UIView>> pages;
    Pages() {
        scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
        scroll->isPagingEnabled = true;
        root->addSubview(scroll);
        NSLayoutConstraint::activate({scroll->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
                                      scroll->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
                                      scroll->topAnchor().constraintEqualTo(root->topAnchor()),
                                      scroll->heightAnchor().constraintEqualToConstant(300)});
        // Pages chained edge to edge, each as wide as the root: the content is laid out by constraints.
        for (int i = 0; i < 4; ++i) {
            auto page = std::make_shared<UIView>();
            page->setTranslatesAutoresizingMaskIntoConstraints(false);
            scroll->addSubview(page);
            NSLayoutConstraint::activate({page->topAnchor().constraintEqualTo(scroll->topAnchor()),
                                          page->bottomAnchor().constraintEqualTo(scroll->bottomAnchor()),
                                          page->heightAnchor().constraintEqualTo(scroll->heightAnchor()),
                                          page->widthAnchor().constraintEqualTo(root->widthAnchor())});
            if (pages.empty())
                page->leadingAnchor().constraintEqualTo(scroll->leadingAnchor())->setActive(true);
            else
                page->leadingAnchor().constraintEqualTo(pages.back()->trailingAnchor())->setActive(true);
            pages.push_back(page);
        }
        pages.back()->trailingAnchor().constraintEqualTo(scroll->trailingAnchor())->setActive(true);
        root->layoutIfNeeded();
    }
};

TEST(ScrollView, ContentLaidOutByConstraintsGivesTheContentSize) {
    Pages p;
    EXPECT_EQ(p.scroll->frame(), CGRect(0, 0, 375, 300));
    EXPECT_EQ(p.scroll->contentSize(), (CGSize{4 * 375, 300}));
    EXPECT_EQ(p.pages[2]->frame(), CGRect(750, 0, 375, 300));
}

TEST(ScrollView, ContentAtItsTopStaysBelowTheBarsAsTheyChange) {
    // A column under a navigation bar, the scroll view filling its screen's root view.
    auto root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    auto scroll = std::make_shared<UIScrollView>();
    scroll->alwaysBounceVertical = true;
    scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(scroll);
    auto column = std::make_shared<UIView>();
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    scroll->addSubview(column);
    NSLayoutConstraint::activate({scroll->topAnchor().constraintEqualTo(root->topAnchor()),
                                  scroll->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
                                  scroll->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
                                  scroll->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
                                  column->topAnchor().constraintEqualTo(scroll->topAnchor()),
                                  column->leadingAnchor().constraintEqualTo(scroll->leadingAnchor()),
                                  column->trailingAnchor().constraintEqualTo(scroll->trailingAnchor()),
                                  column->bottomAnchor().constraintEqualTo(scroll->bottomAnchor()),
                                  column->widthAnchor().constraintEqualTo(scroll->widthAnchor()),
                                  column->heightAnchor().constraintEqualToConstant(1000)});
    root->setSafeAreaInsets({64, 0, 0, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, -64}));
    EXPECT_EQ(column->convert(column->bounds(), root.get()).origin.y, 64);
    // The bar shrinks: still at the top.
    root->setSafeAreaInsets({20, 0, 0, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, -20}));
    // Scrolled down, the content stays where the member left it.
    scroll->setContentOffset({0, 200});
    root->setSafeAreaInsets({64, 0, 0, 0});
    root->layoutIfNeeded();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 200}));
}

TEST(ScrollView, PagingDragPastHalfLandsOnTheNextPageWithDelegateCallsInOrder) {
    ManualClock clock;
    RunLoop::main().reset();
    Pages p;
    Recorder r;
    p.scroll->setDelegate(&r);
    // A finger drags 200 points to the left, slowly (no flick), and lifts.
    cw::TouchDelivery touches(p.root);
    touches.send(UITouchPhase::began, {300, 100});
    for (int x = 280; x >= 100; x -= 20) {
        clock.advance(0.05);
        touches.send(UITouchPhase::moved, {static_cast<CGFloat>(x), 100});
    }
    clock.advance(0.2);
    touches.send(UITouchPhase::ended, {100, 100});
    EXPECT_EQ(r.endedAt, (CGPoint{375, 0}));
    EXPECT_TRUE(p.scroll->isDecelerating());
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(p.scroll->contentOffset(), (CGPoint{375, 0}));
    EXPECT_EQ(r.calls,
              (std::vector<std::string>{"willBeginDragging", "willEndDragging", "didEndDragging(decelerate)",
                                        "willBeginDecelerating", "didEndDecelerating"}));
    EXPECT_GT(r.scrolls, 5);

    // Less than half a page (no flick) springs back to the page it started on; a flick turns it.
    r.calls.clear();
    p.scroll->simulateDrag({-150, 0});
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(p.scroll->contentOffset(), (CGPoint{375, 0}));
    p.scroll->simulateDrag({-60, 0}, {-800, 0});
    p.scroll->finishScrolling();
    EXPECT_EQ(p.scroll->contentOffset(), (CGPoint{750, 0}));
    // Never past the last page.
    p.scroll->setContentOffset({1125, 0});
    p.scroll->simulateDrag({-300, 0}, {-2000, 0});
    p.scroll->finishScrolling();
    EXPECT_EQ(p.scroll->contentOffset(), (CGPoint{1125, 0}));
}

TEST(ScrollView, PullingPastTheTopBouncesBackThroughDeceleration) {
    ManualClock clock;
    RunLoop::main().reset();
    auto scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 320, 480));
    scroll->setContentSize({320, 2000});
    Recorder r;
    scroll->setDelegate(&r);
    CGPoint atRelease;
    struct Pull : Recorder {
        CGPoint* at;
        void scrollViewWillBeginDecelerating(UIScrollView* s) override { *at = s->contentOffset(); }
    } pull;
    pull.at = &atRelease;
    scroll->setDelegate(&pull);
    scroll->simulateDrag({0, 60});
    EXPECT_EQ(atRelease, (CGPoint{0, -60}));
    scroll->finishScrolling();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    // Animated offsets tell the delegate at the end.
    scroll->setDelegate(&r);
    scroll->setContentOffset({0, 500}, true);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    clock.advance(0.5);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 500}));
    EXPECT_EQ(r.calls, (std::vector<std::string>{"didEndScrollingAnimation"}));
}

TEST(ScrollView, AFlickGlidesOnAtTheDecelerationRateUntilItsSpeedIsSpent) {
    ManualClock clock;
    RunLoop::main().reset();
    auto scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 320, 480));
    scroll->setContentSize({320, 20000});
    Recorder r;
    scroll->setDelegate(&r);
    // A finger flicks the content up at 2000 points a second and lifts.
    scroll->simulateDrag({0, -100}, {0, -2000});
    const CGFloat target = r.endedAt.y;
    ASSERT_GT(target, 900) << "the flick carries the content on";
    std::vector<CGFloat> offsets;
    for (int step = 0; step < 6; ++step) {
        clock.advance(0.35);
        RunLoop::main().runUntilIdle();
        offsets.push_back(scroll->contentOffset().y);
    }
    // Still gliding after two seconds, each stretch shorter than the one before.
    EXPECT_TRUE(scroll->isDecelerating());
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        EXPECT_GT(offsets[i], offsets[i - 1]);
        EXPECT_LT(offsets[i] - offsets[i - 1], (i > 1 ? offsets[i - 1] - offsets[i - 2] : offsets[0] - 100));
    }
    EXPECT_LT(offsets.back(), target);
    clock.advance(5);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(scroll->isDecelerating());
    EXPECT_EQ(scroll->contentOffset().y, target);
    EXPECT_EQ(r.calls.back(), "didEndDecelerating");
}

TEST(Animations, FinalValuesAtOnceCompletionAfterTheClockPasses) {
    ManualClock clock;
    RunLoop::main().reset();
    cw::Animator::shared().clearHistory();
    auto view = std::make_shared<UIView>(CGRect(0, 0, 100, 100));
    bool done = false;
    bool finished = false;
    UIView::animate(
        0.3, 0.1, UIViewAnimationOptionCurveEaseOut | UIViewAnimationOptionBeginFromCurrentState,
        [&] {
            view->setAlpha(0);
            view->setFrame(CGRect(100, 0, 100, 100));
        },
        [&](bool f) {
            done = true;
            finished = f;
        });
    // The model is final at once; what is drawn starts from the old values.
    EXPECT_EQ(view->alpha(), 0);
    EXPECT_EQ(view->frame().origin.x, 100);
    ASSERT_TRUE(view->layer()->presentation);
    EXPECT_EQ(view->layer()->presentation->opacity, 1.0f);
    clock.advance(0.25); // 0.15 s into the 0.3 s after the delay
    RunLoop::main().runUntilIdle();
    ASSERT_TRUE(view->layer()->presentation);
    const float mid = *view->layer()->presentation->opacity;
    EXPECT_GT(mid, 0.0f);
    EXPECT_LT(mid, 0.5f); // ease-out has done more than half by halfway
    EXPECT_FALSE(done);
    clock.advance(0.2);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(done);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(view->layer()->presentation);
    const auto& history = cw::Animator::shared().history();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0]->duration, 0.3);
    EXPECT_EQ(history[0]->delay, 0.1);
    EXPECT_EQ(history[0]->animatedLayerCount, 1u);
    EXPECT_TRUE(history[0]->completed);
}

TEST(Animations, SpringsAndTurnsAndEmptyBlocks) {
    ManualClock clock;
    RunLoop::main().reset();
    cw::Animator::shared().clearHistory();
    auto view = std::make_shared<UIView>(CGRect(0, 0, 55, 55));
    int completions = 0;
    UIView::animate(
        0.3, 0, 1.0, 1.0, 0,
        [&] { view->layer()->setTransform(CATransform3DMakeRotation(-M_PI / 4, 0, 0, 1)); },
        [&](bool) { ++completions; });
    clock.advance(0.15);
    RunLoop::main().runUntilIdle();
    // Halfway through a turn the layer keeps its size (turned, not shrunk).
    ASSERT_TRUE(view->layer()->presentation && view->layer()->presentation->transform);
    const CGAffineTransform t = CATransform3DGetAffineTransform(*view->layer()->presentation->transform);
    EXPECT_NEAR(std::hypot(t.a, t.b), 1.0, 1e-9);
    EXPECT_LT(std::atan2(t.b, t.a), 0);
    // A block that changes nothing still completes, on the run loop.
    UIView::animate(
        0.2, [] {}, [&](bool) { ++completions; });
    EXPECT_EQ(completions, 0);
    clock.advance(0.3);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(cw::Animator::shared().history()[0]->dampingRatio, 1.0);
    EXPECT_NEAR(cw::Animator::springValue(0.5, 0, 0.2), 1.0, 0.5);
    EXPECT_EQ(cw::Animator::springValue(0.5, 0, 1), 1.0);
}

} // namespace
