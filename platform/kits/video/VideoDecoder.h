#pragma once

// Video decoding with FFmpeg, from a file's bytes in memory. Only the picture is decoded: sound
// and any other stream are skipped.
//
// A decoder is used by one thread at a time (the players keep each one on a serial queue of its
// own). It hands out pictures as UIImages of their pixel size at scale 1, in presentation order.
// Pictures that would be replaced before they could be shown are decoded (later pictures depend
// on them) but not converted, which is where most of the cost of a picture lies.
//
// Bad input never crashes: bytes that hold no decodable video stream give no decoder and a reason;
// damage further on ends the stream early (`error()` then says why). Only MP4 and QuickTime files
// are read, and from their bytes alone: any other kind of file (an SDP description, a playlist, a
// concat list) is refused, and nothing a file names is opened. A file whose headers declare more
// samples than it can hold is refused before the demuxer indexes them (see SampleTables.h).

#include "uikit/graphics/UIImage.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::video {

// Frame times closer than this are the same moment (the clock and the streams' time bases meet
// in floating point).
inline constexpr double kSameMoment = 1e-6;

struct VideoFrame {
    // Seconds from the start of the video.
    double time = 0;
    std::shared_ptr<UIImage> image;
};

class VideoDecoder {
public:
    struct Info {
        int width = 0;
        int height = 0;
        // From the container, when it says (a positive, finite number of seconds).
        std::optional<double> duration;
        // The time between two pictures by the stream's frame rate (1/25 s when it gives none).
        double frameInterval = 1.0 / 25;
    };

    // The largest picture accepted, per side and in all.
    static constexpr int kMaximumSide = 8192;
    static constexpr long kMaximumPixels = 36L * 1000 * 1000;

    // None, with the reason in `error`, when the bytes hold no video stream that can be decoded.
    static std::unique_ptr<VideoDecoder> open(std::shared_ptr<const Data> bytes, std::string* error = nullptr);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    const Info& info() const { return info_; }

    // Decodes onward and returns the pictures to show from `target` seconds on: the one on screen
    // at `target` (the last one that starts at or before it, unless it was handed out already),
    // then the later ones, until one starts at or after `until` or `maxFrames` were given.
    // Returns nothing more once the stream has ended.
    std::vector<VideoFrame> framesFrom(double target, double until, std::size_t maxFrames);
    bool atEnd() const { return ended_; }
    // Why the stream ended before its end, if it did.
    const std::optional<std::string>& error() const { return error_; }

    struct Impl;

private:
    VideoDecoder();
    std::unique_ptr<Impl> impl_;
    Info info_;
    bool ended_ = false;
    std::optional<std::string> error_;
};

} // namespace cw::video
