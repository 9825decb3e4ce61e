#pragma once

// A multi-line text input (or, not editable, a scrolling text display). Typing goes through the
// delegate's should-change-text; an accepted edit tells textViewDidChange and posts the
// text-did-change notification. Text set from code tells nobody.
//
// While it is edited, the caret stays in sight as on the phone: when editing begins, when an edit
// (typed or pasted) moves the caret, and when the keyboard comes up or changes its frame, the text
// view and every scroll view holding it scroll, on the next turn of the run loop once the edit is
// laid out, so that the caret's line shows between the bars and the keyboard. A text view that
// grows with its text inside a scroll view keeps its caret in sight, not its whole frame.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/TextCaret.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

inline const NotificationName UITextViewTextDidBeginEditingNotification =
    "UITextViewTextDidBeginEditingNotification";
inline const NotificationName UITextViewTextDidEndEditingNotification =
    "UITextViewTextDidEndEditingNotification";
inline const NotificationName UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

class UITextView;

class UITextViewDelegate : public UIScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(UITextView*) { return true; }
    virtual void textViewDidBeginEditing(UITextView*) {}
    virtual bool textViewShouldEndEditing(UITextView*) { return true; }
    virtual void textViewDidEndEditing(UITextView*) {}
    virtual bool shouldChangeTextIn(UITextView*, NSRange /*range*/, const std::string& /*replacement*/) {
        return true;
    }
    virtual void textViewDidChange(UITextView*) {}
    virtual void textViewDidChangeSelection(UITextView*) {}
};

class UITextView : public UIScrollView, public UIKeyInput, public UITextInputTraits {
public:
    UITextView();
    explicit UITextView(const CGRect& frame);
    ~UITextView() override;
    std::string className() const override { return "UITextView"; }

    const std::string& text() const { return text_; }
    virtual void setText(const std::optional<std::string>& text);
    std::optional<NSAttributedString> attributedText() const;
    virtual void setAttributedText(const std::optional<NSAttributedString>& text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable = true;
    UIEdgeInsets textContainerInset() const { return textInset_; }
    void setTextContainerInset(const UIEdgeInsets& insets);
    // A light text drawn where the text starts while there is none (the placeholder that text views
    // gain from their placeholder category), in the text's font. It is a label of its own, so the
    // headless driver finds it by its text while it shows.
    const std::optional<std::string>& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::optional<std::string>& placeholder);
    const UIColor& placeholderColor() const { return placeholderColor_; }
    void setPlaceholderColor(const UIColor& color);
    // The label that shows the placeholder (hidden while there is text or no placeholder).
    const std::shared_ptr<UILabel>& placeholderLabel() const { return placeholderLabel_; }

    // Shown in place of the keyboard, and docked above it, from the next time the input becomes
    // first responder (or reloads its input views).
    std::shared_ptr<UIView> inputView() const override { return inputView_; }
    void setInputView(std::shared_ptr<UIView> view) { inputView_ = std::move(view); }
    std::shared_ptr<UIView> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<UIView> view) { inputAccessoryView_ = std::move(view); }
    void reloadInputViews() override;

    cw::DelegateRef<UITextViewDelegate> textViewDelegate() const { return textDelegate_; }
    // Also the scroll view's delegate.
    void setDelegate(cw::DelegateRef<UITextViewDelegate> delegate);

    bool isEditing() const { return editing_; }
    // Where the caret stands while the text view is edited, in its own coordinates; empty otherwise.
    CGRect caretRect() const;

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    // The caret stands at the end: the whole text is before it.
    std::string_view documentContextBeforeInput() const override { return text_; }

    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    // With scrolling off, the text's height decides the view's.
    CGSize intrinsicContentSize() const override;
    bool intrinsicSizeDependsOnWidth() const override { return !isScrollEnabled(); }
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;

private:
    void build();
    void refresh();
    // An edit from the keyboard, offered to the delegate by its range in UTF-16 units. The delete
    // key's cuts its `endBytes` from the end where they are, without converting the whole text.
    bool replace(NSRange range, const std::string& replacement, std::size_t endBytes = 0);
    CGSize textSizeFor(CGFloat width) const;
    void revealCaretSoon();
    void revealCaret();

    std::string text_;
    std::optional<NSAttributedString> attributed_;
    UIFont font_ = UIFont::systemFont(12);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::natural;
    bool editable_ = true;
    UIEdgeInsets textInset_{8, 0, 8, 0};
    std::shared_ptr<UILabel> label_;
    std::optional<std::string> placeholder_;
    UIColor placeholderColor_ = UIColor(0.78, 0.78, 0.80, 1);
    std::shared_ptr<UILabel> placeholderLabel_;
    // Where typing goes while the text view is edited.
    std::shared_ptr<cw::TextCaret> caret_;
    cw::DelegateRef<UITextViewDelegate> textDelegate_;
    bool editing_ = false;
    bool revealPending_ = false;
    std::shared_ptr<UIView> inputView_;
    std::shared_ptr<UIView> inputAccessoryView_;
};
