#pragma once

// The application's named pictures (icons, tab images, placeholders) are drawn here, in code, at
// build time: cradleway-images writes each as "<name>@2x.png" into the bundle's Resources folder,
// where UIImage::named finds them. Each family of pictures lives in a file of its own and
// registers its drawings with static objects:
//   static cw::images::Drawing back{"cwy_back", {13, 21}, drawBack};
// The pens and shapes that several families draw with are below the registry.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace cw::images {

// Draws the picture into the current image context, whose size in points is `size`.
using Draw = std::function<void(CGContext& context, CGSize size)>;

struct Entry {
    std::string name;
    CGSize size;
    Draw draw;
};

// Every drawing registered so far, in registration order.
const std::vector<Entry>& drawings();

struct Drawing {
    Drawing(std::string name, CGSize size, Draw draw);
};

// --- Shared drawing helpers -------------------------------------------------------------------------

// The brand greens: the palette's mountain meadow and eton blue.
inline const UIColor kMeadow{47 / 255.0, 178 / 255.0, 153 / 255.0, 1};
inline const UIColor kEton{130 / 255.0, 203 / 255.0, 170 / 255.0, 1};

inline const UIColor kWhite = UIColor::whiteColor();

// A colour from 0-255 components.
UIColor rgb(int r, int g, int b, CGFloat alpha = 1);
// An empty path that strokes `width` wide with round ends and joins.
UIBezierPath pen(CGFloat width);
// Strokes `path` `width` wide with round ends and joins, in `color`. The defaults are the tab and
// bar glyphs' line: 1.8 points of black, which bars tint as a template.
void stroke(CGContext& context, UIBezierPath path, CGFloat width = 1.8,
            const UIColor& color = UIColor::blackColor());
// Straight lines through `points` in order, closed back to the first when `closed`.
UIBezierPath polyline(std::initializer_list<CGPoint> points, bool closed = false);
// A five-pointed star, one point up, in the square of side `side` at `origin`: centred across it and
// a little below its middle, its points `outer` times the side from the centre, its inner corners
// 0.42 of that.
UIBezierPath star(CGPoint origin, CGFloat side, CGFloat outer);

} // namespace cw::images
