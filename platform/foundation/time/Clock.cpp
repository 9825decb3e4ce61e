#include "foundation/time/Clock.h"

#include <chrono>
#include <mutex>
#include <stdexcept>

namespace {

struct ClockState {
    std::mutex mutex;
    bool manual = false;
    double wall = 0;
    double mono = 0;
    std::function<void()> hook;
};

ClockState& state() {
    static ClockState s;
    return s;
}

} // namespace

double Clock::now() {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (s.manual) return s.wall;
    }
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double Clock::uptime() {
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (s.manual) return s.mono;
    }
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool Clock::isManual() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.manual;
}

void Clock::setAdvanceHook(std::function<void()> hook) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.hook = std::move(hook);
}

ManualClock::ManualClock(double wallStart) {
    // Start the manual monotonic clock where the real one stands so that deadlines computed just
    // before installation stay meaningful.
    double mono = Clock::uptime();
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.manual) throw std::logic_error("ManualClock: a manual clock is already installed");
    s.manual = true;
    s.wall = wallStart;
    s.mono = mono;
}

ManualClock::~ManualClock() {
    std::function<void()> hook;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        s.manual = false;
        hook = s.hook;
    }
    if (hook) hook();
}

void ManualClock::advance(double seconds) {
    std::function<void()> hook;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (seconds > 0) {
            s.wall += seconds;
            s.mono += seconds;
        }
        hook = s.hook;
    }
    if (hook) hook();
}

void ManualClock::setNow(double wallSeconds) {
    std::function<void()> hook;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        s.wall = wallSeconds;
        hook = s.hook;
    }
    if (hook) hook();
}
