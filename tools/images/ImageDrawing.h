#pragma once

// The application's named pictures (icons, tab images, placeholders) are drawn here, in code, at
// build time: cradleway-images writes each as "<name>@2x.png" into the bundle's Resources folder,
// where UIImage::named finds them. Each family of pictures lives in a file of its own and
// registers its drawings with static objects:
//   static cw::images::Drawing back{"cwy_back", {13, 21}, drawBack};

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIGraphics.h"

#include <functional>
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

} // namespace cw::images
