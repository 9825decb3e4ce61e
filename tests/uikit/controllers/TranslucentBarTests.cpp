// The bars over the content of a screen (the tab bar, the navigation bar, a toolbar): a translucent
// bar blurs what lies under it, as the platform's does, so that no text behind it can be read
// between its items; a bar with a colour of its own, or an opaque one, shows that colour.

#include "ControllerTestSupport.h"

#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controllers/UIToolbar.h"
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

TEST_F(ControllerTest, ATranslucentNavigationBarBlursTheScreenThatReachesUpUnderIt) {
    auto screen = std::make_shared<StripedController>();
    screen->setTitle(std::string("Stripes"));
    auto navigation = std::make_shared<UINavigationController>(screen);
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();
    settle();
    const auto& bar = navigation->navigationBar();
    ASSERT_TRUE(bar->isTranslucent);
    ASSERT_EQ(screen->view()->convert(screen->view()->bounds(), nullptr).minY(), 0) << "the screen reaches up under the bar";

    constexpr CGFloat scale = 2;
    const CGRect area = bar->convert(bar->bounds(), nullptr);
    // A row across the bar beside its title (the status bar's strip), and a row of the screen below it.
    const int barRow = static_cast<int>((area.minY() + 6) * scale);
    const int contentRow = static_cast<int>((area.maxY() + 20) * scale);
    const int width = static_cast<int>(area.size.width * scale) - 2;
    const auto picture = cw::renderView(*window, scale);
    EXPECT_GT(sharpestStep(*picture, contentRow, 0, width), 2.0) << "the stripes are sharp below the bar";
    EXPECT_LT(sharpestStep(*picture, barRow, 0, width), 0.02) << "no stripe shows through the bar";

    // A bar of its own colour, or one with a background image, shows no blur: the colour, or the image.
    bar->barTintColor = UIColor(0.2, 0.6, 0.5, 1);
    bar->setNeedsLayout();
    settle();
    const auto tinted = cw::renderView(*window, scale);
    EXPECT_LT(sharpestStep(*tinted, barRow, 0, width), 0.001);
    EXPECT_NEAR(tinted->pixelColor(width / 2, barRow).green(), 0.6, 0.01);
    bar->barTintColor = std::nullopt;
    bar->isTranslucent = false;
    bar->setNeedsLayout();
    settle();
    EXPECT_LT(sharpestStep(*cw::renderView(*window, scale), barRow, 0, width), 0.001);
}

TEST_F(ControllerTest, ATranslucentToolbarBlursWhatLiesUnderItAndAColouredOneShowsItsColour) {
    auto screen = std::make_shared<StripedController>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    settle();
    auto toolbar = std::make_shared<UIToolbar>(CGRect{0, 300, 375, UIToolbar::kHeight});
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace),
                       std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done)});
    screen->view()->addSubview(toolbar);
    settle();

    constexpr CGFloat scale = 2;
    const int barRow = static_cast<int>((300 + 3) * scale);
    const int width = static_cast<int>(375 * scale) - 2;
    EXPECT_GT(sharpestStep(*cw::renderView(*window, scale), static_cast<int>(280 * scale), 0, width), 2.0);
    EXPECT_LT(sharpestStep(*cw::renderView(*window, scale), barRow, 0, width), 0.02) << "no stripe shows through the bar";

    toolbar->setBarStyle(UIBarStyle::black);
    settle();
    const auto dark = cw::renderView(*window, scale);
    EXPECT_LT(sharpestStep(*dark, barRow, 0, width), 0.02);
    EXPECT_LT(dark->pixelColor(10, barRow).white(), 0.4) << "the black style's blur is dark";

    toolbar->setBarTintColor(UIColor(0.2, 0.6, 0.5, 1));
    settle();
    EXPECT_NEAR(cw::renderView(*window, scale)->pixelColor(10, barRow).green(), 0.6, 0.01);
}

} // namespace
