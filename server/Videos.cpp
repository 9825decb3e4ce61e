#include "server/Videos.h"

#include "server/Connections.h"
#include "server/Http.h"
#include "server/Server.h"
#include "server/video/VideoEncoder.h"

#include <httplib.h>

#include <algorithm>
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

// A player asks for one range at a time, or a few; more than these is answered with the whole file.
constexpr size_t kMaxRanges = 8;

struct Span {
    size_t first, last; // inclusive
};

// The parts of a file of `size` bytes that `asked` names (none beyond the end), merged where they
// touch or overlap and in the order of the file, so that they hold each byte once.
std::vector<Span> spansOf(const httplib::Ranges& asked, size_t size) {
    std::vector<Span> spans;
    for (const auto& [from, to] : asked) {
        if (size == 0) break;
        if (from < 0) {
            // The last `to` bytes.
            if (to <= 0) continue;
            spans.push_back({size - std::min(size, static_cast<size_t>(to)), size - 1});
        } else if (static_cast<size_t>(from) < size) {
            const size_t last = to < 0 ? size - 1 : std::min(size - 1, static_cast<size_t>(to));
            if (last >= static_cast<size_t>(from)) spans.push_back({static_cast<size_t>(from), last});
        }
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.first < b.first; });
    std::vector<Span> merged;
    for (const Span& span : spans) {
        if (!merged.empty() && span.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, span.last);
        else
            merged.push_back(span);
    }
    return merged;
}

std::string contentRange(const Span& span, size_t size) {
    return "bytes " + std::to_string(span.first) + "-" + std::to_string(span.last) + "/" + std::to_string(size);
}

// Answers with the ranges the request asked for, or with the whole file: 206 with one part, or
// with several as "multipart/byteranges"; 416 when nothing asked for lies in the file.
void setRangedContent(httplib::Response& res, const std::string& bytes, const std::string& type) {
    const httplib::Ranges& asked = requestedRanges();
    res.set_header("Accept-Ranges", "bytes");
    if (asked.empty() || asked.size() > kMaxRanges) {
        res.set_content(bytes, type);
        return;
    }
    const std::vector<Span> spans = spansOf(asked, bytes.size());
    if (spans.empty()) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(bytes.size()));
        res.set_content(R"({"message":"The range asked for lies beyond the end of the video.","status":)"
                        R"("The range asked for lies beyond the end of the video."})",
                        "application/json");
        return;
    }
    res.status = 206;
    if (spans.size() == 1) {
        res.set_header("Content-Range", contentRange(spans[0], bytes.size()));
        res.set_content(bytes.substr(spans[0].first, spans[0].last - spans[0].first + 1), type);
        return;
    }
    const std::string boundary = randomHex(16);
    std::string body;
    for (const Span& span : spans) {
        body += "--" + boundary + "\r\nContent-Type: " + type + "\r\nContent-Range: " + contentRange(span, bytes.size()) +
                "\r\n\r\n";
        body.append(bytes, span.first, span.last - span.first + 1);
        body += "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    res.set_content(std::move(body), "multipart/byteranges; boundary=" + boundary);
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
    setRangedContent(res, *bytes, "video/mp4");
}

} // namespace cw::server
