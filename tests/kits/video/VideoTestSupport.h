#pragma once

// What the video tests share: a white screen to show players on, the videos they play (made here,
// each picture a flat grey of its own), and a look at the picture a video view shows.

#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "kits/video/VideoView.h"
#include "tests/support/WhiteScreenApp.h"
#include "tests/support/video/VideoEncoder.h"
#include "uikit/view/ViewRendering.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace cw::test {

// Two seconds at 10 pictures a second: picture i (at i/10 s) is greyOfFrame(i).
constexpr int kSampleFramesPerSecond = 10;
constexpr int kSampleFrames = 20;
constexpr double kSampleDuration = 2.0;

inline const std::string& sampleVideo() {
    static const std::string bytes = [] {
        VideoSpec spec;
        spec.width = 64;
        spec.height = 48;
        spec.framesPerSecond = kSampleFramesPerSecond;
        spec.frameCount = kSampleFrames;
        spec.keyFrameInterval = 5;
        const auto encoded = encodeVideo(spec, flatGreyFrames());
        return encoded ? std::string(encoded->begin(), encoded->end()) : std::string();
    }();
    return bytes;
}

// The picture of the sample video on show at `seconds`.
inline int sampleFrameAt(double seconds) {
    return std::min(static_cast<int>(std::floor(seconds * kSampleFramesPerSecond + 1e-6)), kSampleFrames - 1);
}

// Which sample picture the view draws now, read from the grey in its middle (-1 for none).
inline int frameShownBy(cw::video::VideoView& view) {
    auto image = renderView(view, 1);
    if (!image) return -1;
    const UIColor c = image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2);
    const int grey = static_cast<int>(std::lround(c.red() * 255));
    // Black (nothing drawn) is no picture: the darkest sample grey is 20.
    if (grey < 12) return -1;
    return frameOfGrey(grey);
}

// Turns the run loop (the manual clock stands still) until the view draws the sample picture of
// the playback's present time.
inline bool showsPictureOfNow(cw::video::VideoView& view) {
    const auto& playback = view.playback();
    const int expected = sampleFrameAt(playback->currentTime());
    return RunLoop::main().runUntil([&] { return frameShownBy(view) == expected; }, 20.0);
}

} // namespace cw::test
