#include "uikit/view/CALayer.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

// --- Transforms ------------------------------------------------------------------------------

CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz) {
    CATransform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz) {
    CATransform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z) {
    const CGFloat len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return CATransform3DIdentity;
    x /= len;
    y /= len;
    z /= len;
    const CGFloat c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    CATransform3D r;
    r.m11 = t * x * x + c;
    r.m12 = t * x * y + z * s;
    r.m13 = t * x * z - y * s;
    r.m21 = t * x * y - z * s;
    r.m22 = t * y * y + c;
    r.m23 = t * y * z + x * s;
    r.m31 = t * x * z + y * s;
    r.m32 = t * y * z - x * s;
    r.m33 = t * z * z + c;
    return r;
}

CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b) {
    const CGFloat A[4][4] = {{a.m11, a.m12, a.m13, a.m14},
                             {a.m21, a.m22, a.m23, a.m24},
                             {a.m31, a.m32, a.m33, a.m34},
                             {a.m41, a.m42, a.m43, a.m44}};
    const CGFloat B[4][4] = {{b.m11, b.m12, b.m13, b.m14},
                             {b.m21, b.m22, b.m23, b.m24},
                             {b.m31, b.m32, b.m33, b.m34},
                             {b.m41, b.m42, b.m43, b.m44}};
    CGFloat R[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                R[i][j] += A[i][k] * B[k][j];
    return {R[0][0], R[0][1], R[0][2], R[0][3], R[1][0], R[1][1], R[1][2], R[1][3],
            R[2][0], R[2][1], R[2][2], R[2][3], R[3][0], R[3][1], R[3][2], R[3][3]};
}

CATransform3D CATransform3DTranslate(const CATransform3D& t, CGFloat tx, CGFloat ty, CGFloat tz) {
    return CATransform3DConcat(CATransform3DMakeTranslation(tx, ty, tz), t);
}

CATransform3D CATransform3DScale(const CATransform3D& t, CGFloat sx, CGFloat sy, CGFloat sz) {
    return CATransform3DConcat(CATransform3DMakeScale(sx, sy, sz), t);
}

CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& a) {
    CATransform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t) {
    return {t.m11, t.m12, t.m21, t.m22, t.m41, t.m42};
}

bool CATransform3DIsIdentity(const CATransform3D& t) {
    return t == CATransform3DIdentity;
}

// --- CALayer ---------------------------------------------------------------------------------

CALayer::~CALayer() {
    for (auto& s : sublayers_)
        s->superlayer_.reset();
}

void (*cw::detail::layerWillChange)(CALayer*) = nullptr;

void CALayer::setBounds(const CGRect& bounds) {
    cw::detail::noteLayerChange(this);
    bounds_ = bounds;
}

void CALayer::setPosition(CGPoint position) {
    cw::detail::noteLayerChange(this);
    position_ = position;
}

CGRect CALayer::frame() const {
    const CGRect b = bounds_;
    const CGRect local{-anchorPoint_.x * b.size.width, -anchorPoint_.y * b.size.height, b.size.width,
                       b.size.height};
    if (CATransform3DIsIdentity(transform_)) return local.offsetBy(position_.x, position_.y);
    return affineTransform().apply(local).offsetBy(position_.x, position_.y);
}

void CALayer::setFrame(const CGRect& frame) {
    cw::detail::noteLayerChange(this);
    bounds_.size = frame.size;
    position_ = {frame.origin.x + anchorPoint_.x * frame.size.width,
                 frame.origin.y + anchorPoint_.y * frame.size.height};
}

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) {
    insertSublayer(layer, sublayers_.size());
}

