#include "uikit/view/UIActivityIndicatorView.h"

#include "uikit/graphics/UIGraphics.h"

#include <cairo.h>
#include <cmath>

namespace {

bool isLarge(UIActivityIndicatorViewStyle s) {
    return s == UIActivityIndicatorViewStyle::whiteLarge || s == UIActivityIndicatorViewStyle::large;
}

UIColor defaultColor(UIActivityIndicatorViewStyle s) {
    switch (s) {
    case UIActivityIndicatorViewStyle::gray:
    case UIActivityIndicatorViewStyle::medium:
    case UIActivityIndicatorViewStyle::large:
        return UIColor::grayColor();
    default:
        return UIColor::whiteColor();
    }
}

} // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : style_(style), color_(defaultColor(style)) {
    const CGSize s = intrinsicContentSize();
    setFrame(CGRect({0, 0}, s));
    setUserInteractionEnabled(false);
    setOpaque(false);
    setHidden(true); // stopped, and hidden while stopped
}

void UIActivityIndicatorView::setStyle(UIActivityIndicatorViewStyle style) {
    const bool sizeChanged = isLarge(style) != isLarge(style_);
    style_ = style;
    color_ = defaultColor(style);
    if (sizeChanged) invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(const UIColor& color) {
    color_ = color;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void UIActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

CGSize UIActivityIndicatorView::intrinsicContentSize() const {
    return isLarge(style_) ? CGSize{37, 37} : CGSize{20, 20};
}

void UIActivityIndicatorView::draw(const CGRect&) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    cairo_t* cr = ctx->cairo();
    const CGRect b = bounds();
    const CGFloat r = std::min(b.size.width, b.size.height) / 2;
    const CGFloat inner = r * 0.45, width = std::max(1.5, r * 0.18);
    cairo_save(cr);
    cairo_translate(cr, b.midX(), b.midY());
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, width);
    for (int i = 0; i < 12; ++i) {
        const double angle = i * M_PI / 6 - M_PI / 2;
        const double alpha = 0.25 + 0.75 * (12 - i) / 12.0;
        cairo_set_source_rgba(cr, color_.clampedRed(), color_.clampedGreen(), color_.clampedBlue(),
                              color_.clampedAlpha() * alpha);
        cairo_move_to(cr, std::cos(angle) * inner, std::sin(angle) * inner);
        cairo_line_to(cr, std::cos(angle) * (r - width / 2), std::sin(angle) * (r - width / 2));
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}
