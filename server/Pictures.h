#pragma once

#include <cstdint>
#include <optional>
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

enum class PictureKind { Jpeg, Png };
// The kind its first bytes announce; none for anything else.
std::optional<PictureKind> pictureKind(const std::string& bytes);
// Whether the bytes decode to the end as a picture of that kind (within 16384 pixels a side and 40
// million pixels): a signature followed by anything else is not a picture.
bool pictureDecodes(const std::string& bytes, PictureKind kind);

} // namespace cw::server
