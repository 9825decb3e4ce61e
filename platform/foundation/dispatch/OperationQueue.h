#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One unit of work for an OperationQueue. Subclasses override main(); BlockOperation runs a
// closure. An operation cancelled before it starts never runs.
class Operation {
public:
    virtual ~Operation() = default;

    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    bool isExecuting() const { return executing_; }
    bool isFinished() const { return finished_; }

    // Runs after the operation finished (or was cancelled before it started), on the queue's thread.
    std::function<void()> completionBlock;

protected:
    virtual void main() = 0;

private:
    friend class OperationQueue;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
};

class BlockOperation : public Operation {
public:
    explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}

protected:
    void main() override {
        if (block_) block_();
    }

private:
    std::function<void()> block_;
};

// A queue of operations run on threads of its own, at most `maxConcurrentOperationCount` at a
// time, started in the order they were added. A suspended queue starts nothing new.
class OperationQueue {
public:
    static constexpr int defaultMaxConcurrentOperationCount = -1;

    OperationQueue();
    // Waits for running operations; operations not yet started are dropped.
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(std::function<void()> block);
    void addOperation(std::shared_ptr<Operation> operation);

    // Cancels every operation: those not started are removed and never run (their completion
    // blocks still run); running ones see isCancelled().
    void cancelAllOperations();

    void setSuspended(bool suspended);
    bool isSuspended() const;

    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;

    // Operations added and not yet finished (running or waiting).
    std::size_t operationCount() const;

    // Blocks until no operation is waiting or running. While the queue is suspended with work
    // waiting this would never return, so it then returns at once.
    void waitUntilAllOperationsAreFinished();

    std::string name;

private:
    // What the worker threads share with the queue. They hold it themselves, so a queue destroyed by
    // one of its own operations leaves its thread nothing freed to touch.
    struct State;
    static void workerLoop(const std::shared_ptr<State>& state);
    void ensureWorkersLocked();

    std::shared_ptr<State> state_;
    std::vector<std::thread> workers_; // guarded by the state's mutex
};
