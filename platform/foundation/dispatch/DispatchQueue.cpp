#include "foundation/dispatch/DispatchQueue.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <queue>
#include <thread>
#include <vector>

namespace cw {
namespace {

// The worker threads behind the global queues and the serial queues. Tasks are ordered by quality
// of service, then by submission.
class WorkerPool {
public:
    // Never destroyed: threads that are not the pool's own (an operation queue's) may still hand it
    // work while the process exits, and must find its lock and queue there. Its own threads stop
    // and are joined at exit; work handed to it after that is dropped.
    static WorkerPool& shared() {
        static WorkerPool* pool = new WorkerPool;
        static struct StopAtExit {
            ~StopAtExit() { pool->stop(); }
        } stopAtExit;
        return *pool;
    }

    void submit(DispatchQoS qos, std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            queue_.push(Item{rank(qos), seq_++, std::move(task)});
        }
        cv_.notify_one();
    }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        for (auto& t : threads_)
            t.join();
    }

private:
    struct Item {
        int rank;
        std::uint64_t seq;
        std::function<void()> task;
        bool operator<(const Item& o) const { return rank != o.rank ? rank < o.rank : seq > o.seq; }
    };

    static int rank(DispatchQoS qos) {
        switch (qos) {
        case DispatchQoS::background:
            return 0;
        case DispatchQoS::utility:
            return 1;
        case DispatchQoS::unspecified:
        case DispatchQoS::default_:
            return 2;
        case DispatchQoS::userInitiated:
            return 3;
        case DispatchQoS::userInteractive:
            return 4;
        }
        return 2;
    }

    WorkerPool() {
        unsigned n = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
        for (unsigned i = 0; i < n; ++i)
            threads_.emplace_back([this] { work(); });
    }

    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return; // work still queued at exit is dropped
                task = std::move(const_cast<Item&>(queue_.top()).task);
                queue_.pop();
            }
            // A task that throws must neither end the process nor take its worker thread along.
            runReportingExceptions(task, "A task on a dispatch queue");
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::priority_queue<Item> queue_;
    std::uint64_t seq_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

thread_local const DispatchQueue::Impl* tCurrentSerial = nullptr;

} // namespace
} // namespace cw

struct DispatchQueue::Impl : std::enable_shared_from_this<DispatchQueue::Impl> {
    enum class Kind { main, global, serial } kind;
    std::string label;
    DispatchQoS qos;

    // Serial queues only.
    std::mutex mutex;
    std::deque<std::function<void()>> pending;
    bool draining = false;

    Impl(Kind k, std::string l, DispatchQoS q) : kind(k), label(std::move(l)), qos(q) {}

    void async(std::function<void()> work) {
        switch (kind) {
        case Kind::main:
            RunLoop::main().perform(std::move(work));
            return;
        case Kind::global:
            cw::WorkerPool::shared().submit(qos, std::move(work));
            return;
        case Kind::serial:
            break;
        }
        bool start;
        {
            std::lock_guard lock(mutex);
            pending.push_back(std::move(work));
            start = !draining;
            draining = true;
        }
        if (start) {
            cw::WorkerPool::shared().submit(qos, [self = shared_from_this()] { self->drain(); });
        }
    }

    // Runs the serial queue's tasks one after another on one worker thread.
    void drain() {
        cw::tCurrentSerial = this;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex);
                if (pending.empty()) {
                    draining = false;
                    break;
                }
                task = std::move(pending.front());
                pending.pop_front();
            }
            // One that throws must not leave the queue marked as draining for ever.
            cw::runReportingExceptions(task, "A task on a serial dispatch queue");
        }
        cw::tCurrentSerial = nullptr;
    }
};

DispatchTime DispatchTime::now() {
    return {Clock::uptime()};
}

