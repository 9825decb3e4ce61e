#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/dispatch/Timer.h"
#include "foundation/time/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override { RunLoop::main().reset(); }
    ManualClock clock;
};

TEST_F(RunLoopTest, MainQueueRunsTasksInOrderIncludingThoseTheyQueue) {
    std::vector<int> order;
    DispatchQueue::main().async([&] {
        order.push_back(1);
        DispatchQueue::main().async([&] { order.push_back(3); });
    });
    DispatchQueue::main().async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(RunLoop::main().runUntilIdle(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(RunLoopTest, ZeroSecondTimerFiresOnTheNextPassNeverInsideTheSchedulingCall) {
    int fired = 0;
    auto timer = Timer::scheduledTimer(0, false, [&](Timer&) { ++fired; });
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer->isValid());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, RepeatingTimerFollowsTheAdvancedClockAndKeepsItsSchedule) {
    std::vector<double> fires;
    double start = Clock::uptime();
    auto timer = Timer::scheduledTimer(
        60, true, [&](Timer&) { fires.push_back(Clock::uptime() - start); }, std::string("health"));
    EXPECT_EQ(std::any_cast<std::string>(timer->userInfo()), "health");
    clock.advance(59.9);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(fires.empty());
    clock.advance(0.2);
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(fires.size(), 1u);
    // The loop was busy for 150 s: the missed fires are skipped, and the schedule stays on 60 s
    // steps (next at 240 s, not 60 s after the late fire).
    clock.advance(150);
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(fires.size(), 2u);
    clock.advance(29.8); // 239.9 s
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fires.size(), 2u);
    clock.advance(0.2);
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(fires.size(), 3u);
    EXPECT_NEAR(fires[2], 240.1, 1e-6);
    timer->invalidate();
    clock.advance(600);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fires.size(), 3u);
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
}

TEST_F(RunLoopTest, ScheduledTimerStaysAliveWithoutCallerReferenceAndMayInvalidateItself) {
    int fired = 0;
    Timer::scheduledTimer(1, true, [&](Timer& t) {
        if (++fired == 3) t.invalidate();
    });
    for (int i = 0; i < 5; ++i) {
        clock.advance(1);
        RunLoop::main().runUntilIdle();
    }
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
}

TEST_F(RunLoopTest, DisplayTimersFireInTurnButAreNoWorkToWaitFor) {
    // A blinking caret: it fires among the other timers, but a host asking when the next work is
    // due looks past it (and past a cancelled one), or a screen with a caret never settles.
    std::vector<std::string> fired;
    const double now = Clock::uptime();
    RunLoop::main().addDisplayTimer(now + 0.5, [&] { fired.push_back("blink"); });
    const auto cancelled = RunLoop::main().addDisplayTimer(now + 0.2, [&] { fired.push_back("cancelled"); });
    EXPECT_DOUBLE_EQ(RunLoop::main().nextTimerDeadline(), now + 0.2);
    EXPECT_LT(RunLoop::main().nextWorkDeadline(), 0);
    RunLoop::main().addTimer(now + 1, [&] { fired.push_back("work"); });
    EXPECT_DOUBLE_EQ(RunLoop::main().nextWorkDeadline(), now + 1);
    EXPECT_TRUE(RunLoop::main().cancelTimer(cancelled));
    EXPECT_DOUBLE_EQ(RunLoop::main().nextTimerDeadline(), now + 0.5);
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(fired, (std::vector<std::string>{"blink", "work"}));
    EXPECT_LT(RunLoop::main().nextWorkDeadline(), 0);
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
}

TEST_F(RunLoopTest, DebounceByInvalidatingTheOneShotTimer) {
    // A one-second debounce: every keystroke replaces the pending timer.
    std::shared_ptr<Timer> pending;
    int searches = 0;
    auto keystroke = [&] {
        if (pending) pending->invalidate();
        pending = Timer::scheduledTimer(1.0, false, [&](Timer&) { ++searches; });
    };
    keystroke();
    clock.advance(0.6);
    RunLoop::main().runUntilIdle();
    keystroke();
    clock.advance(0.6);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(searches, 0);
    clock.advance(0.4);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(searches, 1);
}

TEST_F(RunLoopTest, AsyncAfterWaitsForTheClockOnMainAndGlobalQueues) {
    std::vector<std::string> events;
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 2.0, [&] { events.push_back("main"); });
    std::atomic<bool> globalRan{false};
    DispatchQueue::global(DispatchQoS::background).asyncAfter(DispatchTime::now() + 3.0, [&] {
        globalRan = true;
    });
    clock.advance(1.9);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(events.empty());
    clock.advance(0.1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"main"}));
    EXPECT_FALSE(globalRan);
    clock.advance(1.0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return globalRan.load(); }, 5.0));
}

TEST_F(RunLoopTest, RunUntilWaitsForWorkHandedOverByOtherThreadsAndTimesOut) {
    bool delivered = false;
    DispatchQueue::global(DispatchQoS::utility).async([&] {
        EXPECT_FALSE(Thread::isMainThread());
        DispatchQueue::main().async([&] {
            EXPECT_TRUE(Thread::isMainThread());
            delivered = true;
        });
    });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return delivered; }, 5.0));
    // Nothing will ever happen: the wait ends at the time-out instead of hanging the test.
    EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 0.05));
}

TEST(DispatchQueueTest, SerialQueueRunsOneAtATimeInOrder) {
    DispatchQueue queue("serial");
    std::vector<int> order;
    std::atomic<int> concurrent{0};
    std::atomic<int> maxConcurrent{0};
    for (int i = 0; i < 50; ++i) {
        queue.async([&, i] {
            int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            order.push_back(i);
            --concurrent;
        });
    }
    queue.sync([] {});
    EXPECT_EQ(maxConcurrent.load(), 1);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(DispatchQueueTest, SyncOnMainFromMainRunsInline) {
    int ran = 0;
    DispatchQueue::main().sync([&] { ++ran; });
    EXPECT_EQ(ran, 1);
}

TEST(DispatchGroupTest, NotifyRunsOnceAfterEveryTaskLeft) {
    RunLoop::main().reset();
    DispatchGroup group;
    int notified = 0;
    group.enter();
    group.enter();
    group.notify(DispatchQueue::main(), [&] { ++notified; });
    group.leave();
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notified, 0);
    group.leave();
    group.leave(); // unbalanced: ignored
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(notified, 1);

    std::atomic<int> done{0};
    for (int i = 0; i < 4; ++i)
        group.async(DispatchQueue::global(), [&] { ++done; });
    EXPECT_TRUE(group.wait(5.0));
    EXPECT_EQ(done.load(), 4);
}

TEST(DispatchOnceTest, InitialisesOnceAcrossThreads) {
    DispatchOnce once;
    std::atomic<int> calls{0};
    DispatchGroup group;
    for (int i = 0; i < 8; ++i)
        group.async(DispatchQueue::global(), [&] { once.perform([&] { ++calls; }); });
    EXPECT_TRUE(group.wait(5.0));
    EXPECT_EQ(calls.load(), 1);
}

} // namespace
