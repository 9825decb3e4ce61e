// The memory a hostile or broken server makes the application take with replies and pictures
// that keep within every documented size limit: a JSON reply of 32 MB at most (here compressed to
// tens of kilobytes), a page of 128 MB, a picture of 20 MB and 50 megapixels. The cradleway
// executable runs headless, signed in as the demo mother, against a server that answers one kind of
// request as such a server would and forwards every other to the demo server; the member does what
// meets it (opens the feed, an article, the library's recommendations, the post composer with two
// large pictures from her library, a daily update's video, every tab with words of ten megabytes).
// Each case is a process of its own, and its peak resident size is the measure. A phone ends an
// application that takes much more: the target is 400 MB, and "over_target" is the peak over it.

#include "tests/support/CradlewayProcess.h"
#include "tests/support/DemoServer.h"
#include "tests/support/Forwarding.h"
#include "tests/support/PictureBytes.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/video/DeclaredSamples.h"

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using cw::test::CradlewayProcess;

constexpr double kTargetMegabytes = 400;

// ---- What the hostile server sends -----------------------------------------------------------

struct HostileReply {
    std::string body; // as sent: gzip-compressed when `gzip`
    std::string contentType;
    bool gzip = false;
};

// `text` compressed as a gzip stream, fed a piece at a time by `write(piece)` calls of `produce`.
std::string gzipped(const std::function<void(const std::function<void(std::string_view)>&)>& produce) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string out;
    std::vector<char> buffer(1 << 16);
    auto pump = [&](std::string_view piece, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = static_cast<uInt>(piece.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            out.append(buffer.data(), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    };
    produce([&](std::string_view piece) { pump(piece, Z_NO_FLUSH); });
    pump({}, Z_FINISH);
    deflateEnd(&z);
    return out;
}

// `count` copies of `item` between `head` and `tail`, joined by `separator`, compressed.
HostileReply repeated(std::string_view head, std::string_view item, std::string_view separator, std::size_t count,
                      std::string_view tail, std::string contentType) {
    std::string block;
    for (int i = 0; i < 4096; ++i)
        block.append(item).append(separator);
    const std::string body = gzipped([&](const auto& write) {
        write(head);
        std::size_t left = count;
        for (; left > 4096; left -= 4096)
            write(block);
        for (; left > 1; --left)
            write(std::string(item) + std::string(separator));
        if (left == 1) write(item);
        write(tail);
    });
    return {body, std::move(contentType), true};
}

// ---- The server in front of the demo server -------------------------------------------------

// Answers the requests `hostile` picks with what it gives, and forwards every other request to the
// demo server as it came (its answer likewise).
class FrontServer {
public:
    using Pick = std::function<std::optional<HostileReply>(const std::string& method, const std::string& path)>;
    // Changes the demo server's answer to a request at `path` on its way back (none: as it came).
    using Rewrite = std::function<void(const std::string& path, std::string& body)>;

    explicit FrontServer(std::string demoBase) : demoBase_(std::move(demoBase)) {
        auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            answer(request, response);
        };
        server_.Get(".*", handler);
        server_.Post(".*", handler);
        server_.Put(".*", handler);
        server_.Delete(".*", handler);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~FrontServer() {
        server_.stop();
        thread_.join();
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Requests answered with a hostile reply so far.
    std::atomic<int> hostileAnswers{0};
    void setPick(Pick pick, Rewrite rewrite = nullptr) {
        std::lock_guard lock(mutex_);
        pick_ = std::move(pick);
        rewrite_ = std::move(rewrite);
    }

private:
    void answer(const httplib::Request& request, httplib::Response& response) {
        Pick pick;
        Rewrite rewrite;
        {
            std::lock_guard lock(mutex_);
            pick = pick_;
            rewrite = rewrite_;
        }
        if (auto hostile = pick ? pick(request.method, request.path) : std::nullopt) {
            ++hostileAnswers;
            // Sent as it is: a provider of known length is never compressed again on the way.
            auto body = std::make_shared<std::string>(std::move(hostile->body));
            if (hostile->gzip) response.set_header("Content-Encoding", "gzip");
            response.set_content_provider(body->size(), hostile->contentType,
                                          [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                              sink.write(body->data() + offset, std::min(length, body->size() - offset));
                                              return true;
                                          });
            return;
        }
        httplib::Client demo(demoBase_);
        demo.set_read_timeout(120, 0);
        httplib::Headers headers;
        for (const auto& [name, value] : request.headers)
            if (name != "Host" && name != "Content-Length" && name != "Accept-Encoding" && name != "Connection" &&
                name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
                headers.emplace(name, value);
        httplib::Request forwarded;
        forwarded.method = request.method;
        forwarded.path = request.target;
        forwarded.headers = std::move(headers);
        forwarded.body = request.body;
        auto result = demo.send(forwarded);
        if (!result) {
            response.status = 502;
            return;
        }
        response.status = result->status;
        for (const auto& [name, value] : result->headers)
            if (name != "Content-Length" && name != "Transfer-Encoding" && name != "Connection" &&
                name != "Content-Encoding" && name != "Content-Type")
                response.headers.emplace(name, value);
        auto body = std::make_shared<std::string>(result->body);
        if (rewrite) rewrite(request.path, *body);
        if (*body != result->body) {
            ++hostileAnswers;
            // Sent as it is, as a hostile reply is: compressing megabytes here would take the
            // application's whole wait.
            response.set_content_provider(body->size(), result->get_header_value("Content-Type"),
                                          [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                              sink.write(body->data() + offset, std::min(length, body->size() - offset));
                                              return true;
                                          });
            return;
        }
        response.set_content(result->body, result->get_header_value("Content-Type"));
    }

    std::string demoBase_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    Pick pick_;
    Rewrite rewrite_;
};

// ---- The device -------------------------------------------------------------------------------

// The demo server, the server in front of it, and the demo mother signed in once through it (the
// feed's questions answered), kept in a data directory each case starts from a copy of.
struct World {
    cw::test::TempDirectory directory{"cw-replies-bench"};
    std::unique_ptr<cw::test::DemoServer> demo;
    std::unique_ptr<FrontServer> front;
    std::filesystem::path signedIn;
    int cases = 0;

    CradlewayProcess::Options options(const std::filesystem::path& data) const {
        CradlewayProcess::Options o;
        o.executable = CW_CRADLEWAY_EXECUTABLE;
        o.dataDirectory = data;
        o.screenshots = directory / "shots";
        o.arguments = {"--server", front->base()};
        return o;
    }
};

World* world(std::string& error) {
    static std::unique_ptr<World> shared;
    static std::string failure;
    if (shared || !failure.empty()) {
        error = failure;
        return shared.get();
    }
    auto w = std::make_unique<World>();
    w->demo = std::make_unique<cw::test::DemoServer>(w->directory / "demo");
    w->demo->answerFeedQuestions();
    w->front = std::make_unique<FrontServer>(w->demo->baseUrl());
    w->signedIn = w->directory / "signed-in";
    ::setenv("XDG_CACHE_HOME", (w->directory / "caches-sign-in").c_str(), 1);
    {
        CradlewayProcess first(w->options(w->signedIn));
        if (auto answer = first.steps({"tap #emailTextField", "type \"demo@cradleway.test\"", "tap #passwordField",
                                       "type \"cradleway-demo\"", "tap \"Sign In\"", "expect \"Home\""});
            !answer.ok) {
            failure = "signing in: " + answer.text;
            error = failure;
            return nullptr;
        }
        first.finish();
    }
    shared = std::move(w);
    return shared.get();
}

// The largest resident size the process has had since it started. The exit status's own measure
// would do, but a process started by posix_spawn begins with the spawning process's high-water mark,
// and this one's is large once it has encoded a large progressive picture.
double peakResidentMegabytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Waits until the process has done no work for two seconds in a row (its reply read, its page
// refused, its pictures decoded), or two minutes have passed.
void waitUntilQuiet(pid_t pid) {
    auto ticks = [pid]() -> long {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const auto close = text.rfind(')');
        if (close == std::string::npos) return -1;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::atol(field.c_str());
            if (i == 15) stime = std::atol(field.c_str());
        }
        return utime + stime;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    long last = ticks();
    int quiet = 0;
    while (quiet < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const long now = ticks();
        if (now < 0) return; // it ended
        quiet = now - last <= 2 ? quiet + 1 : 0;
        last = now;
    }
}

// ---- The cases ----------------------------------------------------------------------------------

struct Case {
    FrontServer::Pick pick;
    // What the member does once the feed is up; the process is then left to finish its work.
    std::vector<std::string> steps;
    // Or the same in named stages, the peak resident size read as each ends (counter "<name>_MB").
    std::vector<std::pair<std::string, std::vector<std::string>>> stages = {};
    // For a case that starts signed out and signs in through the front.
    FrontServer::Rewrite rewrite = nullptr;
    bool signedOut = false;
};

// The requests of one method whose path `wanted` picks.
using Wanted = std::function<bool(const std::string& path)>;

bool isPicture(const std::string& path) {
    return path.starts_with("/images/") || path.starts_with("/static-files/");
}

// The feed is asked for with a slash after its path.
bool isFeed(const std::string& path) {
    return path == "/m/api/content" || path == "/m/api/content/";
}

Wanted pathIs(std::string wanted) {
    return [wanted = std::move(wanted)](const std::string& path) { return path == wanted; };
}

// A case whose server answers the `method` requests `wanted` picks with `reply`.
Case answering(std::string method, Wanted wanted, HostileReply reply, std::vector<std::string> steps) {
    auto shared = std::make_shared<const HostileReply>(std::move(reply));
    return {[method = std::move(method), wanted = std::move(wanted),
             shared](const std::string& asked, const std::string& path) -> std::optional<HostileReply> {
                if (asked == method && wanted(path)) return *shared;
                return std::nullopt;
            },
            std::move(steps)};
}

constexpr const char* kOpenArticle =
    R"(tap-push {"aps": {"alert": "A new article for you"}, "not_id": 1, "screen": "feed", "feed_id": 1, )"
    R"("notification_type": "education_content"})";

// A feed whose content list holds `count` copies of `item`: tens of megabytes, tens of kilobytes
// compressed.
Case feedOf(std::string_view item, std::size_t count) {
    return answering("POST", isFeed,
                     repeated(R"({"data":{"content":[)", item, ",", count,
                              R"(],"posts":[],"daily_update":[],"users":{}}})", "application/json"),
                     {"expect \"Home\""});
}

Case articleOf(std::string item, std::string contentType) {
    // 114 MB of page.
    const std::size_t count = (114u << 20) / item.size();
    return answering("GET", pathIs("/content/education/1"), repeated("", item, "", count, "", std::move(contentType)),
                     {"expect \"Home\"", kOpenArticle, "expect \"Unexpected error loading content. Please try again.\""});
}

Case feedOfProgressiveJPEGs() {
    // Every picture the feed shows: 7000 × 7000 pixels in four components, progressive, in a few
    // megabytes.
    HostileReply jpeg{cw::test::asText(cw::test::progressiveJPEG(7000, 7000, 4)), "image/jpeg", false};
    // Each screenshot waits for the pictures on screen.
    std::vector<std::string> steps = {"expect \"Home\"", "screenshot feed-0"};
    for (int page = 1; page <= 12; ++page) {
        steps.push_back("drag 187,600 187,100 1");
        steps.push_back("screenshot feed-" + std::to_string(page));
    }
    return answering("GET", isPicture, std::move(jpeg), std::move(steps));
}

// Every picture the feed shows: a progressive JPEG of 25,000 scans in 330 KB (each scan a pass over
// its coefficients: nearly a minute of a core, were it decoded to its end).
Case feedOfPicturesOfManyScans() {
    HostileReply jpeg{cw::test::progressiveJpegOfScans(1448, 1448, 25'000), "image/jpeg", false};
    std::vector<std::string> steps = {"expect \"Home\"", "screenshot scans-0"};
    for (int page = 1; page <= 6; ++page) {
        steps.push_back("drag 187,600 187,100 1");
        steps.push_back("screenshot scans-" + std::to_string(page));
    }
    return answering("GET", isPicture, std::move(jpeg), std::move(steps));
}

// The daily update's video: a few hundred bytes whose sample tables declare 80 million pictures,
// which a demuxer would index (1.9 GB) before finding it cannot play them.
Case dailyUpdateVideoOfEightyMillionSamples() {
    return answering("GET", pathIs("/static-files/videos/cwDemoCpr01.mp4"),
                     HostileReply{cw::test::mp4DeclaringSamples(80'000'000), "video/mp4", false},
                     {"expect \"Home\"", "tap \"Daily update for Olivia\"", "tap #journeyLinkButton",
                      "expect \"This video cannot be played.\""});
}

Case articleOfManyPictures() {
    constexpr int kPictures = 300;
    std::string html = "<h1>Three hundred pictures</h1>";
    for (int i = 0; i < kPictures; ++i)
        html += "<p>Picture " + std::to_string(i) + "</p><p><img src=\"/bench-pictures/" + std::to_string(i) +
                ".png\"></p>";
    auto page = std::make_shared<HostileReply>(HostileReply{html, "text/html", false});
    auto png = std::make_shared<HostileReply>(
        HostileReply{cw::test::asText(cw::test::pngOfTwoHalves(1334, 1334, 0xFFE0A0A0, 0xFFA0C0E0)), "image/png",
                     false});
    std::vector<std::string> steps = {"expect \"Home\"", kOpenArticle, "expect \"Three hundred pictures\""};
    for (int page = 0; page < 20; ++page)
        steps.push_back("drag 187,600 187,100 1");
    return {[page, png](const std::string& method, const std::string& path) -> std::optional<HostileReply> {
                if (method == "GET" && path == "/content/education/1") return *page;
                if (method == "GET" && path.starts_with("/bench-pictures/")) return *png;
                return std::nullopt;
            },
            steps};
}

Case recommendedNamingOneSectionOverAndOver() {
    std::string cards;
    for (int i = 1; i <= 50; ++i)
        cards += std::string(i > 1 ? "," : "") + R"({"id":)" + std::to_string(i) +
                 R"(,"card_title":"Feeding your baby, part )" + std::to_string(i) +
                 R"(","card_description":"<p>Small feeds, often.</p>","card_media":["static-files/images/content/)" +
                 std::to_string(i) + R"(.png"],"card_media_type":"png","card_time":"2019-03-04T10:20:30.123+0000",)"
                 R"("category_name":"Feeding","bookmarked":false,"read":false})";
    // 1.8 MB of the one name.
    return answering("POST", pathIs("/m/api/content/education/recommended"),
                     repeated(R"({"data":{"content":{"Feeding":[)" + cards + R"(]},"section":[)", "\"Feeding\"", ",",
                              170'000, "]}}", "application/json"),
                     {"expect \"Home\"", "tap \"Education\"", "tap \"Recommended\""});
}

Case composerWithTwoLargePictures(const std::filesystem::path& directory) {
    const auto file = directory / "library-7000.png";
    const Data bytes = cw::test::pngOfTwoHalves(7000, 7000, 0xFFE0A0A0, 0xFFA0C0E0);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::vector<std::string> steps = {"expect \"Home\"", "tap #floatingActionButton", "expect \"POST\"",
                                      "drag 331,509 331,509", "expect \"Share a moment, photo, or news\""};
    for (int picture = 0; picture < 2; ++picture) {
        steps.push_back("tap #cameraButton");
        steps.push_back("alert \"Photo Library\"");
        steps.push_back("pick \"" + file.string() + "\"");
    }
    return {nullptr, steps};
}

// The feed holds one post of `pictures` pictures (a post the server itself stores holds four at
// most), each its own 1334 × 1334 picture; the member reads the feed and opens the post. 66 000 is
// about as many as one reply may hold (three values a picture, 200 000 values).
Case postOfManyPictures(int pictures) {
    std::string post = R"({"data":{"content":[],"posts":[{"id":9001,"user_id":1,"post_text":"So many pictures today",)"
                       R"("created_at":"2099-01-01T10:00:00.000+0000","comments_count":0,"post_medias":[)";
    for (int i = 0; i < pictures; ++i)
        post += std::string(i ? "," : "") + R"({"file_name":"images/upload/many-)" + std::to_string(i) +
                R"(.png","file_type":"png"})";
    post += R"(]}],"daily_update":[],"users":{}}})";
    auto feed = std::make_shared<HostileReply>(HostileReply{post, "application/json", false});
    auto png = std::make_shared<HostileReply>(
        HostileReply{cw::test::asText(cw::test::pngOfTwoHalves(1334, 1334, 0xFFE0A0A0, 0xFFA0C0E0)), "image/png",
                     false});
    return {[feed, png](const std::string& method, const std::string& path) -> std::optional<HostileReply> {
                if (method == "POST" && isFeed(path)) return *feed;
                if (method == "GET" && path.starts_with("/images/upload/many-")) return *png;
                return std::nullopt;
            },
            {"expect \"Home\"", "expect \"So many pictures today\"", "tap \"So many pictures today\"", "expect \"So many pictures today\"", "drag 187,600 187,100 1",
             "drag 187,600 187,100 1", "wait 1"}};
}

// Each of the three growth series as long as one reply may hold (four values a point: 49 000
// points), a point a day with its own date; the member opens the growth charts.
Case growthChartsOfHugeSeries() {
    auto series = [](const std::string& kind, double base) {
        std::string body = "{\"" + kind + "\":[";
        for (int i = 0; i < 49'000; ++i) {
            const int day = i % 28 + 1, month = i / 28 % 12 + 1;
            char point[160];
            std::snprintf(point, sizeof point,
                          R"(%s{"updated_at":"2026-%02d-%02dT22:00:00","value":%.1f,"units":"g"})", i ? "," : "",
                          month, day, base + (i % 97) * 3.5 + i * 0.01);
            body += point;
        }
        return std::make_shared<HostileReply>(HostileReply{body + "]}", "application/json", false});
    };
    auto weight = series("weight", 900), height = series("height", 35), head = series("head_circumference", 25);
    return {[weight, height, head](const std::string& method, const std::string& path) -> std::optional<HostileReply> {
                if (method != "POST") return std::nullopt;
                if (path == "/m/api/baby/weight" || path == "/m/api/baby/weight/") return *weight;
                if (path == "/m/api/baby/height" || path == "/m/api/baby/height/") return *height;
                if (path == "/m/api/baby/head_circumference" || path == "/m/api/baby/head_circumference/") return *head;
                return std::nullopt;
            },
            {"expect \"Home\"", "tap \"Update\"", "tap \"Growth Charts\"", "expect \"WEIGHT (G)\"", "wait 2",
             "drag 187,600 187,100 1", "wait 2", "drag 187,600 187,100 1", "wait 2"}};
}

// A list as long as one reply may hold, of `count` copies of `item` under `head`, answering the
// POST or GET requests at `path` (with or without a slash after it).
Case listAt(std::string method, std::string path, std::string_view head, std::string_view item, std::size_t count,
            std::string_view tail, std::vector<std::string> steps) {
    return answering(std::move(method),
                     [path](const std::string& asked) { return asked == path || asked == path + "/"; },
                     repeated(head, item, ",", count, tail, "application/json"), std::move(steps));
}

// The first card's comments: 30 000 of them (six values each).
Case commentsOfThousands() {
    return listAt("GET", "/m/api/comments", R"({"data":{"comments":[)",
                  R"({"comment_text":"So proud","created_at":"2026-12-01T10:00:00.000+0000","user":{"full_name":"Ruth Hart","id":5}})",
                  30'000, "]}}",
                  {"expect \"Home\"", "tap \"Write a comment\"", "expect \"So proud\"", "drag 187,500 187,100 1",
                   "drag 187,500 187,100 1"});
}

// The first twin's care team: 60 000 carers (three values each).
Case careTeamOfThousands() {
    return listAt("POST", "/m/api/baby/care_givers", R"({"care_givers":[)", R"({"text":"Dr. Adeyemi","desc":"Neonatologist"})",
                  60'000, "]}", {"expect \"Home\"", "tap \"Team\"", "expect \"Dr. Adeyemi\"", "drag 187,500 187,100 1"});
}

// The first twin's journey: one week of 15 000 milestones (twelve values each).
Case journeyOfThousands() {
    return listAt("POST", "/m/api/baby/nicu_journey_data", R"({"nicu_journey_data":{"Week 3":[)",
                  R"({"id":7,"label":"First cuddle","overlay_text":"Held","date":"2026-12-01","editable":false,"image":"","title":"t","question":"q","answer":"yes","updated_at":"2026-12-01"})",
                  15'000, R"(]},"baby":{"full_name":"Olivia Hart"}})",
                  {"expect \"Home\"", "tap \"Journey\"", "expect \"First cuddle\"", "drag 187,500 187,100 1"});
}

// A feed of 20 000 posts, each with a picture and a comment (ten values each).
Case feedOfThousandsOfPosts() {
    return answering("POST", isFeed,
                     repeated(R"({"data":{"content":[],"posts":[)",
                              R"({"id":9002,"user_id":1,"post_text":"One of many","created_at":"2099-01-01T10:00:00.000+0000",)"
                              R"("post_medias":[{"file_name":"images/upload/one.png","file_type":"png"}]})",
                              ",", 20'000, R"(],"daily_update":[],"users":{}}})", "application/json"),
                     {"expect \"Home\"", "expect \"One of many\"", "drag 187,600 187,100 1", "drag 187,600 187,100 1",
                      "tap \"Update\"", "expect \"Daily Update\""});
}

// The first twin's daily updates: 30 000 entries (the server sends its latest 60), each a day of
// its own, and the member opens the calendar of their days.
Case dailyUpdatesOfThousands() {
    std::string body = R"({"daily_update":[)";
    for (int i = 0; i < 30'000; ++i) {
        char entry[160];
        std::snprintf(entry, sizeof entry, R"(%s{"updated_at":"%04d-%02d-%02dT07:00:00+0000","items":[{"title":"Weight","value":"1,523 g"}]})",
                      i ? "," : "", 1930 + i / 336, i / 28 % 12 + 1, i % 28 + 1);
        body += entry;
    }
    body += "]}";
    return answering("POST", [](const std::string& path) { return path == "/m/api/baby/daily_update" || path == "/m/api/baby/daily_update/"; },
                     HostileReply{body, "application/json", false},
                     {"expect \"Home\"", "tap \"Update\"", "expect \"Weight\"", "tap #calendarButton", "expect \"Sun\""});
}

// The demo mother signs in, and the sign-in reply names `count` babies: her twins, then babies of
// their shape with ids and names of their own (about ten values each: 20 000 is as many as one
// reply may hold). She pages the feed's header, the Update tab and My Baby.
Case signInWithManyBabies(int count) {
    Case c;
    c.signedOut = true;
    c.rewrite = [count](const std::string& path, std::string& body) { cw::test::nameManyBabiesInSignIn(path, body, count); };
    c.steps = {"tap #emailTextField", "type \"demo@cradleway.test\"", "tap #passwordField", "type \"cradleway-demo\"",
               "tap \"Sign In\"", "expect \"Home\"", "expect \"Olivia Hart\"", "drag 330,80 80,80", "expect \"Noah Hart\"",
               "drag 330,80 80,80", "tap \"Update\"", "expect \"Daily Update\"", "drag 340,520 90,520",
               "drag 340,520 90,520", "tap \"Home\"", "tap #hamburgerButton", "tap \"My Baby\"", "expect \"My Baby\"",
               "drag 340,300 90,300", "drag 340,300 90,300", "wait 1"};
    return c;
}

// ---- A visit of every tab, a hostile server's words ten megabytes long ------------------------

// Each reply whose path is named here has the texts of its keys made words of ten megabytes, the ones
// its screen shows: a daily update item's explanation (of the latest entry, the last), the care
// team's name, a milestone, a library card and category, a comment, a family member's name, and
// what the notification settings say once saved (the first of each); and the baby's three ages, which
// the Update and Journey headers show and the care team's reply carries too, two of the three in each
// reply (a reply holds 32 MB at most), so that all three are met. An age is two words of five
// megabytes around " and ", so that both halves of a header carry megabytes.
struct PlantedWord {
    const char* key;
    bool last = false;
    bool age = false;
};
struct PlantedReply {
    const char* path;
    std::vector<PlantedWord> words;
};
const std::vector<PlantedReply>& plantedReplies() {
    static const std::vector<PlantedReply> all = {
        {"/m/api/baby/daily_update",
         {{"info", true}, {"adjusted_gestational_age_description", false, true}, {"days_of_life_description", false, true}}},
        {"/m/api/baby/care_givers",
         {{"desc"}, {"gestational_age_description", false, true}, {"adjusted_gestational_age_description", false, true}}},
        {"/m/api/baby/nicu_journey_data",
         {{"label"}, {"days_of_life_description", false, true}, {"gestational_age_description", false, true}}},
        {"/m/api/content/education/recommended", {{"card_title"}}},
        {"/m/api/content/education/categories.json", {{"name"}}},
        {"/m/api/comments", {{"comment_text"}}},
        {"/m/api/invite/data", {{"name"}}},
        {"/m/api/member/notification/settings", {{"status"}}},
    };
    return all;
}

// The strings under `key`, depth first.
void stringsUnder(nlohmann::json& value, const char* key, std::vector<nlohmann::json*>& found) {
    if (value.is_object()) {
        for (auto& [name, inner] : value.items()) {
            if (name == key && inner.is_string())
                found.push_back(&inner);
            else
                stringsUnder(inner, key, found);
        }
    } else if (value.is_array()) {
        for (auto& inner : value)
            stringsUnder(inner, key, found);
    }
}

// The member goes through every tab and every screen of the side menu once, each with its words:
// the comments of a post, the daily update (its header) and an item's explanation, the care team,
// the journey (its header), the library's recommendations and categories, Family &
// Friends, and the notification settings saved. She moves on before the slow server's replies come
// (each a word's parsing and rewriting away): what the screens keep of their words and what the
// replies still on their way take add up. The peak is read after each stage, as she leaves it.
Case everyTabWithTenMegabyteWords() {
    auto word = std::make_shared<const std::string>(10u << 20, 'w');
    auto age = std::make_shared<const std::string>(std::string(5u << 20, 'w') + " and " + std::string(5u << 20, 'w'));
    Case c;
    c.rewrite = [word, age](const std::string& path, std::string& body) {
        for (const PlantedReply& planted : plantedReplies()) {
            const std::string_view wanted(planted.path);
            if (path != wanted && path != std::string(wanted) + "/") continue;
            auto reply = nlohmann::json::parse(body, nullptr, false);
            if (reply.is_discarded()) return;
            bool changed = false;
            for (const PlantedWord& planting : planted.words) {
                std::vector<nlohmann::json*> found;
                stringsUnder(reply, planting.key, found);
                if (found.empty()) continue;
                *(planting.last ? found.back() : found.front()) = planting.age ? *age : *word;
                changed = true;
            }
            if (changed) body = reply.dump();
            return;
        }
    };
    c.stages = {
        {"Home",
         {"expect \"Home\"",
          R"(tap-push {"aps": {"alert": "James commented on your post"}, "not_id": 3, "screen": "post", )"
          R"("post_id": 30, "notification_type": "comment"})",
          "expect \"Olivia opened her eyes during kangaroo care this morning.\"", "tap #commentButton", "wait 1",
          "back", "back"}},
        // Its reply holds three words: on a busy machine it takes more than an expectation's wait.
        {"Update", {"tap \"Update\"", "wait 5", "expect \"Weight\"", "tap #info-weight", "wait 1", "drag 4,660 4,660"}},
        {"Team", {"tap \"Team\"", "wait 1"}},
        {"Journey", {"tap \"Journey\"", "wait 1"}},
        {"Education", {"tap \"Education\"", "tap \"Recommended\"", "wait 1", "tap \"Categories\"", "wait 1"}},
        {"Family", {"tap \"Home\"", "tap #hamburgerButton", "tap \"Family & Friends\"", "wait 1", "back"}},
        {"Settings",
         {"tap #hamburgerButton", "tap \"Settings\"", "tap \"Notifications\"", "tap #scheduledSwitch", "wait 1",
          "back", "back", "wait 1"}},
    };
    return c;
}

void runCase(benchmark::State& state, const std::function<Case(World&)>& make) {
    std::string error;
    World* w = world(error);
    if (!w) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Case c = make(*w);
    w->front->setPick(c.pick, c.rewrite);
    w->front->hostileAnswers = 0;
    double peak = 0;
    std::map<std::string, double> stagePeaks;
    for (auto _ : state) {
        // A device of its own: the signed-in member's data, and no picture cached yet.
        const auto device = w->directory / ("case-" + std::to_string(++w->cases));
        std::filesystem::create_directories(device);
        if (c.signedOut)
            std::filesystem::create_directories(device / "data");
        else
            std::filesystem::copy(w->signedIn, device / "data", std::filesystem::copy_options::recursive);
        ::setenv("XDG_CACHE_HOME", (device / "caches").c_str(), 1);
        CradlewayProcess app(w->options(device / "data"));
        auto answer = app.steps(c.steps);
        for (const auto& [name, steps] : c.stages) {
            if (!answer.ok) break;
            answer = app.steps(steps);
            if (answer.ok) stagePeaks[name] = std::max(stagePeaks[name], peakResidentMegabytes(app.pid()));
        }
        const bool done = answer.ok;
        if (!done) error = answer.text;
        if (done) waitUntilQuiet(app.pid());
        // Still answering once its work is done: it was not ended for the memory it took.
        const bool alive = done && app.step("wait 0").ok;
        if (alive) peak = std::max(peak, peakResidentMegabytes(app.pid()));
        const cw::test::ProcessEnd end = app.finish();
        if (!done) {
            state.SkipWithError(error.c_str());
            break;
        }
        if (!alive || end.status != 0) {
            state.SkipWithError(("cradleway ended with status " + std::to_string(end.status)).c_str());
            break;
        }
        if ((c.pick || c.rewrite) && w->front->hostileAnswers == 0) {
            state.SkipWithError("the hostile reply was never asked for");
            break;
        }
    }
    state.counters["hostile_replies"] = w->front->hostileAnswers.load();
    w->front->setPick(nullptr);
    state.counters["peak_resident_MB"] = peak;
    for (const auto& [name, stagePeak] : stagePeaks)
        state.counters[name + "_MB"] = stagePeak;
    state.counters["target_MB"] = kTargetMegabytes;
    state.counters["over_target"] = peak / kTargetMegabytes;
}

void BM_FeedOfTenMillionEmptyObjects(benchmark::State& state) {
    runCase(state, [](World&) { return feedOf("{}", 10'000'000); });
}
void BM_FeedOfFifteenMillionZeros(benchmark::State& state) {
    runCase(state, [](World&) { return feedOf("0", 15'000'000); });
}
void BM_ArticleOf114MBOfParagraphs(benchmark::State& state) {
    runCase(state, [](World&) { return articleOf("<p>x</p>", "text/html"); });
}
void BM_ArticleOf114MBOfPlainText(benchmark::State& state) {
    runCase(state, [](World&) { return articleOf("x\n", "text/plain"); });
}
void BM_FeedOfProgressiveCMYKPictures7000(benchmark::State& state) {
    runCase(state, [](World&) { return feedOfProgressiveJPEGs(); });
}
void BM_FeedOfPicturesOf25000Scans(benchmark::State& state) {
    runCase(state, [](World&) { return feedOfPicturesOfManyScans(); });
}
void BM_DailyUpdateVideoDeclaring80MillionSamples(benchmark::State& state) {
    runCase(state, [](World&) { return dailyUpdateVideoOfEightyMillionSamples(); });
}
void BM_ArticleOf300Pictures1334(benchmark::State& state) {
    runCase(state, [](World&) { return articleOfManyPictures(); });
}
void BM_RecommendedNamingOneSection170000Times(benchmark::State& state) {
    runCase(state, [](World&) { return recommendedNamingOneSectionOverAndOver(); });
}
void BM_ComposerWithTwoLibraryPictures7000(benchmark::State& state) {
    runCase(state, [](World& w) { return composerWithTwoLargePictures(w.directory.path()); });
}

void BM_FeedOf20000Posts(benchmark::State& state) {
    runCase(state, [](World&) { return feedOfThousandsOfPosts(); });
}
void BM_DailyUpdatesOf30000Days(benchmark::State& state) {
    runCase(state, [](World&) { return dailyUpdatesOfThousands(); });
}
void BM_CommentsOf30000(benchmark::State& state) {
    runCase(state, [](World&) { return commentsOfThousands(); });
}
void BM_CareTeamOf60000(benchmark::State& state) {
    runCase(state, [](World&) { return careTeamOfThousands(); });
}
void BM_JourneyOf15000Milestones(benchmark::State& state) {
    runCase(state, [](World&) { return journeyOfThousands(); });
}
void BM_PostOf2000Pictures(benchmark::State& state) {
    runCase(state, [](World&) { return postOfManyPictures(2000); });
}
void BM_PostOf66000Pictures(benchmark::State& state) {
    runCase(state, [](World&) { return postOfManyPictures(66'000); });
}
void BM_GrowthChartsOfThreeSeriesOf49000Points(benchmark::State& state) {
    runCase(state, [](World&) { return growthChartsOfHugeSeries(); });
}

void BM_EveryTabWithTenMegabyteWords(benchmark::State& state) {
    runCase(state, [](World&) { return everyTabWithTenMegabyteWords(); });
}

void BM_SignInWith2000Babies(benchmark::State& state) {
    runCase(state, [](World&) { return signInWithManyBabies(2000); });
}
void BM_SignInWith20000Babies(benchmark::State& state) {
    runCase(state, [](World&) { return signInWithManyBabies(20'000); });
}

BENCHMARK(BM_FeedOfTenMillionEmptyObjects)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_FeedOfFifteenMillionZeros)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ArticleOf114MBOfParagraphs)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ArticleOf114MBOfPlainText)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_FeedOfProgressiveCMYKPictures7000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_FeedOfPicturesOf25000Scans)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_DailyUpdateVideoDeclaring80MillionSamples)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ArticleOf300Pictures1334)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_RecommendedNamingOneSection170000Times)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ComposerWithTwoLibraryPictures7000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_PostOf2000Pictures)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_PostOf66000Pictures)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_GrowthChartsOfThreeSeriesOf49000Points)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_EveryTabWithTenMegabyteWords)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_SignInWith2000Babies)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_SignInWith20000Babies)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_CommentsOf30000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_DailyUpdatesOf30000Days)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_FeedOf20000Posts)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_CareTeamOf60000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_JourneyOf15000Milestones)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
