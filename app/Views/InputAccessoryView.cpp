#include "Views/InputAccessoryView.h"

InputAccessoryView::InputAccessoryView(const CGRect& frame)
    : UIView(frame), contentLayoutGuide_(std::make_shared<UILayoutGuide>()) {
    setTranslatesAutoresizingMaskIntoConstraints(false);
    addLayoutGuide(contentLayoutGuide_);
    NSLayoutConstraint::activate({
        contentLayoutGuide_->leftAnchor().constraintEqualTo(leftAnchor()),
        contentLayoutGuide_->topAnchor().constraintEqualTo(topAnchor()),
        contentLayoutGuide_->rightAnchor().constraintEqualTo(rightAnchor()),
        contentLayoutGuide_->bottomAnchor().constraintEqualTo(layoutMarginsGuide()->bottomAnchor()),
    });
}

void InputAccessoryView::setContentView(std::shared_ptr<UIView> view) {
    if (contentView_) {
        NSLayoutConstraint::deactivate(contentConstraints_);
        contentConstraints_.clear();
        contentView_->removeFromSuperview();
    }
    contentView_ = std::move(view);
    if (!contentView_) return;
    contentView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(contentView_);
    auto guide = insetsContentToMargins_ ? layoutMarginsGuide() : contentLayoutGuide_;
    auto height = contentView_->heightAnchor().constraintEqualToConstant(preferredContentHeight_);
    height->setPriority(UILayoutPriorityDefaultHigh);
    height->accessibilityLabel = kPreferredHeightConstraintLabel;
    contentConstraints_ = {
        height,
        contentView_->leftAnchor().constraintEqualTo(guide->leftAnchor()),
        contentView_->topAnchor().constraintEqualTo(guide->topAnchor()),
        contentView_->rightAnchor().constraintEqualTo(guide->rightAnchor()),
        contentView_->bottomAnchor().constraintEqualTo(guide->bottomAnchor()),
    };
    NSLayoutConstraint::activate(contentConstraints_);
}

CGSize InputAccessoryView::intrinsicContentSize() const {
    return {UIViewNoIntrinsicMetric, 64};
}
