#pragma once

#include "Services/AuthenticationContext.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cw::servicetest {

using Arrival = cw::test::RecordedRequest;

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
    using Handler = cw::test::RecordingServer::Handler;

    void SetUp() override;
    void TearDown() override;

    // Rewrites Info.json (SERVER_URL is added unless `info` has it) and reloads the main bundle.
    void writeBundle(nlohmann::json info);
    void setReply(Handler handler);
    std::vector<Arrival> arrivals() const { return server_->requests(); }
    std::vector<Arrival> arrivalsAt(const std::string& path) const { return server_->requestsAt(path); }
    void clearArrivals() { server_->clearRequests(); }
    // Refresh requests wait from now until releaseRefresh().
    void holdRefresh();
    void releaseRefresh();
    // Runs the main run loop until `done` (fails the test after 10 s).
    static void runUntil(const std::function<bool()>& done);

    std::string base() const { return server_->base(); }
    static void signIn(const std::string& access, const std::string& refresh, std::int64_t userId = 7,
                       std::optional<std::int64_t> code = std::nullopt);

private:
    std::unique_ptr<cw::test::AppEnvironment> environment_;
    std::unique_ptr<cw::test::RecordingServer> server_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool holdRefresh_ = false;
    bool refreshReleased_ = false;
    Handler handler_;
};

} // namespace cw::servicetest
