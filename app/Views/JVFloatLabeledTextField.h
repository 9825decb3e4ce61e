#pragma once

// A text field whose placeholder turns into a small label above the text once something is typed:
// the placeholder names the field while it is empty, the floating label keeps naming it while the
// member types. The text moves down to make room for the label; the label fades in and rises
// (0.3 s, ease-out) when the first character arrives during editing and sinks and fades out
// (0.3 s, ease-in) when the text is erased, and otherwise settles without animation at each layout
// pass. While editing with text it takes the active colour (the tint colour unless one is set).
//
// The floating label's font follows the field's fonts (70 % of their size) until a font is given,
// and its horizontal place follows the text alignment and, for natural alignment, the writing
// direction of the label's text. Main thread only.

#include "uikit/controls/UITextField.h"

#include <memory>
#include <optional>
#include <string>

class JVFloatLabeledTextField : public UITextField {
public:
    JVFloatLabeledTextField();
    explicit JVFloatLabeledTextField(const CGRect& frame);
    std::string className() const override { return "JVFloatLabeledTextField"; }

    // --- Settings: the next layout pass applies them ---
    // Show and hide animate even when the field is not being edited.
    bool animateEvenIfNotFirstResponder = false;
    // The clear button moves down with the text.
    bool adjustsClearButtonRect = true;
    // The text is moved down even while the field is empty.
    bool keepBaseline = false;
    // The label's top when shown, and what is added to its horizontal place.
    CGFloat floatingLabelYPadding = 0;
    CGFloat floatingLabelXPadding = 0;
    // Extra room between label and text; also how far below its line height the hidden label sits.
    CGFloat placeholderYPadding = 0;
    // The label's colour while not editing or empty, and while editing with text (none: the tint).
    std::optional<UIColor> floatingLabelTextColor;
    std::optional<UIColor> floatingLabelActiveTextColor;
    // The single-precision 0.3 s, widened.
    double floatingLabelShowAnimationDuration = static_cast<double>(0.3f);
    double floatingLabelHideAnimationDuration = static_cast<double>(0.3f);
    // The colour a plain placeholder is given; none keeps the platform's placeholder colour.
    std::optional<UIColor> placeholderColor;

    const std::shared_ptr<UILabel>& floatingLabel() const { return floatingLabel_; }
    const std::optional<UIFont>& floatingLabelFont() const { return floatingLabelFont_; }
    // A given font becomes the label's for good (later font changes of the field only update the
    // stored font); none goes back to the derived font and lets it follow the field again.
    void setFloatingLabelFont(const std::optional<UIFont>& font);
    bool alwaysShowFloatingLabel() const { return alwaysShowFloatingLabel_; }
    // The label stays visible while the field is empty.
    void setAlwaysShowFloatingLabel(bool alwaysShow);
    bool isFloatingLabelFontDefault() const { return isFloatingLabelFontDefault_; }

    // The derived label font: 70 % of the size of the placeholder's font, else of the text's, else of
    // the field's, rounded to a whole point in single precision (17 → 12, 18 → 13, 15 → 11, 12 → 8).
    UIFont defaultFloatingLabelFont() const;
    void updateDefaultFloatingLabelFont();
    UIColor labelActiveColor() const;
    void showFloatingLabel(bool animated);
    void hideFloatingLabel(bool animated);
    void setLabelOriginForTextAlignment();
    void setFloatingLabelText(const std::optional<std::string>& text);

    // --- Placeholders ---
    void setPlaceholder(const std::optional<std::string>& placeholder) override;
    void setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder) override;
    // One text as placeholder, another above the text.
    void setPlaceholder(const std::optional<std::string>& placeholder,
                        const std::optional<std::string>& floatingTitle);
    void setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder,
                                  const std::optional<std::string>& floatingTitle);

    void setFont(const UIFont& font) override;
    void setAttributedText(const std::optional<NSAttributedString>& text) override;
    void setTextAlignment(NSTextAlignment alignment) override;

    // --- Geometry ---
    CGFloat maxTopInset() const;
    CGRect insetRect(const CGRect& rect) const;
    CGRect textRect(const CGRect& bounds) const override;
    CGRect editingRect(const CGRect& bounds) const override;
    CGRect clearButtonRect(const CGRect& bounds) const override;
    CGRect leftViewRect(const CGRect& bounds) const override;
    CGRect rightViewRect(const CGRect& bounds) const override;

    CGSize intrinsicContentSize() const override;
    void layoutSubviews() override;

private:
    void commonInit();
    void setCorrectPlaceholder(const std::optional<std::string>& placeholder);
    // Half the room the label needs by its font's line height, capped by maxTopInset.
    CGFloat sideViewShift() const;
    void placeLabel(bool animated, double duration, UIViewAnimationOptions curve, float alpha, CGFloat y);

    std::shared_ptr<UILabel> floatingLabel_;
    std::optional<UIFont> floatingLabelFont_;
    bool alwaysShowFloatingLabel_ = false;
    bool isFloatingLabelFontDefault_ = false;
};
