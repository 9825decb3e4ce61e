// The pictures of the education library: its four tab images (each also in a filled form for the
// selected tab), the bookmark and share marks of its rows and pages, the disclosure arrow of the
// category rows, the play sign over a class picture, and the pictures the demo classes name. (The
// stars of its recommended rows are the feed's.) Glyphs are black on transparent (bars draw them as
// templates in their tint); the class pictures keep their colours.

#include "ImageDrawing.h"

#include <cmath>

namespace {

using namespace cw::images;

const UIColor kEducationInk = UIColor::blackColor();
const UIColor kEducationGrey{0.69, 0.69, 0.69, 1};

void fill(CGContext& c, const UIBezierPath& p, const UIColor& color = kEducationInk) {
    c.setFillColor(color);
    c.fill(p);
}

// A ribbon bookmark: a tall rectangle with a notch cut up into its foot.
UIBezierPath ribbon(CGRect r) {
    return polyline({{r.origin.x, r.origin.y},
                     {r.origin.x + r.width(), r.origin.y},
                     {r.origin.x + r.width(), r.origin.y + r.height()},
                     {r.origin.x + r.width() / 2, r.origin.y + r.height() * 0.72},
                     {r.origin.x, r.origin.y + r.height()}},
                    true);
}

// --- Tabs (24 points) ---

void drawRecommended(CGContext& c, bool filled) {
    auto s = star({2, 2}, 20, 0.5);
    if (filled)
        fill(c, s);
    else
        stroke(c, s, 1.6);
}

void drawCategories(CGContext& c, bool filled) {
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) {
            auto tile = UIBezierPath::roundedRect({3.0 + col * 10, 3.0 + row * 10, 8, 8}, 2);
            if (filled)
                fill(c, tile);
            else
                stroke(c, tile, 1.6);
        }
}

void drawSearch(CGContext& c, bool filled) {
    auto lens = UIBezierPath::ovalIn({3, 3, 13, 13});
    if (filled) fill(c, lens);
    stroke(c, lens, filled ? 2.4 : 1.8);
    stroke(c, polyline({{14.5, 14.5}, {21, 21}}), filled ? 3 : 2.2);
}

void drawBookmarkedTab(CGContext& c, bool filled) {
    auto mark = ribbon({6, 2.5, 12, 19});
    if (filled)
        fill(c, mark);
    else
        stroke(c, mark, 1.6);
}

// --- Row and page marks ---

void drawBookmark(CGContext& c, CGSize s) {
    stroke(c, ribbon({5, 2, s.width - 10, s.height - 4}), 1.6);
}

void drawBookmarked(CGContext& c, CGSize s) {
    fill(c, ribbon({5, 2, s.width - 10, s.height - 4}));
}

// A tray with an arrow leaving it upwards.
void drawShare(CGContext& c, CGSize) {
    stroke(c, polyline({{7, 9}, {4, 9}, {4, 20}, {18, 20}, {18, 9}, {15, 9}}), 1.6);
    stroke(c, polyline({{11, 14}, {11, 2.5}}), 1.6);
    stroke(c, polyline({{7, 6}, {11, 2.5}, {15, 6}}), 1.6);
}

void drawDisclosure(CGContext& c, CGSize s) {
    stroke(c, polyline({{1.5, 1.5}, {s.width - 1.5, s.height / 2}, {1.5, s.height - 1.5}}), 2, kEducationGrey);
}

// A white disc with a dark play triangle, shown faded over a picture.
void drawPlay(CGContext& c, CGSize s) {
    c.setFillColor(UIColor::whiteColor());
    c.fillEllipse({1, 1, s.width - 2, s.height - 2});
    fill(c, polyline({{s.width * 0.4, s.height * 0.3}, {s.width * 0.72, s.height * 0.5}, {s.width * 0.4, s.height * 0.7}},
                     true),
         UIColor(0.2, 0.2, 0.2, 1));
}

// --- The demo classes' pictures (a scene on a soft background) ---

void background(CGContext& c, CGSize s, const UIColor& top, const UIColor& bottom) {
    c.drawLinearGradient({top, bottom}, {}, {0, 0}, {0, s.height});
}

