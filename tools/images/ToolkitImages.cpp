// The shared pieces' pictures: the floating menu's item icons (a coloured disc with a white glyph,
// drawn to fill the item's 60-point icon view) and the chevrons of the expandable section headers.

#include "ImageDrawing.h"

#include <cmath>
#include <numbers>

namespace {

using namespace cw::images;

// The disc every menu icon stands on, 44 points across in the middle of the picture, with the
// glyph's pen set up: white, round ends and joins.
void drawMenuDisc(CGContext& context, CGSize size, const UIColor& color) {
    const CGFloat d = 44;
    context.setFillColor(color);
    context.fillEllipse(CGRect((size.width - d) / 2, (size.height - d) / 2, d, d));
    context.setStrokeColor(UIColor::whiteColor());
    context.setFillColor(UIColor::whiteColor());
}

// A sheet with a pencil across its corner: writing a post.
void drawCompose(CGContext& context, CGSize size) {
    drawMenuDisc(context, size, rgb(0x3E, 0xB4, 0x89));
    const CGFloat cx = size.width / 2, cy = size.height / 2;
    UIBezierPath sheet = pen(2);
    sheet.move({cx + 4, cy - 10});
    sheet.addLine({cx - 10, cy - 10});
    sheet.addLine({cx - 10, cy + 10});
    sheet.addLine({cx + 10, cy + 10});
    sheet.addLine({cx + 10, cy - 2});
    context.stroke(sheet);
    UIBezierPath pencil = pen(2);
    pencil.move({cx - 3, cy + 4});
    pencil.addLine({cx - 2, cy - 1});
    pencil.addLine({cx + 9, cy - 12});
    pencil.addLine({cx + 13, cy - 8});
    pencil.addLine({cx + 2, cy + 3});
    pencil.close();
    context.stroke(pencil);
}

// A telephone handset: calling the unit.
void drawCall(CGContext& context, CGSize size) {
    drawMenuDisc(context, size, rgb(0x57, 0x93, 0xFE));
    const CGFloat cx = size.width / 2, cy = size.height / 2;
    UIBezierPath handset = pen(2);
    handset.lineWidth = 5;
    // The grip: a quarter circle from the ear piece to the mouth piece.
    handset.addArc({cx + 6, cy - 6}, 13, std::numbers::pi * 0.55, std::numbers::pi * 0.95, true);
    context.stroke(handset);
    // Ear and mouth pieces, small rounded blocks at the two ends.
    const CGFloat r = 13;
    for (double angle : {std::numbers::pi * 0.5, std::numbers::pi}) {
        const CGPoint end{cx + 6 + r * std::cos(angle), cy - 6 + r * std::sin(angle)};
        UIBezierPath piece = UIBezierPath::roundedRect(CGRect(end.x - 4, end.y - 4, 8, 8), 2.5);
        context.fill(piece);
    }
}

// A speech bubble with three dots: sending feedback.
void drawFeedback(CGContext& context, CGSize size) {
    drawMenuDisc(context, size, rgb(0xE0, 0xA5, 0x2E));
    const CGFloat cx = size.width / 2, cy = size.height / 2;
    UIBezierPath bubble = pen(2);
    bubble.append(UIBezierPath::roundedRect(CGRect(cx - 11, cy - 9, 22, 15), 4));
    bubble.lineWidth = 2;
    context.stroke(bubble);
    UIBezierPath tail = pen(2);
    tail.move({cx - 5, cy + 6});
    tail.addLine({cx - 7, cy + 11});
    tail.addLine({cx + 1, cy + 6});
    context.stroke(tail);
    for (int i = -1; i <= 1; ++i)
        context.fillEllipse(CGRect(cx + i * 5.5 - 1.5, cy - 3, 3, 3));
}

// The chevrons of an expandable section: a grey V pointing up (open) or down (closed).
void drawChevron(CGContext& context, CGSize size, bool up) {
    UIBezierPath v = pen(2.5);
    const CGFloat inset = 2, top = up ? size.height - inset : inset, tip = up ? inset : size.height - inset;
    v.move({inset, top});
    v.addLine({size.width / 2, tip});
    v.addLine({size.width - inset, top});
    context.setStrokeColor(rgb(0x93, 0x96, 0x93));
    context.stroke(v);
}

const CGSize menuIcon{60, 60};
const CGSize chevron{18, 11};

cw::images::Drawing compose{"flyout_menu_compose", menuIcon, drawCompose};
cw::images::Drawing call{"flyout_menu_call", menuIcon, drawCall};
cw::images::Drawing feedback{"flyout_menu_feedback", menuIcon, drawFeedback};
cw::images::Drawing chevronUp{"chevron-up-journey", chevron,
                              [](CGContext& c, CGSize s) { drawChevron(c, s, true); }};
cw::images::Drawing chevronDown{"chevron-down-journey", chevron,
                                [](CGContext& c, CGSize s) { drawChevron(c, s, false); }};

} // namespace
