#include "kits/charts/ChartPointEllipseView.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
// A marker starts this small: a scale of zero would be a transform with no inverse.
constexpr CGFloat kStartScale = 0.1;
} // namespace

ChartPointEllipseView::ChartPointEllipseView(CGPoint center, CGFloat diameter)
    : ChartPointEllipseView(center, CGSize{diameter, diameter}) {}

ChartPointEllipseView::ChartPointEllipseView(CGPoint center, CGSize size)
    : UIView(CGRect{center.x - size.width / 2, center.y - size.height / 2, size.width, size.height}) {
    setOpaque(false);
    setUserInteractionEnabled(false);
}

void ChartPointEllipseView::draw(const CGRect&) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const CGRect b = bounds();
    const CGFloat border = std::clamp<CGFloat>(borderWidth, 0, std::min(b.width(), b.height()) / 2);
    UIBezierPath oval = UIBezierPath::ovalIn(b.insetBy(border / 2, border / 2));
    ctx->setFillColor(fillColor);
    ctx->fill(oval);
    if (border > 0) {
        oval.lineWidth = border;
        ctx->setStrokeColor(borderColor);
        ctx->stroke(oval);
    }
}

void ChartPointEllipseView::didMoveToSuperview() {
    if (!superviewPointer() || appeared_) return;
    appeared_ = true;
    if (!(animDuration > 0) || !std::isfinite(animDuration)) return;
    setTransform(CGAffineTransform::makeScale(kStartScale, kStartScale));
    UIView::animate(animDuration, std::isfinite(animDelay) ? std::max(0.0, animDelay) : 0, 0,
                    [this] { setTransform(CGAffineTransform::identity()); });
}
