#include "VideoTestSupport.h"

#include "kits/video/VideoDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using cw::video::VideoDecoder;
using cw::video::VideoFrame;

namespace {

std::shared_ptr<const Data> bytesOf(const std::string& text) {
    return std::make_shared<const Data>(text.begin(), text.end());
}

int frameOf(const VideoFrame& frame) {
    const UIColor c = frame.image->pixelColor(frame.image->pixelWidth() / 2, frame.image->pixelHeight() / 2);
    return cw::test::frameOfGrey(static_cast<int>(std::lround(c.red() * 255)));
}

std::vector<double> timesOf(const std::vector<VideoFrame>& frames) {
    std::vector<double> times;
    for (const auto& f : frames) times.push_back(std::round(f.time * 1000) / 1000);
    return times;
}

TEST(VideoDecoder, GivesEachPictureAtItsMomentAndConvertsOnlyThoseStillToShow) {
    ASSERT_FALSE(cw::test::sampleVideo().empty());
    std::string why;
    auto decoder = VideoDecoder::open(bytesOf(cw::test::sampleVideo()), &why);
    ASSERT_TRUE(decoder) << why;
    EXPECT_EQ(decoder->info().width, 64);
    EXPECT_EQ(decoder->info().height, 48);
    EXPECT_NEAR(decoder->info().frameInterval, 0.1, 1e-9);
    ASSERT_TRUE(decoder->info().duration);
    EXPECT_NEAR(*decoder->info().duration, 2.0, 0.001);

    // From the start: pictures until one reaches the horizon, each the grey of its own moment.
    auto first = decoder->framesFrom(0, 0.35, 12);
    EXPECT_EQ(timesOf(first), (std::vector<double>{0, 0.1, 0.2, 0.3, 0.4}));
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_TRUE(first[i].image);
        EXPECT_EQ(first[i].image->pixelWidth(), 64);
        EXPECT_EQ(frameOf(first[i]), static_cast<int>(i));
    }

    // A jump ahead: the pictures in between are decoded but not handed out; the one on screen at
    // 1.05 s comes first.
    auto later = decoder->framesFrom(1.05, 1.3, 12);
    EXPECT_EQ(timesOf(later), (std::vector<double>{1.0, 1.1, 1.2, 1.3}));
    EXPECT_EQ(frameOf(later.front()), 10);

    // At most as many as asked for.
    EXPECT_EQ(decoder->framesFrom(1.3, 5, 2).size(), 2u);

    // To the end: the last picture comes out, then nothing more.
    auto rest = decoder->framesFrom(10, 20, 50);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_NEAR(rest.front().time, 1.9, 1e-6);
    EXPECT_EQ(frameOf(rest.front()), 19);
    EXPECT_TRUE(decoder->atEnd());
    EXPECT_FALSE(decoder->error());
    EXPECT_TRUE(decoder->framesFrom(0, 20, 50).empty());
}

TEST(VideoDecoder, RefusesWhatIsNotAVideoAndSurvivesDamage) {
    std::string why;
    EXPECT_FALSE(VideoDecoder::open(bytesOf(""), &why));
    EXPECT_EQ(why, "the file is empty");
    EXPECT_FALSE(VideoDecoder::open(nullptr, &why));

    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    EXPECT_FALSE(VideoDecoder::open(bytesOf(noise), &why));
    EXPECT_FALSE(why.empty());

    const std::string& video = cw::test::sampleVideo();
    // The index of an MP4 file written in one go stands at its end: without it nothing can be read.
    EXPECT_FALSE(VideoDecoder::open(bytesOf(video.substr(0, video.size() / 2)), &why));

    // Damaged pictures: whatever comes out, nothing crashes and the stream ends.
    for (int round = 0; round < 8; ++round) {
        std::string damaged = video;
        for (std::size_t i = 64 + static_cast<std::size_t>(round); i < damaged.size() * 3 / 4; i += 97)
            damaged[i] = static_cast<char>(random());
        auto decoder = VideoDecoder::open(bytesOf(damaged), &why);
        if (!decoder) continue;
        std::size_t frames = 0;
        for (int batch = 0; batch < 100 && !decoder->atEnd(); ++batch) frames += decoder->framesFrom(0, 99, 8).size();
        EXPECT_TRUE(decoder->atEnd());
        EXPECT_LE(frames, 20u);
    }
}

} // namespace