void CALayer::insertSublayer(const std::shared_ptr<CALayer>& layer, std::size_t index) {
    if (!layer || layer.get() == this) return;
    for (auto p = superlayer(); p; p = p->superlayer())
        if (p == layer) return; // no cycles
    std::shared_ptr<CALayer> keep = layer;
    if (layer->superlayer().get() == this) {
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        const auto at = static_cast<std::size_t>(it - sublayers_.begin());
        sublayers_.erase(it);
        if (index > at) --index;
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->superlayer_ = weak_from_this();
}

void CALayer::insertSublayerBelow(const std::shared_ptr<CALayer>& layer,
                                  const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (it == sublayers_.end()) return addSublayer(layer);
    insertSublayer(layer, static_cast<std::size_t>(it - sublayers_.begin()));
}

void CALayer::insertSublayerAbove(const std::shared_ptr<CALayer>& layer,
                                  const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (it == sublayers_.end()) return addSublayer(layer);
    insertSublayer(layer, static_cast<std::size_t>(it - sublayers_.begin()) + 1);
}

void CALayer::removeFromSuperlayer() {
    auto parent = superlayer();
    if (!parent) return;
    std::shared_ptr<CALayer> keep = shared_from_this();
    auto& list = parent->sublayers_;
    list.erase(std::remove(list.begin(), list.end(), keep), list.end());
    superlayer_.reset();
}

std::shared_ptr<const CAAnimation> CALayer::animation(const std::string& key) const {
    if (key.empty()) return nullptr;
    for (const auto& [k, a] : animations_)
        if (k == key) return a;
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (const auto& [k, a] : animations_)
        if (!k.empty()) keys.push_back(k);
    return keys;
}

void CALayer::removeAnimation(const std::string& key) {
    if (key.empty()) return;
    std::erase_if(animations_, [&](const auto& entry) { return entry.first == key; });
}

void CALayer::removeAllAnimations() {
    animations_.clear();
}

const char* caName(CATransitionType type) {
    switch (type) {
    case CATransitionType::moveIn:
        return "moveIn";
    case CATransitionType::push:
        return "push";
    case CATransitionType::reveal:
        return "reveal";
    case CATransitionType::fade:
        break;
    }
    return "fade";
}

const char* caName(CATransitionSubtype subtype) {
    switch (subtype) {
    case CATransitionSubtype::fromLeft:
        return "fromLeft";
    case CATransitionSubtype::fromTop:
        return "fromTop";
    case CATransitionSubtype::fromBottom:
        return "fromBottom";
    case CATransitionSubtype::fromRight:
        break;
    }
    return "fromRight";
}

const char* caName(CAMediaTimingFunctionName name) {
    switch (name) {
    case CAMediaTimingFunctionName::linear:
        return "linear";
    case CAMediaTimingFunctionName::easeIn:
        return "easeIn";
    case CAMediaTimingFunctionName::easeOut:
        return "easeOut";
    case CAMediaTimingFunctionName::easeInEaseOut:
        return "easeInEaseOut";
    case CAMediaTimingFunctionName::default_:
        break;
    }
    return "default";
}

void CALayer::drawInContext(CGContext& context) {
    if (contents) context.draw(*contents, CGRect({0, 0}, bounds_.size));
}

// --- Drawing layers --------------------------------------------------------------------------

namespace {

cairo_line_cap_t cairoCap(CALineCap c) {
    switch (c) {
    case CALineCap::round:
        return CAIRO_LINE_CAP_ROUND;
    case CALineCap::square:
        return CAIRO_LINE_CAP_SQUARE;
    case CALineCap::butt:
        break;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t cairoJoin(CALineJoin j) {
    switch (j) {
    case CALineJoin::round:
        return CAIRO_LINE_JOIN_ROUND;
    case CALineJoin::bevel:
        return CAIRO_LINE_JOIN_BEVEL;
    case CALineJoin::miter:
        break;
    }
    return CAIRO_LINE_JOIN_MITER;
}

void appendPath(cairo_t* cr, const UIBezierPath& path) {
    for (const auto& e : path.elements()) {
        switch (e.kind) {
        case UIBezierPath::Element::Kind::move:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            break;
        case UIBezierPath::Element::Kind::line:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            break;
        case UIBezierPath::Element::Kind::quad: {
            double x0, y0;
            cairo_get_current_point(cr, &x0, &y0);
            // Elements keep the end point first, then the control points.
            const CGPoint p = e.points[0], c = e.points[1];
            cairo_curve_to(cr, x0 + 2.0 / 3.0 * (c.x - x0), y0 + 2.0 / 3.0 * (c.y - y0),
                           p.x + 2.0 / 3.0 * (c.x - p.x), p.y + 2.0 / 3.0 * (c.y - p.y), p.x, p.y);
            break;
        }
        case UIBezierPath::Element::Kind::curve:
            cairo_curve_to(cr, e.points[1].x, e.points[1].y, e.points[2].x, e.points[2].y, e.points[0].x,
                           e.points[0].y);
            break;
        case UIBezierPath::Element::Kind::close:
            cairo_close_path(cr);
            break;
        }
    }
}

void setSource(cairo_t* cr, const UIColor& c, double alpha = 1) {
    cairo_set_source_rgba(cr, c.clampedRed(), c.clampedGreen(), c.clampedBlue(), c.clampedAlpha() * alpha);
}

} // namespace

namespace cw::detail {
void appendCairoPath(cairo_t* cr, const UIBezierPath& path) {
    appendPath(cr, path);
}
} // namespace cw::detail

void CAShapeLayer::drawInContext(CGContext& context) {
    CALayer::drawInContext(context);
    if (!path || path->isEmpty()) return;
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    const double alpha = context.alpha();
    if (fillColor && fillColor->clampedAlpha() > 0) {
        cairo_new_path(cr);
        appendPath(cr, *path);
        cairo_set_fill_rule(cr, evenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        setSource(cr, *fillColor, alpha);
        cairo_fill(cr);
    }
    if (strokeColor && lineWidth > 0 && strokeEnd > strokeStart) {
        cairo_new_path(cr);
        appendPath(cr, *path);
        cairo_set_line_width(cr, lineWidth);
        cairo_set_line_cap(cr, cairoCap(lineCap));
        cairo_set_line_join(cr, cairoJoin(lineJoin));
        std::vector<double> dashes;
        for (CGFloat d : lineDashPattern)
            if (d >= 0) dashes.push_back(d);
        bool anyPositive = std::any_of(dashes.begin(), dashes.end(), [](double d) { return d > 0; });
        if (!dashes.empty() && anyPositive) {
            cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), lineDashPhase);
        }
        setSource(cr, *strokeColor, alpha);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

void CAGradientLayer::drawInContext(CGContext& context) {
    CALayer::drawInContext(context);
    if (colors.empty()) return;
    const CGSize s = bounds().size;
    context.saveGState();
    context.clip(CGRect({0, 0}, s));
    context.drawLinearGradient(colors, locations, {startPoint.x * s.width, startPoint.y * s.height},
                               {endPoint.x * s.width, endPoint.y * s.height});
    context.restoreGState();
}

void CATextLayer::drawInContext(CGContext& context) {
    CALayer::drawInContext(context);
    NSMutableAttributedString text;
    if (attributedString) {
        text = NSMutableAttributedString(*attributedString);
    } else {
        TextAttributes a;
        a.font = font ? font->withSize(fontSize) : UIFont::systemFont(fontSize);
        a.foregroundColor = foregroundColor;
        NSParagraphStyle p;
        switch (alignmentMode) {
        case CATextLayerAlignmentMode::left:
            p.alignment = NSTextAlignment::left;
            break;
        case CATextLayerAlignmentMode::right:
            p.alignment = NSTextAlignment::right;
            break;
        case CATextLayerAlignmentMode::center:
            p.alignment = NSTextAlignment::center;
            break;
        case CATextLayerAlignmentMode::justified:
            p.alignment = NSTextAlignment::justified;
            break;
        case CATextLayerAlignmentMode::natural:
            break;
        }
        p.lineBreakMode = wrapped ? NSLineBreakMode::byWordWrapping : NSLineBreakMode::byClipping;
        a.paragraphStyle = p;
        text = NSMutableAttributedString(string, a);
    }
    if (text.empty()) return;
    const CGSize s = bounds().size;
    context.saveGState();
    context.clip(CGRect({0, 0}, s));
    UIGraphicsPushContext(context);
    if (wrapped) {
        text.draw(CGRect(0, 0, s.width, s.height));
    } else {
        // One line, placed across the layer by the alignment mode.
        const CGFloat free = s.width - text.size().width;
        CGFloat x = 0;
        if (alignmentMode == CATextLayerAlignmentMode::center) x = free / 2;
        if (alignmentMode == CATextLayerAlignmentMode::right) x = free;
        text.draw(CGPoint{x, 0});
    }
    UIGraphicsPopContext();
    context.restoreGState();
}
