#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>

// The main thread's run loop. Everything that touches the user interface runs here: tasks sent to
// the main queue, timers, network callbacks. Hosts turn it with runOnce(); tests drive it with
// runUntilIdle() and runUntil(), so nothing in a test depends on real waiting except work that
// genuinely happens on other threads.
//
// A task or timer that throws is reported on standard error and the loop goes on with the rest of
// its work: failures reach callers through failure callbacks, never as exceptions across a callback.
class RunLoop {
public:
    static RunLoop& main();

    // Queues a task to run on the next pass (first in, first out). Safe from any thread.
    void perform(std::function<void()> task);

    // Runs `action` once the clock's uptime reaches `fireAt` (Clock::uptime()). Returns an id for
    // cancelTimer. Timers due at the same moment fire in the order they were added. Safe from any
    // thread; a timer never fires inside the call that adds it.
    std::uint64_t addTimer(double fireAt, std::function<void()> action);
    // A timer that changes only what is drawn (a text caret's blink): it fires as any other, but
    // nextWorkDeadline() passes it by, so that a host waiting for the screen to settle does not
    // wait on it for ever.
    std::uint64_t addDisplayTimer(double fireAt, std::function<void()> action);
    // Returns false when the timer had already fired or been cancelled.
    bool cancelTimer(std::uint64_t id);

    // Runs every queued task and every due timer, including the work they queue in turn, until
    // nothing is ready. Does not wait for work that other threads have still to hand over.
    // Returns the number of tasks and timers run.
    std::size_t runUntilIdle();

    // Turns the loop, waiting for work from other threads and for timers, until `done` holds or
    // `timeoutSeconds` of real time have passed. Returns whether `done` held.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds = 10.0);

    // Turns the loop for `seconds` of real time (timers on a manual clock only fire if it moves).
    void runFor(double seconds);

    // One turn for a host: runs what is ready; when nothing was, waits up to `maxWaitSeconds` for
    // work or the next timer and runs that. Returns whether anything ran.
    bool runOnce(double maxWaitSeconds);

    // Interrupts a wait (a new task, a moved clock).
    void wake();

    // Number of pending timers and of queued tasks (for tests and diagnostics).
    std::size_t pendingTimerCount() const;
    std::size_t pendingTaskCount() const;
    // The uptime at which the next timer is due, or a negative value when none is pending.
    double nextTimerDeadline() const;
    // The same, leaving out display timers: when the next work is due.
    double nextWorkDeadline() const;

    // Drops every queued task and timer. For tests that must not leak work into the next test.
    void reset();

private:
    RunLoop();
    std::size_t pass();
    void waitForWork(double realDeadline);
    std::uint64_t insertTimer(double fireAt, std::function<void()> action, bool display);

    struct TimerKey {
        double fireAt;
        std::uint64_t id;
        bool operator<(const TimerKey& o) const { return fireAt != o.fireAt ? fireAt < o.fireAt : id < o.id; }
    };

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    std::map<TimerKey, std::function<void()>> timers_;
    std::map<std::uint64_t, double> timerDeadlines_;
    std::set<std::uint64_t> displayTimers_;
    std::uint64_t nextTimerId_ = 1;
    std::uint64_t wakeGeneration_ = 0;
};

namespace cw {
// Runs `work`; an exception that escapes it is reported on standard error (its `what()`, or that it
// was unknown) as coming from `what` ("A timer on the main run loop"), and goes no further.
void runReportingExceptions(const std::function<void()>& work, const char* what);
} // namespace cw

// Which thread is the main one: the thread that started the process.
class Thread {
public:
    static bool isMainThread();
};
