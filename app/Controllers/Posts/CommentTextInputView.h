#pragma once

// The strip at the bottom of the comment list where a comment is written: a text view that grows
// and shrinks with its text, however it changed (showing "Add a Comment" while empty), up to five
// lines, past which it scrolls its text and keeps the caret in view, so that the bar and its Post
// button stay on the screen above the keyboard; and a "Post" button, enabled only while the text holds more than blanks. The bar sends nothing itself: Post
// hands the text to its delegate as she wrote it, without the blank lines and spaces after it. The
// comment list docks it as its input accessory, so it sits at the bottom edge and rides on the
// keyboard. Main thread only.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIInputView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"

#include <memory>
#include <string>

class NSCoder;

class CommentTextInputViewDelegate {
public:
    virtual ~CommentTextInputViewDelegate() = default;
    virtual void postButtonPressedWith(const std::string& text) = 0;
};

class CommentTextInputView : public UIInputView, public UITextViewDelegate {
public:
    static inline const std::string kPlaceholder = "Add a Comment";
    static inline const std::string kPostTitle = "Post";
    // The Post title's colour while disabled.
    static inline const std::string kDisabledTitleHex = "#c5e8d9";
    static constexpr CGFloat kMinimumHeight = 54.0;
    // The lines the text view shows before it scrolls.
    static constexpr int kMostLinesShown = 5;

    CommentTextInputView(const CGRect& frame, UIInputViewStyle style);
    // From an archive: the separator, but no subviews and no constraints.
    explicit CommentTextInputView(NSCoder& coder);
    std::string className() const override { return "CommentTextInputView"; }

    cw::DelegateRef<CommentTextInputViewDelegate> delegate;

    // Made on first use.
    const std::shared_ptr<UITextView>& textView();
    const std::shared_ptr<UIButton>& postButton();
    const std::shared_ptr<UIView>& container();
    const std::shared_ptr<UIView>& separatorView() const { return separatorView_; }

    // `typed` without the spaces and line breaks at its end; what stands before them is kept.
    static std::string commentText(const std::string& typed);

    void postButtonPressed();
    void textViewDidChange(UITextView* textView) override;

    CGSize sizeThatFits(CGSize size) const override;
    // The text view's height and 20 points around it (the bar's own height before the text view is
    // laid out), never below 54.
    CGSize intrinsicContentSize() const override;

private:
    void build();

    std::shared_ptr<UITextView> textView_;
    std::shared_ptr<UIButton> postButton_;
    std::shared_ptr<UIView> container_;
    std::shared_ptr<UIView> separatorView_;
};

// A text field whose text and placeholder keep 20 points above and below, 15 on the left and 10 on
// the right.
class CommentTextView : public UITextField {
public:
    CommentTextView();
    explicit CommentTextView(const CGRect& frame);
    explicit CommentTextView(NSCoder& coder);
    std::string className() const override { return "CommentTextView"; }

    UIEdgeInsets padding{20, 15, 20, 10};

    CGRect textRect(const CGRect& bounds) const override;
    CGRect editingRect(const CGRect& bounds) const override;
    CGRect placeholderRect(const CGRect& bounds) const override;
};
