#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kTwoPi = 2 * std::numbers::pi;

void pathInto(cairo_t* cr, const UIBezierPath& path) {
    cairo_new_path(cr);
    CGPoint current;
    for (const auto& e : path.elements()) {
        switch (e.kind) {
        case UIBezierPath::Element::Kind::move:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            current = e.points[0];
            break;
        case UIBezierPath::Element::Kind::line:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            current = e.points[0];
            break;
        case UIBezierPath::Element::Kind::quad: {
            // A quadratic segment as the cubic that traces it.
            const CGPoint c = e.points[1], end = e.points[0];
            cairo_curve_to(cr, current.x + 2.0 / 3.0 * (c.x - current.x),
                           current.y + 2.0 / 3.0 * (c.y - current.y), end.x + 2.0 / 3.0 * (c.x - end.x),
                           end.y + 2.0 / 3.0 * (c.y - end.y), end.x, end.y);
            current = end;
            break;
        }
        case UIBezierPath::Element::Kind::curve:
            cairo_curve_to(cr, e.points[1].x, e.points[1].y, e.points[2].x, e.points[2].y, e.points[0].x,
                           e.points[0].y);
            current = e.points[0];
            break;
        case UIBezierPath::Element::Kind::close:
            cairo_close_path(cr);
            break;
        }
    }
}
} // namespace

namespace cw::detail {
// Shared with CGContext, which draws paths too.
void setCairoPath(cairo_t* cr, const UIBezierPath& path) {
    pathInto(cr, path);
}
} // namespace cw::detail

UIBezierPath UIBezierPath::rect(const CGRect& r) {
    UIBezierPath p;
    if (r.isNull()) return p;
    p.move({r.minX(), r.minY()});
    p.addLine({r.maxX(), r.minY()});
    p.addLine({r.maxX(), r.maxY()});
    p.addLine({r.minX(), r.maxY()});
    p.close();
    return p;
}

UIBezierPath UIBezierPath::ovalIn(const CGRect& r) {
    UIBezierPath p;
    if (r.isNull()) return p;
    const CGFloat k = 0.5522847498307936; // 4/3 (sqrt 2 - 1): the cubic closest to a quarter circle
    const CGFloat cx = r.midX(), cy = r.midY(), rx = r.width() / 2, ry = r.height() / 2;
    p.move({cx + rx, cy});
    p.addCurve({cx, cy + ry}, {cx + rx, cy + k * ry}, {cx + k * rx, cy + ry});
    p.addCurve({cx - rx, cy}, {cx - k * rx, cy + ry}, {cx - rx, cy + k * ry});
    p.addCurve({cx, cy - ry}, {cx - rx, cy - k * ry}, {cx - k * rx, cy - ry});
    p.addCurve({cx + rx, cy}, {cx + k * rx, cy - ry}, {cx + rx, cy - k * ry});
    p.close();
    return p;
}

UIBezierPath UIBezierPath::roundedRect(const CGRect& r, CGFloat cornerRadius) {
    return roundedRect(r, UIRectCornerAllCorners, {cornerRadius, cornerRadius});
}

UIBezierPath UIBezierPath::roundedRect(const CGRect& r, unsigned corners, CGSize radii) {
    UIBezierPath p;
    if (r.isNull()) return p;
    const CGFloat radius =
        std::clamp(std::max(radii.width, radii.height), 0.0, std::min(r.width(), r.height()) / 2);
    const CGFloat x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    const CGFloat pi = std::numbers::pi;
    auto rad = [&](unsigned corner) { return (corners & corner) ? radius : 0.0; };
    const CGFloat tl = rad(UIRectCornerTopLeft), tr = rad(UIRectCornerTopRight);
    const CGFloat br = rad(UIRectCornerBottomRight), bl = rad(UIRectCornerBottomLeft);
    p.move({x0 + tl, y0});
    p.addLine({x1 - tr, y0});
    if (tr > 0) p.addArc({x1 - tr, y0 + tr}, tr, -pi / 2, 0, true);
    p.addLine({x1, y1 - br});
    if (br > 0) p.addArc({x1 - br, y1 - br}, br, 0, pi / 2, true);
    p.addLine({x0 + bl, y1});
    if (bl > 0) p.addArc({x0 + bl, y1 - bl}, bl, pi / 2, pi, true);
    p.addLine({x0, y0 + tl});
    if (tl > 0) p.addArc({x0 + tl, y0 + tl}, tl, pi, 3 * pi / 2, true);
    p.close();
    return p;
}

