#include "Extensions/UIColor+Palette.h"
#include "Views/BlackButton.h"
#include "Views/FilterButton.h"
#include "Views/GoldenButton.h"
#include "Views/GreenButton.h"
#include "Views/OvalButton.h"

#include "uikit/controls/UINib.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

UIColor hex(const char* text) {
    return UIColorWithHex(text, 1.0);
}

void expectColour(const UIColor& actual, const UIColor& expected, double tolerance = 0.002) {
    EXPECT_NEAR(actual.red(), expected.red(), tolerance) << actual << " vs " << expected;
    EXPECT_NEAR(actual.green(), expected.green(), tolerance) << actual << " vs " << expected;
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance) << actual << " vs " << expected;
    EXPECT_NEAR(actual.alpha(), expected.alpha(), tolerance) << actual << " vs " << expected;
}

// What a button shows in its middle, drawn at scale 2.
UIColor middlePixel(UIView& view) {
    auto image = cw::renderView(view, 2);
    return image->pixelColor(image->pixelWidth() / 2, 2);
}

} // namespace

// Initialisers a style does not support are not there to call.
static_assert(!std::is_constructible_v<GoldenButton, CGRect>);
static_assert(!std::is_constructible_v<BlackButton, CGRect>);
static_assert(!std::is_constructible_v<FilterButton, CGRect>);
static_assert(!std::is_constructible_v<GoldenButton, NSCoder&> &&
              !std::is_constructible_v<BlackButton, NSCoder&> &&
              !std::is_constructible_v<FilterButton, NSCoder&>);
static_assert(std::is_constructible_v<GreenButton, CGRect> && std::is_constructible_v<OvalButton, CGRect>);

TEST(ButtonStyles, GreenButtonFillsEachStateAndRestylesAfterLoadingFromAFile) {
    auto button = std::make_shared<GreenButton>(CGRect(0, 0, 120, 44));
    button->setTitle("Next", UIControlStateNormal);
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{12, 30, 12, 30}));
    EXPECT_EQ(button->layer()->cornerRadius, 4);
    EXPECT_TRUE(button->clipsToBounds());
    EXPECT_FALSE(button->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(button->titleLabel()->font(), UIFont::systemFont(17, UIFont::Weight::semibold));
    EXPECT_EQ(button->titleColor(UIControlStateNormal), UIColor::whiteColor());
    EXPECT_EQ(button->titleColor(UIControlStateDisabled), UIColor::whiteColor().withAlphaComponent(0.5));
    // The view's own colour ends as the last state's; each state shows its image.
    EXPECT_EQ(button->backgroundColor(), UIColorPalette::disabledButtonFill());
    for (auto [state, colour] : {std::pair{UIControlStateNormal, UIColorPalette::defaultButtonFill()},
                                 {UIControlStateHighlighted, hex("#43A87D")},
                                 {UIControlStateDisabled, UIColorPalette::disabledButtonFill()}}) {
        auto image = button->backgroundImage(state);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), (CGSize{2, 2}));
        expectColour(image->pixelColor(1, 1), colour);
    }
    expectColour(middlePixel(*button), UIColorPalette::defaultButtonFill());
    button->setHighlighted(true);
    expectColour(middlePixel(*button), hex("#43A87D"));
    button->setHighlighted(false);
    button->setEnabled(false);
    EXPECT_EQ(button->currentTitleColor(), UIColor::whiteColor().withAlphaComponent(0.5));
    EXPECT_EQ(button->currentBackgroundImage(), button->backgroundImage(UIControlStateDisabled));

    // Made by a file: the file's look stands until awakeFromNib restyles it.
    UINib::registerNib("GreenButtonTest", [] {
        auto fromFile = std::make_shared<GreenButton>(CGRect(0, 0, 100, 40));
        fromFile->setBackgroundImage(nullptr, UIControlStateNormal);
        fromFile->setBackgroundColor(UIColor::redColor());
        fromFile->titleLabel()->setFont(UIFont::systemFont(11));
        fromFile->layer()->cornerRadius = 0;
        EXPECT_EQ(fromFile->backgroundColor(), UIColor::redColor());
        return fromFile;
    });
    auto loaded = UINib::nibWithName("GreenButtonTest")->instantiateFirst<GreenButton>();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->layer()->cornerRadius, 4);
    EXPECT_EQ(loaded->titleLabel()->font().pointSize(), 17);
    ASSERT_TRUE(loaded->backgroundImage(UIControlStateNormal));
    expectColour(loaded->backgroundImage(UIControlStateNormal)->pixelColor(0, 0),
                 UIColorPalette::defaultButtonFill());
}

