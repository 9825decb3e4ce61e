#include "uikit/controls/UITextView.h"

#include "foundation/text/CaseMapping.h"
#include "foundation/text/Utf8.h"

#include "uikit/controls/UITextField.h"

#include "foundation/dispatch/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace {
// The line fragment padding on each side of the text container.
constexpr CGFloat linePadding = 5;
} // namespace

UITextView::UITextView() {
    build();
}

UITextView::UITextView(const CGRect& frame) : UIScrollView(frame) {
    build();
}

UITextView::~UITextView() {
    if (editing_) cw::Keyboard::shared().inputDidResign(this);
}

void UITextView::build() {
    font_ = UIFont::systemFont(12);
    setBackgroundColor(UIColor::whiteColor());
    label_ = std::make_shared<UILabel>();
    label_->setNumberOfLines(0);
    label_->setLineBreakMode(NSLineBreakMode::byWordWrapping);
    label_->setUserInteractionEnabled(false);
    addSubview(label_);
    placeholderLabel_ = std::make_shared<UILabel>();
    placeholderLabel_->setNumberOfLines(0);
    placeholderLabel_->setLineBreakMode(NSLineBreakMode::byWordWrapping);
    placeholderLabel_->setUserInteractionEnabled(false);
    placeholderLabel_->setHidden(true);
    addSubview(placeholderLabel_);
    caret_ = std::make_shared<cw::TextCaret>();
    addSubview(caret_);
    refresh();
}

void UITextView::setPlaceholder(const std::optional<std::string>& placeholder) {
    placeholder_ = placeholder;
    refresh();
}

void UITextView::setPlaceholderColor(const UIColor& color) {
    placeholderColor_ = color;
    refresh();
}

void UITextView::setText(const std::optional<std::string>& text) {
    text_ = text.value_or("");
    attributed_.reset();
    refresh();
    cw::Keyboard::shared().inputTextDidChange(this);
}

std::optional<NSAttributedString> UITextView::attributedText() const {
    if (attributed_) return attributed_;
    TextAttributes a;
    a.font = font_;
    a.foregroundColor = textColor_;
    return NSAttributedString(text_, a);
}

void UITextView::setAttributedText(const std::optional<NSAttributedString>& text) {
    attributed_ = text;
    text_ = text ? text->string() : std::string();
    refresh();
    cw::Keyboard::shared().inputTextDidChange(this);
}

void UITextView::setFont(const UIFont& font) {
    font_ = font;
    refresh();
}

void UITextView::setTextColor(const UIColor& color) {
    textColor_ = color;
    refresh();
}

void UITextView::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    refresh();
}

void UITextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) resignFirstResponder();
}

void UITextView::setTextContainerInset(const UIEdgeInsets& insets) {
    textInset_ = insets;
    refresh();
}

void UITextView::setDelegate(cw::DelegateRef<UITextViewDelegate> delegate) {
    textDelegate_ = delegate;
    UIScrollView::setDelegate(cw::DelegateRef<UIScrollViewDelegate>(delegate));
}

void UITextView::refresh() {
    if (!label_) return;
    if (attributed_) {
        label_->setAttributedText(attributed_);
    } else {
        label_->setText(text_);
        label_->setFont(font_);
        label_->setTextColor(textColor_);
    }
    label_->setTextAlignment(alignment_);
    if (placeholderLabel_) {
        placeholderLabel_->setText(placeholder_);
        placeholderLabel_->setFont(font_);
        placeholderLabel_->setTextColor(placeholderColor_);
        placeholderLabel_->setTextAlignment(alignment_);
        placeholderLabel_->setHidden(!text_.empty() || !placeholder_ || placeholder_->empty());
    }
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

CGSize UITextView::textSizeFor(CGFloat width) const {
    const CGFloat inner = std::max<CGFloat>(0, width - textInset_.left - textInset_.right - 2 * linePadding);
    CGSize s = text_.empty() ? CGSize{0, std::ceil(font_.lineHeight())} : label_->sizeThatFits({inner, 0});
    return {std::ceil(s.width), std::ceil(std::max(s.height, font_.lineHeight()))};
}

CGSize UITextView::intrinsicContentSize() const {
    if (isScrollEnabled()) return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
    const CGFloat width = layoutWidthHint() > 0 ? layoutWidthHint() : bounds().size.width;
    if (width <= 0) return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
    return {UIViewNoIntrinsicMetric, textSizeFor(width).height + textInset_.top + textInset_.bottom};
}

CGSize UITextView::sizeThatFits(CGSize size) const {
    const CGFloat width = size.width > 0 ? size.width : bounds().size.width;
    return {width, textSizeFor(width).height + textInset_.top + textInset_.bottom};
}

void UITextView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGSize t = textSizeFor(b.size.width);
    label_->setFrame(CGRect(
        textInset_.left + linePadding, textInset_.top,
        std::max<CGFloat>(0, b.size.width - textInset_.left - textInset_.right - 2 * linePadding), t.height));
    setContentSize({b.size.width, t.height + textInset_.top + textInset_.bottom});
    if (!placeholderLabel_->isHidden()) {
        const CGRect text = label_->frame();
        const CGSize fit = placeholderLabel_->sizeThatFits({text.size.width, 0});
        placeholderLabel_->setFrame(CGRect(text.origin.x, text.origin.y, text.size.width, std::ceil(fit.height)));
    }
    if (editing_) caret_->placeAfterText(*label_, font_);
}

