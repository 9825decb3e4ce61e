#pragma once

// A one-line text input. Typing (through the keyboard) goes through the delegate like the
// platform's: should-change-characters may refuse an edit, and an accepted one sends
// editing-changed and posts the text-did-change notification. Text set from code sends nothing.
// Becoming the first responder (asked of the delegate) shows the keyboard; the rectangles of the
// text, placeholder, clear button and side views are overridable. The clear button is a button of
// its own inside the field (also found under the key "clearButton"), so that its picture and tint
// can be changed like any button's.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIControl.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/controls/TextCaret.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

inline const NotificationName UITextFieldTextDidBeginEditingNotification =
    "UITextFieldTextDidBeginEditingNotification";
inline const NotificationName UITextFieldTextDidEndEditingNotification =
    "UITextFieldTextDidEndEditingNotification";
inline const NotificationName UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

enum class UITextBorderStyle { none = 0, line = 1, bezel = 2, roundedRect = 3 };
enum class UITextFieldViewMode { never = 0, whileEditing = 1, unlessEditing = 2, always = 3 };

class UITextField;

class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField*) { return true; }
    virtual void textFieldDidBeginEditing(UITextField*) {}
    virtual bool textFieldShouldEndEditing(UITextField*) { return true; }
    virtual void textFieldDidEndEditing(UITextField*) {}
    // `range` counts UTF-16 code units of the current text.
    virtual bool shouldChangeCharactersIn(UITextField*, NSRange /*range*/,
                                          const std::string& /*replacement*/) {
        return true;
    }
    virtual bool textFieldShouldClear(UITextField*) { return true; }
    virtual bool textFieldShouldReturn(UITextField*) { return true; }
};

class UITextField : public UIControl, public UIKeyInput, public UITextInputTraits {
public:
    UITextField();
    explicit UITextField(const CGRect& frame);
    ~UITextField() override;
    std::string className() const override { return "UITextField"; }

    // Never none once set: an empty field has the empty text.
    std::optional<std::string> text() const { return text_; }
    virtual void setText(const std::optional<std::string>& text);
    std::optional<NSAttributedString> attributedText() const;
    virtual void setAttributedText(const std::optional<NSAttributedString>& text);
    std::optional<std::string> placeholder() const;
    virtual void setPlaceholder(const std::optional<std::string>& placeholder);
    std::optional<NSAttributedString> attributedPlaceholder() const { return attributedPlaceholder_; }
    virtual void setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder);

    const UIFont& font() const { return font_; }
    virtual void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    virtual void setTextAlignment(NSTextAlignment alignment);
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style);
    bool clearsOnBeginEditing = false;
    bool adjustsFontSizeToFitWidth = false;
    CGFloat minimumFontSize = 0;

    UITextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(UITextFieldViewMode mode);
    std::shared_ptr<UIView> leftView() const { return leftView_; }
    void setLeftView(const std::shared_ptr<UIView>& view);
    UITextFieldViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(UITextFieldViewMode mode);
    std::shared_ptr<UIView> rightView() const { return rightView_; }
    void setRightView(const std::shared_ptr<UIView>& view);
    UITextFieldViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(UITextFieldViewMode mode);

    // Shown in place of the keyboard, and docked above it, from the next time the input becomes
    // first responder (or reloads its input views).
    std::shared_ptr<UIView> inputView() const override { return inputView_; }
    void setInputView(std::shared_ptr<UIView> view) { inputView_ = std::move(view); }
    std::shared_ptr<UIView> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<UIView> view) { inputAccessoryView_ = std::move(view); }
    void reloadInputViews() override;

    cw::DelegateRef<UITextFieldDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UITextFieldDelegate> delegate) { delegate_ = std::move(delegate); }

    bool isEditing() const { return editing_; }

    // --- Geometry hooks, in bounds coordinates ---
    virtual CGRect borderRect(const CGRect& bounds) const;
    virtual CGRect textRect(const CGRect& bounds) const;
    virtual CGRect placeholderRect(const CGRect& bounds) const;
    virtual CGRect editingRect(const CGRect& bounds) const;
    virtual CGRect clearButtonRect(const CGRect& bounds) const;
    virtual CGRect leftViewRect(const CGRect& bounds) const;
    virtual CGRect rightViewRect(const CGRect& bounds) const;
    // Draw the text or the placeholder in the given rectangle (the labels that show them take it).
    // While the field is edited a text too wide for the rectangle shows its end beside the caret
    // rather than its head; its head comes back, truncated, when the editing ends.
    virtual void drawText(const CGRect& rect);
    virtual void drawPlaceholder(const CGRect& rect);

    // The clear button, as a tap on it: asks the delegate, then empties the field.
    void clearButtonTapped();
    bool isClearButtonShown() const;
    // The button placed at `clearButtonRect` while it is shown; at first a grey disc with a cross.
    const std::shared_ptr<UIButton>& clearButton() const { return clearButton_; }
    // The views found by key: "clearButton".
    std::shared_ptr<UIView> valueForKey(const std::string& key) const;

    // --- Responder and typing ---
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool hasText() const override { return !text_.value_or("").empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    // The caret stands at the end: the whole text is before it.
    std::string_view documentContextBeforeInput() const override {
        return text_ ? std::string_view(*text_) : std::string_view();
    }

    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;

private:
    void build();
    void refresh();
    // An edit from the keyboard: through the delegate, then the events.
    // An edit from the keyboard, offered to the delegate by its range in UTF-16 units. The delete
    // key's cuts its `endBytes` from the end where they are, without converting the whole text.
    bool replace(NSRange range, const std::string& replacement, std::size_t endBytes = 0);
    std::string shownText() const;
    bool showsSideView(UITextFieldViewMode mode) const;

    std::optional<std::string> text_ = std::string();
    std::optional<NSAttributedString> attributedText_;
    std::optional<NSAttributedString> attributedPlaceholder_;
    UIFont font_ = UIFont::systemFont(17);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::natural;
    UITextBorderStyle borderStyle_ = UITextBorderStyle::none;
    UITextFieldViewMode clearButtonMode_ = UITextFieldViewMode::never;
    UITextFieldViewMode leftViewMode_ = UITextFieldViewMode::never;
    UITextFieldViewMode rightViewMode_ = UITextFieldViewMode::never;
    std::shared_ptr<UIView> leftView_;
    std::shared_ptr<UIView> rightView_;
    // The text, within a view that cuts it at the text rectangle's edges (a text being edited
    // slides within it to keep its end in view).
    std::shared_ptr<UIView> textClip_;
    std::shared_ptr<UILabel> textLabel_;
    bool scrolled_ = false;
    std::shared_ptr<UILabel> placeholderLabel_;
    std::shared_ptr<UIButton> clearButton_;
    // Where typing goes while the field is edited.
    std::shared_ptr<cw::TextCaret> caret_;
    cw::DelegateRef<UITextFieldDelegate> delegate_;
    bool editing_ = false;
    std::shared_ptr<UIView> inputView_;
    std::shared_ptr<UIView> inputAccessoryView_;
};

using UITextFieldPtr = std::shared_ptr<UITextField>;
