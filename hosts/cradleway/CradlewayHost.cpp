#include "hosts/cradleway/CradlewayHost.h"

#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/Storage.h"
#include "foundation/url/URL.h"
#include "net/HTTPCookieStorage.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/UIImage.h"

#include <charconv>
#include <chrono>
#include <fstream>
#include <cstring>
#include <iostream>

namespace cw::host {

namespace {

bool isServerAddress(const std::string& text) {
    auto url = URL::fromString(text);
    if (!url) return false;
    const auto scheme = url->scheme();
    return (scheme == "http" || scheme == "https") && url->host() && !url->host()->empty();
}

} // namespace

const char* usage() {
    return "usage: cradleway [--headless [--script FILE|-] [--screenshots DIR]] [--server URL]\n"
           "                 [--data-dir DIR] [--size WxH] [--photos DIR] [--picture FILE]\n"
           "                 [--touch-id match|nomatch]\n"
           "                 [--access-token-seconds N] [--screenshot FILE] [--seconds N]\n"
           "  --headless         run without a window (with --script: run its steps, then quit)\n"
           "  --script FILE      the steps to run headless (see README: Running); with -, steps\n"
           "                     are read from standard input as they come, each answered on\n"
           "                     standard output (\"step N ok\", \"step N failed: ...\"), which\n"
           "                     then holds nothing else: the console goes to standard error\n"
           "  --screenshots DIR  where the script's screenshot steps write (default: .)\n"
           "  --server URL       talk to this server instead of starting the demo server\n"
           "  --data-dir DIR     the member's data (defaults, keychain, demo server); default\n"
           "                     $XDG_DATA_HOME/cradleway\n"
           "  --size WxH         the screen in points (default 375x667)\n"
           "  --photos DIR       the folder whose pictures the photo library shows (default: the\n"
           "                     desktop's pictures folder when it has any, else a demo set in the\n"
           "                     data directory; headless: the demo set)\n"
           "  --picture FILE     the picture the window's F6 key picks in a photo picker\n"
           "  --touch-id match|nomatch\n"
           "                     the device has a Touch ID sensor from the start, reading a\n"
           "                     finger that matches or not\n"
           "  --access-token-seconds N\n"
           "                     the demo server's access tokens last N seconds (an hour by\n"
           "                     default), so that the application refreshes them as it goes\n"
           "  --screenshot FILE  write the screen to FILE (PNG) once it has settled and its\n"
           "                     pictures have arrived (headless: after the script), then quit\n"
           "  --seconds N        quit the window after N seconds of real time (default: run\n"
           "                     until it is closed)\n";
}

std::optional<CradlewayOptions> parseOptions(int argc, const char* const* argv, std::string& error) {
    CradlewayOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--access-token-seconds") {
            long long seconds = 0;
            const char* value = i + 1 < argc ? argv[i + 1] : "";
            const auto [end, ec] = std::from_chars(value, value + std::strlen(value), seconds);
            if (ec != std::errc() || *end != '\0' || seconds < 1 || seconds > 30LL * 24 * 3600) {
                error = "--access-token-seconds needs a number of seconds from 1 to 2592000";
                return std::nullopt;
            }
            options.accessTokenSeconds = seconds;
            ++i;
        } else if (arg == "--server" || arg == "--data-dir") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            std::string value = argv[++i];
            if (arg == "--server") {
                if (!isServerAddress(value)) {
                    error = "--server wants an http or https address, such as http://127.0.0.1:8421, not " + value;
                    return std::nullopt;
                }
                // The application puts its paths ("/m/api/…") after the address: written with a
                // closing slash, it names the same server, whose routes are their exact paths.
                while (value.ends_with('/'))
                    value.pop_back();
                options.serverURL = value;
            } else {
                if (value.empty()) {
                    error = "--data-dir needs a directory";
                    return std::nullopt;
                }
                options.dataDirectory = std::filesystem::absolute(value);
            }
        } else {
            options.applicationArguments.push_back(arg);
        }
    }
    if (options.accessTokenSeconds && options.serverURL) {
        error = "--access-token-seconds sets the demo server's tokens; a server named with --server keeps its own";
        return std::nullopt;
    }
    return options;
}

