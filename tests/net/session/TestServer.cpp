#include "TestServer.h"

#include <algorithm>
#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cw::nettest {

namespace {

void replyJSON(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "application/json");
}

int boundLoopbackSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

int portOf(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

} // namespace

TestServer::TestServer() {
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        record(req, {});
        const std::string& path = req.path;
        if (path.starts_with("/status/")) {
            int code = std::stoi(path.substr(8));
            replyJSON(res, code, "{\"message\":\"status " + std::to_string(code) + "\"}");
        } else if (path.starts_with("/redirect/")) {
            // /redirect/<status>/here: to /landed on this address; /redirect/<status>/away: the same server
            // under the name "localhost", another origin as far as the client can tell.
            int code = std::stoi(path.substr(10, 3));
            bool away = path.ends_with("/away");
            res.status = code;
            res.set_header("Location",
                           away ? "http://localhost:" + std::to_string(port_) + "/landed" : "/landed");
        } else if (path == "/cookies") {
            // /cookies?set=<field>&set=<field>...[&to=<address>]: each field as a Set-Cookie header,
            // and a redirect (302) to <address> when one is given.
            for (std::size_t i = 0, n = req.get_param_value_count("set"); i < n; ++i)
                res.headers.emplace("Set-Cookie", req.get_param_value("set", i));
            if (req.has_param("to")) {
                res.status = 302;
                res.set_header("Location", req.get_param_value("to"));
            } else {
                replyJSON(res, 200, "{}");
            }
        } else if (path == "/html") {
            res.set_content("<html><body>Server error</body></html>", "text/html");
        } else if (path == "/plain") {
            res.set_content("{\"plain\":true}", "text/plain; charset=utf-8");
        } else if (path == "/empty") {
            res.status = 200;
        } else if (path == "/notjson") {
            res.set_content("{not json", "application/json");
        } else if (path == "/bytes") {
            std::string bytes(300'000, '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<char>(i * 7 % 251);
            res.set_content(bytes, "image/jpeg");
        } else if (path.starts_with("/declared/")) {
            // Declares a JSON body of that many bytes, then waits for release() before sending any
            // of it: only a client that refuses the declared length ends before then.
            const std::size_t length = std::stoull(path.substr(10));
            res.set_content_provider(length, "application/json",
                                     [this](std::size_t, std::size_t, httplib::DataSink&) {
                                         std::unique_lock lock(mutex_);
                                         auto generation = generation_;
                                         released_.wait_for(lock, std::chrono::seconds(10),
                                                            [&] { return generation_ != generation; });
                                         return false;
                                     });
        } else if (path.starts_with("/stream/")) {
            // That many bytes of JSON text without a declared length, sent as long as the client reads.
            const std::size_t length = std::stoull(path.substr(8));
            res.set_chunked_content_provider("application/json", [this, length](std::size_t offset,
                                                                                 httplib::DataSink& sink) {
                if (offset >= length) {
                    sink.done();
                    return true;
                }
                const std::string chunk(std::min<std::size_t>(length - offset, 1u << 20), ' ');
                if (!sink.write(chunk.data(), chunk.size())) return false;
                streamed_ += chunk.size();
                return true;
            });
        } else if (path.starts_with("/trickle/")) {
            // /trickle/<hops>/<pieces>/<ms>[?stopAfter=<k>]: a reply of <pieces> pieces of 1000 bytes, one
            // every <ms> milliseconds, as a slow link brings them; with <hops> above 0 it is a
            // redirect (302) to /trickle/<hops - 1>/<pieces>/<ms>. With stopAfter, nothing more comes
            // after <k> pieces until release().
            int hops = 0, pieces = 0, every = 0;
            std::sscanf(path.c_str(), "/trickle/%d/%d/%d", &hops, &pieces, &every);
            const int stopAfter = req.has_param("stopAfter") ? std::stoi(req.get_param_value("stopAfter")) : -1;
            if (hops > 0) {
                res.status = 302;
                res.set_header("Location", "/trickle/" + std::to_string(hops - 1) + "/" + std::to_string(pieces) +
                                               "/" + std::to_string(every));
            }
            constexpr std::size_t kPiece = 1000;
            res.set_content_provider(
                static_cast<std::size_t>(pieces) * kPiece, "image/jpeg",
                [this, every, stopAfter](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    const auto piece = static_cast<int>(offset / kPiece);
                    std::unique_lock lock(mutex_);
                    const auto generation = generation_;
                    const auto wait = piece == stopAfter ? std::chrono::milliseconds(10'000)
                                      : piece == 0      ? std::chrono::milliseconds(0)
                                                        : std::chrono::milliseconds(every);
                    // The pace of the link; release() (the end of a test) cuts it short.
                    if (released_.wait_for(lock, wait, [&] { return generation_ != generation; })) return false;
                    lock.unlock();
                    const std::string bytes(kPiece, static_cast<char>('a' + piece % 26));
                    return sink.write(bytes.data(), bytes.size());
                });
        } else if (path == "/hold") {
            std::unique_lock lock(mutex_);
            auto generation = generation_;
            ++holding_;
            released_.wait_for(lock, std::chrono::seconds(10), [&] { return generation_ != generation; });
            --holding_;
            replyJSON(res, 200, "{}");
        } else {
            replyJSON(res, 200, "{\"ok\":true,\"path\":\"" + path + "\"}");
        }
    };
    server_.Get(".*", handler);
    server_.Post(".*", [this, handler](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) {
        if (!req.is_multipart_form_data()) {
            std::string body;
            reader([&](const char* data, std::size_t size) {
                body.append(data, size);
                return true;
            });
            httplib::Request copy = req;
            copy.body = body;
            handler(copy, res);
            return;
        }
        std::vector<httplib::MultipartFormData> parts;
        reader(
            [&](const httplib::MultipartFormData& part) {
                parts.push_back(part);
                return true;
            },
            [&](const char* data, std::size_t size) {
                parts.back().content.append(data, size);
                return true;
            });
        record(req, std::move(parts));
        replyJSON(res, 200, "{\"ok\":true}");
    });
    // Enough threads for every connection the client opens, and a connection closed as soon as it is
    // idle, so that stopping never waits for connections the client keeps.
    server_.new_task_queue = [] { return new httplib::ThreadPool(32); };
    // Not 0: the library applies this wait to a new connection's first request too, and would drop
    // a connection whose request arrives a moment after it is accepted.
    server_.set_keep_alive_timeout(1);
    server_.set_keep_alive_max_count(1000);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer() {
    release();
    server_.stop();
    thread_.join();
}

void TestServer::record(const httplib::Request& req, std::vector<httplib::MultipartFormData> parts) {
    Arrival arrival;
    arrival.method = req.method;
    arrival.path = req.path;
    arrival.target = req.target;
    for (const auto& [name, value] : req.headers)
        arrival.headers.emplace(name, value);
    arrival.body = req.body;
    arrival.parts = std::move(parts);
    std::lock_guard lock(mutex_);
    arrivals_.push_back(std::move(arrival));
}

std::vector<Arrival> TestServer::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

void TestServer::reset() {
    release();
    std::lock_guard lock(mutex_);
    arrivals_.clear();
    streamed_ = 0;
}

std::size_t TestServer::holdingCount() const {
    std::lock_guard lock(mutex_);
    return holding_;
}

std::size_t TestServer::arrivalCount() const {
    std::lock_guard lock(mutex_);
    return arrivals_.size();
}

void TestServer::release() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    released_.notify_all();
}

DroppingServer::DroppingServer() {
    listener_ = boundLoopbackSocket();
    ::listen(listener_, 8);
    port_ = portOf(listener_);
    thread_ = std::thread([this] {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) continue;
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            char buffer[4096];
            pollfd reading{client, POLLIN, 0};
            if (::poll(&reading, 1, 1000) > 0) (void)::recv(client, buffer, sizeof buffer, 0);
            ::close(client);
        }
    });
}

