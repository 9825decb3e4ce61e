#pragma once

// Encodes MPEG-4 video in an MP4 file in memory with FFmpeg's own MPEG-4 encoder, from pictures a
// painter draws: the demo server's videos, and those that tests and benchmarks make to play. No
// video file is kept in the repository.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cw::server {

struct VideoSpec {
    int width = 160;
    int height = 120;
    int framesPerSecond = 25;
    int frameCount = 25;
    // Every how many pictures a key picture comes.
    int keyFrameInterval = 12;
};

// One picture's pixels: 4 bytes each (blue, green, red, unused), `stride` bytes a row, all 0 at first.
struct FramePixels {
    std::uint8_t* data;
    int width;
    int height;
    int stride;
    std::uint8_t* at(int x, int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x; }
};
// Paints picture `index`.
using PaintFrame = std::function<void(int index, const FramePixels& pixels)>;

// The MP4 file's bytes, or none with the reason in `error`.
std::optional<std::vector<std::uint8_t>> encodeVideo(const VideoSpec& spec, const PaintFrame& paint,
                                                     std::string* error = nullptr);

// A painter of demo pictures: a background that darkens and lightens over time in `colour`
// (0xRRGGBB), a bar that sweeps across, and the picture's number in large seven-segment digits.
PaintFrame countingFrames(std::uint32_t colour);

} // namespace cw::server
