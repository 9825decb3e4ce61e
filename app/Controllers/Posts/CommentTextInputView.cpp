#include "Controllers/Posts/CommentTextInputView.h"

#include "Extensions/UIColor+Palette.h"
#include "foundation/text/CharacterSet.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <algorithm>
#include <cmath>

namespace {

// The bar's text view: as tall as its text up to five lines, and scrolling at that height past
// them, however the text changed (typed, pasted, or emptied by code after a post).
class CommentBarTextView : public UITextView {
public:
    CGSize intrinsicContentSize() const override {
        const CGFloat width = layoutWidthHint() > 0 ? layoutWidthHint() : bounds().size.width;
        if (width <= 0) return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
        return {UIViewNoIntrinsicMetric, std::min(sizeThatFits({width, 0}).height, tallest())};
    }
    bool intrinsicSizeDependsOnWidth() const override { return true; }
    void layoutSubviews() override {
        const CGFloat width = bounds().size.width;
        if (width > 0) {
            const bool scrolls = sizeThatFits({width, 0}).height > tallest();
            if (!scrolls && isScrollEnabled()) setContentOffset({0, 0});
            setScrollEnabled(scrolls);
        }
        UITextView::layoutSubviews();
    }

private:
    CGFloat tallest() const {
        const UIEdgeInsets insets = textContainerInset();
        return std::ceil(font().lineHeight() * CommentTextInputView::kMostLinesShown) + insets.top + insets.bottom;
    }
};

} // namespace

CommentTextInputView::CommentTextInputView(const CGRect& frame, UIInputViewStyle style) : UIInputView(frame, style) {
    separatorView_ = std::make_shared<UIView>();
    separatorView_->setBackgroundColor(UIColor::withWhite(0.9, 1));
    build();
}

CommentTextInputView::CommentTextInputView(NSCoder& coder) : UIInputView(coder) {
    separatorView_ = std::make_shared<UIView>();
    separatorView_->setBackgroundColor(UIColor::withWhite(0.9, 1));
}

const std::shared_ptr<UITextView>& CommentTextInputView::textView() {
    if (!textView_) {
        textView_ = std::make_shared<CommentBarTextView>();
        textView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        textView_->setFont(UIFont::preferredFont(UIFontTextStyle::body));
        textView_->autocapitalizationType = UITextAutocapitalizationType::sentences;
        textView_->returnKeyType = UIReturnKeyType::default_;
        textView_->setPlaceholder(kPlaceholder);
        textView_->setDelegate(cw::DelegateRef<UITextViewDelegate>(this));
        textView_->setClipsToBounds(true);
        textView_->layer()->cornerRadius = 6;
        UIEdgeInsets insets = textView_->textContainerInset();
        insets.left = 6;
        insets.right = 6;
        textView_->setTextContainerInset(insets);
    }
    return textView_;
}

const std::shared_ptr<UIButton>& CommentTextInputView::postButton() {
    if (!postButton_) {
        postButton_ = std::make_shared<UIButton>(UIButtonType::custom);
        postButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        postButton_->addTarget(this, &CommentTextInputView::postButtonPressed, UIControlEventTouchUpInside);
        const UIColor enabled = UIColorPalette::cwy_etonBlue();
        const UIColor disabled = UIColorWithHex(kDisabledTitleHex, 1);
        postButton_->setTitle(kPostTitle, UIControlStateNormal);
        postButton_->setTitleColor(enabled, UIControlStateNormal);
        postButton_->setTitleColor(disabled, UIControlStateDisabled);
        postButton_->setAttributedTitle(
            NSAttributedString(kPostTitle, TextAttributes{.font = UIFont::boldSystemFont(17), .foregroundColor = enabled}),
            UIControlStateNormal);
        postButton_->setAttributedTitle(
            NSAttributedString(kPostTitle, TextAttributes{.font = UIFont::systemFont(17), .foregroundColor = disabled}),
            UIControlStateDisabled);
        postButton_->setEnabled(false);
    }
    return postButton_;
}

