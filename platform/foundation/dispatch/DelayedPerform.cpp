#include "foundation/dispatch/DelayedPerform.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace cw {

namespace {

struct Pending {
    detail::SelectorKey selector;
    std::uint64_t timer = 0;
    std::uint64_t serial = 0;
};

// The pending calls of each target, by its address (main thread only).
std::multimap<const void*, Pending>& pendingCalls() {
    static auto* calls = new std::multimap<const void*, Pending>();
    return *calls;
}

std::uint64_t nextSerial = 1;

} // namespace

namespace detail {

void schedulePerform(const void* target, const SelectorKey& selector, double delay,
                     std::function<void()> call) {
    if (!std::isfinite(delay) || delay < 0) delay = 0;
    const std::uint64_t serial = nextSerial++;
    const std::uint64_t timer =
        RunLoop::main().addTimer(Clock::uptime() + delay, [target, serial, call = std::move(call)] {
            auto& calls = pendingCalls();
            auto [first, last] = calls.equal_range(target);
            for (auto it = first; it != last; ++it) {
                if (it->second.serial == serial) {
                    calls.erase(it);
                    break;
                }
            }
            call();
        });
    pendingCalls().emplace(target, Pending{selector, timer, serial});
}

void cancelPerforms(const void* target, const SelectorKey* selector) {
    auto& calls = pendingCalls();
    std::vector<std::uint64_t> timers;
    auto [first, last] = calls.equal_range(target);
    for (auto it = first; it != last;) {
        if (!selector || it->second.selector == *selector) {
            timers.push_back(it->second.timer);
            it = calls.erase(it);
        } else {
            ++it;
        }
    }
    // Cancelling releases the calls, and with them perhaps the target: after the books are done.
    for (std::uint64_t t : timers)
        RunLoop::main().cancelTimer(t);
}

} // namespace detail

} // namespace cw
