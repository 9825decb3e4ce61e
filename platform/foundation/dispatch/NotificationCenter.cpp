#include "foundation/dispatch/NotificationCenter.h"

#include "foundation/dispatch/DispatchQueue.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter(); // used until the process ends
    return *center;
}

void NotificationCenter::addOwnedObserver(std::weak_ptr<const void> owner, const void* ownerKey,
                                          NotificationName name, Block block, const void* object) {
    std::lock_guard lock(mutex_);
    observations_.push_back(Observation{nextId_++, std::move(name), object, ownerKey, std::move(owner),
                                        nullptr, nullptr, std::make_shared<Block>(std::move(block))});
}

std::shared_ptr<NotificationObserver> NotificationCenter::addObserver(NotificationName name,
                                                                      const void* object,
                                                                      const DispatchQueue* queue,
                                                                      Block block) {
    std::lock_guard lock(mutex_);
    auto token = std::make_shared<NotificationObserver>(nextId_);
    observations_.push_back(Observation{nextId_++, std::move(name), object, token.get(), std::nullopt, token,
                                        queue ? std::make_shared<DispatchQueue>(*queue) : nullptr,
                                        std::make_shared<Block>(std::move(block))});
    return token;
}

// Takes the observations that `remove` selects out of `observations`, keeping the others in order.
// The caller releases them once the lock is let go: a block may own objects whose destructors call
// the centre again.
template <class Observations, class Predicate>
static Observations takeObservations(Observations& observations, Predicate remove) {
    Observations taken;
    auto it = std::stable_partition(observations.begin(), observations.end(),
                                    [&](const auto& o) { return !remove(o); });
    std::move(it, observations.end(), std::back_inserter(taken));
    observations.erase(it, observations.end());
    return taken;
}

void NotificationCenter::removeObserver(const void* owner) {
    std::vector<Observation> removed;
    std::lock_guard lock(mutex_);
    removed = takeObservations(observations_, [&](const Observation& o) { return o.ownerKey == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const NotificationName& name, const void* object) {
    std::vector<Observation> removed;
    std::lock_guard lock(mutex_);
    removed = takeObservations(observations_, [&](const Observation& o) {
        return o.ownerKey == owner && (name.empty() || o.name == name) &&
               (object == nullptr || o.object == object);
    });
}

void NotificationCenter::removeObserver(const std::shared_ptr<NotificationObserver>& token) {
    if (token) removeObserver(static_cast<const void*>(token.get()));
}

void NotificationCenter::post(NotificationName name, const void* object,
                              std::map<std::string, std::any> userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo)});
}

void NotificationCenter::post(const Notification& notification) {
    struct Delivery {
        std::shared_ptr<const void> owner;
        std::shared_ptr<DispatchQueue> queue;
        std::shared_ptr<Block> block;
    };
    std::vector<Observation> expired; // released after the lock, like removed observations
    std::vector<Delivery> deliveries;
    {
        std::lock_guard lock(mutex_);
        // Observations whose owner has gone are dropped here rather than called.
        expired = takeObservations(observations_,
                                   [](const Observation& o) { return o.owner && o.owner->expired(); });
        for (const auto& o : observations_) {
            if (!o.name.empty() && o.name != notification.name) continue;
            if (o.object != nullptr && o.object != notification.object) continue;
            Delivery d{nullptr, o.queue, o.block};
            if (o.owner) {
                d.owner = o.owner->lock(); // keeps the owner alive while it is being called
                if (!d.owner) continue;
            }
            deliveries.push_back(std::move(d));
        }
    }
    for (auto& d : deliveries) {
        if (d.queue) {
            d.queue->async([block = d.block, n = notification, owner = std::weak_ptr<const void>(d.owner),
                            owned = d.owner != nullptr] {
                if (owned && owner.expired()) return;
                (*block)(n);
            });
        } else {
            (*d.block)(notification);
        }
    }
}

std::size_t NotificationCenter::observationCount() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& o : observations_)
        if (!o.owner || !o.owner->expired()) ++n;
    return n;
}
