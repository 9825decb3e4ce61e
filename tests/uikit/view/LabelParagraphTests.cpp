#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

CGFloat ceilToPixel(CGFloat v) {
    return std::ceil(v * kMainScreenScale - 1e-6) / kMainScreenScale;
}

NSAttributedString hangingItem(CGFloat headIndent, CGFloat spacingBefore = 0) {
    NSParagraphStyle p;
    p.headIndent = headIndent;
    p.firstLineHeadIndent = 0;
    p.paragraphSpacingBefore = spacingBefore;
    TextAttributes a;
    a.font = UIFont::systemFont(15);
    a.paragraphStyle = p;
    return NSAttributedString("\u2022 one two three four five six seven eight nine ten", a);
}

} // namespace

// A list item's wrapped lines hang under its text, and the label is as tall as the string
// measures, so a row sized by measuring the string shows all of it.
TEST(LabelParagraphStyle, HangingIndentWrapsUnderTheTextAndHeightMatchesMeasuring) {
    const CGFloat width = 120;
    const NSAttributedString text = hangingItem(20);
    const cw::detail::LabelText laid(text, UIFont::systemFont(17), UIColor::blackColor(),
                                     NSTextAlignment::natural, NSLineBreakMode::byTruncatingTail, width, 0,
                                     true);
    ASSERT_GE(laid.lineCount(), 2);
    EXPECT_NEAR(laid.lineOrigin(0).x, 0, 0.01);
    EXPECT_NEAR(laid.lineOrigin(1).x, 20, 0.01);

    UILabel label;
    label.setNumberOfLines(0);
    label.setPreferredMaxLayoutWidth(width);
    label.setAttributedText(text);
    const CGRect measured = text.boundingRect({width, 10000}, NSStringDrawingOptions::usesLineFragmentOrigin);
    EXPECT_EQ(label.intrinsicContentSize().height, ceilToPixel(measured.height()));

    // Spacing between paragraphs counts too.
    NSMutableAttributedString two;
    two.append(hangingItem(20));
    two.append(NSAttributedString("\n"));
    two.append(hangingItem(20, 9));
    label.setAttributedText(two);
    const CGRect both = two.boundingRect({width, 10000}, NSStringDrawingOptions::usesLineFragmentOrigin);
    EXPECT_EQ(label.intrinsicContentSize().height, ceilToPixel(both.height()));
    EXPECT_GT(both.height(), 2 * measured.height() + 8);
}

// A line limit keeps that many lines across paragraphs.
TEST(LabelParagraphStyle, LineLimitCountsLinesOfAllParagraphs) {
    NSMutableAttributedString two;
    two.append(hangingItem(20));
    two.append(NSAttributedString("\n"));
    two.append(hangingItem(20));
    const cw::detail::LabelText all(two, UIFont::systemFont(17), UIColor::blackColor(),
                                    NSTextAlignment::natural, NSLineBreakMode::byTruncatingTail, 120, 0,
                                    true);
    const cw::detail::LabelText three(two, UIFont::systemFont(17), UIColor::blackColor(),
                                      NSTextAlignment::natural, NSLineBreakMode::byTruncatingTail, 120, 3,
                                      true);
    ASSERT_GT(all.lineCount(), 3);
    EXPECT_EQ(three.lineCount(), 3);
    EXPECT_LT(three.size().height, all.size().height);
    EXPECT_GT(three.lastBaseline(), three.firstBaseline());
}
