#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Quality-of-service classes, lowest first. Work of a higher class is started before queued work
// of a lower one; a class never starves the others of threads once they are running.
enum class DispatchQoS { background, utility, default_, userInitiated, userInteractive, unspecified };

// A moment on the monotonic clock (Clock::uptime), for delayed work.
struct DispatchTime {
    double uptime = 0;
    static DispatchTime now();
    friend DispatchTime operator+(DispatchTime t, double seconds) { return {t.uptime + seconds}; }
};

// A block of work that can be cancelled until it starts (`DispatchWorkItem`). Shared: the queue it
// is handed to holds it until it runs, and its maker keeps it to cancel it. Safe from any thread.
class DispatchWorkItem {
public:
    explicit DispatchWorkItem(std::function<void()> block);
    DispatchWorkItem(const DispatchWorkItem&) = delete;
    DispatchWorkItem& operator=(const DispatchWorkItem&) = delete;

    // Runs the block now, unless the item has been cancelled.
    void perform();
    // The block will not run from now on, and what it holds is released at once.
    void cancel();
    bool isCancelled() const;

private:
    mutable std::mutex mutex_;
    std::function<void()> block_;
    bool cancelled_ = false;
};

// A handle on a queue of work: the main queue (the main run loop), the shared global queues, or a
// serial queue of one's own. Copies refer to the same queue.
class DispatchQueue {
public:
    static DispatchQueue& main();
    static DispatchQueue& global(DispatchQoS qos = DispatchQoS::default_);

    // A new serial queue: its tasks run one at a time, in order, on the shared worker threads.
    explicit DispatchQueue(std::string label, DispatchQoS qos = DispatchQoS::default_);

    void async(std::function<void()> work) const;
    // Runs `work` on this queue once `deadline` has passed. The wait is kept by the main run loop,
    // so delayed work runs only while the main run loop turns (it always does in the app).
    void asyncAfter(DispatchTime deadline, std::function<void()> work) const;
    // The same with a work item, which does nothing when its turn comes if it was cancelled.
    void async(const std::shared_ptr<DispatchWorkItem>& item) const;
    void asyncAfter(DispatchTime deadline, const std::shared_ptr<DispatchWorkItem>& item) const;
    // Runs `work` on this queue and waits for it. On the main queue from the main thread, and on
    // a serial queue from its own task, `work` runs at once instead of deadlocking.
    void sync(const std::function<void()>& work) const;

    const std::string& label() const;
    bool isMain() const;

    struct Impl;

private:
    explicit DispatchQueue(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

// Tracks a set of tasks and runs a block when all of them have left.
class DispatchGroup {
public:
    DispatchGroup();
    void enter() const;
    void leave() const;
    // `work` runs on `queue` once the group is empty (at once when it is empty now).
    void notify(const DispatchQueue& queue, std::function<void()> work) const;
    // Blocks until the group is empty or `timeoutSeconds` passed; returns whether it emptied.
    // Never call it on the main thread for work that needs the main run loop.
    bool wait(double timeoutSeconds) const;
    void async(const DispatchQueue& queue, std::function<void()> work) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// A once-only initialisation, safe from any thread.
class DispatchOnce {
public:
    template <class F> void perform(F&& f) { std::call_once(flag_, std::forward<F>(f)); }

private:
    std::once_flag flag_;
};
