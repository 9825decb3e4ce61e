#include "foundation/dispatch/OperationQueue.h"

#include <algorithm>

struct OperationQueue::State {
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::condition_variable idle;
    std::deque<std::shared_ptr<Operation>> waiting;
    std::size_t running = 0;
    int maxConcurrent = defaultMaxConcurrentOperationCount;
    bool suspended = false;
    bool stopping = false;

    std::size_t limitLocked() const {
        if (maxConcurrent > 0) return static_cast<std::size_t>(maxConcurrent);
        return std::max(2u, std::thread::hardware_concurrency());
    }
    bool canStartLocked() const { return !suspended && !waiting.empty() && running < limitLocked(); }
};

OperationQueue::OperationQueue() : state_(std::make_shared<State>()) {}

OperationQueue::~OperationQueue() {
    std::deque<std::shared_ptr<Operation>> dropped; // released after the lock: they may own anything
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        dropped.swap(state_->waiting);
    }
    state_->cv.notify_all();
    for (auto& t : workers_) {
        if (t.get_id() == std::this_thread::get_id())
            t.detach(); // destroyed from its own operation; the thread keeps the state it needs
        else
            t.join();
    }
}

void OperationQueue::ensureWorkersLocked() {
    // Threads are made on demand, up to the concurrency limit, and kept for the queue's life.
    std::size_t wanted = std::min(state_->limitLocked(), state_->waiting.size() + state_->running);
    while (workers_.size() < wanted)
        workers_.emplace_back([state = state_] { workerLoop(state); });
}

void OperationQueue::addOperation(std::function<void()> block) {
    addOperation(std::make_shared<BlockOperation>(std::move(block)));
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) return;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->stopping) return;
        state_->waiting.push_back(std::move(operation));
        ensureWorkersLocked();
    }
    state_->cv.notify_all();
}

void OperationQueue::cancelAllOperations() {
    std::deque<std::shared_ptr<Operation>> dropped;
    {
        std::lock_guard lock(state_->mutex);
        dropped.swap(state_->waiting);
    }
    for (auto& op : dropped) {
        op->cancel();
        op->finished_ = true;
        if (op->completionBlock) op->completionBlock();
    }
    state_->idle.notify_all();
    // Running operations only learn of it through isCancelled(); nothing else can reach them.
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(state_->mutex);
        state_->suspended = suspended;
    }
    state_->cv.notify_all();
    state_->idle.notify_all();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(state_->mutex);
    return state_->suspended;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(state_->mutex);
        state_->maxConcurrent = count;
        ensureWorkersLocked();
    }
    state_->cv.notify_all();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->maxConcurrent;
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->waiting.size() + state_->running;
}

void OperationQueue::workerLoop(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->cv.wait(lock, [&] { return state->stopping || state->canStartLocked(); });
        if (state->stopping) return;
        auto op = std::move(state->waiting.front());
        state->waiting.pop_front();
        ++state->running;
        lock.unlock();

        if (!op->isCancelled()) {
            op->executing_ = true;
            op->main();
            op->executing_ = false;
        }
        op->finished_ = true;
        if (op->completionBlock) op->completionBlock();
        op.reset();

        lock.lock();
        --state->running;
        state->cv.notify_all();
        state->idle.notify_all();
    }
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(
        lock, [this] { return state_->running == 0 && (state_->waiting.empty() || state_->suspended); });
}
