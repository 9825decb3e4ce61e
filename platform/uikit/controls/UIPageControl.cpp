#include "uikit/controls/UIPageControl.h"

#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>

UIPageControl::UIPageControl() : UIPageControl(CGRect{}) {}

UIPageControl::UIPageControl(const CGRect& frame) : UIControl(frame) {
    setOpaque(false);
}

void UIPageControl::setNumberOfPages(long pages) {
    pages = std::max(0L, pages);
    if (pages == numberOfPages_) return;
    numberOfPages_ = pages;
    currentPage_ = std::clamp(currentPage_, 0L, std::max(0L, pages - 1));
    invalidateIntrinsicContentSize();
    updateVisibility();
    setNeedsDisplay();
}

void UIPageControl::setCurrentPage(long page) {
    currentPage_ = std::clamp(page, 0L, std::max(0L, numberOfPages_ - 1));
    setNeedsDisplay();
}

void UIPageControl::setHidesForSinglePage(bool hides) {
    hidesForSinglePage_ = hides;
    updateVisibility();
}

void UIPageControl::updateVisibility() {
    if (hidesForSinglePage_) setHidden(numberOfPages_ <= 1);
}

void UIPageControl::setBackgroundStyle(UIPageControlBackgroundStyle style) {
    if (style == backgroundStyle_) return;
    backgroundStyle_ = style;
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

CGSize UIPageControl::sizeForNumberOfPages(long pages) const {
    if (pages <= 0) return {0, controlHeight};
    const CGFloat ends = backgroundStyle_ == UIPageControlBackgroundStyle::prominent ? 2 * capsulePadding : 0;
    return {pages * dotDiameter + (pages - 1) * dotSpacing + ends, controlHeight};
}

CGSize UIPageControl::intrinsicContentSize() const {
    return sizeForNumberOfPages(numberOfPages_);
}

CGRect UIPageControl::indicatorRect(long page) const {
    const CGRect b = bounds();
    const CGFloat total = numberOfPages_ * dotDiameter + std::max(0L, numberOfPages_ - 1) * dotSpacing;
    const CGFloat x0 = b.origin.x + (b.size.width - total) / 2;
    return {x0 + page * (dotDiameter + dotSpacing), b.origin.y + (b.size.height - dotDiameter) / 2,
            dotDiameter, dotDiameter};
}

void UIPageControl::draw(const CGRect&) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const UIColor other = pageIndicatorTintColor.value_or(UIColor::whiteColor().withAlphaComponent(0.2));
    const UIColor current = currentPageIndicatorTintColor.value_or(UIColor::whiteColor());
    if (backgroundStyle_ == UIPageControlBackgroundStyle::prominent && numberOfPages_ > 0) {
        // As tall as the control lets it be, up to the dots and their padding all round.
        const CGRect first = indicatorRect(0);
        const CGRect last = indicatorRect(numberOfPages_ - 1);
        const CGRect b = bounds();
        const CGFloat height = std::min(b.size.height, dotDiameter + 2 * capsulePadding);
        const CGRect capsule{first.minX() - capsulePadding, b.origin.y + (b.size.height - height) / 2,
                             last.maxX() - first.minX() + 2 * capsulePadding, height};
        ctx->setFillColor(capsuleColor());
        ctx->fill(UIBezierPath::roundedRect(capsule, height / 2));
    }
    for (long i = 0; i < numberOfPages_; ++i) {
        ctx->setFillColor(i == currentPage_ ? current : other);
        ctx->fillEllipse(indicatorRect(i));
    }
}

void UIPageControl::endTracking(UITouch* touch, const UIEvent*) {
    if (!touch || numberOfPages_ <= 1 || !bounds().contains(touch->location(this))) return;
    const CGRect dot = indicatorRect(currentPage_);
    const CGFloat x = touch->location(this).x;
    const long page = x < dot.midX() ? currentPage_ - 1 : currentPage_ + 1;
    if (page < 0 || page >= numberOfPages_) return;
    setCurrentPage(page);
    sendActions(UIControlEventValueChanged);
}
