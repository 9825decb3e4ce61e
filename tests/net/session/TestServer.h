#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace cw::nettest {

// What arrived at the test server.
struct Arrival {
    std::string method;
    std::string path;
    std::string target; // path and query as sent
    std::multimap<std::string, std::string, httplib::detail::ci> headers;
    std::string body;
    std::vector<httplib::MultipartFormData> parts; // multipart parts in the order sent

    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    bool hasHeader(const std::string& name) const { return headers.count(name) > 0; }
};

// An HTTP server on 127.0.0.1 with a port chosen by the system. Every request is recorded; the reply
// depends on the path:
//   /status/<code>   that status with the JSON body {"message":"status <code>"}
//   /redirect/<status>/here, /redirect/<status>/away
//                    a redirect to /landed, on this origin or on "localhost"
//   /cookies?set=<Set-Cookie field>&...[&to=<address>]
//                    200 {} (or 302 to <address>) with each field as a Set-Cookie header
//   /html            200, text/html
//   /plain           200, text/plain holding a JSON object
//   /empty           200, empty body, no content type
//   /notjson         200, application/json that is not JSON
//   /bytes           200, image/jpeg with 300 000 bytes of a pattern
//   /declared/<n>    200, application/json declaring n bytes; sends none before release()
//   /stream/<n>      200, application/json of n blanks, chunked, sent while the client reads
//   /hold            waits until the next release() (or 10 s), then 200 {}
//   /trickle/<hops>/<pieces>/<ms>[?stopAfter=<k>]
//                    <pieces> pieces of 1000 bytes, one every <ms> ms (a slow link), after <hops>
//                    redirects that come as slowly; with stopAfter, nothing after piece <k>
//   anything else    200 {"ok":true,"path":<path>}
class TestServer {
public:
    TestServer();
    ~TestServer();

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    std::vector<Arrival> arrivals() const;
    std::size_t arrivalCount() const;
    // Requests to /hold waiting for release() now.
    std::size_t holdingCount() const;
    // Lets every held request go.
    void release();
    // Lets held requests go and forgets what arrived.
    void reset();
    // Bytes of /stream/ replies written so far.
    std::size_t streamedBytes() const { return streamed_.load(); }

private:
    void record(const httplib::Request& req, std::vector<httplib::MultipartFormData> parts);

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::size_t holding_ = 0;
    std::uint64_t generation_ = 0;
    std::vector<Arrival> arrivals_;
    std::atomic<std::size_t> streamed_{0};
};

// Accepts connections on a loopback port, reads the request and closes without answering.
class DroppingServer {
public:
    DroppingServer();
    ~DroppingServer();
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// An HTTP server on a loopback port that sends its replies' heads as slowly as asked, which an HTTP
// library's server cannot. /slow?hops=<h>&lines=<n>&size=<b>&every=<ms>&before=<ms>&after=<ms>:
// nothing for <before> ms, then a head of <n> lines of <b> bytes, one every <ms> ms, and after
// <after> ms more a body of 1000 bytes; with <h> above 0 the head is a redirect (302, no body) to the
// same reply with one hop less. Each reply closes its connection.
class TricklingServer {
public:
    TricklingServer();
    ~TricklingServer();
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    void serve(int client);
    // Waits, or until the server stops; whether it still runs.
    bool pause(int milliseconds);

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::vector<std::thread> connections_;
    std::thread thread_;
};

// A loopback port on which nothing listens.
int refusedPort();

} // namespace cw::nettest