DispatchQueue::DispatchQueue(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

DispatchQueue::DispatchQueue(std::string label, DispatchQoS qos)
    : impl_(std::make_shared<Impl>(Impl::Kind::serial, std::move(label), qos)) {}

DispatchQueue& DispatchQueue::main() {
    static DispatchQueue* q = new DispatchQueue(
        std::make_shared<Impl>(Impl::Kind::main, "com.apple.main-thread", DispatchQoS::userInteractive));
    return *q;
}

DispatchQueue& DispatchQueue::global(DispatchQoS qos) {
    static DispatchQueue* queues[] = {
        new DispatchQueue(
            std::make_shared<Impl>(Impl::Kind::global, "global.background", DispatchQoS::background)),
        new DispatchQueue(std::make_shared<Impl>(Impl::Kind::global, "global.utility", DispatchQoS::utility)),
        new DispatchQueue(
            std::make_shared<Impl>(Impl::Kind::global, "global.default", DispatchQoS::default_)),
        new DispatchQueue(
            std::make_shared<Impl>(Impl::Kind::global, "global.user-initiated", DispatchQoS::userInitiated)),
        new DispatchQueue(std::make_shared<Impl>(Impl::Kind::global, "global.user-interactive",
                                                 DispatchQoS::userInteractive)),
    };
    switch (qos) {
    case DispatchQoS::background:
        return *queues[0];
    case DispatchQoS::utility:
        return *queues[1];
    case DispatchQoS::userInitiated:
        return *queues[3];
    case DispatchQoS::userInteractive:
        return *queues[4];
    default:
        return *queues[2];
    }
}

void DispatchQueue::async(std::function<void()> work) const {
    impl_->async(std::move(work));
}

void DispatchQueue::asyncAfter(DispatchTime deadline, std::function<void()> work) const {
    if (impl_->kind == Impl::Kind::main) {
        RunLoop::main().addTimer(deadline.uptime, std::move(work));
    } else {
        RunLoop::main().addTimer(deadline.uptime, [impl = impl_, work = std::move(work)]() mutable {
            impl->async(std::move(work));
        });
    }
}

void DispatchQueue::sync(const std::function<void()>& work) const {
    if ((impl_->kind == Impl::Kind::main && Thread::isMainThread()) ||
        (impl_->kind == Impl::Kind::serial && cw::tCurrentSerial == impl_.get())) {
        work();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    impl_->async([&] {
        // The caller waits: what `work` throws is handed back to it rather than leaving it waiting.
        try {
            work();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    finished.get();
}

void DispatchQueue::async(const std::shared_ptr<DispatchWorkItem>& item) const {
    if (item) async([item] { item->perform(); });
}

void DispatchQueue::asyncAfter(DispatchTime deadline, const std::shared_ptr<DispatchWorkItem>& item) const {
    if (item) asyncAfter(deadline, [item] { item->perform(); });
}

// DispatchWorkItem

DispatchWorkItem::DispatchWorkItem(std::function<void()> block) : block_(std::move(block)) {}

void DispatchWorkItem::perform() {
    std::function<void()> block;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        block = block_;
    }
    if (block) block();
}

void DispatchWorkItem::cancel() {
    std::function<void()> dropped; // released outside the lock: its captures may be anything
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    dropped = std::move(block_);
    block_ = nullptr;
}

bool DispatchWorkItem::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

const std::string& DispatchQueue::label() const {
    return impl_->label;
}

bool DispatchQueue::isMain() const {
    return impl_->kind == Impl::Kind::main;
}

// DispatchGroup

struct DispatchGroup::State {
    std::mutex mutex;
    std::condition_variable cv;
    long count = 0;
    std::vector<std::pair<DispatchQueue, std::function<void()>>> waiting;
};

DispatchGroup::DispatchGroup() : state_(std::make_shared<State>()) {}

void DispatchGroup::enter() const {
    std::lock_guard lock(state_->mutex);
    ++state_->count;
}

void DispatchGroup::leave() const {
    std::vector<std::pair<DispatchQueue, std::function<void()>>> ready;
    {
        std::lock_guard lock(state_->mutex);
        // An unbalanced leave is ignored rather than letting the count go negative and never
        // notifying again.
        if (state_->count == 0) return;
        if (--state_->count == 0) ready.swap(state_->waiting);
    }
    state_->cv.notify_all();
    for (auto& [queue, work] : ready)
        queue.async(std::move(work));
}

void DispatchGroup::notify(const DispatchQueue& queue, std::function<void()> work) const {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->count > 0) {
            state_->waiting.emplace_back(queue, std::move(work));
            return;
        }
    }
    queue.async(std::move(work));
}

bool DispatchGroup::wait(double timeoutSeconds) const {
    std::unique_lock lock(state_->mutex);
    return state_->cv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                               [this] { return state_->count == 0; });
}

void DispatchGroup::async(const DispatchQueue& queue, std::function<void()> work) const {
    enter();
    queue.async([self = *this, work = std::move(work)] {
        // The group is left even when the work throws, or it would never empty.
        struct Leave {
            const DispatchGroup& group;
            ~Leave() { group.leave(); }
        } leave{self};
        work();
    });
}
