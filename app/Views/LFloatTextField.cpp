#include "Views/LFloatTextField.h"

#include "Extensions/UIColor+Palette.h"

LFloatTextField::LFloatTextField() : LFloatTextField(CGRect::zero()) {}

LFloatTextField::LFloatTextField(const CGRect& frame) : JVFloatLabeledTextField(frame) {
    style();
}

void LFloatTextField::style() {
    setTextColor(UIColorPalette::textColor());
    floatingLabelYPadding = 5;
    // A given font fixes the label's font: the field's own font changes no longer reach it.
    setFloatingLabelFont(UIFont::named("Avenir-Roman", 12));
    floatingLabelTextColor = UIColorPalette::textPlaceholderColor();
    placeholderColor = UIColorPalette::textPlaceholderColor();
    TextAttributes attributes;
    attributes.foregroundColor = UIColorPalette::textPlaceholderColor();
    // Without the face the placeholder keeps the field's font; the colour still applies.
    attributes.font = UIFont::named("Avenir-Roman", 18);
    setAttributedPlaceholder(NSAttributedString("", attributes));
    autocorrectionType = UITextAutocorrectionType::no;
    layer()->sublayerTransform = CATransform3DMakeTranslation(10, 0, 0);
}

void LFloatTextField::showInvalid() {
    placeholderColor = UIColorPalette::errorColor();
    setPlaceholder(placeholder());
}

void LFloatTextField::clearInvalid() {
    placeholderColor = UIColorPalette::textPlaceholderColor();
    setPlaceholder(placeholder());
}
