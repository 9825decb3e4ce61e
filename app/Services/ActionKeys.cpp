#include "Services/ActionKeys.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <random>

namespace {

// 128 random bits as 32 hexadecimal digits: no two actions share a key.
std::string newKey() {
    static std::mutex mutex;
    static std::random_device device;
    std::array<std::uint32_t, 4> words{};
    {
        std::lock_guard lock(mutex);
        for (auto& word : words)
            word = device();
    }
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
    return text;
}

} // namespace

ActionKeys& ActionKeys::shared() {
    static ActionKeys keys;
    return keys;
}

std::string ActionKeys::keyFor(const std::string& fingerprint) {
    std::lock_guard lock(mutex_);
    auto same = std::find_if(unanswered_.begin(), unanswered_.end(), [&](const Action& action) {
        return action.fingerprint == fingerprint;
    });
    if (same != unanswered_.end()) return same->key;
    if (unanswered_.size() >= kRemembered) unanswered_.pop_front();
    unanswered_.push_back({fingerprint, newKey()});
    return unanswered_.back().key;
}

void ActionKeys::answered(const std::string& key) {
    std::lock_guard lock(mutex_);
    std::erase_if(unanswered_, [&](const Action& action) { return action.key == key; });
}

ActionKeys::Fingerprint& ActionKeys::Fingerprint::add(std::string_view part) {
    // Two unrelated hashes of every part and of its length, so that neither parts that run into each
    // other nor one hash's collision make two requests one.
    for (unsigned char byte : part) {
        first_ ^= byte;
        first_ *= 1099511628211ULL;
    }
    first_ ^= part.size();
    first_ *= 1099511628211ULL;
    const std::uint64_t hashed = std::hash<std::string_view>{}(part);
    second_ ^= hashed + 0x9E3779B97F4A7C15ULL + (second_ << 6) + (second_ >> 2);
    second_ ^= part.size() * 0xC2B2AE3D27D4EB4FULL;
    return *this;
}

std::string ActionKeys::Fingerprint::value() const {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(first_),
                  static_cast<unsigned long long>(second_));
    return text;
}
