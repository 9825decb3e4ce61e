#include "Extensions/UIViewController+LoadingIndicator.h"

#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/CATransaction.h"

#include <gtest/gtest.h>

namespace {

class Screen : public UIViewController {
public:
    void viewDidLoad() override {
        view()->setBackgroundColor(UIColor::whiteColor());
        button = std::make_shared<UIButton>(CGRect(100, 300, 175, 44));
        button->setTitle("Save", UIControlStateNormal);
        button->addAction([this](UIControl*) { ++taps; }, UIControlEventTouchUpInside);
        view()->addSubview(button);
    }
    std::shared_ptr<UIButton> button;
    int taps = 0;
};

class App : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>();
        screen = std::make_shared<Screen>();
        window_->setRootViewController(screen);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    std::shared_ptr<Screen> screen;

private:
    std::shared_ptr<UIWindow> window_;
};

struct LoadingOverlay : ::testing::Test {
    cw::HeadlessHost host;
    std::shared_ptr<App> app = std::make_shared<App>();
    std::shared_ptr<Screen> screen;

    void SetUp() override {
        ASSERT_TRUE(host.launch(app));
        screen = app->screen;
    }

    // The overlays the view holds, in subview order.
    static std::vector<std::shared_ptr<ActivityOverlayView>> overlaysIn(const UIViewPtr& view) {
        std::vector<std::shared_ptr<ActivityOverlayView>> found;
        for (const auto& v : view->subviews())
            if (auto o = std::dynamic_pointer_cast<ActivityOverlayView>(v)) found.push_back(o);
        return found;
    }
    std::shared_ptr<ActivityOverlayView> overlay() const {
        auto found = overlaysIn(screen->view());
        return found.empty() ? nullptr : found.front();
    }
    const cw::AnimationRecord& lastAnimation() const { return *cw::Animator::shared().history().back(); }
};

} // namespace

TEST_F(LoadingOverlay, AHideWithoutAShowDoesNothing) {
    const std::size_t before = cw::Animator::shared().history().size();
    stopFullScreenLoadingOverlay(*screen);
    hideActivityOverlay(*screen, false);
    EXPECT_EQ(cw::Animator::shared().history().size(), before);
    EXPECT_FALSE(overlay());
    EXPECT_EQ(loadingOverlayID(*screen), "Loading Overlay Container");
}

TEST_F(LoadingOverlay, ItDimsTheWholeScreenFadesInAndSwallowsTapsMeantForWhatItCovers) {
    ASSERT_TRUE(host.tapText("Save"));
    EXPECT_EQ(screen->taps, 1);

    startFullScreenLoadingOverlay(*screen);
    auto shown = overlay();
    ASSERT_TRUE(shown);
    EXPECT_EQ(screen->view()->subviews().back(), shown) << "added over everything else";
    EXPECT_EQ(lastAnimation().duration, CATransaction::defaultAnimationDuration);
    EXPECT_EQ(shown->alpha(), 1);
    EXPECT_EQ(shown->backgroundColor(), UIColor::blackColor().withAlphaComponent(0.2));
    EXPECT_TRUE(shown->activityView()->isAnimating());
    EXPECT_EQ(shown->activityView()->style(), UIActivityIndicatorViewStyle::whiteLarge);
    EXPECT_FALSE(shown->label()->text());
    host.settle();
    EXPECT_EQ(shown->frame(), screen->view()->bounds());

    // The button is still beneath it, but a tap there lands on the overlay.
    host.tapPoint({187, 322});
    EXPECT_EQ(screen->taps, 1);

    stopFullScreenLoadingOverlay(*screen);
    EXPECT_EQ(shown->alpha(), 0);
    EXPECT_EQ(shown->superview(), screen->view()) << "removed only once the fade is over";
    host.advance(0.3);
    EXPECT_FALSE(shown->superview());
    ASSERT_TRUE(host.tapText("Save"));
    EXPECT_EQ(screen->taps, 2);
}

