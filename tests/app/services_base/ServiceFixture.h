#pragma once

#include "Services/AuthenticationContext.h"
#include "foundation/json/JSON.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cw::servicetest {

// What reached the test server.
struct Arrival {
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
    std::vector<std::string> partNames; // multipart parts, by name

    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string("<none>") : it->second;
    }
    JSON json() const { return JSON::parse(body).value(); }
};

// A session delegate that counts what it is told.
class RecordingSessionDelegate : public AuthenticationContextDelegate {
public:
    void authenticationContextDidStartSession(AuthenticationContext&) override { ++started; }
    void authenticationContextDidEndSession(AuthenticationContext&) override { ++ended; }
    int started = 0;
    int ended = 0;
};

// Every test gets a fresh data directory (for the user defaults), a bundle whose Info.json points
// SERVER_URL at an HTTP server in this process, and a signed-out shared session.
//
// The server records every request and answers through `reply`, which tests set before sending;
// without one it answers 200 {}. Requests to the "tokens" root wait while `holdRefresh` is set.
class ServiceTest : public ::testing::Test {
protected:
    using Handler = std::function<void(const Arrival&, httplib::Response&)>;

    void SetUp() override;
    void TearDown() override;

    // Rewrites Info.json (SERVER_URL is added unless `info` has it) and reloads the main bundle.
    void writeBundle(nlohmann::json info);
    void setReply(Handler handler);
    std::vector<Arrival> arrivals() const;
    std::vector<Arrival> arrivalsAt(const std::string& path) const;
    // Refresh requests wait from now until releaseRefresh().
    void holdRefresh();
    void releaseRefresh();
    // Runs the main run loop until `done` (fails the test after 10 s).
    static void runUntil(const std::function<bool()>& done);

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port); }
    static void signIn(const std::string& access, const std::string& refresh, std::int64_t userId = 7,
                       std::optional<std::int64_t> code = std::nullopt);

    std::filesystem::path directory;
    int port = 0;

private:
    httplib::Server server_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool holdRefresh_ = false;
    bool refreshReleased_ = false;
    Handler handler_;
    std::vector<Arrival> arrivals_;
};

} // namespace cw::servicetest
