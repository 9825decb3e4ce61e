#pragma once

#include <cstdint>
#include <string>

namespace cw::server {

enum class PictureStyle {
    Scene,  // soft shapes on a gradient: articles, posts, milestones
    Baby,   // a sleeping baby's face
    Person, // a head and shoulders
    Icon,   // a flat disc with a ring: categories and milestone kinds
};

// Our own small pictures, drawn in code and encoded as PNG. The same seed gives the same picture.
std::string drawPicture(int width, int height, uint32_t seed, PictureStyle style);

} // namespace cw::server
