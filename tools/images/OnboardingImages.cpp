// The onboarding tutorial's pictures: the full-screen background ("launch"), the four themes' round
// title badges, and one illustration per page: a phone showing what the theme looks like in the
// application (the family around the baby, a shared photo, the day's articles, the journey map).

#include "ImageDrawing.h"

#include <cmath>
#include <numbers>
#include <string>

namespace {

using namespace cw::images;

// Beside the brand greens, a warm and a soft accent, the ink and the grey of text lines.
const UIColor kCoral = rgb(242, 140, 118);
const UIColor kSun = rgb(247, 196, 88);
const UIColor kOnboardingInk = rgb(60, 72, 80);
const UIColor kLine = rgb(214, 222, 226);

UIBezierPath heart(CGPoint center, CGFloat size) {
    const CGFloat s = size / 2;
    UIBezierPath p;
    p.move({center.x, center.y + s});
    p.addCurve({center.x - s, center.y - s * 0.3}, {center.x - s * 0.2, center.y + s * 0.55},
               {center.x - s, center.y + s * 0.2});
    p.addCurve({center.x, center.y - s * 0.45}, {center.x - s, center.y - s * 1.1}, {center.x - s * 0.1, center.y - s * 1.0});
    p.addCurve({center.x + s, center.y - s * 0.3}, {center.x + s * 0.1, center.y - s * 1.0}, {center.x + s, center.y - s * 1.1});
    p.addCurve({center.x, center.y + s}, {center.x + s, center.y + s * 0.2}, {center.x + s * 0.2, center.y + s * 0.55});
    p.close();
    return p;
}

// A person: a head over rounded shoulders.
void person(CGContext& c, CGPoint top, CGFloat size, const UIColor& color) {
    c.setFillColor(color);
    c.fillEllipse({top.x - size * 0.22, top.y, size * 0.44, size * 0.44});
    UIBezierPath body;
    body.addArc({top.x, top.y + size * 0.95}, size * 0.42, std::numbers::pi, 2 * std::numbers::pi, true);
    body.close();
    c.fill(body);
}

// --- The background ---------------------------------------------------------------------------------

// White at the top fading to a light mint, with soft rounds of the brand greens at the edges, so
// the pages' text reads over it anywhere.
void drawLaunch(CGContext& c, CGSize s) {
    c.drawLinearGradient({UIColor::whiteColor(), rgb(236, 248, 244)}, {}, {0, 0}, {0, s.height});
    c.setFillColor(kEton.withAlphaComponent(0.16));
    c.fillEllipse({-90, -70, 230, 230});
    c.fillEllipse({s.width - 110, s.height - 190, 260, 260});
    c.setFillColor(kMeadow.withAlphaComponent(0.08));
    c.fillEllipse({s.width - 70, 40, 140, 140});
    c.fillEllipse({-60, s.height - 120, 160, 160});
}

// --- Title badges: a green disc with a white glyph -----------------------------------------------

void badge(CGContext& c, CGSize s, const UIColor& color) {
    c.setFillColor(color);
    c.fillEllipse({2, 2, s.width - 4, s.height - 4});
    c.setFillColor(UIColor::whiteColor());
    c.setStrokeColor(UIColor::whiteColor());
}

// Two speech bubbles.
void drawConnectBadge(CGContext& c, CGSize s) {
    badge(c, s, kMeadow);
    c.fill(UIBezierPath::roundedRect({15, 18, 24, 16}, 6));
    UIBezierPath tail;
    tail.move({19, 33});
    tail.addLine({17, 39});
    tail.addLine({25, 33});
    tail.close();
    c.fill(tail);
    stroke(c, UIBezierPath::roundedRect({27, 28, 22, 15}, 6), 2.4, UIColor::whiteColor());
    UIBezierPath tail2 = pen(2.4);
    tail2.move({43, 43});
    tail2.addLine({46, 48});
    tail2.addLine({39, 43});
    stroke(c, tail2, 2.4, UIColor::whiteColor());
}

// A camera.
void drawPostBadge(CGContext& c, CGSize s) {
    badge(c, s, kMeadow);
    stroke(c, UIBezierPath::roundedRect({15, 23, 34, 22}, 4), 2.6, UIColor::whiteColor());
    c.fill(UIBezierPath::roundedRect({25, 18, 14, 7}, 2));
    stroke(c, UIBezierPath::ovalIn({25, 27, 14, 14}), 2.6, UIColor::whiteColor());
    c.fillEllipse({42, 26, 3, 3});
}

// An open book.
void drawLearnBadge(CGContext& c, CGSize s) {
    badge(c, s, kMeadow);
    UIBezierPath left;
    left.move({32, 22});
    left.addCurve({16, 20}, {27, 18.5}, {20, 18.5});
    left.addLine({16, 42});
    left.addCurve({32, 44}, {20, 40.5}, {27, 40.5});
    left.close();
    stroke(c, left, 2.4, UIColor::whiteColor());
    UIBezierPath right = left;
    right.apply(CGAffineTransform{-1, 0, 0, 1, 64, 0});
    stroke(c, right, 2.4, UIColor::whiteColor());
    stroke(c, [] {
        UIBezierPath spine;
        spine.move({32, 22});
        spine.addLine({32, 44});
        return spine;
    }(), 2.4, UIColor::whiteColor());
}

// A map pin over a winding road.
void drawJourneyBadge(CGContext& c, CGSize s) {
    badge(c, s, kMeadow);
    UIBezierPath road = pen(2.4);
    road.move({16, 47});
    road.addCurve({40, 42}, {24, 38}, {34, 48});
    road.setLineDash({3, 4}, 0);
    stroke(c, road, 2.4, UIColor::whiteColor());
    UIBezierPath pin;
    pin.move({38, 40});
    pin.addCurve({29, 24}, {33, 34}, {29, 30});
    pin.addArc({38, 24}, 9, std::numbers::pi, 2 * std::numbers::pi, true);
    pin.addCurve({38, 40}, {47, 30}, {43, 34});
    pin.close();
    c.fill(pin);
    c.setFillColor(kMeadow);
    c.fillEllipse({34.5, 20.5, 7, 7});
}

// --- Illustrations: a phone with one theme on its screen -------------------------------------------

constexpr CGSize kIllustration{220, 300};
// The phone's screen inside the illustration.
constexpr CGRect kScreen{48, 34, 124, 232};

// The phone's body and its white screen, clipped to the screen for the theme drawn next (the
// clip stays until the state is restored).
void phone(CGContext& c) {
    c.setFillColor(rgb(0, 0, 0, 0.06));
    c.fill(UIBezierPath::roundedRect({42, 22, 144, 276}, 22));
    c.setFillColor(kOnboardingInk);
    c.fill(UIBezierPath::roundedRect({36, 14, 148, 278}, 22));
    c.setFillColor(UIColor::whiteColor());
    c.fill(UIBezierPath::roundedRect(kScreen, 6));
    c.setFillColor(rgb(90, 102, 110));
    c.fill(UIBezierPath::roundedRect({94, 22, 32, 5}, 2.5));
    c.fillEllipse({103, 273, 14, 14});
    c.saveGState();
    c.clip(UIBezierPath::roundedRect(kScreen, 6));
    // The application's bar along the screen's top.
    c.setFillColor(kMeadow);
    c.fill(CGRect{kScreen.origin.x, kScreen.origin.y, kScreen.size.width, 22});
    c.setFillColor(UIColor::whiteColor());
    for (int i = 0; i < 3; ++i) c.fill(CGRect{kScreen.origin.x + 8, kScreen.origin.y + 6 + i * 4.0, 10, 1.8});
}

// A round of colour behind the phone.
struct Round {
    UIColor color;
    CGRect oval;
};

// One page's illustration: two rounds of colour behind the phone, then the theme that `screen`
// draws on the phone's screen, clipped to it.
cw::images::Draw phonePage(Round first, Round second, void (*screen)(CGContext&)) {
    return [first, second, screen](CGContext& c, CGSize) {
        for (const Round* round : {&first, &second}) {
            c.setFillColor(round->color);
            c.fillEllipse(round->oval);
        }
        phone(c);
        screen(c);
        c.restoreGState();
    };
}

// Grey text lines of a given width.
void textLines(CGContext& c, CGFloat x, CGFloat y, std::initializer_list<CGFloat> widths, CGFloat gap = 7) {
    c.setFillColor(kLine);
    for (CGFloat w : widths) {
        c.fill(UIBezierPath::roundedRect({x, y, w, 3.5}, 1.75));
        y += gap;
    }
}

// The baby in the middle with a heart, the family around, joined to it.
void drawConnectScreen(CGContext& c) {
    const CGPoint centre{110, 152};
    const CGPoint family[] = {{78, 92}, {142, 92}, {72, 206}, {148, 206}};
    const UIColor colours[] = {kCoral, kMeadow, kSun, kEton};
    for (const auto& p : family) {
        UIBezierPath link = pen(2);
        link.move(centre);
        link.addLine({p.x, p.y + 12});
        link.setLineDash({3, 3}, 0);
        stroke(c, link, 2, kLine);
    }
    for (int i = 0; i < 4; ++i) {
        c.setFillColor(colours[i].withAlphaComponent(0.18));
        c.fillEllipse({family[i].x - 17, family[i].y - 5, 34, 34});
        person(c, {family[i].x, family[i].y}, 24, colours[i]);
    }
    c.setFillColor(rgb(255, 238, 232));
    c.fillEllipse({centre.x - 26, centre.y - 26, 52, 52});
    c.setFillColor(kCoral);
    c.fill(heart(centre, 26));
    textLines(c, 62, 244, {96, 70});
}

// A post: the author, a photo of a sunny hill, the text and the reactions.
void drawPostScreen(CGContext& c) {
    const CGFloat x = kScreen.origin.x + 8, w = kScreen.size.width - 16;
    c.setFillColor(kCoral);
    c.fillEllipse({x, 66, 18, 18});
    textLines(c, x + 24, 69, {54, 34});
    // The photo.
    const CGRect photo{x, 92, w, 84};
    c.saveGState();
    c.clip(UIBezierPath::roundedRect(photo, 4));
    c.drawLinearGradient({rgb(196, 232, 246), rgb(232, 246, 250)}, {}, {0, photo.origin.y}, {0, photo.maxY()});
    c.setFillColor(kSun);
    c.fillEllipse({photo.maxX() - 34, photo.origin.y + 12, 20, 20});
    UIBezierPath hill;
    hill.move({photo.origin.x, photo.maxY()});
    hill.addQuadCurve({photo.origin.x + w * 0.55, photo.origin.y + 46}, {photo.origin.x + w * 0.2, photo.origin.y + 36});
    hill.addQuadCurve({photo.maxX(), photo.origin.y + 58}, {photo.origin.x + w * 0.8, photo.origin.y + 52});
    hill.addLine({photo.maxX(), photo.maxY()});
    hill.close();
    c.setFillColor(kMeadow);
    c.fill(hill);
    UIBezierPath nearHill;
    nearHill.move({photo.origin.x, photo.origin.y + 70});
    nearHill.addQuadCurve({photo.maxX(), photo.maxY()}, {photo.origin.x + w * 0.5, photo.origin.y + 52});
    nearHill.addLine({photo.origin.x, photo.maxY()});
    nearHill.close();
    c.setFillColor(kEton);
    c.fill(nearHill);
    c.restoreGState();
    textLines(c, x, 186, {w, w - 20, w - 48});
    c.setFillColor(kCoral);
    c.fill(heart({x + 8, 218}, 13));
    stroke(c, UIBezierPath::roundedRect({x + 24, 211, 15, 11}, 4), 1.6, kOnboardingInk.withAlphaComponent(0.6));
    textLines(c, x, 236, {w - 30});
}

// The day's articles: a featured one with a picture, then a list with thumbnails.
void drawLearnScreen(CGContext& c) {
    const CGFloat x = kScreen.origin.x + 8, w = kScreen.size.width - 16;
    c.setFillColor(rgb(226, 244, 238));
    c.fill(UIBezierPath::roundedRect({x, 64, w, 62}, 4));
    c.setFillColor(kMeadow);
    // A small open book on the featured article.
    UIBezierPath page;
    page.move({x + 30, 82});
    page.addQuadCurve({x + 14, 80}, {x + 22, 77});
    page.addLine({x + 14, 104});
    page.addQuadCurve({x + 30, 106}, {x + 22, 102});
    page.close();
    c.fill(page);
    UIBezierPath other = page;
    other.apply(CGAffineTransform{-1, 0, 0, 1, 2 * (x + 30) + 2, 0});
    c.fill(other);
    textLines(c, x + 52, 80, {48, 40, 30}, 8);
    const UIColor thumbs[] = {kCoral, kSun, kEton};
    for (int i = 0; i < 3; ++i) {
        const CGFloat y = 138 + i * 40.0;
        c.setFillColor(thumbs[i].withAlphaComponent(0.8));
        c.fill(UIBezierPath::roundedRect({x, y, 30, 30}, 4));
        textLines(c, x + 38, y + 5, {w - 44, w - 60, w - 70});
    }
}

// The journey map: a dotted road winding up past milestones to home.
void drawJourneyScreen(CGContext& c) {
    c.setFillColor(rgb(240, 249, 246));
    c.fill(CGRect{kScreen.origin.x, kScreen.origin.y + 22, kScreen.size.width, kScreen.size.height - 22});
    UIBezierPath road = pen(5);
    road.move({80, 256});
    road.addCurve({140, 200}, {150, 250}, {90, 214});
    road.addCurve({82, 140}, {190, 186}, {60, 168});
    road.addCurve({128, 100}, {104, 118}, {136, 120});
    stroke(c, road, 8, kLine);
    UIBezierPath dashes = road;
    dashes.setLineDash({4, 6}, 0);
    stroke(c, dashes, 2.2, UIColor::whiteColor());
    const CGPoint stones[] = {{80, 256}, {140, 200}, {82, 140}};
    const UIColor colours[] = {kSun, kCoral, kEton};
    for (int i = 0; i < 3; ++i) {
        c.setFillColor(UIColor::whiteColor());
        c.fillEllipse({stones[i].x - 8, stones[i].y - 8, 16, 16});
        c.setFillColor(colours[i]);
        c.fillEllipse({stones[i].x - 5, stones[i].y - 5, 10, 10});
    }
    // Home at the end of the road.
    const CGPoint home{128, 86};
    UIBezierPath roof;
    roof.move({home.x - 15, home.y});
    roof.addLine({home.x, home.y - 13});
    roof.addLine({home.x + 15, home.y});
    roof.close();
    c.setFillColor(kMeadow);
    c.fill(roof);
    c.fill(CGRect{home.x - 11, home.y, 22, 16});
    c.setFillColor(UIColor::whiteColor());
    c.fill(CGRect{home.x - 3.5, home.y + 6, 7, 10});
    c.setFillColor(kCoral);
    c.fill(heart({home.x + 20, home.y - 10}, 9));
}

const cw::images::Drawing launch{"launch", {375, 667}, drawLaunch};
const cw::images::Drawing connectBadge{"connect_img", {64, 64}, drawConnectBadge};
const cw::images::Drawing postBadge{"post_img", {64, 64}, drawPostBadge};
const cw::images::Drawing learnBadge{"learn_img", {64, 64}, drawLearnBadge};
const cw::images::Drawing journeyBadge{"journey_img", {64, 64}, drawJourneyBadge};
// The pages' illustrations, "onboard_img1" to "onboard_img4": each page's rounds and its theme.
struct Page {
    Round first;
    Round second;
    void (*screen)(CGContext&);
};
const Page kPages[] = {
    {{kEton.withAlphaComponent(0.25), {0, 40, 70, 70}}, {kCoral.withAlphaComponent(0.2), {160, 200, 60, 60}},
     drawConnectScreen},
    {{kSun.withAlphaComponent(0.22), {150, 30, 70, 70}}, {kEton.withAlphaComponent(0.25), {0, 210, 64, 64}},
     drawPostScreen},
    {{kEton.withAlphaComponent(0.25), {156, 180, 64, 64}}, {kSun.withAlphaComponent(0.22), {4, 30, 56, 56}},
     drawLearnScreen},
    {{kCoral.withAlphaComponent(0.18), {150, 20, 64, 64}}, {kEton.withAlphaComponent(0.25), {0, 220, 70, 70}},
     drawJourneyScreen},
};
const bool pagesRegistered = [] {
    int number = 0;
    for (const Page& page : kPages)
        cw::images::Drawing("onboard_img" + std::to_string(++number), kIllustration,
                            phonePage(page.first, page.second, page.screen));
    return true;
}();

} // namespace
