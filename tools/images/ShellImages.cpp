// The pictures of the application shell: the navigation bar's back arrow, the five tab images, and
// the side menu's header background and logo. Glyphs are drawn in black on transparent: bars draw
// them as templates in their tint.

#include "ImageDrawing.h"

#include "uikit/graphics/NSAttributedString.h"

#include <cmath>

namespace {

using namespace cw::images;

const UIColor kShellInk = UIColor::blackColor();

// A chevron pointing left, the height of the bar's text.
void drawBack(CGContext& c, CGSize s) {
    stroke(c, polyline({{s.width - 2.5, 1.5}, {2.5, s.height / 2}, {s.width - 2.5, s.height - 1.5}}), 3);
}

void drawHome(CGContext& c, CGSize) {
    stroke(c, polyline({{2.5, 12}, {12.5, 3}, {22.5, 12}}));
    stroke(c, polyline({{5.5, 10}, {5.5, 22}, {19.5, 22}, {19.5, 10}}));
    stroke(c, polyline({{10.5, 22}, {10.5, 15.5}, {14.5, 15.5}, {14.5, 22}}));
}

void drawCalendar(CGContext& c, CGSize) {
    stroke(c, UIBezierPath::roundedRect({3, 5, 19, 17}, 2.5));
    stroke(c, polyline({{3, 10}, {22, 10}}));
    stroke(c, polyline({{8, 2.5}, {8, 6.5}}));
    stroke(c, polyline({{17, 2.5}, {17, 6.5}}));
    c.setFillColor(kShellInk);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col) c.fill(CGRect{7.0 + col * 4.5, 13.0 + row * 4.5, 2.2, 2.2});
}

void drawTeam(CGContext& c, CGSize) {
    // Two people, the one behind a little smaller.
    stroke(c, UIBezierPath::ovalIn({13.5, 4, 6, 6}), 1.6);
    stroke(c, UIBezierPath::ovalIn({5, 5.5, 7, 7}), 1.8);
    UIBezierPath back;
    back.addArc({16.5, 19}, 5.5, M_PI, 2 * M_PI, true);
    stroke(c, back, 1.6);
    UIBezierPath front;
    front.addArc({8.5, 21.5}, 6.5, M_PI, 2 * M_PI, true);
    front.close();
    stroke(c, front, 1.8);
}

void drawJourney(CGContext& c, CGSize) {
    // A winding road up to a flag.
    UIBezierPath road;
    road.move({3, 22.5});
    road.addCurve({12, 13}, {11, 22.5}, {4, 13});
    road.addCurve({18, 6}, {20, 13}, {18, 10});
    stroke(c, road, 1.8);
    stroke(c, polyline({{18, 6}, {18, 1.5}}), 1.6);
    UIBezierPath flag = polyline({{18, 1.5}, {23, 3}, {18, 4.5}});
    flag.close();
    c.setFillColor(kShellInk);
    c.fill(flag);
    c.fillEllipse({1.5, 21, 3, 3});
}

void drawEducation(CGContext& c, CGSize) {
    // An open book.
    UIBezierPath left;
    left.move({12.5, 7});
    left.addCurve({2.5, 5.5}, {9.5, 4.5}, {5.5, 4.5});
    left.addLine({2.5, 19.5});
    left.addCurve({12.5, 21}, {5.5, 18.5}, {9.5, 18.5});
    left.close();
    stroke(c, left, 1.6);
    UIBezierPath right = left;
    right.apply(CGAffineTransform{-1, 0, 0, 1, 25, 0});
    stroke(c, right, 1.6);
    stroke(c, polyline({{12.5, 7}, {12.5, 21}}), 1.6);
}

// Soft mint light behind the member's picture.
void drawHeaderBackground(CGContext& c, CGSize s) {
    c.drawLinearGradient({UIColor(0.93, 0.98, 0.96, 1), UIColor(0.84, 0.95, 0.91, 1)}, {}, {0, 0}, {0, s.height});
    c.setFillColor(UIColor(1, 1, 1, 0.35));
    c.fillEllipse({-40, 96, 150, 150});
    c.fillEllipse({170, -50, 130, 130});
    c.setFillColor(kEton.withAlphaComponent(0.18));
    c.fillEllipse({150, 110, 120, 120});
    c.fillEllipse({-30, -60, 110, 110});
}

// A cradle under a crescent, and the name.
void drawMenuLogo(CGContext& c, CGSize s) {
    const CGFloat h = s.height;
    UIBezierPath cradle;
    cradle.move({4, h * 0.5});
    cradle.addCurve({36, h * 0.5}, {6, h * 0.95}, {34, h * 0.95});
    cradle.close();
    c.setFillColor(kMeadow);
    c.fill(cradle);
    UIBezierPath rocker;
    rocker.move({6, h * 0.88});
    rocker.addQuadCurve({34, h * 0.88}, {20, h * 1.02});
    stroke(c, rocker, 2, kMeadow);
    c.setFillColor(kEton);
    c.fillEllipse({22, 4, 12, 12});
    c.setFillColor(UIColor::whiteColor());
    c.fillEllipse({26, 2, 11, 11});

    TextAttributes a;
    a.font = UIFont::systemFont(17, UIFont::Weight::semibold);
    a.foregroundColor = kMeadow;
    NSAttributedString("cradleway", a).draw(CGPoint{44, h / 2 - 11});
}

const cw::images::Drawing back{"cwy_back", {13, 21}, drawBack};
const cw::images::Drawing home{"tab-home", {25, 25}, drawHome};
const cw::images::Drawing calendar{"tab-calendar", {25, 25}, drawCalendar};
const cw::images::Drawing team{"tab-team", {25, 25}, drawTeam};
const cw::images::Drawing journey{"tab-journey", {25, 25}, drawJourney};
const cw::images::Drawing education{"tab-education", {25, 25}, drawEducation};
const cw::images::Drawing headerBackground{"hamburger-header-background", {250, 176}, drawHeaderBackground};
const cw::images::Drawing menuLogo{"cwy_menulogo", {130, 44}, drawMenuLogo};

} // namespace
