#include "server/Videos.h"

#include "server/Server.h"
#include "server/video/VideoEncoder.h"

#include <httplib.h>

#include <array>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <system_error>

namespace cw::server {

namespace {

struct DemoVideo {
    const char* identifier;
    std::uint32_t colour;
    int seconds;
};

// The videos the demo content names: the post details screen's CPR video, the class on choking, and
// the education library's sample screen.
constexpr std::array<DemoVideo, 3> kDemoVideos{{
    {"cwDemoCpr01", 0xc8553d, 5},
    {"cwDemoChoke2", 0x3d7dc8, 5},
    {"sample", 0x3a9d8f, 4},
}};

constexpr int kWidth = 480;
constexpr int kHeight = 270;
constexpr int kFramesPerSecond = 25;

// Encoding is held by one lock: it happens once per video and file, and a second request for the same
// video waits for the first instead of encoding it again.
std::mutex encoding;

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in.good() && !in.eof()) return std::nullopt;
    std::string text = bytes.str();
    // An empty file is what an interrupted write could leave: it is made again.
    if (text.empty()) return std::nullopt;
    return text;
}

// The video's file, made first when it is not there yet; none (with the reason printed) when it
// cannot be made.
std::optional<std::string> videoBytes(ServerState& state, const DemoVideo& video) {
    const std::filesystem::path directory = state.staticDirectory / "videos";
    const std::filesystem::path file = directory / (std::string(video.identifier) + ".mp4");
    std::lock_guard lock(encoding);
    if (auto bytes = readFile(file)) return bytes;

    VideoSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.framesPerSecond = kFramesPerSecond;
    spec.frameCount = video.seconds * kFramesPerSecond;
    std::string why;
    const auto encoded = encodeVideo(spec, countingFrames(video.colour), &why);
    if (!encoded) {
        state.print(std::string("videos: ") + video.identifier + " cannot be made: " + why);
        return std::nullopt;
    }
    std::string bytes(encoded->begin(), encoded->end());

    // Written beside its place and renamed, so that no reader ever sees half a file.
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    const auto temporary = directory / (std::string(video.identifier) + ".mp4.part-" + std::to_string(std::random_device{}()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) std::filesystem::rename(temporary, file, ec);
    if (ec) {
        // The video is still served; it is made again next time.
        std::filesystem::remove(temporary, ec);
        state.print(std::string("videos: ") + video.identifier + ".mp4 cannot be kept: " + ec.message());
    } else {
        state.print(std::string("videos: made ") + video.identifier + ".mp4 (" + std::to_string(bytes.size()) +
                    " bytes)");
    }
    return bytes;
}

} // namespace

void serveVideo(ServerState& state, const std::string& identifier, httplib::Response& res) {
    const DemoVideo* video = nullptr;
    for (const auto& v : kDemoVideos)
        if (identifier == v.identifier) video = &v;
    const auto bytes = video ? videoBytes(state, *video) : std::nullopt;
    if (!bytes) {
        res.status = video ? 500 : 404;
        res.set_content(video ? R"({"message":"The video could not be made.","status":"The video could not be made."})"
                              : R"({"message":"No such video.","status":"No such video."})",
                        "application/json");
        return;
    }
    res.set_header("Cache-Control", "max-age=86400");
    res.set_content(*bytes, "video/mp4");
}

} // namespace cw::server
