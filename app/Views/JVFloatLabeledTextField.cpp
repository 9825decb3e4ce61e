#include "Views/JVFloatLabeledTextField.h"

#include "Extensions/String+Directionality.h"

#include <algorithm>
#include <cmath>

namespace {

// The label font's share of the field's font size, and the room kept under the text line, as the
// field has always had them in single precision.
constexpr float kLabelFontScale = 0.7f;
constexpr CGFloat kTextLineAllowance = 4.0;

// The font of the first character of a styled text, when it is not empty and sets one.
std::optional<UIFont> leadingFont(const std::optional<NSAttributedString>& text) {
    if (!text || text->length() == 0) return std::nullopt;
    return text->attributes(0).font;
}

} // namespace

JVFloatLabeledTextField::JVFloatLabeledTextField() : JVFloatLabeledTextField(CGRect::zero()) {}

JVFloatLabeledTextField::JVFloatLabeledTextField(const CGRect& frame) : UITextField(frame) {
    commonInit();
}

void JVFloatLabeledTextField::commonInit() {
    floatingLabel_ = std::make_shared<UILabel>();
    floatingLabel_->setAlpha(0);
    floatingLabel_->setUserInteractionEnabled(false);
    addSubview(floatingLabel_);
    floatingLabelFont_ = defaultFloatingLabelFont();
    floatingLabel_->setFont(*floatingLabelFont_);
    floatingLabelTextColor = UIColor::grayColor();
    floatingLabel_->setTextColor(*floatingLabelTextColor);
    animateEvenIfNotFirstResponder = false;
    floatingLabelShowAnimationDuration = static_cast<double>(0.3f);
    floatingLabelHideAnimationDuration = static_cast<double>(0.3f);
    setFloatingLabelText(placeholder());
    adjustsClearButtonRect = true;
    isFloatingLabelFontDefault_ = true;
}

// --- Fonts and colours ---------------------------------------------------------------------------

UIFont JVFloatLabeledTextField::defaultFloatingLabelFont() const {
    UIFont source = font();
    if (auto f = leadingFont(attributedPlaceholder()))
        source = *f;
    else if (auto g = leadingFont(attributedText()))
        source = *g;
    const float scaled = static_cast<float>(source.pointSize() * static_cast<double>(kLabelFontScale));
    return source.withSize(std::round(scaled));
}

void JVFloatLabeledTextField::updateDefaultFloatingLabelFont() {
    const UIFont derived = defaultFloatingLabelFont();
    if (isFloatingLabelFontDefault_)
        setFloatingLabelFont(derived);
    else
        floatingLabelFont_ = derived;
}

void JVFloatLabeledTextField::setFloatingLabelFont(const std::optional<UIFont>& font) {
    if (font) floatingLabelFont_ = font;
    if (floatingLabel_)
        floatingLabel_->setFont(floatingLabelFont_ ? *floatingLabelFont_ : defaultFloatingLabelFont());
    isFloatingLabelFontDefault_ = !font;
    setFloatingLabelText(placeholder());
    invalidateIntrinsicContentSize();
}

UIColor JVFloatLabeledTextField::labelActiveColor() const {
    if (floatingLabelActiveTextColor) return *floatingLabelActiveTextColor;
    return tintColor();
}

void JVFloatLabeledTextField::setAlwaysShowFloatingLabel(bool alwaysShow) {
    alwaysShowFloatingLabel_ = alwaysShow;
    setNeedsLayout();
}

void JVFloatLabeledTextField::setFloatingLabelText(const std::optional<std::string>& text) {
    if (!floatingLabel_) return;
    floatingLabel_->setText(text);
    setNeedsLayout();
}

// --- Placeholders ----------------------------------------------------------------------------------

void JVFloatLabeledTextField::setCorrectPlaceholder(const std::optional<std::string>& placeholder) {
    if (placeholder && placeholderColor) {
        TextAttributes attributes;
        attributes.foregroundColor = placeholderColor;
        UITextField::setAttributedPlaceholder(NSAttributedString(*placeholder, attributes));
    } else {
        UITextField::setPlaceholder(placeholder);
    }
}

void JVFloatLabeledTextField::setPlaceholder(const std::optional<std::string>& placeholder) {
    setCorrectPlaceholder(placeholder);
    setFloatingLabelText(placeholder);
}

void JVFloatLabeledTextField::setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder) {
    UITextField::setAttributedPlaceholder(placeholder);
    setFloatingLabelText(placeholder ? std::optional<std::string>(placeholder->string()) : std::nullopt);
    updateDefaultFloatingLabelFont();
}

void JVFloatLabeledTextField::setPlaceholder(const std::optional<std::string>& placeholder,
                                             const std::optional<std::string>& floatingTitle) {
    setCorrectPlaceholder(placeholder);
    setFloatingLabelText(floatingTitle);
}

void JVFloatLabeledTextField::setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder,
                                                       const std::optional<std::string>& floatingTitle) {
    UITextField::setAttributedPlaceholder(placeholder);
    setFloatingLabelText(floatingTitle);
}

void JVFloatLabeledTextField::setFont(const UIFont& font) {
    UITextField::setFont(font);
    if (floatingLabel_) updateDefaultFloatingLabelFont();
}

void JVFloatLabeledTextField::setAttributedText(const std::optional<NSAttributedString>& text) {
    UITextField::setAttributedText(text);
    if (floatingLabel_) updateDefaultFloatingLabelFont();
}

