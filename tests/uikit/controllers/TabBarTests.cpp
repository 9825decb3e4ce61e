// The tab bar over the content of its tabs: a translucent bar blurs what lies under it, as the
// platform's does, so that no text behind it can be read between the tab titles.

#include "ControllerTestSupport.h"

#include "uikit/controllers/UITabBarController.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/ViewRendering.h"

#include <cmath>

namespace {

// A view of thin black and white stripes, the sharpest content there is.
class StripedView : public UIView {
public:
    void draw(const CGRect&) override {
        auto* context = UIGraphicsGetCurrentContext();
        for (CGFloat x = 0; x < bounds().size.width; x += 4) {
            context->setFillColor(UIColor::blackColor());
            context->fill({x, 0, 2, bounds().size.height});
        }
    }
};

class StripedController : public UIViewController {
public:
    void loadView() override {
        auto striped = std::make_shared<StripedView>();
        striped->setBackgroundColor(UIColor::whiteColor());
        setView(striped);
    }
};

// The greatest step in brightness from one pixel to the next along a row of the picture.
double sharpestStep(const UIImage& picture, int y, int fromX, int toX) {
    double sharpest = 0;
    for (int x = fromX; x < toX; ++x) {
        const UIColor a = picture.pixelColor(x, y), b = picture.pixelColor(x + 1, y);
        sharpest = std::max(sharpest, std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                          std::abs(a.blue() - b.blue()));
    }
    return sharpest;
}

TEST_F(ControllerTest, ATranslucentTabBarBlursWhatLiesUnderIt) {
    auto tabs = std::make_shared<UITabBarController>();
    auto first = std::make_shared<StripedController>(), second = std::make_shared<StripedController>();
    first->setTabBarItem(std::make_shared<UITabBarItem>("Home", nullptr));
    second->setTabBarItem(std::make_shared<UITabBarItem>("Update", nullptr));
    tabs->setViewControllers({first, second});
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    settle();
    ASSERT_TRUE(tabs->tabBar()->isTranslucent);

    constexpr CGFloat scale = 2;
    const auto picture = cw::renderView(*window, scale);
    const CGRect bar = tabs->tabBar()->convert(tabs->tabBar()->bounds(), nullptr);
    // A row across the bar above its items' pictures, and the same row of the content above the bar.
    const int barRow = static_cast<int>((bar.minY() + 3) * scale);
    const int contentRow = static_cast<int>((bar.minY() - 20) * scale);
    const int width = static_cast<int>(bar.size.width * scale) - 2;
    EXPECT_GT(sharpestStep(*picture, contentRow, 0, width), 2.0) << "the stripes are sharp where nothing lies over them";
    EXPECT_LT(sharpestStep(*picture, barRow, 0, width), 0.02) << "no stripe shows through the bar";

    // An opaque bar shows its own colour.
    tabs->tabBar()->isTranslucent = false;
    tabs->tabBar()->setNeedsLayout();
    settle();
    const auto opaque = cw::renderView(*window, scale);
    EXPECT_LT(sharpestStep(*opaque, barRow, 0, width), 0.001);
}

} // namespace
