#include "server/RecentUse.h"

#include <algorithm>
#include <cmath>

#include <arpa/inet.h>
#include <netinet/in.h>

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

std::string RecentUse::neighbourhoodOf(const std::string& claimant) {
    in_addr v4{};
    if (::inet_pton(AF_INET, claimant.c_str(), &v4) == 1) {
        const uint32_t prefix = ntohl(v4.s_addr) & 0xFFFFFF00u;
        return std::to_string(prefix >> 24) + "." + std::to_string((prefix >> 16) & 0xFF) + "." +
               std::to_string((prefix >> 8) & 0xFF) + ".0/24";
    }
    const size_t slash = claimant.find('/');
    in6_addr v6{};
    if (slash == std::string::npos || ::inet_pton(AF_INET6, claimant.substr(0, slash).c_str(), &v6) != 1) return {};
    std::fill(std::begin(v6.s6_addr) + 6, std::end(v6.s6_addr), 0);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/48";
}

RecentUse::Clock::time_point RecentUse::due(const std::string& claimant, const std::string& neighbourhood,
                                            Clock::time_point asked, double crowding, Clock::time_point now) const {
    const double own = of(claimant, now);
    const double around = neighbourhood.empty() ? own : of(neighbourhood, now);
    const double units = (around + own) * std::max(1.0, crowding);
    // A day at most: what one could have had in minutes never pushes a turn further, and the sum
    // stays far inside the clock's range.
    const double seconds = std::min(86400.0, units * std::chrono::duration<double>(unit_).count());
    return asked + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void RecentUse::began(const std::string& claimant, Clock::time_point now) {
    add(claimant, 1.0, now);
    if (const std::string neighbourhood = neighbourhoodOf(claimant); !neighbourhood.empty())
        add(neighbourhood, 1.0, now);
}

void RecentUse::ended(const std::string& claimant, Clock::duration held, Clock::time_point now) {
    const double units = std::chrono::duration<double>(held) / std::chrono::duration<double>(unit_);
    if (units <= 1.0) return;
    add(claimant, units - 1.0, now);
    if (const std::string neighbourhood = neighbourhoodOf(claimant); !neighbourhood.empty())
        add(neighbourhood, units - 1.0, now);
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
