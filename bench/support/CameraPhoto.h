#pragma once

// A photo as a phone's camera takes it, for the benchmarks that upload pictures: 4032 x 3024 (12
// megapixels), a lit scene of broad shapes with a sensor's noise in every channel of every pixel. The
// noise is what makes it realistic: a JPEG encoder's work and its output grow with the detail, and a
// smooth gradient encodes to almost nothing. Header only.

#include "uikit/graphics/UIImage.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace cw::bench {

inline std::shared_ptr<UIImage> cameraPhoto(std::uint32_t seed, int width = 4032, int height = 3024) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::uint32_t state = seed;
    auto noise = [&state] {
        // About ±12 levels, a little heavier near zero, as a small sensor gives indoors.
        state = state * 1664525u + 1013904223u;
        const int a = static_cast<int>((state >> 8) & 0xFF), b = static_cast<int>((state >> 16) & 0xFF);
        return (a + b - 255) / 10;
    };
    auto channel = [](int value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // A warm wall lit from the left, a darker cot in the lower middle, a pale blanket on it.
            int r = 200 - x * 80 / width, g = 170 - x * 70 / width, b = 140 - x * 60 / width;
            const bool cot = y > height / 2 && x > width / 4 && x < width * 3 / 4;
            const bool blanket = cot && y > height * 5 / 8 && (x / 48 + y / 48) % 2 == 0;
            if (blanket) {
                r = 235, g = 225, b = 230;
            } else if (cot) {
                r /= 2, g /= 2, b /= 2;
            }
            pixels[static_cast<std::size_t>(y) * width + x] =
                0xFF000000u | channel(r + noise()) << 16 | channel(g + noise()) << 8 | channel(b + noise());
        }
    return UIImage::fromPixels(width, height, 1, pixels.data());
}

} // namespace cw::bench
