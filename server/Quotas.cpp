#include "server/Quotas.h"

#include <algorithm>
#include <cmath>

namespace cw::server {

namespace {

// Beyond this many keys the table is emptied: whoever holds that many addresses gets no more from an
// emptied table than from the addresses themselves.
constexpr size_t kMaxKeys = 100'000;

std::string fullKey(const RateKey& key) {
    return std::string(key.scope) + '\n' + key.key;
}

double perSecond(const Rate& rate) {
    return static_cast<double>(rate.count) / static_cast<double>(std::max<int64_t>(1, rate.periodSeconds));
}

} // namespace

double RateLimiter::refilled(const Allowance& allowance, int64_t now) {
    double elapsed = static_cast<double>(std::max<int64_t>(0, now - allowance.at));
    return std::min(static_cast<double>(allowance.rate.count),
                    allowance.left + elapsed * perSecond(allowance.rate));
}

void RateLimiter::forgetRefilled(int64_t now) {
    if (allowances_.size() < 1024 && now - lastSweep_ < 60) return;
    lastSweep_ = now;
    std::erase_if(allowances_, [now](const auto& entry) {
        return refilled(entry.second, now) >= static_cast<double>(entry.second.rate.count);
    });
    if (allowances_.size() > kMaxKeys) allowances_.clear();
}

int64_t RateLimiter::take(const std::vector<RateKey>& keys, int64_t now) {
    std::lock_guard lock(mutex_);
    forgetRefilled(now);
    double wait = 0;
    for (const auto& key : keys) {
        auto found = allowances_.find(fullKey(key));
        if (found == allowances_.end()) continue;
        found->second.rate = key.rate;
        double left = refilled(found->second, now);
        if (left < 1)
            wait = std::max(wait, std::min((1 - left) / perSecond(key.rate),
                                           static_cast<double>(key.rate.periodSeconds)));
    }
    if (wait > 0) return std::max<int64_t>(1, static_cast<int64_t>(std::ceil(wait)));
    for (const auto& key : keys) {
        auto [found, fresh] = allowances_.try_emplace(
            fullKey(key), Allowance{static_cast<double>(key.rate.count), now, key.rate});
        Allowance& allowance = found->second;
        if (!fresh) allowance.left = refilled(allowance, now);
        allowance.at = now;
        allowance.left -= 1;
    }
    return 0;
}

std::string waitText(int64_t seconds) {
    if (seconds < 120) return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
    int64_t minutes = (seconds + 59) / 60;
    return std::to_string(minutes) + " minutes";
}

} // namespace cw::server
