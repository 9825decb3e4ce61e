// What the screens draw on phones of every size, as the demo father sees them through the headless
// host against the demo server: the side menu's grey footer reaches the column's bottom, a tall
// phone's included.

#include "App/SideNavigationFooterView.h"
#include "App/SideNavigationViewController.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

class DrawnAtEverySize : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
    }
    CGFloat height() const { return GetParam().height; }
    CGFloat width() const { return GetParam().width; }
    static constexpr CGFloat kScale = 2;
    UIColor pixel(const UIImage& picture, CGFloat x, CGFloat y) const {
        return picture.pixelColor(static_cast<int>(x * kScale), static_cast<int>(y * kScale));
    }
};

TEST_P(DrawnAtEverySize, TheSideMenusGreyFooterReachesTheBottomOfItsColumn) {
    ASSERT_NO_FATAL_FAILURE(signInAsTheFather());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->isShowing("Logout"));
    auto menu = std::dynamic_pointer_cast<SideNavigationViewController>(app->mainViewController()->leftDrawerViewController());
    ASSERT_TRUE(menu);
    const auto window = host->window();
    const CGRect column = menu->view()->convert(menu->view()->bounds(), window.get());
    EXPECT_EQ(column.size.height, height()) << "the drawer gives the menu the whole height";
    const auto footer = menu->footerView();
    const CGRect ground = footer->convert(footer->bounds(), window.get());
    const auto picture = renderView(*window, kScale);
    ASSERT_TRUE(picture);
    // Down the column's left margin, where the footer shows neither logo nor text.
    const UIColor grey = pixel(*picture, 6, ground.minY() + 4);
    const CGFloat tableBottom = height() - 64;
    for (CGFloat y = ground.minY() + 4; y < tableBottom - 1; y += 8)
        ASSERT_EQ(pixel(*picture, 6, y), grey) << "the grey stops at y = " << y;
    EXPECT_GT(pixel(*picture, 6, std::min(tableBottom + 4, height() - 60)).white(), 0.999)
        << "the lowest 64 points of the column stay white";
    EXPECT_LT(grey.white(), 0.995) << "the footer is grey";
    EXPECT_TRUE(host->isShowing("Build: 1.4-27"));
}

INSTANTIATE_TEST_SUITE_P(Phones, DrawnAtEverySize,
                         ::testing::Values(CGSize{320, 568}, CGSize{375, 667}, CGSize{414, 896}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

} // namespace
} // namespace cw::test
