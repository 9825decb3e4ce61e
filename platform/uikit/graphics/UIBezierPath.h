#pragma once

// A path of lines and curves with its stroke settings, drawn in the current graphics context.

#include "uikit/graphics/Geometry.h"

#include <vector>

enum UIRectCorner : unsigned {
    UIRectCornerTopLeft = 1,
    UIRectCornerTopRight = 2,
    UIRectCornerBottomLeft = 4,
    UIRectCornerBottomRight = 8,
    UIRectCornerAllCorners = 15,
};

enum class CGLineCap { butt, round, square };
enum class CGLineJoin { miter, round, bevel };

class UIBezierPath {
public:
    struct Element {
        enum class Kind { move, line, quad, curve, close } kind;
        CGPoint points[3];
    };

    UIBezierPath() = default;
    static UIBezierPath rect(const CGRect& r);
    static UIBezierPath ovalIn(const CGRect& r);
    static UIBezierPath roundedRect(const CGRect& r, CGFloat cornerRadius);
    // Only the chosen corners are rounded; radii are limited to half the rectangle's sides.
    static UIBezierPath roundedRect(const CGRect& r, unsigned corners, CGSize cornerRadii);
    static UIBezierPath arc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                            bool clockwise);

    void move(CGPoint p);
    void addLine(CGPoint p);
    void addQuadCurve(CGPoint end, CGPoint control);
    void addCurve(CGPoint end, CGPoint control1, CGPoint control2);
    // Angles in radians; clockwise in the y-down coordinate space of views.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise);
    void close();
    void append(const UIBezierPath& other);
    void apply(const CGAffineTransform& t);
    void removeAllPoints() { elements_.clear(); }

    bool isEmpty() const { return elements_.empty(); }
    CGPoint currentPoint() const { return current_; }
    // The box of every point of the path, control points included; null when empty.
    CGRect bounds() const;
    // Whether a point lies inside the filled area (by the path's fill rule).
    bool contains(CGPoint p) const;
    const std::vector<Element>& elements() const { return elements_; }

    CGFloat lineWidth = 1;
    CGLineCap lineCapStyle = CGLineCap::butt;
    CGLineJoin lineJoinStyle = CGLineJoin::miter;
    CGFloat miterLimit = 10;
    bool usesEvenOddFillRule = false;
    void setLineDash(std::vector<CGFloat> pattern, CGFloat phase) {
        dashPattern = std::move(pattern);
        dashPhase = phase;
    }
    std::vector<CGFloat> dashPattern;
    CGFloat dashPhase = 0;

    // Fill with the context's fill colour, stroke with its stroke colour and this path's settings.
    void fill() const;
    void stroke() const;
    // Intersects the current context's clip with the path.
    void addClip() const;

private:
    std::vector<Element> elements_;
    CGPoint current_;
    CGPoint start_;
};
