// The pictures of the post, article and composer screens: the bar's comment bubble (the count's
// badge sits in its middle) and the composer's camera. The bookmark ribbons are the library's.

#include "ImageDrawing.h"

namespace {

const UIColor kInk{0.2, 0.2, 0.2, 1};
const UIColor kEton{130 / 255.0, 203 / 255.0, 170 / 255.0, 1};
const UIColor kWhite = UIColor::whiteColor();

void stroke(CGContext& c, UIBezierPath p, CGFloat width, const UIColor& color) {
    p.lineWidth = width;
    p.lineCapStyle = CGLineCap::round;
    p.lineJoinStyle = CGLineJoin::round;
    c.setStrokeColor(color);
    c.stroke(p);
}

// A rounded speech bubble, drawn as an outline so the count can stand inside it.
void drawCommentIcon(CGContext& c, CGSize s) {
    UIBezierPath bubble = UIBezierPath::roundedRect({2, 2, s.width - 4, s.height - 8}, 5);
    stroke(c, bubble, 1.6, kInk);
    UIBezierPath tail;
    tail.move({s.width * 0.34, s.height - 6});
    tail.addLine({s.width * 0.3, s.height - 1.5});
    tail.addLine({s.width * 0.5, s.height - 6});
    stroke(c, tail, 1.6, kInk);
}

// A camera in the composer's green, with a white lens.
void drawCamera(CGContext& c, CGSize s) {
    const CGFloat w = s.width, h = s.height;
    c.setFillColor(kEton);
    c.fill(UIBezierPath::roundedRect({1, h * 0.26, w - 2, h * 0.66}, 4));
    c.fill(UIBezierPath::roundedRect({w * 0.32, h * 0.12, w * 0.36, h * 0.2}, 2));
    c.setFillColor(kWhite);
    c.fillEllipse({w * 0.3, h * 0.36, w * 0.4, w * 0.4});
    c.setFillColor(kEton);
    c.fillEllipse({w * 0.38, h * 0.36 + w * 0.08, w * 0.24, w * 0.24});
}

const cw::images::Drawing comment{"comment-icon-unfilled", {26, 24}, drawCommentIcon};
const cw::images::Drawing editpic{"editpic", {28, 24}, drawCamera};

} // namespace
