#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <semaphore>
#include <string>
#include <unordered_map>
#include <vector>

namespace cw::server {

// Work that costs the server dearly (a password hash, a picture's decoding) is let through a gate a
// few at a time, so that a crowd of such requests queues instead of taking every core and all the
// memory at once. A request that finds no place within its patience is turned away (429) rather
// than held: its worker is better spent on the requests behind it.
class Gate {
public:
    explicit Gate(std::ptrdiff_t width) : places_(width) {}
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    // A place held for the life of the turn; false when none came free within the patience.
    class Turn {
    public:
        Turn(Gate& gate, std::chrono::milliseconds patience)
            : gate_(gate), held_(gate.places_.try_acquire_for(patience)) {}
        ~Turn() {
            if (held_) gate_.places_.release();
        }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        explicit operator bool() const { return held_; }

    private:
        Gate& gate_;
        bool held_;
    };

private:
    std::counting_semaphore<4096> places_;
};

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
};

// Allowances kept in memory: they protect the server's resources, not secrets, so a restart that
// forgets them gives nothing away. Keys whose allowance has refilled are forgotten, and the table is
// bounded, so that many addresses cannot grow it without end.
class RateLimiter {
public:
    // Takes one request from every key's allowance, or from none: 0 when the request may go ahead,
    // otherwise the seconds until every key allows one again.
    int64_t take(const std::vector<RateKey>& keys, int64_t now);

private:
    struct Allowance {
        double left;
        int64_t at;
        Rate rate;
    };
    static double refilled(const Allowance& allowance, int64_t now);
    void forgetRefilled(int64_t now);

    std::mutex mutex_;
    std::unordered_map<std::string, Allowance> allowances_;
    int64_t lastSweep_ = 0;
};

// "12 seconds", "5 minutes": how long a refused client must wait, for the 429 messages.
std::string waitText(int64_t seconds);

} // namespace cw::server
