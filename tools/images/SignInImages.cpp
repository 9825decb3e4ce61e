// The pictures of the signed-out screens: the fingerprint of the Touch ID sign-in button, in the
// brand's green (drawn in its own colours, not as a template).

#include "ImageDrawing.h"

#include <numbers>

namespace {

const UIColor kMeadow{47 / 255.0, 178 / 255.0, 153 / 255.0, 1};

UIBezierPath arc(CGPoint centre, CGFloat radius, CGFloat from, CGFloat to) {
    UIBezierPath p;
    p.addArc(centre, radius, from, to, true);
    p.lineWidth = 2.2;
    p.lineCapStyle = CGLineCap::round;
    return p;
}

// Ridges as nested open arcs around a centre below the middle, each a little shorter than the one
// outside it, with a gap at the bottom as a finger's print has.
void drawFingerprint(CGContext& c, CGSize s) {
    constexpr double pi = std::numbers::pi;
    const CGPoint centre{s.width / 2, s.height * 0.56};
    c.setStrokeColor(kMeadow);
    const CGFloat radii[] = {17, 13, 9, 5};
    for (std::size_t i = 0; i < std::size(radii); ++i) {
        const double open = 0.28 + 0.12 * static_cast<double>(i);
        c.stroke(arc(centre, radii[i], pi * (0.5 + open), pi * (2.5 - open)));
    }
    // The core: one short stroke down the middle.
    UIBezierPath core;
    core.move({centre.x, centre.y - 1});
    core.addLine({centre.x, centre.y + 7});
    core.lineWidth = 2.2;
    core.lineCapStyle = CGLineCap::round;
    c.stroke(core);
}

const cw::images::Drawing touchID{"touchid-re", {44, 44}, drawFingerprint};

} // namespace