bool readsStepsFromStandardInput(const CradlewayOptions& options) {
    const auto& a = options.applicationArguments;
    for (std::size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--script") return a[i + 1] == "-";
    return false;
}

std::optional<std::filesystem::path> demoPhotos(const std::filesystem::path& folder) {
    struct Scene {
        const char* name;
        UIColor sky, ground, sun;
    };
    const Scene scenes[] = {
        {"dawn.jpg", UIColor(0.98, 0.78, 0.62, 1), UIColor(0.36, 0.52, 0.38, 1), UIColor(1, 0.93, 0.70, 1)},
        {"noon.jpg", UIColor(0.55, 0.78, 0.96, 1), UIColor(0.47, 0.70, 0.33, 1), UIColor(1, 1, 0.85, 1)},
        {"meadow.jpg", UIColor(0.72, 0.86, 0.95, 1), UIColor(0.62, 0.78, 0.30, 1), UIColor(1, 0.96, 0.80, 1)},
        {"dusk.jpg", UIColor(0.55, 0.42, 0.66, 1), UIColor(0.25, 0.30, 0.35, 1), UIColor(1, 0.66, 0.45, 1)},
        {"snow.jpg", UIColor(0.80, 0.86, 0.92, 1), UIColor(0.96, 0.97, 0.99, 1), UIColor(1, 1, 1, 1)},
        {"sea.jpg", UIColor(0.62, 0.82, 0.94, 1), UIColor(0.16, 0.45, 0.66, 1), UIColor(1, 0.98, 0.88, 1)},
    };
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return std::nullopt;
    const auto now = std::filesystem::file_time_type::clock::now();
    int age = 0;
    for (const auto& scene : scenes) {
        const auto file = folder / scene.name;
        ++age;
        if (std::filesystem::exists(file, ec)) continue;
        const CGSize size{800, 600};
        UIGraphicsBeginImageContextWithOptions(size, true, 1);
        auto& c = *UIGraphicsGetCurrentContext();
        c.drawLinearGradient({scene.sky, UIColor::whiteColor()}, {0, 1}, {0, 0}, {0, size.height * 0.7});
        c.setFillColor(scene.sun);
        c.fillEllipse({560 - age * 40.0, 90 + age * 15.0, 110, 110});
        c.setFillColor(scene.ground);
        c.fillEllipse({-200, size.height * 0.62, size.width + 400, size.height});
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        const auto bytes = image ? image->jpegData(0.8) : std::nullopt;
        if (!bytes) return std::nullopt;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) return std::nullopt;
        // The first is the newest: a day apart, as photos taken on a week's walks.
        std::filesystem::last_write_time(file, now - std::chrono::hours(24 * age), ec);
    }
    return folder;
}

std::unique_ptr<CradlewayEnvironment> CradlewayEnvironment::start(const CradlewayOptions& options,
                                                                  std::ostream& out, std::string& error) {
    std::unique_ptr<CradlewayEnvironment> environment(new CradlewayEnvironment());
    if (options.dataDirectory) cw::setDataDirectory(*options.dataDirectory);
    const auto data = cw::dataDirectory();
    std::error_code ec;
    if (!std::filesystem::exists(data, ec)) {
        std::filesystem::create_directories(data, ec);
        std::filesystem::permissions(data, std::filesystem::perms::owner_all, ec);
    }
    // The HTTP session's cookies with an expiry outlive a restart, beside the user defaults.
    HTTPCookieStorage::setSharedStorageFile(data / "Cookies.json");
    UIImage::setResourceDirectory(Bundle::main().resourcePath());
    environment->demoPhotos_ = cw::host::demoPhotos(data / "Demo Photos");

    if (options.serverURL) {
        environment->serverURL_ = *options.serverURL;
    } else {
        cw::server::ServerOptions serverOptions;
        serverOptions.accessLog = false;
        // Quitting waits for idle connections to close: keep them briefly.
        serverOptions.keepAliveSeconds = 1;
        if (options.accessTokenSeconds) serverOptions.accessTokenSeconds = *options.accessTokenSeconds;
        serverOptions.console = [console = &out](const std::string& line) { *console << "server: " << line << std::endl; };
        try {
            environment->server_ = cw::server::startDemoServer(data / "server", std::move(serverOptions));
        } catch (const std::exception& e) {
            error = "the demo server could not start in " + (data / "server").string() + ": " + e.what();
            return nullptr;
        }
        environment->serverURL_ = environment->server_->baseUrl();
        auto pushes = cw::server::demoPushPayloads(*environment->server_);
        if (!pushes.empty()) environment->pushPayload_ = pushes.front();
        out << "Demo server: " << environment->serverURL_ << " (data in " << (data / "server").string() << ")\n";
        // The demo's sign-in is offered only while it still opens the account.
        if (const auto open = cw::server::demoAccountsThatSignIn(*environment->server_); !open.empty())
            out << "Sign in with " << open.front().email << " / " << open.front().password << "\n";
        out << std::flush;
    }
    Bundle::main().setInfoDictionaryValue("SERVER_URL", environment->serverURL_);
    return environment;
}

CradlewayEnvironment::~CradlewayEnvironment() {
    if (server_) server_->stop();
}

} // namespace cw::host
