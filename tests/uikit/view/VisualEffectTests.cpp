#include "uikit/view/UIVisualEffectView.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<UIView> filled(const CGRect& frame, const UIColor& color) {
    auto v = std::make_shared<UIView>(frame);
    v->setBackgroundColor(color);
    return v;
}

// Red on the left half, blue on the right, and an effect view across the seam.
struct Scene {
    std::shared_ptr<UIView> root = filled(CGRect(0, 0, 200, 100), UIColor::whiteColor());
    std::shared_ptr<UIVisualEffectView> effect;
    explicit Scene(std::shared_ptr<UIVisualEffect> e) {
        root->addSubview(filled(CGRect(0, 0, 100, 100), UIColor(1, 0, 0, 1)));
        root->addSubview(filled(CGRect(100, 0, 100, 100), UIColor(0, 0, 1, 1)));
        effect = std::make_shared<UIVisualEffectView>(std::move(e));
        effect->setFrame(CGRect(40, 20, 120, 60));
        root->addSubview(effect);
    }
    // The colour at a point (scale 2).
    UIColor at(const std::shared_ptr<UIImage>& image, CGFloat x, CGFloat y) const {
        return image->pixelColor(static_cast<int>(x * 2), static_cast<int>(y * 2));
    }
};

TEST(VisualEffect, ABlurEffectBlursWhatLiesBeneathAndTintsItByStyle) {
    Scene scene(UIBlurEffect::effect(UIBlurEffectStyle::light));
    auto badge = filled(CGRect(0, 0, 10, 10), UIColor(0, 1, 0, 1));
    scene.effect->contentView()->addSubview(badge);
    auto image = cw::renderView(*scene.root, 2);
    EXPECT_EQ(scene.effect->contentView()->frame(), CGRect(0, 0, 120, 60));

    // At the seam under the effect the two colours mix, then the light style's white (30 %).
    const UIColor seam = scene.at(image, 100, 50);
    EXPECT_NEAR(seam.red(), 0.5 * 0.7 + 0.3, 0.08);
    EXPECT_NEAR(seam.blue(), 0.5 * 0.7 + 0.3, 0.08);
    // Far from it, the side's own colour shows through the tint.
    const UIColor left = scene.at(image, 45, 50);
    EXPECT_NEAR(left.red(), 1.0, 0.03);
    EXPECT_NEAR(left.blue(), 0.3, 0.06);
    // Outside the effect the seam stays sharp, and the content is drawn sharp on top.
    EXPECT_NEAR(scene.at(image, 99.5, 10).blue(), 0, 0.01);
    EXPECT_NEAR(scene.at(image, 100.5, 10).red(), 0, 0.01);
    const UIColor green = scene.at(image, 45, 25);
    EXPECT_NEAR(green.green(), 1, 0.01);
    EXPECT_NEAR(green.red(), 0, 0.01);

    // The dark style darkens; no effect draws nothing.
    Scene dark(UIBlurEffect::effect(UIBlurEffectStyle::dark));
    EXPECT_LT(dark.at(cw::renderView(*dark.root, 2), 100, 50).red(), 0.25);
    Scene none(nullptr);
    auto plain = cw::renderView(*none.root, 2);
    EXPECT_NEAR(none.at(plain, 99.5, 50).red(), 1, 0.01);
    EXPECT_NEAR(none.at(plain, 100.5, 50).blue(), 1, 0.01);
}

} // namespace
