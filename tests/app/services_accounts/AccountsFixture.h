#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::accountstest {

using Arrival = cw::test::RecordedRequest;
using Part = cw::test::RecordedRequest::Part;
using Reply = cw::test::Reply;

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

    // Answers every request to `path`, whatever its method.
    void setReply(const std::string& path, Reply reply) {
        server_->reply(cw::test::RecordingServer::anyMethod, path, std::move(reply));
    }
    std::vector<Arrival> arrivals() const { return server_->requests(); }
    // The one request that arrived (fails the test otherwise).
    Arrival onlyArrival() const;
    // Points SERVER_URL at another address (a port where nothing listens, say).
    void setServerURL(const std::string& url);
    std::string base() const { return server_->base(); }

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

    std::unique_ptr<cw::test::AppEnvironment> environment;

private:
    std::unique_ptr<cw::test::RecordingServer> server_;
};

} // namespace cw::accountstest
