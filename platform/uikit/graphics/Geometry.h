#pragma once

// Points, sizes, rectangles, edge insets and affine transforms in points, with the value
// semantics and edge rules the layout and drawing code expects (a "null" rectangle is the
// result of intersecting rectangles that do not meet, and the identity of union).

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;

    static constexpr CGPoint zero() { return {}; }
    friend constexpr bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;

    static constexpr CGSize zero() { return {}; }
    friend constexpr bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGVector {
    CGFloat dx = 0;
    CGFloat dy = 0;
    friend constexpr bool operator==(const CGVector&, const CGVector&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;

    constexpr CGRect() = default;
    constexpr CGRect(CGPoint o, CGSize s) : origin(o), size(s) {}
    constexpr CGRect(CGFloat x, CGFloat y, CGFloat width, CGFloat height)
        : origin{x, y}, size{width, height} {}

    static constexpr CGRect zero() { return {}; }
    // The rectangle that stands for "no rectangle": what two disjoint rectangles intersect to.
    static constexpr CGRect null() {
        return {std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity(), 0, 0};
    }

    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    // A rectangle with a negative width or height describes the same area as its standardized form.
    CGRect standardized() const {
        if (isNull()) return *this;
        CGRect r = *this;
        if (r.size.width < 0) {
            r.origin.x += r.size.width;
            r.size.width = -r.size.width;
        }
        if (r.size.height < 0) {
            r.origin.y += r.size.height;
            r.size.height = -r.size.height;
        }
        return r;
    }

    CGFloat minX() const { return standardized().origin.x; }
    CGFloat minY() const { return standardized().origin.y; }
    CGFloat maxX() const {
        const CGRect r = standardized();
        return r.origin.x + r.size.width;
    }
    CGFloat maxY() const {
        const CGRect r = standardized();
        return r.origin.y + r.size.height;
    }
    CGFloat midX() const { return (minX() + maxX()) / 2; }
    CGFloat midY() const { return (minY() + maxY()) / 2; }
    CGFloat width() const { return std::abs(size.width); }
    CGFloat height() const { return std::abs(size.height); }
    CGPoint center() const { return {midX(), midY()}; }

    // The smallest rectangle with whole-number edges that contains this one.
    CGRect integral() const {
        if (isNull()) return *this;
        const CGFloat x0 = std::floor(minX()), y0 = std::floor(minY());
        const CGFloat x1 = std::ceil(maxX()), y1 = std::ceil(maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }

    // Shrinks (positive) or grows (negative) by dx on the left and right, dy on top and bottom;
    // a rectangle shrunk past nothing becomes null.
    CGRect insetBy(CGFloat dx, CGFloat dy) const {
        if (isNull()) return *this;
        CGRect r = standardized();
        r.origin.x += dx;
        r.origin.y += dy;
        r.size.width -= 2 * dx;
        r.size.height -= 2 * dy;
        if (r.size.width < 0 || r.size.height < 0) return null();
        return r;
    }

    CGRect offsetBy(CGFloat dx, CGFloat dy) const {
        if (isNull()) return *this;
        CGRect r = standardized();
        r.origin.x += dx;
        r.origin.y += dy;
        return r;
    }

    CGRect unionWith(const CGRect& other) const {
        if (isNull()) return other.standardized();
        if (other.isNull()) return standardized();
        const CGFloat x0 = std::min(minX(), other.minX()), y0 = std::min(minY(), other.minY());
        const CGFloat x1 = std::max(maxX(), other.maxX()), y1 = std::max(maxY(), other.maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }

    CGRect intersection(const CGRect& other) const {
        if (isNull() || other.isNull()) return null();
        const CGFloat x0 = std::max(minX(), other.minX()), y0 = std::max(minY(), other.minY());
        const CGFloat x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
        if (x1 < x0 || y1 < y0) return null();
        return {x0, y0, x1 - x0, y1 - y0};
    }

    bool intersects(const CGRect& other) const { return !intersection(other).isEmpty(); }

    // Half-open: a point on the maximum edge is outside, as hit-testing needs.
    bool contains(CGPoint p) const {
        if (isNull()) return false;
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    bool contains(const CGRect& other) const {
        if (isNull() || other.isNull()) return false;
        return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
               other.maxY() <= maxY();
    }

    friend bool operator==(const CGRect& a, const CGRect& b) {
        if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
        const CGRect sa = a.standardized(), sb = b.standardized();
        return sa.origin == sb.origin && sa.size == sb.size;
    }
};

struct UIEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;

    static constexpr UIEdgeInsets zero() { return {}; }
    friend constexpr bool operator==(const UIEdgeInsets&, const UIEdgeInsets&) = default;

    // The rectangle with these insets taken off its edges (negative insets grow it).
    CGRect inset(const CGRect& r) const {
        if (r.isNull()) return r;
        const CGRect s = r.standardized();
        return {s.origin.x + left, s.origin.y + top, s.size.width - left - right,
                s.size.height - top - bottom};
    }
};

// The affine map (x, y) -> (a x + c y + tx, b x + d y + ty), row-vector convention.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static constexpr CGAffineTransform identity() { return {}; }
    static constexpr CGAffineTransform makeTranslation(CGFloat x, CGFloat y) { return {1, 0, 0, 1, x, y}; }
    static constexpr CGAffineTransform makeScale(CGFloat sx, CGFloat sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Positive angles (radians) turn the x axis towards the y axis.
    static CGAffineTransform makeRotation(CGFloat angle) {
        const CGFloat s = std::sin(angle), co = std::cos(angle);
        return {co, s, -s, co, 0, 0};
    }

    bool isIdentity() const { return *this == identity(); }

    // This transform followed by `t`.
    constexpr CGAffineTransform concatenating(const CGAffineTransform& t) const {
        return {a * t.a + b * t.c, a * t.b + b * t.d,          c * t.a + d * t.c,
                c * t.b + d * t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
    }
    // Each of these applies the new step first, then this transform.
    CGAffineTransform translatedBy(CGFloat x, CGFloat y) const {
        return makeTranslation(x, y).concatenating(*this);
    }
    CGAffineTransform scaledBy(CGFloat sx, CGFloat sy) const {
        return makeScale(sx, sy).concatenating(*this);
    }
    CGAffineTransform rotated(CGFloat angle) const { return makeRotation(angle).concatenating(*this); }

    // A transform that cannot be inverted (determinant zero) is returned unchanged.
    CGAffineTransform inverted() const {
        const CGFloat det = a * d - b * c;
        if (det == 0 || !std::isfinite(det)) return *this;
        return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }

    constexpr CGPoint apply(CGPoint p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    constexpr CGSize apply(CGSize s) const {
        return {a * s.width + c * s.height, b * s.width + d * s.height};
    }
    // The bounding box of the transformed rectangle.
    CGRect apply(const CGRect& r) const {
        if (r.isNull()) return r;
        const CGPoint p[4] = {apply(CGPoint{r.minX(), r.minY()}), apply(CGPoint{r.maxX(), r.minY()}),
                              apply(CGPoint{r.minX(), r.maxY()}), apply(CGPoint{r.maxX(), r.maxY()})};
        CGFloat x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (const auto& q : p) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        return {x0, y0, x1 - x0, y1 - y0};
    }

    friend constexpr bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

inline CGPoint applying(CGPoint p, const CGAffineTransform& t) {
    return t.apply(p);
}
inline CGSize applying(CGSize s, const CGAffineTransform& t) {
    return t.apply(s);
}
inline CGRect applying(const CGRect& r, const CGAffineTransform& t) {
    return t.apply(r);
}

// Readable failures in tests.
inline std::ostream& operator<<(std::ostream& os, const CGPoint& p) {
    return os << "(" << p.x << ", " << p.y << ")";
}
inline std::ostream& operator<<(std::ostream& os, const CGSize& s) {
    return os << "(" << s.width << " x " << s.height << ")";
}
inline std::ostream& operator<<(std::ostream& os, const CGRect& r) {
    if (r.isNull()) return os << "(null rect)";
    return os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height
              << ")";
}
inline std::ostream& operator<<(std::ostream& os, const UIEdgeInsets& i) {
    return os << "{" << i.top << ", " << i.left << ", " << i.bottom << ", " << i.right << "}";
}