TEST_F(LoadingOverlay, TwoShowsKeepOneOverlayAndMoveIt) {
    showActivityOverlay(*screen, true, "Saving");
    auto first = overlay();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->label()->text(), "Saving");
    host.settle();

    auto panel = std::make_shared<UIView>(CGRect(20, 80, 200, 120));
    screen->view()->addSubview(panel);
    showActivityOverlay(*screen, true, std::nullopt, panel);
    EXPECT_TRUE(overlaysIn(screen->view()).empty());
    ASSERT_EQ(overlaysIn(panel).size(), 1u);
    EXPECT_EQ(overlaysIn(panel).front(), first);
    EXPECT_FALSE(first->label()->text());
    // Fading in again from nothing.
    ASSERT_TRUE(first->layer()->presentation && first->layer()->presentation->opacity);
    EXPECT_LT(*first->layer()->presentation->opacity, 0.01f);
    host.settle();
    EXPECT_EQ(first->frame(), CGRect(0, 0, 200, 120));

    // A transaction's duration is the fade's.
    CATransaction::begin();
    CATransaction::setAnimationDuration(1.5);
    hideActivityOverlay(*screen, true);
    CATransaction::commit();
    EXPECT_EQ(lastAnimation().duration, 1.5);
    host.advance(1.4);
    EXPECT_TRUE(first->superview());
    host.advance(0.2);
    EXPECT_FALSE(first->superview());
}

TEST_F(LoadingOverlay, WithoutAnimationItShowsAtOnceAndGoesOnTheNextTurn) {
    showActivityOverlay(*screen, false);
    auto shown = overlay();
    ASSERT_TRUE(shown);
    EXPECT_EQ(lastAnimation().duration, 0);
    EXPECT_FALSE(shown->layer()->presentation && shown->layer()->presentation->opacity &&
                 *shown->layer()->presentation->opacity < 1);
    EXPECT_EQ(shown->alpha(), 1);
    hideActivityOverlay(*screen, false);
    EXPECT_EQ(lastAnimation().duration, 0);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(shown->superview());
}

TEST_F(LoadingOverlay, AShowDuringAFadingHideKeepsTheOverlayUntilTheNextHide) {
    startFullScreenLoadingOverlay(*screen);
    host.settle();
    auto shown = overlay();
    stopFullScreenLoadingOverlay(*screen);
    host.advance(0.1);
    startFullScreenLoadingOverlay(*screen);
    EXPECT_EQ(overlay(), shown);
    host.advance(1.0);
    EXPECT_EQ(overlay(), shown) << "the earlier hide's end does not take it away";
    EXPECT_EQ(shown->alpha(), 1);
    stopFullScreenLoadingOverlay(*screen);
    host.advance(1.0);
    EXPECT_FALSE(overlay());
}

TEST_F(LoadingOverlay, AFinishedHideLetsGoSoTheNextShowMakesAFreshOverlay) {
    startFullScreenLoadingOverlay(*screen);
    std::weak_ptr<ActivityOverlayView> first = overlay();
    stopFullScreenLoadingOverlay(*screen);
    host.settle();
    EXPECT_TRUE(first.expired());
    startFullScreenLoadingOverlay(*screen);
    auto second = overlay();
    ASSERT_TRUE(second);
    EXPECT_EQ(overlaysIn(screen->view()).size(), 1u);
    stopFullScreenLoadingOverlay(*screen);
    host.settle();
}

TEST_F(LoadingOverlay, TheIndicatorSitsInTheMiddleOfTheSafeAreaWithTheDescriptionUnderIt) {
    auto notched = std::make_shared<UIView>(CGRect(0, 0, 375, 812));
    notched->setSafeAreaInsets({44, 0, 34, 0});
    showActivityOverlay(*screen, false, std::nullopt, notched);
    auto shown = overlaysIn(notched).front();
    notched->layoutIfNeeded();
    EXPECT_EQ(shown->frame(), CGRect(0, 0, 375, 812)) << "the whole container dims";
    const CGFloat middle = 44 + (812 - 44 - 34) / 2.0;
    EXPECT_EQ(shown->activityView()->center(), (CGPoint{187.5, middle}));
    EXPECT_EQ(shown->label()->bounds().size.height, 0);

    showActivityOverlay(*screen, false, "Uploading your photo", notched);
    notched->layoutIfNeeded();
    const CGRect spinner = shown->activityView()->frame();
    const CGRect text = shown->label()->frame();
    ASSERT_GT(text.size.height, 0);
    EXPECT_NEAR(text.minY() - spinner.maxY(), 6, 1e-9);
    EXPECT_NEAR(spinner.midX(), 187.5, 1e-9);
    EXPECT_NEAR(text.midX(), 187.5, 1e-9);
    EXPECT_NEAR(spinner.midY(), middle - text.size.height / 2, 1e-9);
    EXPECT_EQ(shown->label()->textColor(), UIColor::lightGrayColor());
    EXPECT_EQ(shown->label()->font(), UIFont::preferredFont(UIFontTextStyle::callout));
    hideActivityOverlay(*screen, false);
    RunLoop::main().runUntilIdle();
}
