#pragma once

// A photograph-like landscape drawn in code (sky, sun, hills, a lake, a tree, meadow flowers), so
// that the picture pages have detail and colour to show without a photograph from elsewhere.

#include "uikit/graphics/UIImage.h"

#include <memory>

namespace cw::gallery {

// 300 × 400 points at scale 2, the same picture every time.
std::shared_ptr<UIImage> landscapePicture();

} // namespace cw::gallery
