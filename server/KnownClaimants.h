#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/FairTurns.h"

namespace cw::server {

// The senders the server has seen prove who they are, by the secret each request of theirs carries
// (an access token, a phone's or an application's cookie), so that a request is known as closely
// as it allows before it is read: a secret the server never saw proven (made up) names nobody, and
// its request is known by its address. Secrets are kept as keyed hashes, never as themselves; at
// most `most`, the least recently seen forgotten first, and at most `mostOfOne` of one owner (the
// sender, unless the learner names another: a session for its tokens, a member for the phones she
// signed in on), its own least recently seen forgotten first, so that a session refreshing its
// tokens over and over, or an account signing in on new phones, forgets only its own. A secret that lapses
// (an access token past its hour) names nobody after. A forgotten secret is learnt again when a request
// proves it. Safe to call from any thread.
class KnownClaimants {
public:
    explicit KnownClaimants(size_t most = 100'000, size_t mostOfOne = 16);
    // `secret` was shown to be `claimant`'s, until `until` when it lapses; it counts among the
    // secrets of `owner` (when empty, the claimant's own).
    void learn(std::string_view secret, const Claimant& claimant,
               std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max(),
               const std::string& owner = {});
    // The claimant `secret` was shown to be, when it was.
    std::optional<Claimant> of(std::string_view secret);

private:
    uint64_t keyOf(std::string_view secret) const;
    // Caller holds `mutex_`.
    void forget(uint64_t key);

    struct Known {
        Claimant claimant;
        std::chrono::steady_clock::time_point until;
        std::string owner;
        std::list<uint64_t>::iterator byUse;
        std::list<uint64_t>::iterator ofOwner;
    };
    const size_t most_;
    const size_t mostOfOne_;
    unsigned char hashKey_[16];
    std::mutex mutex_;
    std::list<uint64_t> byUse_; // least recently seen first
    // Each owner's secrets, least recently seen first.
    std::unordered_map<std::string, std::list<uint64_t>> byOwner_;
    std::unordered_map<uint64_t, Known> known_;
};

} // namespace cw::server
