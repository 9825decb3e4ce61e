#include "uikit/controllers/UIWindow.h"
#include "Extensions/UIColor+Palette.h"
#include "Views/LFloatTextField.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kDuration = static_cast<double>(0.3f);

struct FloatLabel : ::testing::Test {
    ManualClock clock;
    UIViewPtr root = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));

    void SetUp() override {
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
        cw::Animator::shared().finishAll();
        cw::Animator::shared().clearHistory();
    }
    void TearDown() override {
        root->endEditing(true);
        cw::Animator::shared().finishAll();
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
    }

    template <class Field = JVFloatLabeledTextField> std::shared_ptr<Field> addField(CGRect frame) {
        auto field = std::make_shared<Field>(frame);
        root->addSubview(field);
        return field;
    }
    std::size_t animations() const { return cw::Animator::shared().history().size(); }
    const cw::AnimationRecord& lastAnimation() const { return *cw::Animator::shared().history().back(); }
};

// A plain field of the same geometry: what the superclass gives before the float label moves it.
std::shared_ptr<UITextField> plainTwin(const JVFloatLabeledTextField& field) {
    auto twin = std::make_shared<UITextField>(field.frame());
    twin->setFont(field.font());
    twin->setText(field.text());
    twin->setClearButtonMode(field.clearButtonMode());
    twin->setLeftView(field.leftView());
    twin->setLeftViewMode(field.leftViewMode());
    return twin;
}

// The leftmost pixel column where the image is darker than mid grey, or -1.
int firstDarkColumn(const UIImage& image) {
    for (int x = 0; x < image.pixelWidth(); ++x)
        for (int y = 0; y < image.pixelHeight(); ++y) {
            const UIColor c = image.pixelColor(x, y);
            if (c.alpha() > 0.5 && c.red() + c.green() + c.blue() < 1.5) return x;
        }
    return -1;
}

} // namespace

TEST_F(FloatLabel, TheLabelRisesWhenTheFirstCharacterIsTypedAndSinksWhenTheTextIsErased) {
    auto field = addField(CGRect(20, 100, 300, 50));
    field->setPlaceholder("Email");
    root->layoutIfNeeded();
    const auto& label = *field->floatingLabel();
    const CGFloat hiddenY = label.font().lineHeight() + field->placeholderYPadding;
    EXPECT_EQ(label.text(), "Email");
    EXPECT_EQ(label.alpha(), 0);
    EXPECT_NEAR(label.frame().origin.y, hiddenY, 1e-9);
    EXPECT_EQ(label.textColor(), UIColor::grayColor());
    EXPECT_EQ(animations(), 0u) << "a field that is not being edited places its label at once";

    ASSERT_TRUE(field->becomeFirstResponder());
    root->layoutIfNeeded();
    const std::size_t before = animations();
    field->insertText("a");
    root->layoutIfNeeded();
    ASSERT_GT(animations(), before);
    EXPECT_EQ(lastAnimation().duration, kDuration);
    EXPECT_EQ(lastAnimation().options & UIViewAnimationOptionBeginFromCurrentState,
              UIViewAnimationOptionBeginFromCurrentState);
    EXPECT_EQ(lastAnimation().options & (3u << 16), UIViewAnimationOptionCurveEaseOut);
    EXPECT_EQ(lastAnimation().animatedLayerCount, 1u);
    EXPECT_EQ(label.alpha(), 1);
    EXPECT_EQ(label.frame().origin.y, 0);
    EXPECT_EQ(label.textColor(), field->tintColor());
    // Halfway through, what is drawn is on its way up.
    clock.advance(kDuration / 2);
    cw::Animator::shared().tick();
    ASSERT_TRUE(label.layer()->presentation && label.layer()->presentation->opacity);
    EXPECT_GT(*label.layer()->presentation->opacity, 0.5f);
    EXPECT_LT(*label.layer()->presentation->opacity, 1.0f);
    clock.advance(kDuration);
    RunLoop::main().runUntilIdle();

    field->floatingLabelActiveTextColor = UIColor::orangeColor();
    field->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(label.textColor(), UIColor::orangeColor());

    field->deleteBackward();
    root->layoutIfNeeded();
    EXPECT_EQ(lastAnimation().duration, kDuration);
    EXPECT_EQ(lastAnimation().options & (3u << 16), UIViewAnimationOptionCurveEaseIn);
    EXPECT_EQ(lastAnimation().options & UIViewAnimationOptionBeginFromCurrentState,
              UIViewAnimationOptionBeginFromCurrentState);
    EXPECT_EQ(label.alpha(), 0);
    EXPECT_NEAR(label.frame().origin.y, hiddenY, 1e-9);
    EXPECT_EQ(label.textColor(), UIColor::grayColor()) << "empty while editing takes the resting colour";

    // Text from code while not editing: shown at the next pass, without animation, in grey.
    field->resignFirstResponder();
    root->layoutIfNeeded();
    const std::size_t settled = animations();
    field->setText("someone@example.org");
    root->layoutIfNeeded();
    EXPECT_EQ(animations(), settled);
    EXPECT_EQ(label.alpha(), 1);
    EXPECT_EQ(label.textColor(), UIColor::grayColor());

    field->animateEvenIfNotFirstResponder = true;
    field->setText("");
    root->layoutIfNeeded();
    EXPECT_EQ(animations(), settled + 1);
    EXPECT_EQ(label.alpha(), 0);
}

