// The pictures of the baby pages: the baby placeholder shown until (or instead of) a baby's own
// photo, the daily update's item explanation button, and the small line chart of its charts
// control.

#include "ImageDrawing.h"

#include <cmath>

namespace {

using namespace cw::images;

const UIColor kBackdrop{0.93, 0.96, 0.95, 1};
const UIColor kSkin{0.98, 0.87, 0.78, 1};
const UIColor kFeature{0.45, 0.33, 0.28, 1};
const UIColor kBlanket = kEton;

// A sleeping baby's face over a blanket, on a pale round backdrop.
void drawDefaultBaby(CGContext& c, CGSize s) {
    const CGFloat w = s.width, h = s.height;
    c.setFillColor(kBackdrop);
    c.fillEllipse({0, 0, w, h});
    c.saveGState();
    c.clip(UIBezierPath::ovalIn({0, 0, w, h}));
    // Blanket.
    c.setFillColor(kBlanket);
    c.fill(UIBezierPath::roundedRect({w * 0.14, h * 0.66, w * 0.72, h * 0.5}, w * 0.2));
    // Head, with a little curl on top.
    c.setFillColor(kSkin);
    c.fillEllipse({w * 0.27, h * 0.22, w * 0.46, h * 0.46});
    c.fillEllipse({w * 0.22, h * 0.4, w * 0.08, h * 0.1});
    c.fillEllipse({w * 0.70, h * 0.4, w * 0.08, h * 0.1});
    UIBezierPath curl;
    curl.move({w * 0.5, h * 0.23});
    curl.addCurve({w * 0.56, h * 0.16}, {w * 0.47, h * 0.15}, {w * 0.55, h * 0.12});
    curl.lineWidth = w * 0.025;
    curl.lineCapStyle = CGLineCap::round;
    c.setStrokeColor(kFeature);
    c.stroke(curl);
    // Closed eyes and a small smile.
    for (const CGFloat x : {0.41, 0.59}) {
        UIBezierPath eye;
        eye.addArc({w * x, h * 0.43}, w * 0.04, 0, M_PI, true);
        eye.lineWidth = w * 0.018;
        eye.lineCapStyle = CGLineCap::round;
        c.stroke(eye);
    }
    UIBezierPath smile;
    smile.addArc({w * 0.5, h * 0.52}, w * 0.05, M_PI * 0.15, M_PI * 0.85, true);
    smile.lineWidth = w * 0.018;
    smile.lineCapStyle = CGLineCap::round;
    c.stroke(smile);
    c.restoreGState();
}

// A rising line through three dots over a base line.
void drawCharts(CGContext& c, CGSize s) {
    const CGFloat w = s.width, h = s.height;
    UIBezierPath axis;
    axis.move({1.5, 1.5});
    axis.addLine({1.5, h - 1.5});
    axis.addLine({w - 1, h - 1.5});
    axis.lineWidth = 1.4;
    axis.lineCapStyle = CGLineCap::round;
    axis.lineJoinStyle = CGLineJoin::round;
    c.setStrokeColor(UIColor(0.2, 0.2, 0.2));
    c.stroke(axis);
    const CGPoint points[] = {{4.5, h - 5}, {8.5, h - 9}, {13.5, 4}};
    UIBezierPath rise;
    rise.move(points[0]);
    rise.addLine(points[1]);
    rise.addLine(points[2]);
    rise.lineWidth = 1.6;
    rise.lineCapStyle = CGLineCap::round;
    rise.lineJoinStyle = CGLineJoin::round;
    c.setStrokeColor(kMeadow);
    c.stroke(rise);
    c.setFillColor(kMeadow);
    for (const auto& p : points)
        c.fillEllipse({p.x - 1.8, p.y - 1.8, 3.6, 3.6});
}

// An "i" in a ring: an item's explanation. Black on transparent, drawn in the button's tint.
void drawInfo(CGContext& c, CGSize s) {
    const CGFloat w = s.width;
    auto ring = UIBezierPath::ovalIn({1, 1, w - 2, w - 2});
    ring.lineWidth = 1.5;
    c.setStrokeColor(UIColor::blackColor());
    c.stroke(ring);
    c.setFillColor(UIColor::blackColor());
    c.fillEllipse({w / 2 - 1.3, w * 0.24, 2.6, 2.6});
    c.fill(UIBezierPath::roundedRect({w / 2 - 1.1, w * 0.42, 2.2, w * 0.36}, 1.1));
}

const cw::images::Drawing info{"daily_update_info", {22, 22}, drawInfo};
const cw::images::Drawing defaultBaby{"card_default_baby", {120, 120}, drawDefaultBaby};
const cw::images::Drawing charts{"daily_update_charts", {16, 16}, drawCharts};

} // namespace
