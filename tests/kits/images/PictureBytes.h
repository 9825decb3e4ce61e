#pragma once

#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <string>

namespace cw::test {

// PNG bytes of a picture of one colour (ARGB, opaque unless the alpha byte says otherwise).
inline Data pngOfColor(int width, int height, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, argb);
    return *UIImage::fromPixels(width, height, 1, pixels.data())->pngData();
}

inline std::string asText(const Data& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace cw::test
