#pragma once

#include "Models/UserData.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"

#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace cw::servicetest {

using Arrival = cw::test::RecordedRequest;
using Reply = cw::test::Reply;

// Collects what is written to std::cout (the services' console lines) while it lives.
class ConsoleCapture {
public:
    ConsoleCapture() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
    ~ConsoleCapture() { std::cout.rdbuf(previous_); }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

// Tests of the services against an HTTP server in the test process (SERVER_URL of a fresh bundle names
// it) that answers each "METHOD path" with the replies queued for it, one per request, the last one for
// every request after it; anything without replies gets 200 {}. A fresh data directory, nobody signed
// in at the start, everything the session holds cleared after each test.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes a member with `id` (and `code` when given) the signed-in one, with both tokens.
    std::shared_ptr<UserData> signIn(std::int64_t id, std::optional<std::int64_t> code = std::nullopt);

    // Turns the main run loop until `done` holds (false after 10 s).
    static bool runUntil(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10.0); }
    // Waits until `count` requests have arrived and returns them.
    std::vector<Arrival> waitForArrivals(std::size_t count);
    // Sends a marker request and waits for its reply: anything sent before it has been started by then.
    // Returns the requests that arrived before the marker's reply, the marker left out, and forgets
    // every arrival.
    std::vector<Arrival> arrivalsBeforeMarker();

    cw::test::AppEnvironment environment{"cw-services-content"};
    cw::test::RecordingServer server;
};

} // namespace cw::servicetest