TEST_F(FloatLabel, AlwaysShownLabelsAndSeparateTitles) {
    auto field = addField(CGRect(0, 0, 200, 50));
    field->setPlaceholder("Name", "Full name");
    field->floatingLabelYPadding = 3;
    field->setAlwaysShowFloatingLabel(true);
    root->layoutIfNeeded();
    EXPECT_EQ(field->placeholder(), "Name");
    EXPECT_EQ(field->floatingLabel()->text(), "Full name");
    EXPECT_EQ(field->floatingLabel()->alpha(), 1);
    EXPECT_EQ(field->floatingLabel()->frame().origin.y, 3);
    // The label is sized to its text.
    EXPECT_NEAR(field->floatingLabel()->frame().size.width,
                field->floatingLabel()->sizeThatFits(field->bounds().size).width, 1e-9);
}

TEST_F(FloatLabel, TheTextMovesDownByHalfTheCappedInsetOnlyWhenThereIsTextOrABaseline) {
    auto field = addField(CGRect(0, 0, 240, 60));
    field->setPlaceholder("Password");
    field->setClearButtonMode(UITextFieldViewMode::always);
    auto side = std::make_shared<UIView>(CGRect(0, 0, 16, 16));
    field->setLeftView(side);
    field->setLeftViewMode(UITextFieldViewMode::always);
    root->layoutIfNeeded();
    const CGRect b = field->bounds();
    const CGFloat lineHeight = field->font().lineHeight();
    const CGFloat labelHeight = field->floatingLabel()->frame().size.height;
    const CGFloat labelLine = field->floatingLabel()->font().lineHeight();
    const CGFloat maxInset = std::floor(static_cast<float>(60 - lineHeight - 4));
    EXPECT_EQ(field->maxTopInset(), maxInset);
    ASSERT_GT(labelHeight, 0);

    // Empty, no baseline: the superclass's rectangle, made integral; the side view still moves.
    auto twin = plainTwin(*field);
    EXPECT_EQ(field->textRect(b), twin->textRect(b).integral());
    EXPECT_EQ(field->clearButtonRect(b), twin->clearButtonRect(b).integral());
    const CGFloat sideShift = std::min<CGFloat>(std::ceil(static_cast<float>(labelLine)), maxInset) / 2;
    EXPECT_EQ(field->leftViewRect(b), twin->leftViewRect(b).offsetBy(0, sideShift));

    // With text: down by half of ceil(label height), the clear button by its font's line height.
    field->setText("secret");
    twin->setText("secret");
    const CGFloat textShift = std::min<CGFloat>(std::ceil(static_cast<float>(labelHeight)), maxInset) / 2;
    EXPECT_EQ(field->textRect(b), twin->textRect(b).offsetBy(0, textShift).integral());
    EXPECT_EQ(field->editingRect(b), twin->editingRect(b).offsetBy(0, textShift).integral());
    EXPECT_EQ(field->clearButtonRect(b), twin->clearButtonRect(b).offsetBy(0, sideShift).integral());

    // keepBaseline moves an empty field's text too; the clear button needs a label text as well.
    field->setText("");
    twin->setText("");
    field->keepBaseline = true;
    EXPECT_EQ(field->textRect(b), twin->textRect(b).offsetBy(0, textShift).integral());
    field->setFloatingLabelText("");
    EXPECT_EQ(field->clearButtonRect(b), twin->clearButtonRect(b).integral());
    field->adjustsClearButtonRect = false;
    field->setFloatingLabelText("Password");
    EXPECT_EQ(field->clearButtonRect(b), twin->clearButtonRect(b).integral());

    // A field too short for label and text: the inset is capped, never below 0.
    auto shortField = addField(CGRect(0, 100, 240, 22));
    shortField->setText("x");
    root->layoutIfNeeded();
    EXPECT_EQ(shortField->maxTopInset(), 0);
    auto shortTwin = plainTwin(*shortField);
    EXPECT_EQ(shortField->textRect(shortField->bounds()), shortTwin->textRect(shortField->bounds()).integral());
    auto middling = addField(CGRect(0, 200, 240, 30));
    middling->setPlaceholder("Name");
    middling->setText("x");
    root->layoutIfNeeded();
    const CGFloat capped = std::floor(static_cast<float>(30 - lineHeight - 4));
    ASSERT_GT(capped, 0);
    ASSERT_LT(capped, std::ceil(middling->floatingLabel()->frame().size.height));
    EXPECT_EQ(middling->textRect(middling->bounds()),
              plainTwin(*middling)->textRect(middling->bounds()).offsetBy(0, capped / 2).integral());

    // The intrinsic height makes room for both lines.
    EXPECT_NEAR(field->intrinsicContentSize().height, lineHeight + 4 + labelHeight, 1e-9);
}

