// The pictures of the signed-out screens: the fingerprint of the Touch ID sign-in button, in the
// brand's green (drawn in its own colours, not as a template).

#include "ImageDrawing.h"

#include <numbers>

namespace {

using namespace cw::images;

// One ridge: an open loop around `centre`, taller than wide, from one angle to another (clockwise
// on screen, 0 pointing right).
UIBezierPath ridge(CGPoint centre, CGFloat radius, double from, double to) {
    UIBezierPath p;
    p.addArc({0, 0}, radius, from, to, true);
    p.apply(CGAffineTransform{0.8, 0, 0, 1.15, centre.x, centre.y});
    p.lineWidth = 2.2;
    p.lineCapStyle = CGLineCap::round;
    return p;
}

// Ridges as nested loops, each open somewhere along its lower half as a print's lines break off,
// around a short core.
void drawFingerprint(CGContext& c, CGSize s) {
    constexpr double pi = std::numbers::pi;
    const CGPoint centre{s.width / 2, s.height * 0.54};
    c.setStrokeColor(kMeadow);
    c.stroke(ridge(centre, 17, pi * 0.80, pi * 2.15));
    c.stroke(ridge(centre, 13, pi * 0.62, pi * 2.30));
    c.stroke(ridge(centre, 9, pi * 0.95, pi * 2.45));
    c.stroke(ridge(centre, 5, pi * 0.70, pi * 2.05));
    UIBezierPath core;
    core.move({centre.x, centre.y - 1});
    core.addLine({centre.x, centre.y + 8});
    core.lineWidth = 2.2;
    core.lineCapStyle = CGLineCap::round;
    c.stroke(core);
}

const cw::images::Drawing touchID{"touchid-re", {44, 44}, drawFingerprint};

} // namespace
