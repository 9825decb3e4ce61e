#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>

// A timer on the main run loop. While scheduled, the run loop keeps the timer alive (so a caller
// may drop its own reference); invalidate() unschedules it. A repeating timer fires on a fixed
// schedule (start + n × interval); fires missed while the loop was busy are skipped, not queued.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    // Schedules on the main run loop. The first fire is `interval` seconds from now (a 0-second
    // timer fires on the next pass of the loop, never inside this call). A repeating interval is
    // at least 0.1 ms, as on the platform.
    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Block block,
                                                 std::any userInfo = {});

    // Fires now, outside the schedule; a one-shot timer is then invalidated.
    void fire();
    void invalidate();
    bool isValid() const { return valid_; }
    bool repeats() const { return repeats_; }
    double timeInterval() const { return interval_; }
    // The uptime (Clock::uptime) of the next scheduled fire.
    double fireUptime() const { return fireAt_; }
    const std::any& userInfo() const { return userInfo_; }

    Timer(double interval, bool repeats, Block block, std::any userInfo);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

private:
    void schedule(double fireAt);
    void scheduledFire();

    double interval_;
    bool repeats_;
    Block block_;
    std::any userInfo_;
    bool valid_ = true;
    double fireAt_ = 0;
    std::uint64_t runLoopId_ = 0;
};
