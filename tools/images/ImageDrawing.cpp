#include "ImageDrawing.h"

#include <cmath>

namespace cw::images {

UIColor rgb(int r, int g, int b, CGFloat alpha) {
    return UIColor(r / 255.0, g / 255.0, b / 255.0, alpha);
}

UIBezierPath pen(CGFloat width) {
    UIBezierPath p;
    p.lineWidth = width;
    p.lineCapStyle = CGLineCap::round;
    p.lineJoinStyle = CGLineJoin::round;
    return p;
}

void stroke(CGContext& context, UIBezierPath path, CGFloat width, const UIColor& color) {
    path.lineWidth = width;
    path.lineCapStyle = CGLineCap::round;
    path.lineJoinStyle = CGLineJoin::round;
    context.setStrokeColor(color);
    context.stroke(path);
}

UIBezierPath polyline(std::initializer_list<CGPoint> points, bool closed) {
    UIBezierPath p;
    bool first = true;
    for (const auto& pt : points) {
        if (first)
            p.move(pt);
        else
            p.addLine(pt);
        first = false;
    }
    if (closed) p.close();
    return p;
}

UIBezierPath star(CGPoint origin, CGFloat side, CGFloat outer) {
    UIBezierPath p;
    const CGPoint centre{origin.x + side / 2, origin.y + side * 0.54};
    const CGFloat outerRadius = side * outer;
    const CGFloat innerRadius = outerRadius * 0.42;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const CGFloat r = i % 2 == 0 ? outerRadius : innerRadius;
        const CGPoint pt{centre.x + r * static_cast<CGFloat>(std::cos(angle)),
                         centre.y + r * static_cast<CGFloat>(std::sin(angle))};
        if (i == 0)
            p.move(pt);
        else
            p.addLine(pt);
    }
    p.close();
    return p;
}

} // namespace cw::images
