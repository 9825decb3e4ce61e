#include "Extensions/ActivityOverlayView.h"

namespace {
// Between the indicator's bottom and the description's top.
constexpr CGFloat kDescriptionGap = 6;
} // namespace

ActivityOverlayView::ActivityOverlayView(const CGRect& frame)
    : UIView(frame),
      activityView_(std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge)),
      label_(std::make_shared<UILabel>()) {
    setBackgroundColor(UIColor::blackColor().withAlphaComponent(0.2));
    label_->setFont(UIFont::preferredFont(UIFontTextStyle::callout));
    label_->setTextColor(UIColor::lightGrayColor());
    activityView_->startAnimating();
    addSubview(activityView_);
    addSubview(label_);
    setNeedsLayout();
}

void ActivityOverlayView::layoutSubviews() {
    UIView::layoutSubviews();
    activityView_->sizeToFit();
    label_->sizeToFit();
    // The middle of the safe area, so a notch or a home indicator does not push the pair off centre.
    const UIEdgeInsets insets = safeAreaInsets();
    const CGSize size = frame().size;
    const CGFloat x = insets.left + (size.width - insets.left - insets.right) / 2;
    const CGFloat y = insets.top + (size.height - insets.top - insets.bottom) / 2;
    const CGFloat labelHeight = label_->bounds().size.height;
    const CGFloat indicatorHeight = activityView_->bounds().size.height;
    activityView_->setCenter({x, y - labelHeight / 2});
    label_->setCenter({x, y + indicatorHeight / 2 + kDescriptionGap});
}

void ActivityOverlayView::safeAreaInsetsDidChange() {
    UIView::safeAreaInsetsDidChange();
    setNeedsLayout();
}
