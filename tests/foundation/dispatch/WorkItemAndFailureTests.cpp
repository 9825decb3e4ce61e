#include "foundation/dispatch/DelayedPerform.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override { RunLoop::main().reset(); }
    ManualClock clock;
};

TEST_F(MainLoopTest, ATaskThatThrowsIsReportedAndTheRestOfItsBatchRuns) {
    std::vector<int> ran;
    DispatchQueue::main().async([&] { ran.push_back(1); });
    DispatchQueue::main().async([] { throw std::runtime_error("no such row"); });
    DispatchQueue::main().async([&] { ran.push_back(3); });
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 1, [] { throw 42; });
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 1, [&] { ran.push_back(5); });

    testing::internal::CaptureStderr();
    RunLoop::main().runUntilIdle();
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ran, (std::vector<int>{1, 3, 5}));
    EXPECT_NE(report.find("A task on the main run loop threw an exception: no such row"), std::string::npos);
    EXPECT_NE(report.find("A timer on the main run loop threw an unknown exception"), std::string::npos);
}

TEST_F(MainLoopTest, QueuesKeepWorkingAfterATaskThrows) {
    testing::internal::CaptureStderr();
    DispatchQueue serial("serial");
    std::atomic<int> after{0};
    serial.async([] { throw std::logic_error("bad"); });
    serial.async([&] { ++after; });
    serial.sync([&] { ++after; }); // would wait for ever if the queue were stuck
    EXPECT_EQ(after.load(), 2);
    // What sync's own work throws comes back to its caller.
    EXPECT_THROW(serial.sync([] { throw std::runtime_error("mine"); }), std::runtime_error);

    DispatchGroup group;
    group.async(DispatchQueue::global(), [] { throw std::runtime_error("in a group"); });
    group.async(DispatchQueue::global(), [&] { ++after; });
    EXPECT_TRUE(group.wait(5.0));
    EXPECT_EQ(after.load(), 3);
    testing::internal::GetCapturedStderr();
}

TEST_F(MainLoopTest, ACancelledWorkItemNeverRunsAndLetsGoOfWhatItHeld) {
    auto screen = std::make_shared<int>(0);
    std::weak_ptr<int> watch = screen;
    std::vector<std::string> ran;
    auto first = std::make_shared<DispatchWorkItem>([&ran, screen] { ran.push_back("first"); });
    screen.reset();
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 0.25, first);
    clock.advance(0.1);
    RunLoop::main().runUntilIdle();
    // A newer request within the delay replaces the older one.
    first->cancel();
    EXPECT_TRUE(first->isCancelled());
    EXPECT_TRUE(watch.expired());
    auto second = std::make_shared<DispatchWorkItem>([&] { ran.push_back("second"); });
    DispatchQueue::main().asyncAfter(DispatchTime::now() + 0.25, second);
    clock.advance(0.3);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string>{"second"}));
    EXPECT_FALSE(second->isCancelled());
    first->perform(); // still nothing
    EXPECT_EQ(ran.size(), 1u);
}

struct Settings {
    explicit Settings(int* saved = nullptr) : saved(saved) {}
    int* saved;
    int saves = 0;
    int reloads = 0;
    void save() {
        ++saves;
        if (saved) ++*saved;
    }
    void reload() { ++reloads; }
};

TEST_F(MainLoopTest, DelayedPerformsHoldTheirTargetUntilTheyRunOrAreCancelled) {
    int saved = 0;
    auto settings = std::make_shared<Settings>(&saved);
    std::weak_ptr<Settings> watch = settings;
    auto change = [&] {
        cw::cancelPreviousPerformRequests(settings.get(), &Settings::save);
        cw::performAfterDelay(settings, &Settings::save, 1.0);
    };
    change();
    cw::performAfterDelay(settings, &Settings::reload, 1.0);
    clock.advance(0.6);
    RunLoop::main().runUntilIdle();
    change(); // a burst of changes ends in one save, a second after the last
    clock.advance(0.6);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(settings->saves, 0);
    EXPECT_EQ(settings->reloads, 1); // another member function is not cancelled with it

    Settings* raw = settings.get();
    settings.reset();
    EXPECT_FALSE(watch.expired()); // the pending call holds it
    clock.advance(0.4);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(saved, 1);
    EXPECT_TRUE(watch.expired());

    auto other = std::make_shared<Settings>();
    std::weak_ptr<Settings> otherWatch = other;
    cw::performAfterDelay(other, &Settings::save, 1.0);
    cw::performAfterDelay(other, &Settings::reload, 2.0);
    raw = other.get();
    other.reset();
    cw::cancelPreviousPerformRequests(raw); // every call on it
    EXPECT_TRUE(otherWatch.expired());
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
}

} // namespace