bool UITextView::canBecomeFirstResponder() const {
    return editable_ && isUserInteractionEnabled();
}

bool UITextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    // Off screen the delegate is not even asked.
    if (!canBecomeFirstResponder() || !window()) return false;
    if (auto d = textDelegate_.get(); d && !d->textViewShouldBeginEditing(this)) return false;
    auto keep = weak_from_this().lock();
    auto& keyboard = cw::Keyboard::shared();
    keyboard.beginFocusChange();
    const bool ok = UIScrollView::becomeFirstResponder();
    keyboard.endFocusChange();
    if (!ok) return false;
    editing_ = true;
    caret_->restart();
    setNeedsLayout();
    // The keyboard's frame is known only once it has come up, and changes as a docked bar grows.
    if (auto self = std::static_pointer_cast<UITextView>(weak_from_this().lock())) {
        std::weak_ptr<UITextView> weak = self;
        auto reveal = [weak](const Notification&) {
            if (auto view = weak.lock()) view->revealCaretSoon();
        };
        auto& center = NotificationCenter::defaultCenter();
        center.addObserver(self, UIKeyboardDidShowNotification, reveal);
        center.addObserver(self, UIKeyboardDidChangeFrameNotification, reveal);
    }
    revealCaretSoon();
    if (auto d = textDelegate_.get()) d->textViewDidBeginEditing(this);
    NotificationCenter::defaultCenter().post(UITextViewTextDidBeginEditingNotification, this);
    if (isFirstResponder()) keyboard.inputDidBecomeFirstResponder(this, inputView_, inputAccessoryView_);
    return true;
}

void UITextView::reloadInputViews() {
    if (isFirstResponder())
        cw::Keyboard::shared().inputDidBecomeFirstResponder(this, inputView_, inputAccessoryView_);
}

bool UITextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!cw::detail::forcingEndEditing)
        if (auto d = textDelegate_.get(); d && !d->textViewShouldEndEditing(this)) return false;
    auto keep = weak_from_this().lock();
    if (!UIScrollView::resignFirstResponder()) return false;
    editing_ = false;
    caret_->stop();
    NotificationCenter::defaultCenter().removeObserver(this, UIKeyboardDidShowNotification);
    NotificationCenter::defaultCenter().removeObserver(this, UIKeyboardDidChangeFrameNotification);
    cw::Keyboard::shared().inputDidResign(this);
    if (auto d = textDelegate_.get()) d->textViewDidEndEditing(this);
    NotificationCenter::defaultCenter().post(UITextViewTextDidEndEditingNotification, this);
    return true;
}

bool UITextView::replace(NSRange range, const std::string& replacement, std::size_t endBytes) {
    if (auto d = textDelegate_.get(); d && !d->shouldChangeTextIn(this, range, replacement)) return false;
    if (endBytes)
        text_.resize(text_.size() - endBytes);
    else
        text_ = cw::detail::replacingUTF16(text_, range, replacement);
    attributed_.reset();
    refresh();
    if (editing_) {
        caret_->restart();
        revealCaretSoon();
    }
    cw::Keyboard::shared().inputTextDidChange(this);
    if (auto d = textDelegate_.get()) d->textViewDidChange(this);
    NotificationCenter::defaultCenter().post(UITextViewTextDidChangeNotification, this);
    return true;
}

void UITextView::insertText(const std::string& text) {
    if (!editing_) return;
    replace({cw::detail::utf16Length(text_), 0}, text);
}

void UITextView::deleteBackward() {
    if (!editing_ || text_.empty()) return;
    const std::string_view last = cw::lastCharacter(text_);
    const std::size_t units = cw::utf16Length(last);
    replace({cw::utf16Length(text_) - units, units}, std::string(), last.size());
}

void UITextView::touchesEnded(const TouchSet& touches, const UIEvent* event) {
    if (!touches.empty() && editable_ && bounds().contains((*touches.begin())->location(this))) {
        becomeFirstResponder();
        return;
    }
    UIScrollView::touchesEnded(touches, event);
}

CGRect UITextView::caretRect() const {
    return editing_ ? caret_->frame() : CGRect();
}

void UITextView::revealCaretSoon() {
    if (revealPending_) return;
    revealPending_ = true;
    std::weak_ptr<UIView> weak = weak_from_this();
    RunLoop::main().perform([weak] {
        auto self = std::static_pointer_cast<UITextView>(weak.lock());
        if (!self) return;
        self->revealPending_ = false;
        self->revealCaret();
    });
}

void UITextView::revealCaret() {
    if (!editing_ || !window()) return;
    // The caret stands where the last layout put it: lay the edit out first.
    rootView()->layoutIfNeeded();
    const CGRect caret = caretRect();
    const CGRect keyboard = cw::Keyboard::shared().frame();
    // Each scroll view from this one outwards keeps the caret's line in its part above the keyboard;
    // what the inner ones are about to scroll moves the caret for the outer ones.
    CGPoint moving{0, 0};
    for (UIView* v = this; v; v = v->superviewPointer()) {
        auto* scroll = dynamic_cast<UIScrollView*>(v);
        if (!scroll || !scroll->isScrollEnabled()) continue;
        CGRect rect = convert(caret, scroll);
        rect.origin.x -= moving.x;
        rect.origin.y -= moving.y;
        const CGPoint moved = scroll->keepRectAboveKeyboard(rect, keyboard, textInset_.bottom);
        moving = {moving.x + moved.x, moving.y + moved.y};
    }
}