const std::shared_ptr<UIView>& CommentTextInputView::container() {
    if (!container_) {
        container_ = std::make_shared<UIView>();
        container_->setBackgroundColor(UIColor::clearColor());
        container_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return container_;
}

void CommentTextInputView::build() {
    const auto& box = container();
    const auto& text = textView();
    const auto& post = postButton();
    addSubview(separatorView_);
    addSubview(box);
    box->addSubview(text);
    box->addSubview(post);

    setTranslatesAutoresizingMaskIntoConstraints(false);
    setBackgroundColor(UIColor::whiteColor());
    // The text view's own height decides the bar's. The height the bar last reported of it can be a
    // line behind, and must never hold the bar open once the text is shorter (emptied after a post).
    setContentCompressionResistancePriority(UILayoutPriorityDefaultLow, UILayoutConstraintAxis::vertical);

    separatorView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    NSLayoutConstraint::activate({
        separatorView_->heightAnchor().constraintEqualToConstant(1),
        separatorView_->topAnchor().constraintEqualTo(topAnchor()),
        separatorView_->leadingAnchor().constraintEqualTo(leadingAnchor()),
        separatorView_->trailingAnchor().constraintEqualTo(trailingAnchor()),
    });

    const auto margins = layoutMarginsGuide();
    NSLayoutConstraint::activate({
        box->topAnchor().constraintEqualTo(margins->topAnchor()),
        box->bottomAnchor().constraintEqualTo(margins->bottomAnchor()),
        box->leadingAnchor().constraintEqualTo(margins->leadingAnchor()),
        box->trailingAnchor().constraintEqualTo(margins->trailingAnchor()),
    });

    // Without scrolling the text view is as tall as its text, so the bar grows line by line (up to
    // the lines it shows before it scrolls).
    text->setScrollEnabled(false);
    text->setBackgroundColor(UIColorPalette::backgroundColor());
    text->setContentHuggingPriority(750, UILayoutConstraintAxis::vertical);
    NSLayoutConstraint::activate({
        text->leadingAnchor().constraintEqualTo(box->leadingAnchor()),
        text->trailingAnchor().constraintEqualTo(post->leadingAnchor(), -10),
        text->topAnchor().constraintEqualTo(box->topAnchor(), 10),
        text->bottomAnchor().constraintEqualTo(box->bottomAnchor(), -10),
    });

    post->setContentHuggingPriority(750, UILayoutConstraintAxis::horizontal);
    post->setContentCompressionResistancePriority(1000, UILayoutConstraintAxis::horizontal);
    NSLayoutConstraint::activate({
        post->bottomAnchor().constraintEqualTo(text->bottomAnchor()),
        post->trailingAnchor().constraintEqualTo(box->trailingAnchor()),
    });
}

std::string CommentTextInputView::commentText(const std::string& typed) {
    const std::string core = cw::trimmingCharacters(typed, CharacterSet::whitespacesAndNewlines());
    if (core.empty()) return core;
    // Only blanks stand before the first place the core is found: it starts there.
    return typed.substr(0, typed.find(core) + core.size());
}

void CommentTextInputView::postButtonPressed() {
    if (auto d = delegate.get()) d->postButtonPressedWith(commentText(textView()->text()));
}

void CommentTextInputView::textViewDidChange(UITextView* view) {
    if (!view) return;
    postButton()->setEnabled(!commentText(view->text()).empty());
    // The bar's height follows the text view's.
    invalidateIntrinsicContentSize();
}

CGSize CommentTextInputView::sizeThatFits(CGSize size) const {
    return {size.width, kMinimumHeight};
}

CGSize CommentTextInputView::intrinsicContentSize() const {
    const CGFloat textHeight = textView_ ? textView_->bounds().size.height : 0;
    const CGFloat height = textHeight > 0 ? textHeight + 20 : bounds().size.height;
    return {bounds().size.width, std::max(height, kMinimumHeight)};
}

// --- CommentTextView ----------------------------------------------------------------------------

CommentTextView::CommentTextView() = default;
CommentTextView::CommentTextView(const CGRect& frame) : UITextField(frame) {}
CommentTextView::CommentTextView(NSCoder&) : UITextField() {}

namespace {
CGRect inset(const CGRect& bounds, const UIEdgeInsets& padding) {
    return CGRect(bounds.origin.x + padding.left, bounds.origin.y + padding.top,
                  bounds.size.width - padding.left - padding.right, bounds.size.height - padding.top - padding.bottom);
}
} // namespace

CGRect CommentTextView::textRect(const CGRect& bounds) const {
    return inset(bounds, padding);
}
CGRect CommentTextView::editingRect(const CGRect& bounds) const {
    return inset(bounds, padding);
}
CGRect CommentTextView::placeholderRect(const CGRect& bounds) const {
    return inset(bounds, padding);
}
