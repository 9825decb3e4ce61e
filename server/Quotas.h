#pragma once

#include "server/RecentUse.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace cw::server {

// Work that costs the server dearly (a password hash, a picture's decoding) is let through a gate a
// few at a time, so that a crowd of such requests queues instead of taking every core and all the
// memory at once. A request that finds no place within its patience is turned away (429) rather
// than held: its worker is better spent on the requests behind it. Each turn is taken for a claimant
// (a network address): a place that comes free goes to the waiting claimant that holds the fewest,
// among equals to the turn that falls due first: each waits longer than it asked by what it and its
// neighbourhood have had of the places lately (its turns, each counted by the time it held its place,
// at least `turnUnit`, fading by half each minute), times the claimants now sharing each place (see
// RecentUse::due); and then to the turn that came first. So one client's crowd keeps no other waiting
// behind it, even at a gate of one place, nor does a crowd of clients that each hold nothing between
// their turns, and no crowd of new claimants keeps one that had turns lately waiting for good.
class Gate {
public:
    explicit Gate(std::ptrdiff_t width,
                  std::chrono::steady_clock::duration turnUnit = std::chrono::milliseconds(100))
        : width_(std::max<std::ptrdiff_t>(1, width)), free_(width), use_(turnUnit) {}
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // A place held for the life of the turn; false when none came free within the patience.
    class Turn {
    public:
        Turn(Gate& gate, std::chrono::milliseconds patience, std::string claimant = {})
            : gate_(gate), claimant_(std::move(claimant)), held_(gate.take(claimant_, patience)),
              since_(std::chrono::steady_clock::now()) {}
        ~Turn() {
            if (held_) gate_.give(claimant_, std::chrono::steady_clock::now() - since_);
        }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        explicit operator bool() const { return held_; }

    private:
        Gate& gate_;
        std::string claimant_;
        bool held_;
        std::chrono::steady_clock::time_point since_;
    };

    // Turns waiting for a place at the moment.
    size_t waiting();

private:
    struct Waiter {
        const std::string* claimant;
        std::string neighbourhood;
        uint64_t arrival;
        std::chrono::steady_clock::time_point asked;
    };
    // A claimant's places and waiting turns, kept while it holds or awaits any.
    struct Claim {
        size_t held = 0;
        size_t waiting = 0;
    };
    bool take(const std::string& claimant, std::chrono::milliseconds patience);
    void give(const std::string& claimant, std::chrono::steady_clock::duration held);
    // Whether `waiter` is the one the next free place goes to.
    bool first(const Waiter& waiter) const;
    void forgetIfIdle(std::unordered_map<std::string, Claim>::iterator claim);

    std::mutex mutex_;
    std::condition_variable freed_;
    const std::ptrdiff_t width_;
    std::ptrdiff_t free_;
    std::unordered_map<std::string, Claim> claims_;
    std::list<Waiter> waiting_;
    uint64_t arrivals_ = 0;
    // What each claimant has had of the places lately, remembered while it holds and awaits nothing.
    RecentUse use_;
};

// What the calling thread has waited at gates since it last asked, and from now on nothing: a worker
// counts its request against the address by the time it held the worker, less what it waited for a
// place (a hash, a decoding, a write) whose gate keeps its own order of who has had what.
std::chrono::steady_clock::duration takeTimeWaitedAtGates();

// How many requests of one kind a key (a network address, an account) may make: `count` in every
// `periodSeconds`. The allowance refills evenly, so a burst of `count` passes and then a steady pace.
struct Rate {
    int64_t count;
    int64_t periodSeconds;
};

struct RateKey {
    const char* scope; // what is counted: "signup", "analytics-member", ...
    std::string key;
    Rate rate;
    // What the request takes from the allowance: one request, or for an allowance counted in bytes
    // the bytes it stores.
    int64_t amount = 1;
};

// Allowances kept in memory: they protect the server's resources, not secrets, so that a restart that
// forgets them gives nothing away. Each scope keeps its keys in the order they were last used: every
// request forgets the oldest few whose allowance has refilled, so that the table follows what is in
// use at a cost per request that does not grow with it. A scope holds at most `maxKeysPerScope`
// keys; past that its oldest key goes, refilled or not, and only that one: a flood of addresses
// cannot grow the table without end, nor make it forget the keys of another scope (a per-e-mail
// reset cap outlives any number of usage events).
class RateLimiter {
public:
    explicit RateLimiter(size_t maxKeysPerScope = 100'000) : maxKeysPerScope_(maxKeysPerScope) {}

    // Takes each key's amount from its allowance, or nothing from any: 0 when the request may go
    // ahead, otherwise the seconds until every key allows it again (at most a period: an amount
    // larger than a key's whole allowance is its caller's to refuse).
    int64_t take(const std::vector<RateKey>& keys, int64_t now);
    // Gives what was taken back to every key (a request refused after all, which costs nothing).
    void giveBack(const std::vector<RateKey>& keys, int64_t now);
    // Keys held, in every scope.
    size_t size();

private:
    struct Allowance {
        std::string key;
        double left;
        int64_t at;
        Rate rate;
    };
    // Least recently used first.
    using Queue = std::list<Allowance>;
    struct Scope {
        Queue byUse;
        std::unordered_map<std::string, Queue::iterator> index;
    };
    static double refilled(const Allowance& allowance, int64_t now);
    // Forgets up to a few of the scope's oldest keys that have refilled, and the oldest beyond the bound.
    void forgetOldest(Scope& scope, int64_t now);

    const size_t maxKeysPerScope_;
    std::mutex mutex_;
    std::unordered_map<std::string, Scope> scopes_;
};

// What one client counts as, for every count kept per network address: an IPv4 address itself, an
// IPv6 address by its /64 ("2001:db8:1:2::/64"), since whoever holds one address of a /64 has all of
// it; an IPv4 address written as IPv6 ("::ffff:192.0.2.1") is the IPv4 address.
std::string networkOf(const std::string& address);

// "12 seconds", "5 minutes": how long a refused client must wait, for the 429 messages.
std::string waitText(int64_t seconds);

} // namespace cw::server
