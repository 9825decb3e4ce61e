#include "kits/charts/ChartPointEllipseView.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace {
// A marker starts this small: a scale of zero would be a transform with no inverse.
constexpr CGFloat kStartScale = 0.1;

// A chart shows hundreds of markers that look alike: each look is drawn once per pixel density
// and copied, which costs a fraction of filling and stroking an oval each time.
using LookKey = std::tuple<CGFloat, CGFloat, std::uint32_t, std::uint32_t, CGFloat, int>;

std::uint32_t packed(const UIColor& c) {
    auto byte = [](CGFloat v) { return static_cast<std::uint32_t>(std::lround(std::clamp<CGFloat>(v, 0, 1) * 255)); };
    return byte(c.red()) << 24 | byte(c.green()) << 16 | byte(c.blue()) << 8 | byte(c.alpha());
}

// The border is stroked along the oval inset by its width, and the fill laid over the stroke's inner
// half: what shows of it is a ring outside the fill that stops half a border short of the frame.
// Markers of points that lie close together (a month of daily weights) then leave the line
// between them in sight rather than covering it with their rings.
void drawOval(CGContext& ctx, const CGRect& b, const UIColor& fill, const UIColor& borderColor, CGFloat border) {
    UIBezierPath oval = UIBezierPath::ovalIn(b.insetBy(border, border));
    if (border > 0) {
        oval.lineWidth = border;
        ctx.setStrokeColor(borderColor);
        ctx.stroke(oval);
    }
    ctx.setFillColor(fill);
    ctx.fill(oval);
}

std::shared_ptr<UIImage> markerImage(CGSize size, const UIColor& fill, const UIColor& borderColor, CGFloat border,
                                     int scale) {
    static std::mutex mutex;
    static std::map<LookKey, std::shared_ptr<UIImage>> looks;
    const LookKey key{size.width, size.height, packed(fill), packed(borderColor), border, scale};
    std::lock_guard lock(mutex);
    if (auto it = looks.find(key); it != looks.end()) return it->second;
    // Markers keep to a few looks; a program that kept making new ones starts the cache over.
    if (looks.size() >= 64) looks.clear();
    auto image = UIGraphicsImageRenderer(size, {static_cast<CGFloat>(scale), false})
                     .image([&](UIGraphicsImageRendererContext& rc) {
                         drawOval(rc.cgContext(), CGRect{{0, 0}, size}, fill, borderColor, border);
                     });
    looks.emplace(key, image);
    return image;
}
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
    if (b.isEmpty()) return;
    const CGFloat border = std::clamp<CGFloat>(borderWidth, 0, std::min(b.width(), b.height()) / 2);
    // The pixels per point of the screen (a growing marker is drawn from its full-size picture).
    const CGAffineTransform t = ctx->currentTransform();
    const CGFloat density = std::max(std::hypot(t.a, t.b), std::hypot(t.c, t.d));
    const int scale = std::clamp(static_cast<int>(std::ceil(density - 1e-6)), 2, 8);
    if (density > 8 || b.width() * scale > 512 || b.height() * scale > 512) {
        drawOval(*ctx, b, fillColor, borderColor, border);
        return;
    }
    if (auto image = markerImage(b.size, fillColor, borderColor, border, scale)) ctx->draw(*image, b);
}

void ChartPointEllipseView::didMoveToSuperview() {
    if (!superviewPointer() || appeared_) return;
    appeared_ = true;
    if (!(animDuration > 0) || !std::isfinite(animDuration)) return;
    setTransform(CGAffineTransform::makeScale(kStartScale, kStartScale));
    UIView::animate(animDuration, std::isfinite(animDelay) ? std::max(0.0, animDelay) : 0, 0,
                    [this] { setTransform(CGAffineTransform::identity()); });
}
