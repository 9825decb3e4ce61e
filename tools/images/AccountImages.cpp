// The family and account screens' pictures: the invite button (a person with a plus), the remove
// menu (three dots), the people placeholders (a head and shoulders on grey, round for the list,
// square for the details), and the settings rows' and the password screen's arrows. Buttons that bars show untinted are drawn in the brand green.

#include "ImageDrawing.h"

#include <algorithm>

namespace {

using namespace cw::images;

const UIColor kLightGrey{0xE4 / 255.0, 0xE2 / 255.0, 0xE0 / 255.0, 1};
const UIColor kSilhouette{0xC4 / 255.0, 0xC1 / 255.0, 0xBE / 255.0, 1};

// A head and shoulders in a box of the given size, at `origin`.
void drawPerson(CGContext& c, CGRect box, const UIColor& color) {
    const CGFloat w = box.size.width, h = box.size.height;
    c.setFillColor(color);
    const CGFloat head = std::min(w, h) * 0.42;
    c.fillEllipse({box.origin.x + (w - head) / 2, box.origin.y + h * 0.05, head, head});
    UIBezierPath shoulders;
    shoulders.move({box.origin.x + w * 0.08, box.origin.y + h});
    shoulders.addCurve({box.origin.x + w * 0.92, box.origin.y + h}, {box.origin.x + w * 0.12, box.origin.y + h * 0.4},
                       {box.origin.x + w * 0.88, box.origin.y + h * 0.4});
    shoulders.close();
    c.fill(shoulders);
}

// A person with a plus beside them: invite someone.
void drawAddPerson(CGContext& c, CGSize) {
    UIBezierPath head = pen(1.8);
    head.append(UIBezierPath::ovalIn({4, 3, 9, 9}));
    head.lineWidth = 1.8;
    c.setStrokeColor(kMeadow);
    c.stroke(head);
    UIBezierPath body = pen(1.8);
    body.move({1.5, 21.5});
    body.addCurve({15.5, 21.5}, {2, 13}, {15, 13});
    c.stroke(body);
    UIBezierPath plus = pen(2);
    plus.move({20, 6});
    plus.addLine({20, 16});
    plus.move({15, 11});
    plus.addLine({25, 11});
    c.stroke(plus);
}

// Someone without a picture of their own, in a circle.
void drawProfilePlaceholder(CGContext& c, CGSize s) {
    c.setFillColor(kLightGrey);
    c.fillEllipse({0, 0, s.width, s.height});
    UIBezierPath circle = UIBezierPath::ovalIn({0, 0, s.width, s.height});
    c.saveGState();
    c.clip(circle);
    drawPerson(c, {s.width * 0.12, s.height * 0.14, s.width * 0.76, s.height * 0.86}, kSilhouette);
    c.restoreGState();
}

// The same as a square card.
void drawMemberCard(CGContext& c, CGSize s) {
    c.setFillColor(kLightGrey);
    c.fill(CGRect{0, 0, s.width, s.height});
    drawPerson(c, {s.width * 0.2, s.height * 0.22, s.width * 0.6, s.height * 0.78}, kSilhouette);
}

// A chevron pointing left in the brand green, for a bar's own back button.
void drawBackP(CGContext& c, CGSize s) {
    UIBezierPath v = pen(3);
    v.move({s.width - 2.5, 1.5});
    v.addLine({2.5, s.height / 2});
    v.addLine({s.width - 2.5, s.height - 1.5});
    c.setStrokeColor(kMeadow);
    c.stroke(v);
}

const cw::images::Drawing addBaby{"add_baby", {26, 24}, drawAddPerson};
const cw::images::Drawing profilePlaceholder{"profile-pic-placeholder", {50, 50}, drawProfilePlaceholder};
const cw::images::Drawing memberCard{"card_default_m", {200, 200}, drawMemberCard};
const cw::images::Drawing backP{"cwy_backp", {13, 21}, drawBackP};

} // namespace