TEST_F(FloatLabel, TheDerivedFontIsSeventyPercentRoundedInSinglePrecision) {
    for (auto [size, expected] : {std::pair{17, 12}, {18, 13}, {15, 11}, {12, 8}}) {
        auto field = std::make_shared<JVFloatLabeledTextField>();
        field->setFont(UIFont::systemFont(size));
        EXPECT_EQ(field->floatingLabel()->font().pointSize(), expected) << size;
        EXPECT_EQ(field->floatingLabelFont()->pointSize(), expected) << size;
    }
    // A styled placeholder's font comes before the field's.
    auto field = std::make_shared<JVFloatLabeledTextField>();
    TextAttributes big;
    big.font = UIFont::named("Avenir-Heavy", 20);
    field->setAttributedPlaceholder(NSAttributedString("Baby's name", big));
    EXPECT_EQ(field->floatingLabel()->font().pointSize(), 14);
    EXPECT_EQ(field->floatingLabel()->font().fontName(), "Avenir-Heavy");
    EXPECT_EQ(field->floatingLabel()->text(), "Baby's name");
    // The first update fixed the label's font: later ones only change the stored font.
    EXPECT_FALSE(field->isFloatingLabelFontDefault());
    field->setAttributedPlaceholder(NSAttributedString("Other"));
    EXPECT_EQ(field->floatingLabel()->font().pointSize(), 14);
    EXPECT_EQ(field->floatingLabelFont()->pointSize(), 12);
    // None goes back to following the derived font.
    field->setFloatingLabelFont(std::nullopt);
    EXPECT_TRUE(field->isFloatingLabelFontDefault());
    EXPECT_EQ(field->floatingLabel()->font().pointSize(), 12);
}