UIBezierPath UIBezierPath::arc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                               bool clockwise) {
    UIBezierPath p;
    p.addArc(center, radius, startAngle, endAngle, clockwise);
    return p;
}

void UIBezierPath::move(CGPoint pt) {
    elements_.push_back({Element::Kind::move, {pt, {}, {}}});
    current_ = start_ = pt;
}

void UIBezierPath::addLine(CGPoint pt) {
    if (elements_.empty()) move(current_);
    elements_.push_back({Element::Kind::line, {pt, {}, {}}});
    current_ = pt;
}

void UIBezierPath::addQuadCurve(CGPoint end, CGPoint control) {
    if (elements_.empty()) move(current_);
    elements_.push_back({Element::Kind::quad, {end, control, {}}});
    current_ = end;
}

void UIBezierPath::addCurve(CGPoint end, CGPoint c1, CGPoint c2) {
    if (elements_.empty()) move(current_);
    elements_.push_back({Element::Kind::curve, {end, c1, c2}});
    current_ = end;
}

void UIBezierPath::addArc(CGPoint center, CGFloat radius, CGFloat a0, CGFloat a1, bool clockwise) {
    if (!std::isfinite(a0) || !std::isfinite(a1) || !std::isfinite(radius)) return;
    CGFloat sweep = a1 - a0;
    // Clockwise in y-down space means increasing angles.
    if (clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, kTwoPi) + kTwoPi;
        if (sweep > kTwoPi) sweep = kTwoPi;
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, kTwoPi) - kTwoPi;
        if (sweep < -kTwoPi) sweep = -kTwoPi;
    }
    const CGPoint start{center.x + radius * std::cos(a0), center.y + radius * std::sin(a0)};
    if (elements_.empty())
        move(start);
    else
        addLine(start);
    const int segments =
        std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    const CGFloat step = sweep / segments;
    const CGFloat k = 4.0 / 3.0 * std::tan(step / 4);
    CGFloat a = a0;
    for (int i = 0; i < segments; ++i) {
        const CGFloat b = a + step;
        const CGPoint p0{center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
        const CGPoint p3{center.x + radius * std::cos(b), center.y + radius * std::sin(b)};
        const CGPoint c1{p0.x - k * radius * std::sin(a), p0.y + k * radius * std::cos(a)};
        const CGPoint c2{p3.x + k * radius * std::sin(b), p3.y - k * radius * std::cos(b)};
        addCurve(p3, c1, c2);
        a = b;
    }
}

void UIBezierPath::close() {
    if (elements_.empty()) return;
    elements_.push_back({Element::Kind::close, {}});
    current_ = start_;
}

void UIBezierPath::append(const UIBezierPath& other) {
    for (const auto& e : other.elements_)
        elements_.push_back(e);
    if (!other.elements_.empty()) {
        current_ = other.current_;
        start_ = other.start_;
    }
}

void UIBezierPath::apply(const CGAffineTransform& t) {
    for (auto& e : elements_)
        for (auto& p : e.points)
            p = t.apply(p);
    current_ = t.apply(current_);
    start_ = t.apply(start_);
}

CGRect UIBezierPath::bounds() const {
    CGRect box = CGRect::null();
    for (const auto& e : elements_) {
        const int n = e.kind == Element::Kind::curve   ? 3
                      : e.kind == Element::Kind::quad  ? 2
                      : e.kind == Element::Kind::close ? 0
                                                       : 1;
        for (int i = 0; i < n; ++i)
            box = box.unionWith(CGRect{e.points[i], CGSize{}});
    }
    return box;
}

bool UIBezierPath::contains(CGPoint p) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(s);
    pathInto(cr, *this);
    cairo_set_fill_rule(cr, usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    const bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return inside;
}

void UIBezierPath::fill() const {
    if (CGContext* c = UIGraphicsGetCurrentContext()) c->fill(*this);
}

void UIBezierPath::stroke() const {
    if (CGContext* c = UIGraphicsGetCurrentContext()) c->stroke(*this);
}

void UIBezierPath::addClip() const {
    if (CGContext* c = UIGraphicsGetCurrentContext()) c->clip(*this);
}
