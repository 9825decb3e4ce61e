#include "server/RecentUse.h"

#include <algorithm>
#include <cmath>

namespace cw::server {

namespace {

// Below this a claimant's use is as good as none, and it is forgotten.
constexpr double kForgottenUnits = 0.01;
// Claimants checked for forgetting with each turn counted: more than one, so that the table shrinks
// faster than a stream of new claimants grows it.
constexpr int kForgetPerTurn = 4;

} // namespace

RecentUse::RecentUse(Clock::duration unit, Clock::duration halfLife, size_t maxClaimants)
    : unit_(std::max(unit, Clock::duration(1))), halfLife_(std::max(halfLife, Clock::duration(1))),
      maxClaimants_(std::max<size_t>(1, maxClaimants)) {}

double RecentUse::faded(const Entry& entry, Clock::time_point now) const {
    if (now <= entry.at) return entry.units;
    const double halves = std::chrono::duration<double>(now - entry.at) / std::chrono::duration<double>(halfLife_);
    return entry.units * std::exp2(-halves);
}

double RecentUse::of(const std::string& claimant, Clock::time_point now) const {
    auto found = entries_.find(claimant);
    return found == entries_.end() ? 0.0 : faded(found->second, now);
}

void RecentUse::began(const std::string& claimant, Clock::time_point now) {
    add(claimant, 1.0, now);
}

void RecentUse::ended(const std::string& claimant, Clock::duration held, Clock::time_point now) {
    const double units = std::chrono::duration<double>(held) / std::chrono::duration<double>(unit_);
    if (units > 1.0) add(claimant, units - 1.0, now);
}

void RecentUse::add(const std::string& claimant, double units, Clock::time_point now) {
    auto [found, added] = entries_.try_emplace(claimant);
    Entry& entry = found->second;
    if (added) {
        entry.order = byUse_.insert(byUse_.end(), claimant);
    } else {
        entry.units = faded(entry, now);
        byUse_.splice(byUse_.end(), byUse_, entry.order);
    }
    entry.units += units;
    entry.at = std::max(entry.at, now);
    for (int checked = 0; checked < kForgetPerTurn && !byUse_.empty(); ++checked) {
        auto oldest = entries_.find(byUse_.front());
        if (faded(oldest->second, now) >= kForgottenUnits) break;
        entries_.erase(oldest);
        byUse_.pop_front();
    }
    while (entries_.size() > maxClaimants_) {
        entries_.erase(byUse_.front());
        byUse_.pop_front();
    }
}

} // namespace cw::server
