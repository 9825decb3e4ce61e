#include "DemoServer.h"

namespace cw::test {

cw::server::ServerOptions DemoServer::quietOptions() {
    cw::server::ServerOptions options;
    options.cheapPasswordHashing = true;
    options.keepAliveSeconds = 1;
    options.accessLog = false;
    options.console = [](const std::string&) {};
    return options;
}

DemoServer::DemoServer(const std::filesystem::path& directory, cw::server::ServerOptions options)
    : server_(cw::server::startDemoServer(directory, std::move(options))) {}

DemoServer::~DemoServer() {
    stop();
}

void DemoServer::answerFeedQuestions() {
    auto db = server_->state().pool->acquire();
    // The feed's questions are a member's; the journey's stages are a baby's.
    db->prepare("UPDATE questions SET answer = 'No', asked = 1 WHERE member_id IS NOT NULL AND answer IS NULL").run();
}

void DemoServer::stop() {
    if (stopped_) return;
    stopped_ = true;
    server_->stop();
}

} // namespace cw::test
