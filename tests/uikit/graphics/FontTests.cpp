#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"

#include <gtest/gtest.h>

TEST(UIFont, KnownNamesResolveAndUnknownGiveNone) {
    auto medium = UIFont::named("Avenir-Medium", 16);
    ASSERT_TRUE(medium.has_value());
    EXPECT_EQ(medium->pointSize(), 16);
    EXPECT_EQ(medium->fontName(), "Avenir-Medium");
    EXPECT_FALSE(UIFont::named("Avenir-Unknown", 16).has_value());
    EXPECT_FALSE(UIFont::named("avenir-medium", 16).has_value());
    EXPECT_FALSE(UIFont::named("", 16).has_value());
    EXPECT_EQ(UIFont::named("HelveticaNeue", 0)->pointSize(), 12);
}

TEST(UIFont, MetricsGrowWithSize) {
    const UIFont small = *UIFont::named("Avenir-Roman", 12);
    const UIFont large = small.withSize(24);
    EXPECT_GT(small.lineHeight(), 12 * 0.9);
    EXPECT_NEAR(large.lineHeight(), 2 * small.lineHeight(), 0.5);
    EXPECT_GT(large.ascender(), small.ascender());
    EXPECT_LT(large.descender(), 0);
    EXPECT_GT(large.capHeight(), 0);
    EXPECT_LT(large.capHeight(), large.ascender());
}

TEST(UIColor, ModelsKeepTheirComponents) {
    const UIColor grey = UIColor::withWhite(0.6, 0.4);
    EXPECT_EQ(grey.numberOfComponents(), 2u);
    EXPECT_EQ(grey.blue(), 0.6);
    EXPECT_EQ(grey.alpha(), 0.4);
    const UIColor c{0.1, 0.2, 0.3, 0.5};
    EXPECT_EQ(c.components(), (std::vector<CGFloat>{0.1, 0.2, 0.3, 0.5}));
    EXPECT_EQ(c.withAlphaComponent(1).alpha(), 1);
    EXPECT_NE(UIColor::withWhite(1, 1), UIColor(1, 1, 1, 1));
    EXPECT_EQ(UIColor(2, -1, 0.5, 1).hexDescription(), "#FF0080FF");
}

#include "uikit/graphics/PangoSupport.h"

// Every face of the table must come from an installed font, not from fontconfig's fallback.
TEST(UIFont, EveryKnownNameResolvesToItsInstalledFamily) {
    for (const auto& name : UIFont::knownFontNames()) {
        const UIFont font = *UIFont::named(name, 14);
        auto desc = cw::detail::fontDescription(font);
        PangoFont* loaded = pango_context_load_font(cw::detail::measuringContext(), desc.get());
        ASSERT_NE(loaded, nullptr) << name;
        PangoFontDescription* actual = pango_font_describe(loaded);
        EXPECT_STREQ(pango_font_description_get_family(actual), font.familyName().c_str()) << name;
        if (font.weight() == UIFont::Weight::heavy || font.weight() == UIFont::Weight::black) {
            EXPECT_GE(pango_font_description_get_weight(actual), PANGO_WEIGHT_ULTRABOLD) << name;
        }
        EXPECT_EQ(pango_font_description_get_style(actual) != PANGO_STYLE_NORMAL, font.isItalic()) << name;
        pango_font_description_free(actual);
        g_object_unref(loaded);
    }
}

TEST(UIFont, TextStylesHaveTheirFixedSizes) {
    EXPECT_EQ(UIFont::preferredFont(UIFontTextStyle::body).pointSize(), 17);
    EXPECT_EQ(UIFont::preferredFont(UIFontTextStyle::callout).pointSize(), 16);
    EXPECT_EQ(UIFont::preferredFont(UIFontTextStyle::caption1).pointSize(), 12);
    EXPECT_EQ(UIFont::preferredFont(UIFontTextStyle::headline).weight(), UIFont::Weight::semibold);
}

// A weight or slant of the same face at the same size is another font: a label given the
// semibold system font, or a bold run in a text, must not be taken for the regular one.
TEST(UIFont, WeightAndSlantMakeAnotherFontThatDrawsAndMeasuresApart) {
    const UIFont regular = UIFont::systemFont(17);
    EXPECT_EQ(regular, UIFont::defaultFont());
    EXPECT_NE(UIFont::systemFont(17, UIFont::Weight::semibold), regular);
    EXPECT_NE(UIFont::boldSystemFont(17), regular);
    EXPECT_NE(UIFont::italicSystemFont(17), regular);

    NSMutableAttributedString text("Daily update for Mia", {.font = regular});
    const CGFloat plainWidth = text.boundingRect({1000, 0}).size.width;
    text.setAttributes({.font = UIFont::boldSystemFont(17)}, {0, 5});
    EXPECT_EQ(text.runs().size(), 2u);
    EXPECT_GT(text.boundingRect({1000, 0}).size.width, plainWidth);
}

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>

// Members write emoji into posts and comments: the text's own face has none, so they come from the
// colour emoji face, drawn in their colours whatever the text's colour (black here).
TEST(UIFont, EmojiFallBackToTheColourFaceAndDrawInColour) {
    const TextAttributes attributes{.font = UIFont::named("Avenir-Medium", 24), .foregroundColor = UIColor::blackColor()};
    auto image = UIGraphicsImageRenderer({120, 40}, {.scale = 2, .opaque = true}).image([&](UIGraphicsImageRendererContext& c) {
        UIColor::whiteColor().setFill();
        c.fill({0, 0, 120, 40});
        NSAttributedString("Go \xF0\x9F\x91\xB6\xF0\x9F\x8E\x89", attributes).draw(CGPoint{0, 4});
    });
    int coloured = 0;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x) {
            const UIColor p = image->pixelColor(x, y);
            const CGFloat spread = std::max({p.red(), p.green(), p.blue()}) - std::min({p.red(), p.green(), p.blue()});
            coloured += spread > 0.3;
        }
    // Black text on white has no colour at all; two emoji at 24 points have hundreds of such pixels.
    EXPECT_GT(coloured, 200);
}
