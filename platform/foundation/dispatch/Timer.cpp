#include "foundation/dispatch/Timer.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"

#include <cmath>

Timer::Timer(double interval, bool repeats, Block block, std::any userInfo)
    : interval_(repeats ? std::max(interval, 0.0001) : std::max(interval, 0.0)), repeats_(repeats),
      block_(std::move(block)), userInfo_(std::move(userInfo)) {}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Block block, std::any userInfo) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(block), std::move(userInfo));
    timer->schedule(Clock::uptime() + timer->interval_);
    return timer;
}

void Timer::schedule(double fireAt) {
    fireAt_ = fireAt;
    // The run loop's entry keeps the timer alive while it is scheduled.
    runLoopId_ = RunLoop::main().addTimer(fireAt, [self = shared_from_this()] { self->scheduledFire(); });
}

void Timer::scheduledFire() {
    runLoopId_ = 0;
    if (!valid_) return;
    auto keepAlive = shared_from_this();
    // A copy: the block may invalidate the timer, which releases block_ while it runs.
    if (auto block = block_) block(*this);
    if (!valid_) return;
    if (!repeats_) {
        invalidate();
        return;
    }
    // Next slot on the original schedule that is still in the future.
    double now = Clock::uptime();
    double next = fireAt_ + interval_;
    if (next <= now) next = fireAt_ + (std::floor((now - fireAt_) / interval_) + 1) * interval_;
    schedule(next);
}

void Timer::fire() {
    if (!valid_) return;
    auto keepAlive = shared_from_this();
    if (auto block = block_) block(*this);
    if (!repeats_) invalidate();
}

void Timer::invalidate() {
    if (!valid_) return;
    valid_ = false;
    if (runLoopId_ != 0) {
        auto id = runLoopId_;
        runLoopId_ = 0;
        RunLoop::main().cancelTimer(id);
    }
    // The block may hold the objects that own this timer; release it now so no cycle outlives it.
    block_ = nullptr;
}
