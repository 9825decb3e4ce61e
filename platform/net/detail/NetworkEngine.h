#pragma once

#include "net/NSURLSessionDataTask.h"

#include <optional>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace cw::detail {

struct Hop;
struct RequestClock;

// One libcurl multi handle turned by one thread: every transfer of the process runs there, and
// connections to the same host are kept and reused between requests. The engine decides itself
// which request goes on the wire when (NSURLSessionDataTask.h: six connections to a server, by
// priority, two kept from background traffic), and times each request's idleness on its own clock,
// across its redirects.
class NetworkEngine {
public:
    static NetworkEngine& shared();

    void start(std::shared_ptr<NSURLSessionDataTask> task);
    void cancel(std::shared_ptr<NSURLSessionDataTask> task);

    ~NetworkEngine();
    NetworkEngine(const NetworkEngine&) = delete;
    NetworkEngine& operator=(const NetworkEngine&) = delete;

private:
    NetworkEngine();
    using Moment = std::chrono::steady_clock::time_point;
    // A hop waiting for a connection to its server.
    struct Waiting;

    void run();
    // Queues a hop; `order` places it among those of its priority (a redirect keeps its request's).
    void enqueue(const std::shared_ptr<NSURLSessionDataTask>& task, Hop hop, std::uint64_t order,
                 std::optional<RequestClock> clock);
    // Puts waiting hops on the wire while their servers have connections to spare.
    void startWaiting();
    // Fails the transfers idle past their time-out, or whose replies come slower than their least
    // pace; returns how long until the next one would be.
    std::chrono::milliseconds expireIdle();
    void addTransfer(const std::shared_ptr<NSURLSessionDataTask>& task, Hop hop, std::uint64_t order,
                     RequestClock clock);
    // Easy handles are kept as void* so that this header needs no libcurl.
    void completeTransfer(void* easy, int code);
    void removeTransfer(void* easy);

    void* multi_ = nullptr;
    std::mutex mutex_;
    std::deque<std::shared_ptr<NSURLSessionDataTask>> starts_;
    std::deque<std::shared_ptr<NSURLSessionDataTask>> cancels_;
    bool stopping_ = false;
    // Owned by the network thread.
    std::unordered_map<void*, std::unique_ptr<Transfer>> transfers_;
    std::vector<Waiting> waiting_;
    // Transfers on the wire, by server: all of them, those of low priority, and background traffic.
    struct Connections {
        int all = 0, low = 0, background = 0;
    };
    std::map<std::string, Connections> connections_;
    std::uint64_t nextOrder_ = 0;
    std::thread thread_;
};

} // namespace cw::detail
