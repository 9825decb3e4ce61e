#pragma once

// How long the main thread is held by one action that ends in a request: the action itself (a tap)
// and every pass of the main run loop that runs something afterwards, until the request has
// reached the server. Time between those passes, while the main thread is free and the work goes on
// elsewhere (pictures encoded on a queue), does not count. The benchmarks that save or submit
// pictures report it against one frame. Header only: each benchmark program includes it as it is.

#include "foundation/dispatch/RunLoop.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace cw::bench {

// A 60 Hz frame: the main thread held longer than this visibly stops the screen.
inline constexpr double kSixtyHertzFrameMs = 16;

// Milliseconds of one action: everything it held the main thread for, and its longest single hold.
struct MainThreadShare {
    double totalMs = 0;
    double longestMs = 0;
};

// Runs `action` on the main thread and then the main run loop until `sent` holds, timing as above.
inline MainThreadShare timeMainThreadShare(const std::function<void()>& action, const std::function<bool()>& sent) {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    MainThreadShare share;
    auto start = Clock::now();
    action();
    share.totalMs = share.longestMs = ms(Clock::now() - start);
    while (!sent()) {
        start = Clock::now();
        if (RunLoop::main().runUntilIdle() == 0) {
            // Nothing to run: the main thread is free while the queue and the network work.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        const double pass = ms(Clock::now() - start);
        share.totalMs += pass;
        share.longestMs = std::max(share.longestMs, pass);
    }
    return share;
}

// Holds the recording server's replies while the main thread's share is timed, so that handling a
// reply (closing a screen, a banner) never lands in it; the replies go once open() is called, and
// before the server goes.
class HeldReplies {
public:
    explicit HeldReplies(cw::test::RecordingServer& server) : server_(server) {
        server_.setHandler(
            [gate = gate_](const cw::test::RecordedRequest&, httplib::Response&) { gate->wait(); });
    }
    ~HeldReplies() {
        open();
        server_.setHandler(nullptr);
    }
    HeldReplies(const HeldReplies&) = delete;
    HeldReplies& operator=(const HeldReplies&) = delete;

    void hold() { gate_->close(); }
    void open() { gate_->open(); }

private:
    cw::test::RecordingServer& server_;
    std::shared_ptr<cw::test::Gate> gate_ = std::make_shared<cw::test::Gate>();
};

// Sets the counters "main_thread_ms_median", "main_thread_ms_worst", "longest_hold_ms" and
// "frame_budget_ms" (the target) over the iterations' shares.
inline void reportMainThreadShares(benchmark::State& state, std::vector<MainThreadShare> shares) {
    if (shares.empty()) return;
    std::sort(shares.begin(), shares.end(),
              [](const MainThreadShare& a, const MainThreadShare& b) { return a.totalMs < b.totalMs; });
    double longest = 0;
    for (const auto& share : shares)
        longest = std::max(longest, share.longestMs);
    state.counters["main_thread_ms_median"] = shares[shares.size() / 2].totalMs;
    state.counters["main_thread_ms_worst"] = shares.back().totalMs;
    state.counters["longest_hold_ms"] = longest;
    state.counters["frame_budget_ms"] = kSixtyHertzFrameMs;
}

} // namespace cw::bench
