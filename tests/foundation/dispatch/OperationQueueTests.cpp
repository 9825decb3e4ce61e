#include "foundation/dispatch/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(OperationQueueTest, SuspendedSerialQueueRunsEachOperationOnceInOrderAfterResume) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::mutex m;
    std::vector<int> order;
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> ranOnCaller{false};
    for (int i = 1; i <= 3; ++i) {
        queue.addOperation([&, i] {
            if (std::this_thread::get_id() == caller) ranOnCaller = true;
            std::lock_guard lock(m);
            order.push_back(i);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard lock(m);
        EXPECT_TRUE(order.empty());
    }
    EXPECT_EQ(queue.operationCount(), 3u);
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(ranOnCaller);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueueTest, CancelledOperationsNeverRun) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::atomic<int> ran{0};
    std::atomic<int> completions{0};
    std::vector<std::shared_ptr<Operation>> ops;
    for (int i = 0; i < 3; ++i) {
        auto op = std::make_shared<BlockOperation>([&] { ++ran; });
        op->completionBlock = [&] { ++completions; };
        ops.push_back(op);
        queue.addOperation(op);
    }
    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 0u);
    queue.setSuspended(false);
    queue.addOperation([&] { ran += 100; });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 100);
    EXPECT_EQ(completions.load(), 3);
    for (auto& op : ops) {
        EXPECT_TRUE(op->isCancelled());
        EXPECT_TRUE(op->isFinished());
    }
}

TEST(OperationQueueTest, ConcurrencyLimitIsRespected) {
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(2);
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    for (int i = 0; i < 12; ++i) {
        queue.addOperation([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --running;
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_LE(peak.load(), 2);
    EXPECT_GE(peak.load(), 1);
}

TEST(OperationQueueTest, DestroyingAQueueDropsWaitingWork) {
    std::atomic<int> ran{0};
    {
        OperationQueue queue;
        queue.setSuspended(true);
        queue.addOperation([&] { ++ran; });
    }
    EXPECT_EQ(ran.load(), 0);
}

// An object may own a queue and be kept alive only by an operation on it: the queue is then destroyed
// on its own worker thread, which must finish that operation without touching the freed queue.
TEST(OperationQueueTest, AQueueDestroyedByItsOwnOperationLetsItsThreadFinish) {
    struct Owner {
        OperationQueue queue;
        std::atomic<bool>* destroyed;
        ~Owner() { *destroyed = true; }
    };
    std::atomic<bool> destroyed{false};
    std::atomic<int> completions{0};
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    auto owner = std::make_shared<Owner>();
    owner->destroyed = &destroyed;
    auto operation = std::make_shared<BlockOperation>([owner, opened] { opened.wait(); });
    operation->completionBlock = [&completions] { ++completions; };
    owner->queue.addOperation(operation);
    operation.reset();
    owner.reset();
    gate.set_value();
    for (int i = 0; i < 500 && !destroyed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(completions.load(), 1);
    // The detached thread leaves by itself; give it the moment it needs before the test ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace
