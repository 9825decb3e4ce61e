#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

namespace {

// The box of the label's ink in a rendering, in pixels (scale 2).
struct Ink {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Ink inkOf(UILabel& label) {
    auto image = cw::renderView(label, 2);
    Ink ink;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x)
            if (image->pixelColor(x, y).alpha() > 0.3) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

std::shared_ptr<UILabel> title(const std::string& text, CGFloat width) {
    auto label = std::make_shared<UILabel>(CGRect(0, 0, width, 30));
    label->setFont(UIFont::systemFont(20));
    label->setText(text);
    return label;
}

TEST(LabelShrink, SingleLineTextShrinksDownToTheFactorToFitTheWidth) {
    const std::string text = "Gestational age thirty four weeks";
    auto plain = title(text, 150);
    const CGSize full = plain->intrinsicContentSize();
    ASSERT_GT(full.width, 250);

    auto shrinking = title(text, 150);
    shrinking->setAdjustsFontSizeToFitWidth(true);
    shrinking->setMinimumScaleFactor(0.3);
    const CGFloat scale = shrinking->actualScaleFactor();
    EXPECT_LT(scale, 150 / (full.width - 4));
    EXPECT_GT(scale, 150 / full.width - 0.08);
    // All of the text is drawn, smaller, inside the width; the sizes stay those of the full text.
    const Ink small = inkOf(*shrinking), cut = inkOf(*plain);
    EXPECT_LE(small.right, 300);
    EXPECT_GT(small.width(), 240);
    EXPECT_LT(small.height(), cut.height() * 0.75);
    EXPECT_EQ(shrinking->intrinsicContentSize(), full);

    // Not below the factor: there it is cut like any line.
    shrinking->setMinimumScaleFactor(0.8);
    EXPECT_DOUBLE_EQ(shrinking->actualScaleFactor(), 0.8);
    EXPECT_LE(inkOf(*shrinking).right, 300);

    // Text that fits, several lines, or no adjusting keep the full size.
    shrinking->setText("Short");
    EXPECT_DOUBLE_EQ(shrinking->actualScaleFactor(), 1);
    shrinking->setText(text);
    shrinking->setNumberOfLines(2);
    EXPECT_DOUBLE_EQ(shrinking->actualScaleFactor(), 1);
    EXPECT_DOUBLE_EQ(plain->actualScaleFactor(), 1);

    // Styled text shrinks by the same rule, each run's font with it.
    auto styled = title("", 150);
    styled->setAdjustsFontSizeToFitWidth(true);
    styled->setMinimumScaleFactor(0.3);
    TextAttributes big;
    big.font = UIFont::boldSystemFont(24);
    NSMutableAttributedString s(text, big);
    styled->setAttributedText(s);
    EXPECT_LT(styled->actualScaleFactor(), scale);
    EXPECT_LE(inkOf(*styled).right, 300);
}

TEST(LabelShrink, AChangedTextColourIsDrawn) {
    auto label = title("Mother", 150);
    label->setTextColor(UIColor(1, 0, 0, 1));
    (void)cw::renderView(*label, 2); // drawn once in red
    label->setTextColor(UIColor(0, 0, 1, 1));
    auto after = cw::renderView(*label, 2);
    const Ink ink = inkOf(*label);
    bool blue = false;
    for (int x = ink.left; x <= ink.right && !blue; ++x)
        for (int y = ink.top; y <= ink.bottom && !blue; ++y) {
            const UIColor c = after->pixelColor(x, y);
            blue = c.alpha() > 0.8 && c.blue() > 0.8 && c.red() < 0.2;
        }
    EXPECT_TRUE(blue);
}

} // namespace
