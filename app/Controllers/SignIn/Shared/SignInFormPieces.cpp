#include "Controllers/SignIn/Shared/SignInFormPieces.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/TextLimits.h"

namespace SignInForm {

bool isLongEnoughPassword(const std::string& password) {
    return cw::textLength(password) >= kMinimumPasswordLength;
}

std::shared_ptr<LFloatTextField> makeField(const std::string& placeholder, const std::string& identifier) {
    auto field = std::make_shared<LFloatTextField>();
    field->setPlaceholder(placeholder);
    field->setAccessibilityIdentifier(identifier);
    field->autocapitalizationType = UITextAutocapitalizationType::none;
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setHeight(*field, kFieldHeight);
    // The field draws everything it holds 10 points to the right (its text inset); the line is
    // drawn back under the whole field.
    auto line = addLineWithColor(*field, UIColor::withWhite(0.85, 1));
    NSLayoutConstraint::activate({
        line->leadingAnchor().constraintEqualTo(field->leadingAnchor(), -10),
        line->trailingAnchor().constraintEqualTo(field->trailingAnchor(), -10),
        line->bottomAnchor().constraintEqualTo(field->bottomAnchor()),
        line->heightAnchor().constraintEqualToConstant(1),
    });
    return field;
}

std::shared_ptr<OvalButton> makeButton(const std::string& title, const std::string& identifier) {
    return makeOvalButton(title, identifier, kButtonSize);
}

std::shared_ptr<OvalButton> makeOutlinedButton(const std::string& title, const std::string& identifier) {
    auto button = makeButton(title, identifier);
    button->setBackgroundColor(UIColor::whiteColor());
    button->setTitleColor(UIColorPalette::mainColor1(), UIControlStateNormal);
    // The border follows the rounding (the mask alone would cut its curved ends off).
    button->layer()->cornerRadius = kButtonSize.height / 2;
    button->layer()->borderWidth = 1;
    button->layer()->borderColor = UIColorPalette::mainColor1();
    return button;
}

std::shared_ptr<UILabel> makeDescription(const std::string& text) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(UIFont::systemFont(16));
    label->setTextColor(UIColorPalette::contentColor1());
    label->setNumberOfLines(0);
    label->setTextAlignment(NSTextAlignment::center);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    return label;
}

std::shared_ptr<UIView> makeFormBox(const UIColor& outline) {
    auto box = std::make_shared<UIView>();
    box->setBackgroundColor(UIColor::whiteColor());
    box->layer()->cornerRadius = 5;
    box->layer()->borderWidth = 0.5;
    box->layer()->borderColor = outline;
    box->setTranslatesAutoresizingMaskIntoConstraints(false);
    return box;
}

std::shared_ptr<LFloatTextField> makeBoxedField(UIView& box, const std::string& placeholder,
                                                const std::string& identifier, UITextFieldDelegate* delegate) {
    auto field = std::make_shared<LFloatTextField>();
    field->setPlaceholder(placeholder);
    field->setAccessibilityIdentifier(identifier);
    field->setDelegate(delegate);
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    box.addSubview(field);
    return field;
}

std::shared_ptr<UIView> makeScrollingColumn(UIView& root, const std::string& scrollIdentifier,
                                            std::shared_ptr<UIScrollView>& scrollView) {
    scrollView = std::make_shared<UIScrollView>();
    scrollView->setTranslatesAutoresizingMaskIntoConstraints(false);
    scrollView->setAccessibilityIdentifier(scrollIdentifier);
    cw::followKeyboard(scrollView);
    root.addSubview(scrollView);
    lyt_attachToSuperview(*scrollView);

    auto column = std::make_shared<UIView>();
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    scrollView->addSubview(column);
    lyt_attachToSuperview(*column);
    NSLayoutConstraint::activate({column->widthAnchor().constraintEqualTo(scrollView->widthAnchor())});
    return column;
}

} // namespace SignInForm
