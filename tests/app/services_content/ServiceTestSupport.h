#pragma once

#include "Models/UserData.h"
#include "foundation/dispatch/RunLoop.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

namespace cw::servicetest {

// One request as the test server received it.
struct Arrival {
    std::string method;
    std::string path;
    std::string query; // as sent, without the "?"
    std::multimap<std::string, std::string> params;
    std::multimap<std::string, std::string, httplib::detail::ci> headers;
    std::string body;
    std::vector<httplib::MultipartFormData> parts; // in the order sent

    // The body read as JSON (discarded on error).
    nlohmann::json json() const { return nlohmann::json::parse(body, nullptr, false); }
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    std::optional<std::string> param(const std::string& name) const {
        auto it = params.find(name);
        return it == params.end() ? std::nullopt : std::optional(it->second);
    }
    const httplib::MultipartFormData* part(const std::string& name) const {
        for (const auto& p : parts)
            if (p.name == name) return &p;
        return nullptr;
    }
};

// A reply of the test server.
struct Reply {
    int status = 200;
    std::string body = "{}";
    std::string contentType = "application/json";
};

// An HTTP server on 127.0.0.1 (a free port) that records every request and answers each "METHOD
// path" with the replies queued for it, one per request, the last one for every request after it;
// anything without replies gets 200 {}.
class TestServer {
public:
    TestServer();
    ~TestServer();

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void reply(const std::string& method, const std::string& path, std::vector<Reply> replies);
    void reply(const std::string& method, const std::string& path, Reply reply) {
        this->reply(method, path, std::vector<Reply>{std::move(reply)});
    }
    std::vector<Arrival> arrivals() const;
    std::size_t arrivalCount() const;
    // Forgets the arrivals and the queued replies.
    void reset();
    void clearArrivals();

private:
    Reply next(const std::string& method, const std::string& path);
    void record(Arrival arrival);

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<Reply>> replies_;
    std::vector<Arrival> arrivals_;
};

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

// The one test server of the process, with the bundle (SERVER_URL pointing at it) and a private data
// directory set up on first use.
TestServer& testServer();
// The bundle directory whose SERVER_URL names the test server.
const std::filesystem::path& testBundleDirectory();

// Tests of the services against the test server: nobody signed in at the start, everything the
// session holds cleared after each test.
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

    TestServer& server = testServer();
};

} // namespace cw::servicetest
