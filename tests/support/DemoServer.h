#pragma once

#include "server/Server.h"

#include <filesystem>
#include <memory>
#include <string>

namespace cw::test {

// The demo server for end-to-end tests: its database in a directory of the test's, the demo family
// loaded, serving on a free loopback port until the object goes.
class DemoServer {
public:
    // Cheap password hashing, no access log, nothing printed.
    static cw::server::ServerOptions quietOptions();

    explicit DemoServer(const std::filesystem::path& directory,
                        cw::server::ServerOptions options = quietOptions());
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    std::string baseUrl() const { return server_->baseUrl(); }
    cw::server::CradlewayServer& server() { return *server_; }
    // As if the family had answered the feed's pending questions in an earlier session: the feed
    // asks nothing (the babies' journey stages are left as they are).
    void answerFeedQuestions();
    // Stops serving (the destructor does it too); waits for the requests being answered.
    void stop();

private:
    std::unique_ptr<cw::server::CradlewayServer> server_;
    bool stopped_ = false;
};

} // namespace cw::test