// Two hands pressing on a heart.
void drawClassCpr(CGContext& c, CGSize s) {
    background(c, s, UIColor(0.99, 0.90, 0.87, 1), UIColor(0.96, 0.78, 0.74, 1));
    UIBezierPath heart;
    const CGFloat cx = s.width / 2, cy = s.height * 0.58;
    heart.move({cx, cy + 50});
    heart.addCurve({cx - 62, cy - 20}, {cx - 20, cy + 25}, {cx - 62, cy + 10});
    heart.addCurve({cx, cy - 28}, {cx - 62, cy - 62}, {cx - 8, cy - 62});
    heart.addCurve({cx + 62, cy - 20}, {cx + 8, cy - 62}, {cx + 62, cy - 62});
    heart.addCurve({cx, cy + 50}, {cx + 62, cy + 10}, {cx + 20, cy + 25});
    heart.close();
    fill(c, heart, UIColor(0.78, 0.33, 0.24, 1));
    c.setFillColor(UIColor(1, 0.93, 0.86, 1));
    c.fill(UIBezierPath::roundedRect({cx - 34, cy - 70, 68, 26}, 12));
    c.fill(UIBezierPath::roundedRect({cx - 28, cy - 92, 56, 26}, 12));
    stroke(c, polyline({{cx - 90, cy - 10}, {cx - 72, cy - 10}, {cx - 66, cy - 26}, {cx - 58, cy + 4}}), 3,
           UIColor(1, 1, 1, 0.9));
}

// A small figure with a helping hand on its back.
void drawClassChoking(CGContext& c, CGSize s) {
    background(c, s, UIColor(0.87, 0.92, 0.99, 1), UIColor(0.73, 0.82, 0.96, 1));
    const UIColor body(0.24, 0.49, 0.78, 1);
    const CGFloat cx = s.width / 2;
    c.setFillColor(body);
    c.fillEllipse({cx - 22, 44, 44, 44});
    c.fill(UIBezierPath::roundedRect({cx - 36, 96, 72, 90}, 24));
    c.setFillColor(UIColor(1, 0.93, 0.86, 1));
    c.fill(UIBezierPath::roundedRect({cx + 26, 118, 60, 22}, 11));
    stroke(c, polyline({{cx + 92, 110}, {cx + 104, 100}}), 3, UIColor(1, 1, 1, 0.9));
    stroke(c, polyline({{cx + 96, 128}, {cx + 112, 128}}), 3, UIColor(1, 1, 1, 0.9));
    stroke(c, polyline({{cx + 92, 146}, {cx + 104, 156}}), 3, UIColor(1, 1, 1, 0.9));
}

template <void (*Draw)(CGContext&, bool), bool Filled> void tab(CGContext& c, CGSize) {
    Draw(c, Filled);
}

const cw::images::Drawing recommended{"bec_recommended", {24, 24}, tab<drawRecommended, false>};
const cw::images::Drawing recommendedSelected{"bec_recommended_selected", {24, 24}, tab<drawRecommended, true>};
const cw::images::Drawing categories{"bec_categories", {24, 24}, tab<drawCategories, false>};
const cw::images::Drawing categoriesSelected{"bec_categories_selected", {24, 24}, tab<drawCategories, true>};
const cw::images::Drawing search{"bec_search", {24, 24}, tab<drawSearch, false>};
const cw::images::Drawing searchSelected{"bec_search_selected", {24, 24}, tab<drawSearch, true>};
const cw::images::Drawing bookmarkedTab{"bec_bookmarked", {24, 24}, tab<drawBookmarkedTab, false>};
const cw::images::Drawing bookmarkedTabSelected{"bec_bookmarked_selected", {24, 24}, tab<drawBookmarkedTab, true>};
const cw::images::Drawing bookmark{"bookmark", {22, 22}, drawBookmark};
const cw::images::Drawing bookmarked{"bookmarked", {22, 22}, drawBookmarked};
const cw::images::Drawing share{"share_icon", {22, 22}, drawShare};
const cw::images::Drawing disclosure{"cwy_disclosure", {8, 13}, drawDisclosure};
const cw::images::Drawing play{"cwy_playlist", {44, 44}, drawPlay};
const cw::images::Drawing classCpr{"class_cpr", {300, 220}, drawClassCpr};
const cw::images::Drawing classChoking{"class_choking", {300, 220}, drawClassChoking};

} // namespace