TEST(ButtonStyles, GoldenButtonDarkensWhilePressed) {
    auto button = std::make_shared<GoldenButton>();
    EXPECT_EQ(button->frame(), CGRect::zero());
    EXPECT_EQ(button->backgroundColor(), hex("#D4CA5E"));
    EXPECT_EQ(button->titleColor(UIControlStateNormal), UIColor::whiteColor());
    EXPECT_EQ(button->colorTop(), hex("#D4CA5E"));
    EXPECT_EQ(button->colorBottom(), hex("#D4C229"));
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{12, 30, 12, 30}));
    EXPECT_EQ(button->layer()->cornerRadius, 4);
    EXPECT_FALSE(button->clipsToBounds());
    EXPECT_FALSE(button->translatesAutoresizingMaskIntoConstraints());
    button->setTitle("No", UIControlStateNormal);

    button->setHighlighted(true);
    EXPECT_EQ(button->backgroundColor(), hex("#C6AF28"));
    EXPECT_EQ(button->titleLabel()->textColor(), hex("#E4EAE7"));
    button->setHighlighted(false);
    EXPECT_EQ(button->backgroundColor(), hex("#D4CA5E"));
    EXPECT_EQ(button->titleLabel()->textColor(), hex("#FCFCFC"));
}

TEST(ButtonStyles, BlackButtonPutsItsGradientBeneathTheTitle) {
    auto button = std::make_shared<BlackButton>();
    button->setTitle("Go", UIControlStateNormal);
    const auto& sublayers = button->layer()->sublayers();
    ASSERT_FALSE(sublayers.empty());
    auto gradient = std::dynamic_pointer_cast<CAGradientLayer>(sublayers[0]);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->colors, (std::vector<UIColor>{hex("#0000AA"), hex("#000000")}));
    EXPECT_EQ(gradient->locations, (std::vector<CGFloat>{0.0, 1.0}));
    EXPECT_EQ(gradient->frame(), CGRect::zero());
    EXPECT_EQ(button->backgroundColor(), hex("#000000"));
    EXPECT_EQ(button->contentEdgeInsets(), (UIEdgeInsets{10, 30, 10, 30}));
    EXPECT_EQ(button->layer()->cornerRadius, 2);
    EXPECT_EQ(button->titleLabel()->font(), *UIFont::named("Avenir-Black", 22));
    expectColour(button->titleLabel()->textColor(), hex("#FFFFFF"));
    // The gradient keeps the size of creation: a grown button shows its black background.
    button->setFrame(CGRect(0, 0, 100, 40));
    expectColour(middlePixel(*button), UIColor::blackColor());
}

TEST(ButtonStyles, OvalButtonIsAPillCutFromItsFirstFrame) {
    auto button = std::make_shared<OvalButton>(CGRect(0, 0, 200, 48));
    EXPECT_EQ(button->backgroundColor(), UIColorPalette::mainColor1());
    EXPECT_EQ(button->titleColor(UIControlStateNormal), UIColor::whiteColor());
    EXPECT_TRUE(button->translatesAutoresizingMaskIntoConstraints());
    auto image = cw::renderView(*button, 2);
    expectColour(image->pixelColor(200, 48), UIColorPalette::mainColor1());
    EXPECT_EQ(image->pixelColor(1, 1).alpha(), 0) << "the corner is cut away";
    EXPECT_EQ(image->pixelColor(398, 94).alpha(), 0);

    button->updateWithBackgroundColor(UIColor::redColor());
    button->updateWithTitleColor(UIColor::blackColor());
    EXPECT_EQ(button->backgroundColor(), UIColor::redColor());
    EXPECT_EQ(button->titleColor(UIControlStateNormal), UIColor::blackColor());
}

TEST(ButtonStyles, FilterButtonHasNoFillUntilFirstSelectedOrDeselected) {
    auto button = std::make_shared<FilterButton>();
    button->setTitle("Bookmarked", UIControlStateNormal);
    EXPECT_FALSE(button->backgroundColor());
    EXPECT_EQ(button->titleEdgeInsets(), (UIEdgeInsets{5, 10, 5, 10}));
    EXPECT_TRUE(button->clipsToBounds());
    EXPECT_EQ(button->layer()->cornerRadius, 7.5);
    EXPECT_EQ(button->layer()->borderWidth, 0.5);
    EXPECT_EQ(button->layer()->borderColor, hex("#81C7B1"));
    EXPECT_TRUE(button->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(button->currentTitleColor(), hex("#7EC2AD"));
    // A title too long for the chip is drawn smaller rather than cut.
    EXPECT_TRUE(button->titleLabel()->adjustsFontSizeToFitWidth());
    button->setFrame(CGRect(0, 0, 90, 30));
    button->layoutIfNeeded();
    EXPECT_LT(button->titleLabel()->actualScaleFactor(), 1);

    button->setSelected(true);
    EXPECT_EQ(button->backgroundColor(), hex("#7EC2AD"));
    EXPECT_EQ(button->currentTitleColor(), UIColor::whiteColor());
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitleColor(), UIColor::whiteColor());
    button->setHighlighted(false);
    button->setSelected(false);
    EXPECT_EQ(button->backgroundColor(), UIColor::whiteColor());
    EXPECT_EQ(button->currentTitleColor(), hex("#7EC2AD"));
    EXPECT_EQ(button->titleColor(UIControlStateFocused), UIColor::whiteColor());
}
