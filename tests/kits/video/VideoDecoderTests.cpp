#include "VideoTestSupport.h"

#include "kits/video/VideoDecoder.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ResidentSize.h"
#include "tests/support/video/DeclaredSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

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

// A video's headers may declare any number of samples in a few bytes (one chunk of them, of a fixed
// size): the demuxer would index each, some 24 bytes apiece, before it read one. Such a file is
// refused for what it declares, before it costs anything; one that holds what it declares still
// goes to the demuxer.
TEST(VideoDecoder, AFileIsRefusedForDeclaringMoreSamplesThanItHoldsBeforeTheyAreIndexed) {
    struct Case {
        const char* what;
        std::string bytes;
        bool refusedForItsHeaders;
    };
    const std::vector<Case> cases = {
        {"80 million pictures in a few hundred bytes", cw::test::mp4DeclaringSamples(80'000'000), true},
        {"100,000 pictures the file holds", cw::test::mp4DeclaringSamples(100'000, 100'000), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cw::test::resetPeakResidentSize();
        const auto before = cw::test::residentMegabytes("VmRSS:");
        std::string why;
        // Neither has pictures to show.
        EXPECT_FALSE(VideoDecoder::open(bytesOf(c.bytes), &why));
        EXPECT_EQ(why.find("headers declare") != std::string::npos, c.refusedForItsHeaders) << why;
        if (cw::test::residentSizeIsSound()) {
            EXPECT_LT(cw::test::residentMegabytes("VmHWM:") - before, 64);
        }
    }
}

// The UDP ports bound on this machine (IPv4 and IPv6), from the kernel's tables.
std::vector<int> boundUdpPorts() {
    std::vector<int> ports;
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); // the heading
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;
            const auto colon = local.rfind(':');
            if (colon != std::string::npos) ports.push_back(std::stoi(local.substr(colon + 1), nullptr, 16));
        }
    }
    return ports;
}

// A server may answer a video's address with anything. What is not a container the players play
// (an SDP description, a playlist, a concat list) is refused as it stands: it never makes the
// decoder listen on the network or fetch the sources it names.
TEST(VideoDecoder, OpensOnlyTheContainersThePlayersPlayAndNothingTheyName) {
    cw::test::RecordingServer elsewhere;
    const std::string source = elsewhere.base() + "/source.mp4";
    elsewhere.reply("GET", "/source.mp4", cw::test::Reply{200, cw::test::sampleVideo(), "video/mp4"});
    const int rtpPort = 47000 + static_cast<int>(std::random_device()() % 8000) * 2;
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"an SDP description",
         "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=Stream\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=video " +
             std::to_string(rtpPort) + " RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n"},
        {"a playlist", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" + source + "\n#EXT-X-ENDLIST\n"},
        {"a concat list", "ffconcat version 1.0\nfile '" + source + "'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Opened on a thread of its own, as the players do, while this one watches the machine's
        // UDP ports until the open has ended.
        std::atomic<bool> ended{false};
        bool opened = true;
        std::string why;
        std::thread opening([&] {
            opened = VideoDecoder::open(bytesOf(c.text), &why) != nullptr;
            ended = true;
        });
        bool listened = false;
        while (!ended) {
            const auto bound = boundUdpPorts();
            listened = listened || std::count(bound.begin(), bound.end(), rtpPort) > 0;
        }
        opening.join();
        EXPECT_FALSE(opened);
        EXPECT_FALSE(why.empty());
        EXPECT_FALSE(listened) << "the decoder listened on UDP port " << rtpPort;
    }
    EXPECT_EQ(elsewhere.requestCount(), 0u) << "the decoder fetched a source the text named";

    // The video itself still opens.
    std::string why;
    EXPECT_TRUE(VideoDecoder::open(bytesOf(cw::test::sampleVideo()), &why)) << why;
}

} // namespace
