#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"

#include <gtest/gtest.h>

namespace {
void expectRGB(const UIColor& c, unsigned r, unsigned g, unsigned b, CGFloat alpha) {
    EXPECT_EQ(c.model(), UIColor::Model::rgb) << c;
    EXPECT_DOUBLE_EQ(c.red(), r / 255.0) << c;
    EXPECT_DOUBLE_EQ(c.green(), g / 255.0) << c;
    EXPECT_DOUBLE_EQ(c.blue(), b / 255.0) << c;
    EXPECT_DOUBLE_EQ(c.alpha(), alpha) << c;
}
} // namespace

TEST(HexColour, ReadsDigitsAfterTheFirstCharacter) {
    expectRGB(UIColorWithHex("#2FB299", 1.0), 47, 178, 153, 1.0);
    expectRGB(UIColorWithHex("#2fb299", 0.3), 47, 178, 153, 0.3);
    // Without the sign the first digit is lost.
    expectRGB(UIColorWithHex("2FB299", 1.0), 15, 178, 153, 1.0);
    // Three digits are not expanded.
    expectRGB(UIColorWithHex("#FFF", 1.0), 0, 15, 255, 1.0);
    // Eight digits: the top byte is dropped, the alpha argument alone counts.
    expectRGB(UIColorWithHex("#80FF0000", 0.7), 255, 0, 0, 0.7);
}

TEST(HexColour, OddInputsFollowTheScannerRules) {
    expectRGB(UIColorWithHex("#", 0.5), 0, 0, 0, 0.5);
    expectRGB(UIColorWithHex("#zz", 1.0), 0, 0, 0, 1.0);
    expectRGB(UIColorWithHex("", 1.0), 0, 0, 0, 1.0);
    // Too many digits for 32 bits: the largest value, so white.
    expectRGB(UIColorWithHex("#2FB2990000", 1.0), 255, 255, 255, 1.0);
    expectRGB(UIColorWithHex("#FFFFFFFFFFFFFFFFFFFFFFFF", 1.0), 255, 255, 255, 1.0);
    // A leading "0x" is a prefix, white space is skipped, and the scan stops at a non-digit.
    expectRGB(UIColorWithHex("#0x2FB299", 1.0), 47, 178, 153, 1.0);
    expectRGB(UIColorWithHex("#0X2fb299", 1.0), 47, 178, 153, 1.0);
    expectRGB(UIColorWithHex("#  \n2FB299", 1.0), 47, 178, 153, 1.0);
    expectRGB(UIColorWithHex("#2FBg99", 1.0), 0, 2, 251, 1.0);
    expectRGB(UIColorWithHex("#0xzz", 1.0), 0, 0, 0, 1.0);
    // A first character of several bytes is still one character.
    expectRGB(UIColorWithHex("\u00E92FB299", 1.0), 47, 178, 153, 1.0);
}

TEST(Palette, FixedColoursAndLightening) {
    expectRGB(UIColorPalette::cwy_mountainMeadow(), 0x2F, 0xB2, 0x99, 1.0);
    expectRGB(UIColorPalette::overlayColor(), 0, 0, 0, 0.5);
    expectRGB(UIColorPalette::disabledColor(), 0xEF, 0xEF, 0xEF, 0.5);
    expectRGB(UIColorPalette::errorColor(), 219, 36, 27, 1.0);

    const UIColor light = whiteWithRate(UIColorWithHex("#BBB54D", 0.4), 0.7);
    EXPECT_DOUBLE_EQ(light.red(), (187 + 68 * 0.7) / 255.0);
    EXPECT_DOUBLE_EQ(light.green(), (181 + 74 * 0.7) / 255.0);
    EXPECT_DOUBLE_EQ(light.blue(), (77 + 178 * 0.7) / 255.0);
    EXPECT_EQ(light.alpha(), 1.0);
    EXPECT_EQ(whiteWithRate(UIColorPalette::textColor(), 1.0), UIColor(1, 1, 1, 1));
    EXPECT_EQ(whiteWithRate(UIColorPalette::overlayColor(), 0.0), UIColor(0, 0, 0, 1));

    const UIColor faded = alphaWithAlpha(UIColorPalette::cwy_silver(), 0.25);
    EXPECT_EQ(faded, UIColorWithHex("#C5C5C5", 0.25));
    // A grey-scale colour reads as the grey it shows.
    const UIColor grey = UIColorPalette::disabledButtonFill();
    EXPECT_EQ(grey.model(), UIColor::Model::white);
    EXPECT_EQ(blued(grey), 0.6);
    EXPECT_EQ(alphaWithAlpha(grey, 1), UIColor(0.6, 0.6, 0.6, 1));
}

TEST(Palette, SettableColoursAreOneStoredObject) {
    const UIColor* first = &UIColorPalette::tableViewBackground();
    expectRGB(*first, 0xFB, 0xFB, 0xFB, 1.0);
    EXPECT_EQ(first, &UIColorPalette::tableViewBackground());
    const UIColor original = *first;
    UIColorPalette::setTableViewBackground(UIColor::redColor());
    EXPECT_EQ(UIColorPalette::tableViewBackground(), UIColor::redColor());
    EXPECT_EQ(UIColorPalette::tableViewBackground(), UIColor::redColor());
    UIColorPalette::setTableViewBackground(original);
    expectRGB(UIColorPalette::mainColor1(), 0x55, 0xD6, 0xBC, 1.0);
}

TEST(NamedFonts, AppFacesResolveAndAbsentOnesGiveNone) {
    const auto medium = UIFontNamed::avenirMedium(16);
    ASSERT_TRUE(medium);
    EXPECT_EQ(medium->fontName(), "Avenir-Medium");
    EXPECT_EQ(medium->pointSize(), 16);
    ASSERT_TRUE(UIFontNamed::avenirHeavy(12));
    EXPECT_GT(UIFontNamed::avenirHeavy(24)->lineHeight(), UIFontNamed::avenirHeavy(12)->lineHeight());
    EXPECT_FALSE(UIFontNamed::amaranth(12));
    EXPECT_FALSE(UIFontNamed::roboto(12));
}