DroppingServer::~DroppingServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

TricklingServer::TricklingServer() {
    listener_ = boundLoopbackSocket();
    ::listen(listener_, 16);
    port_ = portOf(listener_);
    thread_ = std::thread([this] {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stop_) return;
            }
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) continue;
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            std::lock_guard lock(mutex_);
            connections_.emplace_back([this, client] { serve(client); });
        }
    });
}

TricklingServer::~TricklingServer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    thread_.join();
    for (auto& connection : connections_)
        connection.join();
    ::close(listener_);
}

bool TricklingServer::pause(int milliseconds) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_; });
}

void TricklingServer::serve(int client) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd reading{client, POLLIN, 0};
        if (::poll(&reading, 1, 50) <= 0) {
            if (!pause(0)) break;
            continue;
        }
        const auto got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    int hops = 0, lines = 0, size = 0, every = 0, before = 0, after = 0;
    std::sscanf(request.c_str(), "GET /slow?hops=%d&lines=%d&size=%d&every=%d&before=%d&after=%d", &hops, &lines,
                &size, &every, &before, &after);
    auto send = [client](const std::string& text) {
        return ::send(client, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    };
    const std::string next = "/slow?hops=" + std::to_string(hops - 1) + "&lines=" + std::to_string(lines) +
                             "&size=" + std::to_string(size) + "&every=" + std::to_string(every) +
                             "&before=" + std::to_string(before) + "&after=" + std::to_string(after);
    const std::string body(1000, 'b');
    bool going = pause(before) && send(hops > 0 ? "HTTP/1.1 302 Found\r\n" : "HTTP/1.1 200 OK\r\n");
    for (int i = 0; going && i < lines; ++i) {
        // "X-Pad-<i>: " and its value, then CR LF: <size> bytes in all.
        std::string line = "X-Pad-" + std::to_string(i) + ": ";
        line.append(static_cast<std::size_t>(std::max<int>(1, size - static_cast<int>(line.size()) - 2)), 'p');
        going = (i == 0 || pause(every)) && send(line + "\r\n");
    }
    if (going && hops > 0)
        send("Location: " + next + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    else if (going)
        going = send("Content-Type: application/octet-stream\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n") &&
                pause(after) && send(body);
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
}

int refusedPort() {
    int fd = boundLoopbackSocket();
    int port = portOf(fd);
    ::close(fd);
    return port;
}

} // namespace cw::nettest

#if defined(__SANITIZE_THREAD__)
// The test server's library is not built for ThreadSanitizer, which then misreads its own locking;
// what is checked is our side of the wire.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libcpp-httplib.so\n";
}
#endif
