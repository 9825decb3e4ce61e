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

// A tap finds the character under the finger and a range gives the boxes it is drawn in, across
// wrapped lines, paragraphs and characters outside the basic plane; the two agree.
TEST(LabelHitTesting, CharacterUnderAPointAndBoxesOfARangeAgree) {
    UILabel label(CGRect(0, 0, 120, 200)); // taller than the text: it is drawn centred
    label.setNumberOfLines(0);
    NSMutableAttributedString text;
    text.append(hangingItem(20));
    text.append(NSAttributedString("\n\U0001F476 baby here", TextAttributes{.font = UIFont::systemFont(15)}));
    label.setAttributedText(text);
    const std::u16string& s = text.utf16();
    const std::size_t nine = s.find(u"nine"), baby = s.find(u"baby");

    const auto nineBoxes = label.rects({nine, 4});
    ASSERT_EQ(nineBoxes.size(), 1u);
    EXPECT_GT(nineBoxes[0].minY(), 20) << "the boxes are where the centred text is drawn";
    const CGPoint middle{nineBoxes[0].midX(), nineBoxes[0].midY()};
    const auto hit = label.characterIndex(middle);
    ASSERT_TRUE(hit);
    EXPECT_GE(*hit, nine);
    EXPECT_LT(*hit, nine + 4);

    // After a surrogate pair, indices stay UTF-16 ones.
    const auto babyBoxes = label.rects({baby, 4});
    ASSERT_EQ(babyBoxes.size(), 1u);
    EXPECT_EQ(label.characterIndex({babyBoxes[0].minX() + 1, babyBoxes[0].midY()}), baby);

    // A range over a line break gives a box per line; beside the text there is nothing.
    const std::size_t from = s.find(u"one");
    EXPECT_GE(label.rects({from, nine + 4 - from}).size(), 2u);
    EXPECT_FALSE(label.characterIndex({1, 1}));
    EXPECT_FALSE(label.characterIndex({119, nineBoxes[0].midY() + 200}));
    EXPECT_TRUE(label.rects({s.size(), 3}).empty());
}