void JVFloatLabeledTextField::setTextAlignment(NSTextAlignment alignment) {
    UITextField::setTextAlignment(alignment);
    setNeedsLayout();
}

// --- Geometry ----------------------------------------------------------------------------------------

CGFloat JVFloatLabeledTextField::maxTopInset() const {
    const float room = static_cast<float>(bounds().size.height - font().lineHeight() - kTextLineAllowance);
    return std::max<CGFloat>(0, std::floor(room));
}

CGRect JVFloatLabeledTextField::insetRect(const CGRect& rect) const {
    const float needed = static_cast<float>(floatingLabel_->frame().size.height + placeholderYPadding);
    const CGFloat topInset = std::min<CGFloat>(std::ceil(needed), maxTopInset());
    return rect.offsetBy(0, topInset / 2);
}

CGRect JVFloatLabeledTextField::textRect(const CGRect& bounds) const {
    CGRect rect = UITextField::textRect(bounds);
    if (hasText() || keepBaseline) rect = insetRect(rect);
    return rect.integral();
}

CGRect JVFloatLabeledTextField::editingRect(const CGRect& bounds) const {
    // The plain field's editing rectangle is its text rectangle, which it asks for through the
    // override; take the plain one here, or the text would move down twice.
    CGRect rect = UITextField::textRect(bounds);
    if (hasText() || keepBaseline) rect = insetRect(rect);
    return rect.integral();
}

CGFloat JVFloatLabeledTextField::sideViewShift() const {
    const UIFont labelFont = floatingLabel_->font();
    const float needed = static_cast<float>(labelFont.lineHeight() + placeholderYPadding);
    return std::min<CGFloat>(std::ceil(needed), maxTopInset()) / 2;
}

CGRect JVFloatLabeledTextField::clearButtonRect(const CGRect& bounds) const {
    CGRect rect = UITextField::clearButtonRect(bounds);
    if (adjustsClearButtonRect && !floatingLabel_->text().value_or("").empty() && (hasText() || keepBaseline))
        rect = rect.offsetBy(0, sideViewShift());
    return rect.integral();
}

CGRect JVFloatLabeledTextField::leftViewRect(const CGRect& bounds) const {
    return UITextField::leftViewRect(bounds).offsetBy(0, sideViewShift());
}

CGRect JVFloatLabeledTextField::rightViewRect(const CGRect& bounds) const {
    return UITextField::rightViewRect(bounds).offsetBy(0, sideViewShift());
}

CGSize JVFloatLabeledTextField::intrinsicContentSize() const {
    const CGSize size = UITextField::intrinsicContentSize();
    floatingLabel_->sizeToFit();
    return {size.width, font().lineHeight() + kTextLineAllowance + floatingLabelYPadding +
                            floatingLabel_->bounds().size.height};
}

// --- Showing the label -------------------------------------------------------------------------------

void JVFloatLabeledTextField::setLabelOriginForTextAlignment() {
    const CGRect text = textRect(bounds());
    const CGFloat labelWidth = floatingLabel_->frame().size.width;
    CGFloat x = text.origin.x;
    switch (textAlignment()) {
    case NSTextAlignment::center:
        x = text.origin.x + text.size.width / 2 - labelWidth / 2;
        break;
    case NSTextAlignment::right:
        x = text.origin.x + text.size.width - labelWidth;
        break;
    case NSTextAlignment::natural:
        if (getBaseDirection(floatingLabel_->text().value_or("")) == TextDirectionRightToLeft)
            x = text.origin.x + text.size.width - labelWidth;
        break;
    case NSTextAlignment::left:
    case NSTextAlignment::justified:
        break;
    }
    CGRect frame = floatingLabel_->frame();
    frame.origin.x = x + floatingLabelXPadding;
    floatingLabel_->setFrame(frame);
}

void JVFloatLabeledTextField::placeLabel(bool animated, double duration, UIViewAnimationOptions curve,
                                         float alpha, CGFloat y) {
    auto change = [label = floatingLabel_, alpha, y] {
        label->setAlpha(alpha);
        CGRect frame = label->frame();
        frame.origin.y = y;
        label->setFrame(frame);
    };
    if (animated || animateEvenIfNotFirstResponder)
        UIView::animate(duration, 0, UIViewAnimationOptionBeginFromCurrentState | curve, change);
    else
        change();
}

void JVFloatLabeledTextField::showFloatingLabel(bool animated) {
    placeLabel(animated, floatingLabelShowAnimationDuration, UIViewAnimationOptionCurveEaseOut, 1,
               floatingLabelYPadding);
}

void JVFloatLabeledTextField::hideFloatingLabel(bool animated) {
    placeLabel(animated, floatingLabelHideAnimationDuration, UIViewAnimationOptionCurveEaseIn, 0,
               floatingLabel_->font().lineHeight() + placeholderYPadding);
}

void JVFloatLabeledTextField::layoutSubviews() {
    UITextField::layoutSubviews();
    setLabelOriginForTextAlignment();
    const CGSize fitted = floatingLabel_->sizeThatFits(bounds().size);
    CGRect frame = floatingLabel_->frame();
    frame.size = fitted;
    floatingLabel_->setFrame(frame);
    const bool editing = isFirstResponder();
    floatingLabel_->setTextColor(
        editing && hasText() ? labelActiveColor() : floatingLabelTextColor.value_or(UIColor::blackColor()));
    if (hasText() || alwaysShowFloatingLabel_)
        showFloatingLabel(editing);
    else
        hideFloatingLabel(editing);
}
