#include "foundation/dispatch/RunLoop.h"

#include "foundation/time/Clock.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <iostream>
#include <thread>
#include <vector>

namespace {

// Static initialisation runs on the thread that starts the process, before main().
const std::thread::id gMainThreadId = std::this_thread::get_id();

double realNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// A runaway repeating timer with a tiny interval must not keep runUntilIdle() busy for ever.
constexpr std::size_t kMaxPassesPerIdleRun = 100000;

constexpr double kMaxWaitSlice = 0.005;

} // namespace

namespace cw {

void runReportingExceptions(const std::function<void()>& work, const char* what) {
    // Failures reach callers through their failure callbacks; an exception that escapes a task is
    // a fault of that task alone, so it is reported and the work queued beside it still runs.
    try {
        work();
    } catch (const std::exception& e) {
        std::cerr << "[Dispatch] " << what << " threw an exception: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "[Dispatch] " << what << " threw an unknown exception\n";
    }
}

} // namespace cw

bool Thread::isMainThread() {
    return std::this_thread::get_id() == gMainThreadId;
}

RunLoop& RunLoop::main() {
    static RunLoop* loop = [] {
        auto* l = new RunLoop(); // never destroyed: threads may post to it during exit
        Clock::setAdvanceHook([l] { l->wake(); });
        return l;
    }();
    return *loop;
}

RunLoop::RunLoop() = default;

void RunLoop::perform(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    cv_.notify_all();
}

std::uint64_t RunLoop::addTimer(double fireAt, std::function<void()> action) {
    return insertTimer(fireAt, std::move(action), false);
}

std::uint64_t RunLoop::addDisplayTimer(double fireAt, std::function<void()> action) {
    return insertTimer(fireAt, std::move(action), true);
}

std::uint64_t RunLoop::insertTimer(double fireAt, std::function<void()> action, bool display) {
    std::uint64_t id;
    {
        std::lock_guard lock(mutex_);
        id = nextTimerId_++;
        timers_.emplace(TimerKey{fireAt, id}, std::move(action));
        timerDeadlines_.emplace(id, fireAt);
        if (display) displayTimers_.insert(id);
    }
    cv_.notify_all();
    return id;
}

bool RunLoop::cancelTimer(std::uint64_t id) {
    // The action is destroyed outside the lock: it may own objects whose destructors add or cancel
    // timers themselves.
    std::function<void()> dropped;
    {
        std::lock_guard lock(mutex_);
        auto it = timerDeadlines_.find(id);
        if (it == timerDeadlines_.end()) return false;
        auto t = timers_.find(TimerKey{it->second, id});
        if (t != timers_.end()) {
            dropped = std::move(t->second);
            timers_.erase(t);
        }
        timerDeadlines_.erase(it);
        displayTimers_.erase(id);
    }
    return true;
}

std::size_t RunLoop::pass() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    std::size_t ran = 0;
    for (auto& task : batch) {
        if (task) cw::runReportingExceptions(task, "A task on the main run loop");
        task = nullptr;
        ++ran;
    }

    // Due timers are taken one at a time, so that a timer cancelled by an earlier one in the same
    // pass does not fire.
    double now = Clock::uptime();
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex_);
            auto it = timers_.begin();
            if (it == timers_.end() || it->first.fireAt > now) break;
            action = std::move(it->second);
            timerDeadlines_.erase(it->first.id);
            displayTimers_.erase(it->first.id);
            timers_.erase(it);
        }
        if (action) cw::runReportingExceptions(action, "A timer on the main run loop");
        ++ran;
    }
    return ran;
}

std::size_t RunLoop::runUntilIdle() {
    std::size_t total = 0;
    for (std::size_t passes = 0; passes < kMaxPassesPerIdleRun; ++passes) {
        std::size_t ran = pass();
        if (ran == 0) break;
        total += ran;
    }
    return total;
}

void RunLoop::waitForWork(double realDeadline) {
    std::unique_lock lock(mutex_);
    if (!tasks_.empty()) return;
    double wait = realDeadline - realNow();
    if (!timers_.empty() && !Clock::isManual()) {
        wait = std::min(wait, timers_.begin()->first.fireAt - Clock::uptime());
    }
    if (wait <= 0) return;
    // A condition may also be met by another thread without handing work to this loop, so a wait
    // is never longer than a few milliseconds.
    wait = std::min(wait, kMaxWaitSlice);
    std::uint64_t generation = wakeGeneration_;
    cv_.wait_for(lock, std::chrono::duration<double>(wait),
                 [&] { return !tasks_.empty() || wakeGeneration_ != generation; });
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
    double deadline = realNow() + timeoutSeconds;
    for (;;) {
        runUntilIdle();
        if (done()) return true;
        if (realNow() >= deadline) return false;
        waitForWork(deadline);
    }
}

void RunLoop::runFor(double seconds) {
    runUntil([] { return false; }, seconds);
}

bool RunLoop::runOnce(double maxWaitSeconds) {
    if (pass() > 0) return true;
    waitForWork(realNow() + maxWaitSeconds);
    return pass() > 0;
}

void RunLoop::wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeGeneration_;
    }
    cv_.notify_all();
}

std::size_t RunLoop::pendingTimerCount() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

std::size_t RunLoop::pendingTaskCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

double RunLoop::nextTimerDeadline() const {
    std::lock_guard lock(mutex_);
    return timers_.empty() ? -1.0 : timers_.begin()->first.fireAt;
}

double RunLoop::nextWorkDeadline() const {
    std::lock_guard lock(mutex_);
    for (const auto& [key, action] : timers_)
        if (!displayTimers_.count(key.id)) return key.fireAt;
    return -1.0;
}

void RunLoop::reset() {
    std::deque<std::function<void()>> tasks;
    std::map<TimerKey, std::function<void()>> timers;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
        timers.swap(timers_);
        timerDeadlines_.clear();
        displayTimers_.clear();
    }
}
