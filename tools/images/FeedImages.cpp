// The pictures of the feed: the bookmark stars, the sources' logos and the default avatars of the
// cards, the header's pictures (a baby's page before its photo arrives, and the header of a member
// without babies), the filter button in its two states, and the title bar's and comment glyphs.

#include "ImageDrawing.h"

#include "uikit/graphics/NSAttributedString.h"

#include <cmath>

namespace {

using namespace cw::images;

const UIColor kMint{126 / 255.0, 194 / 255.0, 173 / 255.0, 1};
const UIColor kGold{245 / 255.0, 185 / 255.0, 48 / 255.0, 1};
const UIColor kFeedGrey{0.62, 0.63, 0.62, 1};

void drawStarBookmarked(CGContext& c, CGSize s) {
    c.setFillColor(kGold);
    c.fill(star({1, 1}, s.width - 2, 0.48));
}

void drawStarNotBookmarked(CGContext& c, CGSize s) {
    stroke(c, star({2, 2}, s.width - 4, 0.48), 1.6, kFeedGrey);
}

// A person's head and shoulders in a circle.
void drawAvatar(CGContext& c, CGSize s, const UIColor& ground, const UIColor& figure) {
    c.setFillColor(ground);
    c.fillEllipse({0, 0, s.width, s.height});
    c.saveGState();
    c.clip(UIBezierPath::ovalIn({0, 0, s.width, s.height}));
    c.setFillColor(figure);
    const CGFloat w = s.width;
    c.fillEllipse({w * 0.32, w * 0.18, w * 0.36, w * 0.36});
    c.fillEllipse({w * 0.14, w * 0.58, w * 0.72, w * 0.7});
    c.restoreGState();
}

void drawDefaultCardAvatar(CGContext& c, CGSize s) {
    drawAvatar(c, s, UIColor(0.86, 0.87, 0.86, 1), kWhite);
}

void drawPartnerAvatar(CGContext& c, CGSize s) {
    drawAvatar(c, s, UIColor(0.62, 0.79, 0.93, 1), kWhite);
}

// The application's mark: a cradle under a crescent, white on the brand green.
void drawCradlewayLogo(CGContext& c, CGSize s) {
    c.setFillColor(kMeadow);
    c.fill({0, 0, s.width, s.height});
    const CGFloat w = s.width;
    UIBezierPath cradle;
    cradle.move({w * 0.2, w * 0.52});
    cradle.addCurve({w * 0.8, w * 0.52}, {w * 0.24, w * 0.86}, {w * 0.76, w * 0.86});
    cradle.close();
    c.setFillColor(kWhite);
    c.fill(cradle);
    UIBezierPath rocker;
    rocker.move({w * 0.22, w * 0.8});
    rocker.addQuadCurve({w * 0.78, w * 0.8}, {w * 0.5, w * 0.92});
    stroke(c, rocker, w * 0.04, kWhite);
    c.fillEllipse({w * 0.5, w * 0.14, w * 0.24, w * 0.24});
    c.setFillColor(kMeadow);
    c.fillEllipse({w * 0.58, w * 0.1, w * 0.22, w * 0.22});
}

// The hospital's mark: a white "A" on deep blue.
void drawAshcombeLogo(CGContext& c, CGSize s) {
    c.setFillColor(UIColor(0.12, 0.27, 0.47, 1));
    c.fill({0, 0, s.width, s.height});
    const CGFloat w = s.width;
    UIBezierPath letter;
    letter.move({w * 0.28, w * 0.76});
    letter.addLine({w * 0.5, w * 0.22});
    letter.addLine({w * 0.72, w * 0.76});
    stroke(c, letter, w * 0.09, kWhite);
    stroke(c, [&] {
        UIBezierPath bar;
        bar.move({w * 0.37, w * 0.58});
        bar.addLine({w * 0.63, w * 0.58});
        return bar;
    }(), w * 0.07, kWhite);
}

// Soft mint with a sleeping baby's outline: shown until a baby's photo arrives.
void drawBabyPlaceholder(CGContext& c, CGSize s) {
    c.drawLinearGradient({UIColor(0.84, 0.93, 0.9, 1), UIColor(0.7, 0.86, 0.8, 1)}, {}, {0, 0}, {0, s.height});
    const CGFloat cx = s.width / 2, cy = s.height * 0.55, u = s.height / 10;
    c.setFillColor(kWhite.withAlphaComponent(0.75));
    c.fillEllipse({cx - 5.2 * u, cy - 1.6 * u, 3.2 * u, 3.2 * u});
    c.fill(UIBezierPath::roundedRect({cx - 2.4 * u, cy - 1.4 * u, 7.6 * u, 3.2 * u}, 1.6 * u));
    c.setFillColor(kWhite.withAlphaComponent(0.5));
    c.fill(UIBezierPath::roundedRect({cx - 6.5 * u, cy + 2.2 * u, 13 * u, 0.6 * u}, 0.3 * u));
}

// The header of a member without babies: a night sky, a crescent moon among stars, waiting.
void drawNoBabyHeader(CGContext& c, CGSize s) {
    c.drawLinearGradient({UIColor(0.36, 0.7, 0.62, 1), kEton}, {}, {0, 0}, {0, s.height});
    // The moon sits in the middle of what the title bar and the search bar leave open.
    const CGFloat cx = s.width / 2, cy = s.height * 0.54, r = s.height * 0.13;
    c.setFillColor(kWhite.withAlphaComponent(0.95));
    c.fillEllipse({cx - r, cy - r, 2 * r, 2 * r});
    c.setFillColor(UIColor(0.4, 0.73, 0.65, 1));
    c.fillEllipse({cx - r * 0.45, cy - r * 1.2, 2 * r, 2 * r});
    c.setFillColor(kWhite.withAlphaComponent(0.8));
    for (const CGPoint p : {CGPoint{-2.6, -0.6}, CGPoint{-1.9, 0.9}, CGPoint{2.3, -0.2}, CGPoint{3.1, 0.9},
                            CGPoint{1.6, 1.2}, CGPoint{-3.4, 0.4}})
        c.fillEllipse({cx + p.x * r - 1.5, cy + p.y * r - 1.5, 3, 3});
}

// A funnel on a rounded square: white with a mint funnel, and pressed, the other way round.
void drawFilter(CGContext& c, CGSize s, const UIColor& ground, const UIColor& ink) {
    c.setFillColor(ground);
    c.fill(UIBezierPath::roundedRect({0.5, 0.5, s.width - 1, s.height - 1}, 7));
    const CGFloat w = s.width;
    UIBezierPath funnel;
    funnel.move({w * 0.26, w * 0.3});
    funnel.addLine({w * 0.74, w * 0.3});
    funnel.addLine({w * 0.56, w * 0.52});
    funnel.addLine({w * 0.56, w * 0.72});
    funnel.addLine({w * 0.44, w * 0.66});
    funnel.addLine({w * 0.44, w * 0.52});
    funnel.close();
    stroke(c, funnel, 1.8, ink);
}

void drawFilterNormal(CGContext& c, CGSize s) {
    drawFilter(c, s, kWhite, kMint);
}

void drawFilterPressed(CGContext& c, CGSize s) {
    drawFilter(c, s, kMint, kWhite);
}

// The title bar's menu button: three white bars.
void drawHamburger(CGContext& c, CGSize s) {
    for (int i = 0; i < 3; ++i) {
        UIBezierPath bar;
        bar.move({2, 3 + i * (s.height - 6) / 2});
        bar.addLine({s.width - 2, 3 + i * (s.height - 6) / 2});
        stroke(c, bar, 2.2, kWhite);
    }
}

// The title bar's way to the NICU journey: a winding road up to a flag, in white.
void drawJourneyGlyph(CGContext& c, CGSize) {
    UIBezierPath road;
    road.move({3, 22.5});
    road.addCurve({12, 13}, {11, 22.5}, {4, 13});
    road.addCurve({18, 6}, {20, 13}, {18, 10});
    stroke(c, road, 2, kWhite);
    UIBezierPath pole;
    pole.move({18, 6});
    pole.addLine({18, 1.5});
    stroke(c, pole, 1.6, kWhite);
    UIBezierPath flag;
    flag.move({18, 1.5});
    flag.addLine({23, 3});
    flag.addLine({18, 4.5});
    flag.close();
    c.setFillColor(kWhite);
    c.fill(flag);
}

// The bubble the comment count is written on.
void drawCommentBubble(CGContext& c, CGSize s) {
    UIBezierPath bubble = UIBezierPath::roundedRect({0, 0, s.width, s.height - 5}, 6);
    c.setFillColor(kMint);
    c.fill(bubble);
    UIBezierPath tail;
    tail.move({s.width * 0.62, s.height - 6});
    tail.addLine({s.width * 0.82, s.height});
    tail.addLine({s.width * 0.82, s.height - 6});
    tail.close();
    c.fill(tail);
}

const cw::images::Drawing starOn{"star-icon-re", {24, 24}, drawStarBookmarked};
const cw::images::Drawing starOff{"star-icon-grey-re", {24, 24}, drawStarNotBookmarked};
const cw::images::Drawing cradlewayLogo{"cwy_card_logo", {48, 48}, drawCradlewayLogo};
const cw::images::Drawing ashcombeLogo{"ashcombe_card_logo", {48, 48}, drawAshcombeLogo};
const cw::images::Drawing defaultAvatar{"card_default_n", {48, 48}, drawDefaultCardAvatar};
const cw::images::Drawing partnerAvatar{"mypartner_male", {42, 42}, drawPartnerAvatar};
const cw::images::Drawing babyPlaceholder{"scaled-down-baby-card", {375, 188}, drawBabyPlaceholder};
const cw::images::Drawing noBabyHeader{"default_baby_header", {375, 188}, drawNoBabyHeader};
const cw::images::Drawing filterNormal{"filter", {34, 34}, drawFilterNormal};
const cw::images::Drawing filterPressed{"filterp", {34, 34}, drawFilterPressed};
const cw::images::Drawing hamburger{"feed-hamburger", {24, 18}, drawHamburger};
const cw::images::Drawing journeyGlyph{"feed-journey", {25, 25}, drawJourneyGlyph};
const cw::images::Drawing commentBubble{"feed-comment-bubble", {30, 24}, drawCommentBubble};

} // namespace
