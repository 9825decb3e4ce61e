#include "server/Quotas.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace cw::server {

namespace {

// Keys of a scope checked for expiry on each request that uses it: more than one, so that the table
// shrinks faster than a steady stream of new keys grows it.
constexpr int kExpiredPerRequest = 4;

double perSecond(const Rate& rate) {
    return static_cast<double>(rate.count) / static_cast<double>(std::max<int64_t>(1, rate.periodSeconds));
}

} // namespace

double RateLimiter::refilled(const Allowance& allowance, int64_t now) {
    double elapsed = static_cast<double>(std::max<int64_t>(0, now - allowance.at));
    return std::min(static_cast<double>(allowance.rate.count),
                    allowance.left + elapsed * perSecond(allowance.rate));
}

void RateLimiter::forgetOldest(Scope& scope, int64_t now) {
    for (int checked = 0; checked < kExpiredPerRequest && !scope.byUse.empty(); ++checked) {
        const Allowance& oldest = scope.byUse.front();
        if (refilled(oldest, now) < static_cast<double>(oldest.rate.count)) break;
        scope.index.erase(oldest.key);
        scope.byUse.pop_front();
    }
    while (scope.byUse.size() > maxKeysPerScope_) {
        scope.index.erase(scope.byUse.front().key);
        scope.byUse.pop_front();
    }
}

RateLimiter::Allowance& RateLimiter::usedNow(Scope& scope, const RateKey& key, int64_t now) {
    auto found = scope.index.find(key.key);
    if (found == scope.index.end()) {
        scope.byUse.push_back({key.key, static_cast<double>(key.rate.count), now, key.rate});
        return *scope.index.emplace(key.key, std::prev(scope.byUse.end())).first->second;
    }
    // Used now: it is the scope's newest.
    scope.byUse.splice(scope.byUse.end(), scope.byUse, found->second);
    return *found->second;
}

int64_t RateLimiter::take(const std::vector<RateKey>& keys, int64_t now) {
    std::lock_guard lock(mutex_);
    double wait = 0;
    for (const auto& key : keys) {
        Scope& scope = scopes_[key.scope];
        forgetOldest(scope, now);
        auto found = scope.index.find(key.key);
        if (found == scope.index.end()) continue;
        Allowance& allowance = *found->second;
        allowance.rate = key.rate;
        const auto amount = static_cast<double>(key.amount);
        double left = refilled(allowance, now);
        if (left < amount)
            wait = std::max(wait, std::min((amount - left) / perSecond(key.rate),
                                           static_cast<double>(key.rate.periodSeconds)));
    }
    if (wait > 0) return std::max<int64_t>(1, static_cast<int64_t>(std::ceil(wait)));
    for (const auto& key : keys) {
        Scope& scope = scopes_[key.scope];
        Allowance& allowance = usedNow(scope, key, now);
        allowance.left = refilled(allowance, now) - static_cast<double>(key.amount);
        allowance.at = now;
        forgetOldest(scope, now);
    }
    return 0;
}

void RateLimiter::giveBack(const std::vector<RateKey>& keys, int64_t now) {
    std::lock_guard lock(mutex_);
    for (const auto& key : keys) {
        auto scope = scopes_.find(key.scope);
        if (scope == scopes_.end()) continue;
        auto found = scope->second.index.find(key.key);
        if (found == scope->second.index.end()) continue;
        Allowance& allowance = *found->second;
        allowance.left = std::min(static_cast<double>(allowance.rate.count),
                                  refilled(allowance, now) + static_cast<double>(key.amount));
        allowance.at = now;
    }
}

void RateLimiter::spend(const std::vector<RateKey>& keys, int64_t now) {
    std::lock_guard lock(mutex_);
    for (const auto& key : keys) {
        Scope& scope = scopes_[key.scope];
        Allowance& allowance = usedNow(scope, key, now);
        allowance.rate = key.rate;
        allowance.left = std::max(-static_cast<double>(key.rate.count),
                                  refilled(allowance, now) - static_cast<double>(key.amount));
        allowance.at = now;
        forgetOldest(scope, now);
    }
}

size_t RateLimiter::size() {
    std::lock_guard lock(mutex_);
    size_t keys = 0;
    for (const auto& [name, scope] : scopes_)
        keys += scope.byUse.size();
    return keys;
}

std::string networkOf(const std::string& address) {
    in6_addr v6{};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
    char text[INET6_ADDRSTRLEN] = "";
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        ::inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
        return text;
    }
    std::fill(std::begin(v6.s6_addr) + 8, std::end(v6.s6_addr), uint8_t{0});
    ::inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/64";
}

std::string waitText(int64_t seconds) {
    if (seconds < 120) return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
    int64_t minutes = (seconds + 59) / 60;
    return std::to_string(minutes) + " minutes";
}

} // namespace cw::server
