#include "RecordingServer.h"

#include "server/Connections.h"

#include "foundation/dispatch/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace cw::test {

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::nullopt : std::optional(it->second);
}

std::optional<std::string> RecordedRequest::param(const std::string& name) const {
    auto it = params.find(name);
    return it == params.end() ? std::nullopt : std::optional(it->second);
}

nlohmann::json RecordedRequest::json() const {
    return nlohmann::json::parse(body, nullptr, false);
}

const RecordedRequest::Part* RecordedRequest::part(const std::string& name) const {
    for (const auto& p : parts)
        if (p.name == name) return &p;
    return nullptr;
}

std::vector<std::string> RecordedRequest::partNames() const {
    std::vector<std::string> names;
    for (const auto& p : parts)
        names.push_back(p.name);
    return names;
}

std::vector<std::string> RecordedRequest::fields(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& p : parts)
        if (p.name == name && p.filename.empty()) values.push_back(p.content);
    return values;
}

std::vector<RecordedRequest::Part> RecordedRequest::files() const {
    std::vector<Part> found;
    for (const auto& p : parts)
        if (!p.filename.empty()) found.push_back(p);
    return found;
}

RecordingServer::RecordingServer() {
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        RecordedRequest recorded;
        recorded.body = request.body;
        answer(request, response, std::move(recorded));
    });
    // Read through a content reader, so that multipart parts are kept in the order they were sent.
    server_.Post(".*", [this](const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader& reader) {
        RecordedRequest recorded;
        if (request.is_multipart_form_data()) {
            reader(
                [&](const httplib::MultipartFormData& part) {
                    recorded.parts.push_back(part);
                    return true;
                },
                [&](const char* data, std::size_t size) {
                    recorded.parts.back().content.append(data, size);
                    return true;
                });
        } else {
            reader([&](const char* data, std::size_t size) {
                recorded.body.append(data, size);
                return true;
            });
        }
        answer(request, response, std::move(recorded));
    });
    // Compressed as the real server compresses: a reply of a few megabytes costs milliseconds.
    server_.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        cw::server::settleReplyEncoding(request);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Enough workers for the requests a test has in flight at once, some of them held by a handler.
    server_.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // One request per connection, so that stopping never waits for an idle keep-alive connection.
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the recording server cannot bind a port on 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

RecordingServer::~RecordingServer() {
    stop();
}

void RecordingServer::stop() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
}

void RecordingServer::answer(const httplib::Request& request, httplib::Response& response,
                             RecordedRequest recorded) {
    recorded.method = request.method;
    recorded.path = request.path;
    auto mark = request.target.find('?');
    if (mark != std::string::npos) recorded.query = request.target.substr(mark + 1);
    recorded.params = request.params;
    recorded.headers = request.headers;
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(recorded);
        handler = handler_;
    }
    Reply reply = next(request.method, request.path);
    response.status = reply.status;
    if (!reply.body.empty()) response.set_content(reply.body, reply.contentType);
    if (handler) handler(recorded, response);
}

void RecordingServer::reply(const std::string& method, const std::string& path, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    replies_[method + " " + path] = std::deque<Reply>(replies.begin(), replies.end());
}

Reply RecordingServer::next(const std::string& method, const std::string& path) {
    std::lock_guard lock(mutex_);
    auto found = replies_.find(method + " " + path);
    if (found == replies_.end()) found = replies_.find(std::string(anyMethod) + " " + path);
    if (found == replies_.end() || found->second.empty()) return {};
    Reply reply = found->second.front();
    if (found->second.size() > 1) found->second.pop_front();
    return reply;
}

void RecordingServer::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<RecordedRequest> RecordingServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<RecordedRequest> RecordingServer::requestsAt(const std::string& path) const {
    std::vector<RecordedRequest> found;
    for (auto& request : requests())
        if (request.path == path) found.push_back(std::move(request));
    return found;
}

std::size_t RecordingServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

std::size_t RecordingServer::requestCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                  [&](const RecordedRequest& r) { return r.path == path; }));
}

void RecordingServer::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void RecordingServer::reset() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    replies_.clear();
    handler_ = nullptr;
}

bool RecordingServer::waitForRequests(std::size_t count, double seconds) const {
    return RunLoop::main().runUntil([&] { return requestCount() >= count; }, seconds);
}

} // namespace cw::test
