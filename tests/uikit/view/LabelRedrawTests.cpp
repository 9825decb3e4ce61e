#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace {

// The box of the label's ink in a rendering (scale 2), in pixels, and the rendering itself.
struct Drawn {
    std::shared_ptr<UIImage> image;
    int left = 1 << 20, right = -1;
};

Drawn draw(UILabel& label) {
    Drawn d{cw::renderView(label, 2)};
    for (int y = 0; y < d.image->pixelHeight(); ++y)
        for (int x = 0; x < d.image->pixelWidth(); ++x)
            if (d.image->pixelColor(x, y).alpha() > 0.3) {
                d.left = std::min(d.left, x);
                d.right = std::max(d.right, x);
            }
    return d;
}

bool samePixels(const UIImage& a, const UIImage& b, int width) {
    for (int y = 0; y < a.pixelHeight(); ++y)
        for (int x = 0; x < width; ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

// A one-line title measured first, as a row does before it is drawn.
std::shared_ptr<UILabel> measuredTitle(const std::string& text, CGFloat width) {
    auto label = std::make_shared<UILabel>(CGRect(0, 0, width, 30));
    label->setFont(UIFont::systemFont(17));
    label->setText(text);
    label->intrinsicContentSize();
    return label;
}

} // namespace

// A one-line title is laid out once for measuring and drawn from that layout while it fits; what
// does not fit, sits elsewhere than at the left or changed since must still be drawn as it is now.
TEST(LabelRedraw, AMeasuredTitleIsDrawnWholeWhereItFitsAndCutOrMovedWhereItMustBe) {
    const std::string text = "Kangaroo care, week 12";
    auto wide = measuredTitle(text, 300);
    const CGFloat natural = wide->intrinsicContentSize().width;
    ASSERT_LT(natural, 250);
    const Drawn whole = draw(*wide);
    EXPECT_LT(whole.left, 4);
    EXPECT_GT(whole.right, natural * 2 - 12);
    // The same at any width it fits in.
    auto wider = measuredTitle(text, 340);
    EXPECT_TRUE(samePixels(*draw(*wider).image, *whole.image, 600));

    // Narrower than the text: cut with an ellipsis inside the width, not the whole line clipped.
    wide->setFrame({0, 0, natural - 40, 30});
    const Drawn cut = draw(*wide);
    EXPECT_LE(cut.right, (natural - 40) * 2);
    EXPECT_FALSE(samePixels(*cut.image, *whole.image, cut.right + 1));
    // Wide again, whole again.
    wide->setFrame({0, 0, 300, 30});
    EXPECT_TRUE(samePixels(*draw(*wide).image, *whole.image, 600));

    // Centred or set from the right: placed in the label's width.
    auto centred = measuredTitle(text, 300);
    centred->setTextAlignment(NSTextAlignment::center);
    const Drawn middle = draw(*centred);
    EXPECT_NEAR(middle.left, 600 - 1 - middle.right, 6);
    auto hebrew = measuredTitle("שלום לכולם", 300);
    const Drawn fromRight = draw(*hebrew);
    EXPECT_GT(fromRight.left, 300);
    EXPECT_GT(fromRight.right, 590);

    // A new text, font or colour is drawn as it is now.
    wide->setText("Kangaroo care, week 13 and the weeks after it");
    EXPECT_LE(draw(*wide).right, 600);
    EXPECT_FALSE(samePixels(*draw(*wide).image, *whole.image, 600));
    wide->setText(text);
    EXPECT_TRUE(samePixels(*draw(*wide).image, *whole.image, 600));
    wide->setFont(UIFont::systemFont(20));
    EXPECT_GT(draw(*wide).right, whole.right + 20);
    wide->setFont(UIFont::systemFont(17));
    wide->setTextColor(UIColor::redColor());
    const auto red = draw(*wide).image;
    EXPECT_FALSE(samePixels(*red, *whole.image, 600));
    bool reddish = false;
    for (int x = 0; x < 600 && !reddish; ++x) {
        const UIColor c = red->pixelColor(x, 30);
        reddish = c.alpha() > 0.9 && c.red() > 0.9 && c.green() < 0.1;
    }
    EXPECT_TRUE(reddish);
}
