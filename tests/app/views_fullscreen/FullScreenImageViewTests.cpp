#include "Views/FullScreenImageView.h"
#include "host/HeadlessHost.h"
#include "uikit/controls/UIViewAnimation.h"

#include <gtest/gtest.h>

namespace {

class PictureApp : public UIApplicationDelegate {
public:
    explicit PictureApp(bool withWindow) : withWindow_(withWindow) {}
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>();
        root = std::make_shared<UIViewController>();
        window_->setRootViewController(root);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return withWindow_ ? window_ : nullptr; }
    UIViewControllerPtr root;

private:
    bool withWindow_;
    std::shared_ptr<UIWindow> window_;
};

std::shared_ptr<UIImage> picture() {
    std::vector<std::uint32_t> pixels(40 * 30, 0xFF336699);
    return UIImage::fromPixels(40, 30, 1, pixels.data());
}

// The zoom's scale as drawn now.
CGFloat drawnScale(const UIView& view) {
    cw::Animator::shared().tick();
    const auto& presentation = view.layer()->presentation;
    const CATransform3D t = presentation && presentation->transform ? *presentation->transform : view.layer()->transform();
    return CATransform3DGetAffineTransform(t).a;
}

TEST(FullScreenImageView, OpensOverTheWindowFromTheSmallViewsSizeAndATapClosesIt) {
    cw::HeadlessHost host; // a 375 × 667 screen
    auto app = std::make_shared<PictureApp>(true);
    host.launch(app);
    struct Case {
        CGRect frame;
        CGFloat startScale;
    };
    // Wider than high: by the widths; otherwise by the heights.
    for (const Case& c : {Case{{10, 80, 200, 100}, 200.0 / 375}, Case{{10, 80, 100, 300}, 300.0 / 667},
                          Case{{10, 80, 120, 120}, 120.0 / 667}}) {
        auto small = std::make_shared<FullScreenImageView>(picture());
        small->setFrame(c.frame);
        app->root->view()->addSubview(small);
        small->fullScreenMe();
        auto black = small->bgView();
        ASSERT_TRUE(black);
        EXPECT_EQ(black->superview(), host.window());
        EXPECT_EQ(black->frame(), (CGRect{0, 0, 375, 667}));
        ASSERT_EQ(black->subviews().size(), 1u);
        auto shown = std::dynamic_pointer_cast<UIImageView>(black->subviews()[0]);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->image(), small->image());
        EXPECT_EQ(shown->contentMode(), UIViewContentMode::scaleAspectFit);
        EXPECT_NEAR(drawnScale(*shown), c.startScale, 1e-9);
        host.advance(FullScreenImageView::kZoomDuration);
        EXPECT_NEAR(drawnScale(*shown), 1, 1e-9);

        // The black view covers the small one, and goes at once when tapped.
        ASSERT_TRUE(host.tap(black));
        EXPECT_FALSE(black->superview());
        EXPECT_EQ(small->bgView(), black);
        small->removeFromSuperview();
    }

    // Tapping the small view opens it; without animation the picture is full size at once.
    auto small = std::make_shared<FullScreenImageView>(CGRect{0, 100, 50, 50});
    small->setAnimated(false);
    app->root->view()->addSubview(small);
    ASSERT_TRUE(host.tap(small));
    ASSERT_TRUE(small->bgView());
    EXPECT_TRUE(small->bgView()->superview()); // no image: a black screen
    EXPECT_NEAR(drawnScale(*small->bgView()->subviews()[0]), 1, 1e-9);

    // A black view that outlives its small view still closes.
    auto black = small->bgView();
    small->removeFromSuperview();
    small.reset();
    ASSERT_TRUE(host.tap(black));
    EXPECT_FALSE(black->superview());
}

TEST(FullScreenImageView, WithoutAWindowTheBlackViewIsMadeButNotShown) {
    cw::HeadlessHost host;
    auto app = std::make_shared<PictureApp>(false);
    host.launch(app);
    auto small = std::make_shared<FullScreenImageView>(picture());
    small->fullScreenMe();
    ASSERT_TRUE(small->bgView());
    EXPECT_FALSE(small->bgView()->superview());
    small->exitFullScreen(); // nothing to take away

    UIApplication::shared().setDelegate(nullptr);
    auto other = std::make_shared<FullScreenImageView>(picture());
    other->fullScreenMe();
    EXPECT_FALSE(other->bgView());
    other->exitFullScreen();
}

} // namespace
