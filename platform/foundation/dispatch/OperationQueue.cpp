#include "foundation/dispatch/OperationQueue.h"

#include <algorithm>

OperationQueue::OperationQueue() = default;

OperationQueue::~OperationQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    cv_.notify_all();
    for (auto& t : workers_) {
        if (t.get_id() == std::this_thread::get_id())
            t.detach(); // destroyed from its own operation
        else
            t.join();
    }
}

std::size_t OperationQueue::limitLocked() const {
    if (maxConcurrent_ > 0) return static_cast<std::size_t>(maxConcurrent_);
    return std::max(2u, std::thread::hardware_concurrency());
}

void OperationQueue::ensureWorkersLocked() {
    // Threads are made on demand, up to the concurrency limit, and kept for the queue's life.
    std::size_t wanted = std::min(limitLocked(), waiting_.size() + running_);
    while (workers_.size() < wanted)
        workers_.emplace_back([this] { workerLoop(); });
}

void OperationQueue::addOperation(std::function<void()> block) {
    addOperation(std::make_shared<BlockOperation>(std::move(block)));
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
    if (!operation) return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        waiting_.push_back(std::move(operation));
        ensureWorkersLocked();
    }
    cv_.notify_all();
}

void OperationQueue::cancelAllOperations() {
    std::deque<std::shared_ptr<Operation>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(waiting_);
    }
    for (auto& op : dropped) {
        op->cancel();
        op->finished_ = true;
        if (op->completionBlock) op->completionBlock();
    }
    idle_.notify_all();
    // Running operations only learn of it through isCancelled(); nothing else can reach them.
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    cv_.notify_all();
    idle_.notify_all();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspended_;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(mutex_);
        maxConcurrent_ = count;
        ensureWorkersLocked();
    }
    cv_.notify_all();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() + running_;
}

bool OperationQueue::canStartLocked() const {
    return !suspended_ && !waiting_.empty() && running_ < limitLocked();
}

void OperationQueue::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return stopping_ || canStartLocked(); });
        if (stopping_) return;
        auto op = std::move(waiting_.front());
        waiting_.pop_front();
        ++running_;
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
        --running_;
        cv_.notify_all();
        idle_.notify_all();
    }
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return running_ == 0 && (waiting_.empty() || suspended_); });
}
