#include "server/KnownClaimants.h"

#include <stdexcept>

#include <sodium.h>

namespace cw::server {

KnownClaimants::KnownClaimants(size_t most, size_t mostOfOne)
    : most_(std::max<size_t>(1, most)), mostOfOne_(std::max<size_t>(1, mostOfOne)) {
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    static_assert(sizeof hashKey_ == crypto_shorthash_KEYBYTES);
    crypto_shorthash_keygen(hashKey_);
}

uint64_t KnownClaimants::keyOf(std::string_view secret) const {
    unsigned char hash[crypto_shorthash_BYTES];
    crypto_shorthash(hash, reinterpret_cast<const unsigned char*>(secret.data()), secret.size(), hashKey_);
    uint64_t key = 0;
    for (unsigned char byte : hash)
        key = key << 8 | byte;
    return key;
}

void KnownClaimants::forget(uint64_t key) {
    auto found = known_.find(key);
    if (found == known_.end()) return;
    byUse_.erase(found->second.byUse);
    auto owner = byOwner_.find(found->second.owner);
    owner->second.erase(found->second.ofOwner);
    if (owner->second.empty()) byOwner_.erase(owner);
    known_.erase(found);
}

void KnownClaimants::learn(std::string_view secret, const Claimant& claimant,
                           std::chrono::steady_clock::time_point until, const std::string& owner) {
    if (secret.empty()) return;
    const uint64_t key = keyOf(secret);
    std::lock_guard lock(mutex_);
    forget(key);
    const std::string ownerName = owner.empty() ? "sender " + claimant.group + '\n' + claimant.member : owner;
    std::list<uint64_t>& own = byOwner_[ownerName];
    known_.emplace(
        key, Known{claimant, until, ownerName, byUse_.insert(byUse_.end(), key), own.insert(own.end(), key)});
    while (own.size() > mostOfOne_)
        forget(own.front());
    while (known_.size() > most_)
        forget(byUse_.front());
}

std::optional<Claimant> KnownClaimants::of(std::string_view secret) {
    if (secret.empty()) return std::nullopt;
    const uint64_t key = keyOf(secret);
    std::lock_guard lock(mutex_);
    auto found = known_.find(key);
    if (found == known_.end()) return std::nullopt;
    if (found->second.until <= std::chrono::steady_clock::now()) {
        forget(key);
        return std::nullopt;
    }
    byUse_.splice(byUse_.end(), byUse_, found->second.byUse);
    std::list<uint64_t>& own = byOwner_.at(found->second.owner);
    own.splice(own.end(), own, found->second.ofOwner);
    return found->second.claimant;
}

} // namespace cw::server
