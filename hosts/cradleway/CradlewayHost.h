#pragma once

// What the cradleway executable does around the application loop: its own options, the data
// directory, the bundle's pictures, and the server the application talks to: the one named with
// --server, or by default the demo server, started in this process on a free loopback port with
// its data in <data directory>/server, and stopped when the host goes.

#include "server/Server.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cw::host {

struct CradlewayOptions {
    bool help = false;
    std::optional<std::string> serverURL;
    std::optional<std::filesystem::path> dataDirectory;
    // The life of the demo server's access tokens (its own default when none), to try the
    // application's refresh-and-replay path: the server refreshes with the refresh token.
    std::optional<std::int64_t> accessTokenSeconds;
    // Everything else, for the application loop (--headless, --script, --screenshots, --size, ...),
    // after the program's name.
    std::vector<std::string> applicationArguments;
};

// The options; none with `error` set when one is wrong (a missing value, a server address that is
// no http or https address).
std::optional<CradlewayOptions> parseOptions(int argc, const char* const* argv, std::string& error);
// Whether the application reads its script's steps from standard input (--script -).
bool readsStepsFromStandardInput(const CradlewayOptions& options);
const char* usage();

// The photo library of a desktop without pictures of its own: a few small landscapes, drawn into
// `folder` (made when missing) unless they are there already, the first drawn the newest. The
// folder; none when they cannot be written.
std::optional<std::filesystem::path> demoPhotos(const std::filesystem::path& folder);

class CradlewayEnvironment {
public:
    // Sets the data directory (made, mode 0700, when missing) and the pictures' folder, and points the
    // bundle's SERVER_URL at the server, starting the demo server unless one was named. Prints the
    // server's address and the demo sign-in to `out`, and the demo server's own lines after them.
    // None with `error` set when the demo server cannot start.
    static std::unique_ptr<CradlewayEnvironment> start(const CradlewayOptions& options, std::ostream& out,
                                                       std::string& error);
    ~CradlewayEnvironment();
    CradlewayEnvironment(const CradlewayEnvironment&) = delete;
    CradlewayEnvironment& operator=(const CradlewayEnvironment&) = delete;

    const std::string& serverURL() const { return serverURL_; }
    // The demo photo library, in the data directory; none when it cannot be written.
    const std::optional<std::filesystem::path>& demoPhotos() const { return demoPhotos_; }
    bool runsDemoServer() const { return server_ != nullptr; }
    // What the window's push keys deliver: the demo server's first notification (an article for
    // the mother); an empty payload against another server.
    const nlohmann::json& pushPayload() const { return pushPayload_; }

private:
    CradlewayEnvironment() = default;
    std::unique_ptr<cw::server::CradlewayServer> server_;
    std::string serverURL_;
    std::optional<std::filesystem::path> demoPhotos_;
    nlohmann::json pushPayload_ = nlohmann::json::object();
};

} // namespace cw::host
