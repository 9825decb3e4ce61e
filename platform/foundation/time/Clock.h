#pragma once

#include <functional>

// The one source of time for the whole program. Dates read the wall clock from here, timers and
// delayed dispatch read the monotonic clock; tests install a ManualClock so that a 60-second timer
// or a "3 days ago" text is checked without sleeping.
class Clock {
public:
    // Seconds since 00:00:00 UTC on 1 January 1970 (the reference of Date).
    static double now();
    // Seconds on a clock that never goes backwards; only differences mean anything.
    static double uptime();
    // True while a ManualClock is installed.
    static bool isManual();

    // Called (from the thread that moved it) whenever a manual clock is advanced, so that a run
    // loop waiting for a deadline can look again. One hook; the run loop installs it.
    static void setAdvanceHook(std::function<void()> hook);
};

// Replaces the system clock for its lifetime; both clocks stand still until advanced.
// Install at most one at a time (tests create one per test case).
class ManualClock {
public:
    explicit ManualClock(double wallStart = 1'600'000'000.0);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    // Moves both the wall clock and the monotonic clock forward.
    void advance(double seconds);
    // Sets the wall clock alone (the monotonic clock keeps going forward only).
    void setNow(double wallSeconds);
};
