#include "tests/support/video/VideoEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace cw::test {

int greyOfFrame(int index) {
    return 20 + 8 * (index % 25);
}

int frameOfGrey(int grey) {
    return std::clamp(static_cast<int>(std::lround((grey - 20) / 8.0)), 0, 24);
}

PaintFrame flatGreyFrames() {
    return [](int index, const FramePixels& pixels) {
        const auto grey = static_cast<std::uint8_t>(greyOfFrame(index));
        std::fill(pixels.data, pixels.data + static_cast<std::ptrdiff_t>(pixels.stride) * pixels.height, grey);
    };
}

} // namespace cw::test
