#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace cw::server {

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

// Allowances kept in memory: they protect the server's resources, not secrets, so a restart may forget
// them. Each request forgets a few refilled keys; a scope holds at most `maxKeysPerScope` keys (its
// oldest go first), so that a flood of addresses neither grows the table nor empties another scope.
class RateLimiter {
public:
    explicit RateLimiter(size_t maxKeysPerScope = 100'000) : maxKeysPerScope_(maxKeysPerScope) {}

    // Takes each key's amount from its allowance, or nothing from any: 0 when the request may go ahead,
    // else the seconds until every key allows it (at most a period; a larger amount is the caller's).
    int64_t take(const std::vector<RateKey>& keys, int64_t now);
    // Gives what was taken back to every key (a request refused after all, which costs nothing).
    void giveBack(const std::vector<RateKey>& keys, int64_t now);
    // Takes each key's amount whether it is left or not, for work whose cost is known only once done:
    // what goes beyond the allowance is owed, up to a whole period's.
    void spend(const std::vector<RateKey>& keys, int64_t now);
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
    // The key's allowance (a full one when new), made the scope's newest.
    static Allowance& usedNow(Scope& scope, const RateKey& key, int64_t now);
    // Forgets up to a few of the scope's oldest keys that have refilled, and the oldest beyond the bound.
    void forgetOldest(Scope& scope, int64_t now);

    const size_t maxKeysPerScope_;
    std::mutex mutex_;
    std::unordered_map<std::string, Scope> scopes_;
};

// What one client counts as, for every count kept per network address: an IPv4 address itself (also
// written as IPv6), an IPv6 address by its /64, since whoever holds one address of a /64 has all of it.
std::string networkOf(const std::string& address);

// "12 seconds", "5 minutes": how long a refused client must wait, for the 429 messages.
std::string waitText(int64_t seconds);

} // namespace cw::server
