// The NICU journey's pictures: the dots of the timeline's milestones (blue for the family's own,
// which they may change, teal for the care team's), the glyphs of the milestone form's camera
// and calendar buttons, and the milestone's menu button.

#include "ImageDrawing.h"

#include "uikit/graphics/UIBezierPath.h"

namespace {

using namespace cw::images;

// A filled disc with a white ring inside its edge, so that the dot stands out on the timeline's
// line.
void drawDot(CGContext& context, CGSize size, const UIColor& color) {
    context.setFillColor(color);
    context.fillEllipse(CGRect(0, 0, size.width, size.height));
    UIBezierPath ring = UIBezierPath::ovalIn(CGRect(3, 3, size.width - 6, size.height - 6));
    ring.lineWidth = 1.5;
    context.setStrokeColor(UIColor::whiteColor());
    context.stroke(ring);
}

// A camera body with its lens and viewfinder bump, white on a dark disc: it sits on the photo.
void drawCamera(CGContext& context, CGSize size) {
    context.setFillColor(UIColor(0, 0, 0, 0.55));
    context.fillEllipse(CGRect(0, 0, size.width, size.height));
    const CGFloat cx = size.width / 2, cy = size.height / 2;
    context.setFillColor(UIColor::whiteColor());
    context.fill(UIBezierPath::roundedRect(CGRect(cx - 11, cy - 6, 22, 15), 3));
    context.fill(UIBezierPath::roundedRect(CGRect(cx - 4, cy - 9, 8, 4), 1));
    context.setFillColor(UIColor(0.25, 0.25, 0.25, 1));
    context.fillEllipse(CGRect(cx - 4.5, cy - 3, 9, 9));
}

// A calendar sheet with two rings and a grid of days, in the form's grey.
void drawCalendar(CGContext& context, CGSize size) {
    const UIColor grey = rgb(0x93, 0x96, 0x93);
    UIBezierPath sheet = UIBezierPath::roundedRect(CGRect(1.5, 3.5, size.width - 3, size.height - 5), 2);
    sheet.lineWidth = 1.5;
    context.setStrokeColor(grey);
    context.stroke(sheet);
    context.setFillColor(grey);
    context.fill(CGRect(1.5, 3.5, size.width - 3, 4));
    for (CGFloat x : {size.width * 0.3, size.width * 0.7})
        context.fill(UIBezierPath::roundedRect(CGRect(x - 1, 0.5, 2, 5), 1));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            context.fill(CGRect(4.5 + col * (size.width - 9) / 3, 10 + row * 4.5, 3, 2.5));
}

// Three dots in a row, the menu of a milestone the family may change.
void drawMenu(CGContext& context, CGSize size) {
    context.setFillColor(rgb(0x43, 0x42, 0x44));
    const CGFloat d = 5, cy = size.height / 2;
    for (CGFloat cx : {size.width / 2 - 8, size.width / 2, size.width / 2 + 8})
        context.fillEllipse(CGRect(cx - d / 2, cy - d / 2, d, d));
}

const cw::images::Drawing blueDot{"journey-item-blue-circle", {14, 14},
                                  [](CGContext& c, CGSize s) { drawDot(c, s, rgb(0x4A, 0x90, 0xE2)); }};
const cw::images::Drawing tealDot{"journey-item-teal-circle", {14, 14},
                                  [](CGContext& c, CGSize s) { drawDot(c, s, rgb(0x2F, 0xB2, 0x99)); }};
const cw::images::Drawing camera{"journey-camera", {36, 36}, drawCamera};
const cw::images::Drawing calendar{"journey-calendar", {20, 20}, drawCalendar};
const cw::images::Drawing menu{"card_menu", {26, 26}, drawMenu};

} // namespace
