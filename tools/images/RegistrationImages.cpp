// The pictures of the registration forms: the camera badge on the member's and the baby's photo, and
// the edit-picture button on the account screen's picture (normal and pressed). Drawn in their own
// colours (white glyphs on the brand green), not as templates.

#include "ImageDrawing.h"

namespace {

using namespace cw::images;

const UIColor kMeadowPressed{31 / 255.0, 128 / 255.0, 110 / 255.0, 1};
const UIColor kMist{228 / 255.0, 234 / 255.0, 231 / 255.0, 1};

// A disc filling the picture with a white ring just inside its edge, so that it stands out on any
// photo.
void drawDisc(CGContext& c, CGSize s, const UIColor& fill) {
    c.setFillColor(kWhite);
    c.fillEllipse({0, 0, s.width, s.height});
    c.setFillColor(fill);
    c.fillEllipse({1.5, 1.5, s.width - 3, s.height - 3});
}

// A camera seen from the front, centred in a square of side `side` at `origin`.
void drawCameraGlyph(CGContext& c, CGPoint origin, CGFloat side, const UIColor& ink, const UIColor& lens) {
    const CGFloat w = side;
    const CGRect body{origin.x + w * 0.14, origin.y + w * 0.32, w * 0.72, w * 0.46};
    UIBezierPath bump;
    bump.move({origin.x + w * 0.36, origin.y + w * 0.33});
    bump.addLine({origin.x + w * 0.41, origin.y + w * 0.24});
    bump.addLine({origin.x + w * 0.59, origin.y + w * 0.24});
    bump.addLine({origin.x + w * 0.64, origin.y + w * 0.33});
    bump.close();
    c.setFillColor(ink);
    c.fill(bump);
    c.fill(UIBezierPath::roundedRect(body, w * 0.07));
    const CGFloat r = w * 0.14;
    const CGPoint centre{origin.x + w * 0.5, origin.y + w * 0.55};
    c.setFillColor(lens);
    c.fillEllipse({centre.x - r, centre.y - r, 2 * r, 2 * r});
    c.setFillColor(ink);
    const CGFloat inner = r * 0.55;
    c.fillEllipse({centre.x - inner, centre.y - inner, 2 * inner, 2 * inner});
}

void drawCameraBadge(CGContext& c, CGSize s) {
    drawDisc(c, s, kMeadow);
    drawCameraGlyph(c, {s.width * 0.15, s.height * 0.13}, s.width * 0.7, kWhite, kMeadow);
}

// A pencil drawn diagonally, its point to the lower left.
void drawPencil(CGContext& c, CGSize s, const UIColor& ink) {
    const CGFloat w = s.width;
    UIBezierPath shaft;
    shaft.move({w * 0.30, w * 0.62});
    shaft.addLine({w * 0.60, w * 0.32});
    shaft.addLine({w * 0.70, w * 0.42});
    shaft.addLine({w * 0.40, w * 0.72});
    shaft.close();
    c.setFillColor(ink);
    c.fill(shaft);
    UIBezierPath cap;
    cap.move({w * 0.63, w * 0.29});
    cap.addLine({w * 0.67, w * 0.25});
    cap.addLine({w * 0.77, w * 0.35});
    cap.addLine({w * 0.73, w * 0.39});
    cap.close();
    c.fill(cap);
    UIBezierPath point;
    point.move({w * 0.28, w * 0.65});
    point.addLine({w * 0.37, w * 0.74});
    point.addLine({w * 0.24, w * 0.78});
    point.close();
    c.fill(point);
}

void drawEditPicture(CGContext& c, CGSize s) {
    drawDisc(c, s, kMeadow);
    drawPencil(c, s, kWhite);
}

void drawEditPicturePressed(CGContext& c, CGSize s) {
    drawDisc(c, s, kMeadowPressed);
    drawPencil(c, s, kMist);
}

const cw::images::Drawing cameraBadge{"camera-re", {32, 32}, drawCameraBadge};
const cw::images::Drawing editPicture{"editpic", {36, 36}, drawEditPicture};
const cw::images::Drawing editPicturePressed{"editpicp", {36, 36}, drawEditPicturePressed};

} // namespace
