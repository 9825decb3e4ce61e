#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "foundation/json/JSON.h"
#include "server/Server.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class UIImage;

namespace cw::e2e {

// What one request ended with: the reply that reached a success callback, or a description of what
// reached a failure callback. Hands out callbacks of every shape the services take.
struct Outcome {
    std::optional<JSON> reply;
    std::optional<std::string> error;
    int calls = 0;

    ObjectSuccess success();
    RequestFailure failure();
    BaseHTTPService::Success taskSuccess();
    BaseHTTPService::Failure taskFailure();
    bool done() const { return calls > 0; }
    // The reply as a JSON object (empty when there was none).
    JSON object() const { return reply.value_or(JSON::missing()); }
};

// One demo server per test suite, with a data directory and a bundle of its own, so that no suite
// sees another's session, defaults or server state. The session of the process is signed out when
// a suite starts; suites that need a member sign one in.
class DemoServerSuite : public ::testing::Test {
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void TearDown() override;

    // Drives the main run loop until `done` holds (false after the time-out).
    static bool runUntil(const std::function<bool()>& done, double seconds = 20);
    // Waits for the outcome and reports a failure callback or a time-out as a test failure.
    static ::testing::AssertionResult accepted(Outcome& outcome);
    // Signs the account in through the sign-in service and starts the session with its reply.
    static ::testing::AssertionResult signIn(const server::DemoAccount& account);
    // The demo mother, signed in once per suite.
    static ::testing::AssertionResult signInDemoMember();
    // The ids of the signed-in member's babies.
    static std::vector<std::int64_t> babyIds();
    static std::int64_t userId();
    // The "data" object of the signed-in member's feed of all their babies.
    static JSON feedData();

    // Lines the server printed (codes it would have mailed, and its access log).
    static std::vector<std::string> consoleLines();
    // Waits for an access-log line of `method` and `path` (below "/m/api/", without slashes) with
    // `status`, and counts them.
    static bool awaitLogged(const std::string& method, const std::string& path, int status);
    static std::size_t loggedCount(const std::string& method, const std::string& path, int status);

    static std::shared_ptr<UIImage> solidImage(std::uint32_t argb);

    // GET of a picture or page that a reply names, resolved as the screens resolve it
    // (BaseHTTPService::imageURL). Status 0 when no request could be made.
    struct Download {
        int status = 0;
        std::string contentType;
        std::string body;
    };
    static Download download(const std::string& reference);
    // The reference is served as a picture that decodes.
    static ::testing::AssertionResult servedPicture(const std::string& reference);

    static std::filesystem::path directory_;
    static std::unique_ptr<server::CradlewayServer> server_;
    static std::mutex consoleMutex_;
    static std::vector<std::string> console_;
};

} // namespace cw::e2e
