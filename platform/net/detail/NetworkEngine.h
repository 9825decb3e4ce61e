#pragma once

#include "net/NSURLSessionDataTask.h"

#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace cw::detail {

struct Hop;

// One libcurl multi handle turned by one thread: every transfer of the process runs there, and
// connections to the same host are kept and reused between requests.
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
    void run();
    void addTransfer(const std::shared_ptr<NSURLSessionDataTask>& task, Hop hop);
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
    std::thread thread_;
};

} // namespace cw::detail
