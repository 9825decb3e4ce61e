#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

namespace cw::server {

// How much of a shared place (a worker, a core for a password hash, a place to decode a picture) each
// claimant (a network address) has had lately. Each turn counts the time it held its place, at least
// one `unit` (so a quick turn still counts as one), and what was counted fades by half every
// `halfLife`. Whoever has had the least lately goes first: a crowd of addresses that each hold
// nothing between their turns does not pass for newcomers, and work that ended in a refusal counts as
// any other. A claimant is remembered whether or not it holds or awaits anything, until what it had
// has faded below a hundredth of a turn (minutes), and at most `maxClaimants` are kept, the least
// recently counted forgotten first. Each turn also counts for the claimant's neighbourhood, so that
// a crowd spread over many addresses of one neighbourhood, each address used once and then left, is
// known by the neighbourhood's turns and waits behind a newcomer from elsewhere.
//
// Not safe for use from several threads at once: its owner guards it with its own lock.
class RecentUse {
public:
    using Clock = std::chrono::steady_clock;

    explicit RecentUse(Clock::duration unit, Clock::duration halfLife = std::chrono::seconds(60),
                       size_t maxClaimants = 100'000);

    // A turn began: it counts one unit at once, so that turns being taken count before they end.
    void began(const std::string& claimant, Clock::time_point now);
    // A turn that held its place for `held` ended: what it held beyond its first unit is counted.
    void ended(const std::string& claimant, Clock::duration held, Clock::time_point now);
    // What the claimant has had lately, in units, faded to `now`; 0 for one never seen or forgotten.
    double of(const std::string& claimant, Clock::time_point now) const;
    // When a turn the claimant asked for at `asked` falls due: later than it asked by what it and its
    // neighbourhood (`neighbourhoodOf(claimant)`, which a caller asking often keeps) have had lately, a `unit` of waiting for each unit had, times `crowding` (how many
    // claimants share each place now, at least one). Turns go in the order they fall due, so that
    // whoever has had more waits behind those that have had less, but only as long as its extra would
    // take to share out among the others: a crowd that sends each request from a new neighbourhood
    // passes ahead of a phone that had a turn lately, yet never keeps it waiting for good.
    Clock::time_point due(const std::string& claimant, const std::string& neighbourhood, Clock::time_point asked,
                          double crowding, Clock::time_point now) const;
    // The neighbourhood of an address as the server counts it ("192.0.2.7" or "2001:db8:1:2::/64"): an
    // IPv4 address's /24, an IPv6 /64's /48, what one holder of many addresses usually holds them in;
    // empty for a claimant that names no address, which is its own neighbourhood.
    static std::string neighbourhoodOf(const std::string& claimant);
    // Claimants remembered.
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        double units = 0;
        Clock::time_point at;
        std::list<std::string>::iterator order;
    };
    void add(const std::string& claimant, double units, Clock::time_point now);
    double faded(const Entry& entry, Clock::time_point now) const;

    Clock::duration unit_;
    Clock::duration halfLife_;
    size_t maxClaimants_;
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> byUse_; // least recently counted first
};

} // namespace cw::server