TEST_F(FloatLabel, TheLabelFollowsTheAlignmentAndARightToLeftTitle) {
    auto field = addField(CGRect(0, 0, 300, 50));
    field->setText("x");
    field->floatingLabelXPadding = 2;
    auto placeAfterTwoPasses = [&](const std::string& title, NSTextAlignment alignment) {
        field->setPlaceholder(title);
        field->setTextAlignment(alignment);
        root->layoutIfNeeded();
        // The horizontal place uses the label's width from the pass before.
        field->setNeedsLayout();
        root->layoutIfNeeded();
        return field->floatingLabel()->frame();
    };
    const CGRect text = field->textRect(field->bounds());
    CGRect label = placeAfterTwoPasses("שם התינוק", NSTextAlignment::natural);
    EXPECT_NEAR(label.maxX(), text.maxX() + 2, 1e-9);
    label = placeAfterTwoPasses("Baby's name", NSTextAlignment::natural);
    EXPECT_NEAR(label.minX(), text.minX() + 2, 1e-9);
    label = placeAfterTwoPasses("שם התינוק", NSTextAlignment::left);
    EXPECT_NEAR(label.minX(), text.minX() + 2, 1e-9);
    label = placeAfterTwoPasses("Baby's name", NSTextAlignment::center);
    EXPECT_NEAR(label.midX(), text.midX() + 2, 1e-9);
    label = placeAfterTwoPasses("Baby's name", NSTextAlignment::right);
    EXPECT_NEAR(label.maxX(), text.maxX() + 2, 1e-9);
}

TEST_F(FloatLabel, TheFormFieldHasTheAppsLookAndMarksItselfInvalidThroughItsPlaceholder) {
    auto field = addField<LFloatTextField>(CGRect(0, 0, 300, 50));
    EXPECT_EQ(field->textColor(), UIColorPalette::textColor());
    EXPECT_EQ(field->floatingLabelYPadding, 5);
    EXPECT_EQ(field->floatingLabel()->font(), *UIFont::named("Avenir-Roman", 12));
    EXPECT_EQ(field->autocorrectionType, UITextAutocorrectionType::no);
    EXPECT_EQ(field->layer()->sublayerTransform, CATransform3DMakeTranslation(10, 0, 0));
    // The field's own font no longer reaches the label.
    field->setFont(UIFont::systemFont(30));
    EXPECT_EQ(field->floatingLabel()->font(), *UIFont::named("Avenir-Roman", 12));

    field->setPlaceholder("Email");
    auto placeholderColour = [&] { return field->attributedPlaceholder()->attributes(0).foregroundColor; };
    EXPECT_EQ(placeholderColour(), UIColorPalette::textPlaceholderColor());
    EXPECT_EQ(field->floatingLabel()->text(), "Email");
    field->showInvalid();
    EXPECT_EQ(placeholderColour(), UIColorPalette::errorColor());
    EXPECT_EQ(field->placeholder(), "Email");
    EXPECT_EQ(field->floatingLabel()->text(), "Email");
    root->layoutIfNeeded();
    EXPECT_EQ(field->floatingLabel()->textColor(), UIColorPalette::textPlaceholderColor());
    field->clearInvalid();
    EXPECT_EQ(placeholderColour(), UIColorPalette::textPlaceholderColor());

    // With text the placeholder is not drawn, so marking the field invalid changes no pixel.
    field->setText("mother@example.org");
    auto valid = cw::renderView(*field, 2);
    field->showInvalid();
    auto invalid = cw::renderView(*field, 2);
    ASSERT_TRUE(valid && invalid);
    bool same = true;
    for (int y = 0; y < valid->pixelHeight() && same; ++y)
        for (int x = 0; x < valid->pixelWidth() && same; ++x)
            same = valid->pixel(x, y) == invalid->pixel(x, y);
    EXPECT_TRUE(same);
}

TEST_F(FloatLabel, TheFormFieldDrawsEverythingTenPointsToTheRight) {
    auto field = addField<LFloatTextField>(CGRect(0, 0, 200, 50));
    field->setTextColor(UIColor::blackColor());
    field->setText("Ilana");
    field->setBackgroundColor(UIColor::whiteColor());
    auto shifted = cw::renderView(*field, 2);
    field->layer()->sublayerTransform = CATransform3DIdentity;
    auto plain = cw::renderView(*field, 2);
    ASSERT_TRUE(shifted && plain);
    const int a = firstDarkColumn(*plain), b = firstDarkColumn(*shifted);
    ASSERT_GE(a, 0);
    EXPECT_EQ(b - a, 20) << "10 points at scale 2";
}
