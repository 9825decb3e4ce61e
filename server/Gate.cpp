#include "server/Gate.h"

#include <algorithm>
#include <utility>

namespace cw::server {

namespace {

thread_local std::chrono::steady_clock::duration waitedAtGates{};

} // namespace

std::chrono::steady_clock::duration takeTimeWaitedAtGates() {
    return std::exchange(waitedAtGates, std::chrono::steady_clock::duration::zero());
}

Gate::Gate(std::ptrdiff_t width, FairTurns::Duration leastTurn)
    : free_(std::max<std::ptrdiff_t>(1, width)), turns_(leastTurn) {}

Gate::Turn::Turn(Gate& gate, std::chrono::milliseconds patience, Claimant claimant)
    : gate_(gate), placed_(gate.take(claimant, patience)) {}

Gate::Turn::~Turn() {
    if (placed_) gate_.give(*placed_);
}

std::optional<Gate::Placed> Gate::take(const Claimant& claimant, std::chrono::milliseconds patience) {
    const auto asked = FairTurns::Clock::now();
    struct Counted {
        FairTurns::Clock::time_point since;
        ~Counted() { waitedAtGates += FairTurns::Clock::now() - since; }
    } counted{asked};
    std::unique_lock lock(mutex_);
    const FairTurns::Turn turn = turns_.ask(claimant);
    auto own = waiters_.emplace(turn, std::nullopt).first;
    handOut();
    if (!placed_.wait_until(lock, asked + patience, [&] { return own->second.has_value(); }))
        turns_.withdraw(turn);
    std::optional<Placed> placed;
    if (own->second) placed = Placed{*own->second, turn};
    waiters_.erase(own);
    return placed;
}

void Gate::give(const Placed& placed) {
    std::lock_guard lock(mutex_);
    ++free_;
    // Counted whatever became of the work: a refused one took its place all the same.
    turns_.end(placed.turn, FairTurns::Clock::now() - placed.since);
    handOut();
}

void Gate::handOut() {
    const auto now = FairTurns::Clock::now();
    bool any = false;
    while (free_ > 0) {
        const std::optional<FairTurns::Turn> next = turns_.next();
        if (!next) break;
        --free_;
        waiters_.at(*next) = now;
        any = true;
    }
    if (any) placed_.notify_all();
}

size_t Gate::waiting() {
    std::lock_guard lock(mutex_);
    return turns_.waiting();
}

} // namespace cw::server
