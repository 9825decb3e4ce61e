#include "LandscapePicture.h"

#include "uikit/graphics/UIGraphics.h"

#include <cmath>
#include <cstdint>

namespace cw::gallery {

namespace {

// A small fixed sequence of numbers in 0...1, so that grass and flowers fall the same way each run.
class Scatter {
public:
    CGFloat next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<CGFloat>(state_ >> 40) / static_cast<CGFloat>(1ull << 24);
    }

private:
    std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

UIColor rgb(int r, int g, int b, CGFloat a = 1) {
    return {r / 255.0, g / 255.0, b / 255.0, a};
}

void gradientIn(CGContext& c, const UIBezierPath& area, const std::vector<UIColor>& colors, CGPoint from, CGPoint to) {
    c.saveGState();
    c.clip(area);
    c.drawLinearGradient(colors, {}, from, to);
    c.restoreGState();
}

UIBezierPath ridge(CGFloat width, CGFloat bottom, const std::vector<CGPoint>& crest) {
    UIBezierPath p;
    p.move({0, bottom});
    p.addLine(crest.front());
    for (std::size_t i = 1; i < crest.size(); ++i) {
        const CGPoint a = crest[i - 1], b = crest[i];
        p.addQuadCurve(b, {(a.x + b.x) / 2, std::min(a.y, b.y) - 6});
    }
    p.addLine({width, bottom});
    p.close();
    return p;
}

} // namespace

std::shared_ptr<UIImage> landscapePicture() {
    const CGSize size{300, 400};
    UIGraphicsImageRenderer renderer(size, {2, true});
    return renderer.image([&](UIGraphicsImageRendererContext& rc) {
        CGContext& c = rc.cgContext();
        const CGFloat w = size.width, horizon = 215;
        Scatter scatter;

        // Evening sky and the sun's glow.
        gradientIn(c, UIBezierPath::rect({0, 0, w, horizon + 5}),
                   {rgb(38, 70, 140), rgb(110, 140, 200), rgb(246, 196, 140), rgb(250, 220, 170)}, {0, 0},
                   {0, horizon});
        for (int i = 6; i >= 1; --i) {
            const CGFloat r = 14 + i * 9;
            c.setFillColor(rgb(255, 236, 170, 0.08));
            c.fillEllipse({205 - r, 112 - r, 2 * r, 2 * r});
        }
        c.setFillColor(rgb(255, 246, 214));
        c.fillEllipse({191, 98, 28, 28});
        for (auto [x, y, s] : {std::tuple{30.0, 60.0, 1.0}, {150.0, 95.0, 0.7}, {240.0, 40.0, 0.85}}) {
            c.setFillColor(rgb(255, 255, 255, 0.55));
            c.fillEllipse({x, y, 70 * s, 18 * s});
            c.fillEllipse({x + 18 * s, y - 9 * s, 40 * s, 22 * s});
        }

        // Mountains, far to near.
        c.setFillColor(rgb(120, 120, 165));
        c.fill(ridge(w, horizon + 5, {{0, 150}, {45, 120}, {95, 165}, {150, 110}, {210, 170}, {260, 135}, {300, 160}}));
        c.setFillColor(rgb(80, 100, 120));
        c.fill(ridge(w, horizon + 5, {{0, 185}, {60, 160}, {120, 190}, {185, 168}, {250, 195}, {300, 175}}));

        // The lake, with the sky and the sun in it.
        const CGRect lake{0, horizon, w, 55};
        gradientIn(c, UIBezierPath::rect(lake), {rgb(240, 205, 160), rgb(90, 120, 170)}, {0, lake.minY()},
                   {0, lake.maxY()});
        c.setFillColor(rgb(255, 240, 200, 0.6));
        for (int i = 0; i < 7; ++i) c.fill(CGRect{190.0 - i * 2, horizon + 6 + i * 7, 30.0 + i * 4, 2});

        // The meadow, in light and shade, with grass.
        gradientIn(c, ridge(w, 400, {{0, 262}, {80, 250}, {170, 266}, {240, 248}, {300, 258}}),
                   {rgb(120, 170, 70), rgb(50, 105, 40)}, {0, 250}, {0, 400});
        c.setLineWidth(1);
        for (int i = 0; i < 420; ++i) {
            const CGFloat x = scatter.next() * w, y = 270 + scatter.next() * 130, h = 4 + scatter.next() * 8;
            c.setStrokeColor(scatter.next() < 0.5 ? rgb(40, 90, 30, 0.8) : rgb(150, 190, 90, 0.8));
            UIBezierPath blade;
            blade.move({x, y});
            blade.addLine({x + (scatter.next() - 0.5) * 4, y - h});
            c.stroke(blade);
        }

        // A tree on the left.
        c.setFillColor(rgb(90, 60, 35));
        c.fill(CGRect{52, 215, 12, 75});
        for (auto [x, y, r, g] : {std::tuple{30.0, 170.0, 38.0, 120}, {55.0, 150.0, 40.0, 140}, {72.0, 180.0, 34.0, 110},
                                  {45.0, 195.0, 30.0, 95}}) {
            c.setFillColor(rgb(40, g, 45));
            c.fillEllipse({x - r, y - r * 0.8, 2 * r, 1.6 * r});
        }

        // Flowers in the foreground.
        const UIColor petals[] = {rgb(235, 70, 90), rgb(250, 210, 60), rgb(245, 245, 250), rgb(170, 90, 210)};
        for (int i = 0; i < 90; ++i) {
            const CGFloat x = scatter.next() * w, y = 300 + scatter.next() * 95, r = 2 + (y - 300) / 30;
            c.setFillColor(petals[i % 4]);
            c.fillEllipse({x - r, y - r, 2 * r, 2 * r});
            c.setFillColor(rgb(250, 180, 40));
            c.fillEllipse({x - r / 3, y - r / 3, r * 2 / 3, r * 2 / 3});
        }
    });
}

} // namespace cw::gallery
