#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cw::test {

// One request as the recording server received it.
struct RecordedRequest {
    using Part = httplib::MultipartFormData;

    std::string method;
    std::string path;
    std::string query;      // as sent, without the "?"
    httplib::Params params; // of the query
    httplib::Headers headers;
    std::string body;        // empty for a multipart body, whose parts are in `parts`
    std::vector<Part> parts; // in the order sent

    std::optional<std::string> header(const std::string& name) const;
    std::optional<std::string> param(const std::string& name) const;
    // The body read as JSON (a discarded value when it is not JSON).
    nlohmann::json json() const;
    // The first part named `name`, or null.
    const Part* part(const std::string& name) const;
    std::vector<std::string> partNames() const;
    // Values of the text parts (those without a file name) named `name`, in the order sent.
    std::vector<std::string> fields(const std::string& name) const;
    // The parts that carry a file name.
    std::vector<Part> files() const;
};

// A canned reply.
struct Reply {
    int status = 200;
    std::string body = "{}";
    std::string contentType = "application/json";
};

// An HTTP server on 127.0.0.1 (a free port) in the test process, serving GET and POST on a thread
// of its own. It records every request and answers it with the replies queued for its method and
// path (one per request, the last one for every request after it); requests without any get
// 200 {}. A handler, when set, is called after that with the recorded request and may change the
// response or wait.
class RecordingServer {
public:
    using Handler = std::function<void(const RecordedRequest&, httplib::Response&)>;
    // As the method of reply(): any method.
    static constexpr const char* anyMethod = "*";

    RecordingServer();
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void reply(const std::string& method, const std::string& path, std::vector<Reply> replies);
    void reply(const std::string& method, const std::string& path, Reply reply) {
        this->reply(method, path, std::vector<Reply>{std::move(reply)});
    }
    void setHandler(Handler handler);

    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requestsAt(const std::string& path) const;
    std::size_t requestCount() const;
    // Without copying them: a caller polling while pictures arrive would copy megabytes each time.
    std::size_t requestCount(const std::string& path) const;
    void clearRequests();
    // Forgets the requests, the queued replies and the handler.
    void reset();

    // Turns the main run loop until `count` requests have arrived (false after `seconds`).
    bool waitForRequests(std::size_t count, double seconds = 10.0) const;

    // Stops serving (waits for requests being answered); the destructor does it too.
    void stop();

private:
    void answer(const httplib::Request& request, httplib::Response& response, RecordedRequest recorded);
    Reply next(const std::string& method, const std::string& path);

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<Reply>> replies_;
    Handler handler_;
    std::vector<RecordedRequest> requests_;
};

} // namespace cw::test
