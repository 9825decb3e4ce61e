#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cw::accountstest {

// One part of a multipart body (a text field has no file name).
struct Part {
    std::string name;
    std::string fileName;
    std::string contentType;
    std::string content;
};

// What reached the test server.
struct Arrival {
    std::string method;
    std::string path;
    httplib::Params query;
    httplib::Headers headers;
    std::string body;
    std::vector<Part> parts;

    std::string header(const std::string& name) const;
    nlohmann::json json() const;
    // Values of the multipart text fields named `name`, in the order sent.
    std::vector<std::string> fields(const std::string& name) const;
    // File parts (those with a file name).
    std::vector<Part> files() const;
};

struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body = "{}";
};

// What one operation's callbacks received.
struct Outcome {
    int calls = 0;
    std::optional<JSON> reply;
    std::optional<RequestError> error;
    std::optional<NSError> errorObject;

    ObjectSuccess success();
    RequestFailure failure();
    BaseHTTPService::Success taskSuccess();
    BaseHTTPService::Failure taskFailure();
};

// Every test gets a fresh data directory (user defaults), a bundle whose SERVER_URL points at an HTTP
// server in this process, and a signed-out session. The server records every request and answers
// from the replies set per path (default 200 {}).
class AccountServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void setReply(const std::string& path, Reply reply);
    std::vector<Arrival> arrivals() const;
    // The one request that arrived (fails the test otherwise).
    Arrival onlyArrival() const;
    // Points SERVER_URL at another address (a port where nothing listens, say).
    void setServerURL(const std::string& url);
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Runs the main run loop until `done` (fails the test after 10 s).
    static void runUntil(const std::function<bool()>& done);
    // Waits for `outcome` to hear once.
    static void wait(const Outcome& outcome) {
        runUntil([&] { return outcome.calls > 0; });
    }
    // Sends a request of its own and waits for it, then checks that it was the only one to arrive:
    // whatever was started before it has had the time to show itself.
    void expectNothingElseSent();

    // A signed-in member (tokens "access" / "refresh").
    static std::shared_ptr<UserData> signIn(std::int64_t id = 42, std::optional<std::int64_t> code = 9001,
                                            const std::string& email = "mother@example.org");
    static void signOut();

    // A small picture, and one that has no pixels and so no JPEG.
    static std::shared_ptr<UIImage> picture();
    static std::shared_ptr<UIImage> unencodablePicture();

    std::filesystem::path directory;

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<Arrival> arrivals_;
};

} // namespace cw::accountstest
