#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "server/FairTurns.h"

namespace cw::server {

// Work that costs the server dearly (a password hash, a picture's decoding, a write to the database)
// is let through a gate a few at a time, so that a crowd of such requests queues instead of taking
// every core, all the memory or the database at once. A request that finds no place within its
// patience is turned away rather than held: its worker is better spent on the requests behind it.
// Each turn is taken for a claimant, and a place that comes free is handed to the waiting turn that
// falls first by fair queuing (FairTurns), so that neither one client's crowd nor a crowd of
// clients keeps another waiting behind all of theirs.
class Gate {
public:
    explicit Gate(std::ptrdiff_t width, FairTurns::Duration leastTurn = std::chrono::milliseconds(10));
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // A turn that has its place: since when, and where it stands in line.
    struct Placed {
        FairTurns::Clock::time_point since;
        FairTurns::Turn turn;
    };
    // A place held for the life of the turn; false when none came free within the patience.
    class Turn {
    public:
        Turn(Gate& gate, std::chrono::milliseconds patience, Claimant claimant = {});
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        explicit operator bool() const { return placed_.has_value(); }

    private:
        Gate& gate_;
        std::optional<Placed> placed_;
    };

    // Turns waiting for a place at the moment.
    size_t waiting();

private:
    // The turn placed; none when no place came within the patience.
    std::optional<Placed> take(const Claimant& claimant, std::chrono::milliseconds patience);
    void give(const Placed& placed);
    // Hands the free places to the waiting turns that go first (mutex_ held).
    void handOut();

    std::mutex mutex_;
    std::condition_variable placed_;
    std::ptrdiff_t free_;
    FairTurns turns_;
    // Turns asked and not yet taken by their waiters: when each was given its place, if it was.
    std::unordered_map<FairTurns::Turn, std::optional<FairTurns::Clock::time_point>> waiters_;
};

// What the calling thread has waited at gates since it last asked, and from now on nothing: a worker
// counts its request's turn by the time it held the worker, less what it waited for a place (a hash,
// a decoding, a write) whose gate keeps its own turns.
std::chrono::steady_clock::duration takeTimeWaitedAtGates();

} // namespace cw::server
