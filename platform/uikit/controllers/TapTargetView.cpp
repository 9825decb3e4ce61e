#include "uikit/controllers/TapTargetView.h"

#include <algorithm>

namespace cw {

TapTargetView::TapTargetView() {
    label_ = std::make_shared<UILabel>();
    label_->setHidden(true);
    addSubview(label_);
    image_ = std::make_shared<UIImageView>();
    image_->setHidden(true);
    addSubview(image_);
    setBackgroundColor(std::nullopt);
}

void TapTargetView::setTitle(const std::optional<std::string>& title) {
    label_->setText(title);
    label_->setHidden(!title || title->empty());
    label_->sizeToFit();
    setNeedsLayout();
}

void TapTargetView::setImage(const std::shared_ptr<UIImage>& image) {
    image_->setImage(image);
    image_->setHidden(!image);
    setNeedsLayout();
}

void TapTargetView::activate() {
    if (isEnabled && onTap) {
        auto keep = onTap; // the action may replace this view's contents
        keep();
    }
}

CGSize TapTargetView::titleSize() const {
    return label_->isHidden() ? CGSize{0, 0} : label_->intrinsicContentSize();
}

// Images are scaled down to the bar's icon size (larger beside a title, as in tab items).
CGSize TapTargetView::imageSize() const {
    if (image_->isHidden() || !image_->image()) return {0, 0};
    const CGSize s = image_->image()->size();
    const CGFloat side = imageAboveTitle ? 28 : 24;
    const CGFloat k = s.height > 0 ? std::min<CGFloat>(1, side / s.height) : 1;
    return {s.width * k, s.height * k};
}

CGSize TapTargetView::intrinsicContentSize() const {
    return sizeThatFits({0, 0});
}

CGSize TapTargetView::sizeThatFits(CGSize) const {
    const CGSize t = titleSize();
    const CGSize i = imageSize();
    if (imageAboveTitle) return {std::max(t.width, i.width), t.height + i.height + 2};
    return {t.width + i.width + (t.width > 0 && i.width > 0 ? 4 : 0),
            std::max<CGFloat>(std::max(t.height, i.height), 30)};
}

void TapTargetView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGSize t = titleSize();
    const CGSize i = imageSize();
    if (imageAboveTitle) {
        const CGFloat top = (b.size.height - i.height - t.height - 2) / 2;
        image_->setFrame({(b.size.width - i.width) / 2, top, i.width, i.height});
        label_->setFrame({(b.size.width - t.width) / 2, top + i.height + 2, t.width, t.height});
    } else {
        const CGFloat gap = t.width > 0 && i.width > 0 ? 4 : 0;
        const CGFloat left = (b.size.width - i.width - gap - t.width) / 2;
        image_->setFrame({left, (b.size.height - i.height) / 2, i.width, i.height});
        label_->setFrame({left + i.width + gap, (b.size.height - t.height) / 2, t.width, t.height});
    }
    label_->setAlpha(isEnabled ? (highlighted_ ? 0.3 : 1.0) : 0.35);
    image_->setAlpha(label_->alpha());
}

void TapTargetView::touchesBegan(const TouchSet&, const UIEvent*) {
    highlighted_ = true;
    setNeedsLayout();
}

void TapTargetView::touchesMoved(const TouchSet& touches, const UIEvent*) {
    if (touches.empty()) return;
    const bool inside = UIControl::isWithinTouchSlop(*this, (*touches.begin())->location(this), touchSlop);
    if (inside == highlighted_) return;
    highlighted_ = inside;
    setNeedsLayout();
}

void TapTargetView::touchesEnded(const TouchSet& touches, const UIEvent*) {
    highlighted_ = false;
    setNeedsLayout();
    if (!touches.empty() &&
        UIControl::isWithinTouchSlop(*this, (*touches.begin())->location(this), touchSlop))
        activate();
}

void TapTargetView::touchesCancelled(const TouchSet&, const UIEvent*) {
    highlighted_ = false;
    setNeedsLayout();
}

} // namespace cw
