#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DispatchQueue;

using NotificationName = std::string;

struct Notification {
    NotificationName name;
    // The object the notification is about; compared by address only.
    const void* object = nullptr;
    std::map<std::string, std::any> userInfo;

    // The userInfo value under `key` when it holds a T.
    template <class T> std::optional<T> value(const std::string& key) const {
        auto it = userInfo.find(key);
        if (it == userInfo.end()) return std::nullopt;
        if (const T* v = std::any_cast<T>(&it->second)) return *v;
        return std::nullopt;
    }
};

// The token of a block observation: the centre keeps it until it is passed to removeObserver.
class NotificationObserver {
public:
    std::uint64_t id() const { return id_; }
    explicit NotificationObserver(std::uint64_t id) : id_(id) {}

private:
    std::uint64_t id_;
};

// Delivers posted notifications to observers, synchronously on the posting thread (or on the queue
// an observation names). Observations tied to an owner hold it weakly: once the owner is gone the
// observation is never called again and is dropped.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Observes `name` (every name when empty) from `object` (any sender when null) for `owner`.
    template <class T>
    void addObserver(const std::shared_ptr<T>& owner, NotificationName name, Block block,
                     const void* object = nullptr) {
        addOwnedObserver(std::weak_ptr<const void>(std::shared_ptr<const void>(owner)),
                         static_cast<const void*>(owner.get()), std::move(name), std::move(block), object);
    }

    // The block form: lasts until the returned token is removed. With a queue, the block runs there.
    std::shared_ptr<NotificationObserver> addObserver(NotificationName name, const void* object,
                                                      const DispatchQueue* queue, Block block);

    // Removes every observation of `owner` (or a token's), or only those of one name.
    void removeObserver(const void* owner);
    void removeObserver(const void* owner, const NotificationName& name, const void* object = nullptr);
    void removeObserver(const std::shared_ptr<NotificationObserver>& token);

    void post(const Notification& notification);
    void post(NotificationName name, const void* object = nullptr,
              std::map<std::string, std::any> userInfo = {});

    std::size_t observationCount() const;

private:
    struct Observation {
        std::uint64_t id;
        NotificationName name;
        const void* object;
        const void* ownerKey;                           // address used for removal
        std::optional<std::weak_ptr<const void>> owner; // none for token observations
        std::shared_ptr<NotificationObserver> token;
        std::shared_ptr<DispatchQueue> queue;
        std::shared_ptr<Block> block;
    };

    void addOwnedObserver(std::weak_ptr<const void> owner, const void* ownerKey, NotificationName name,
                          Block block, const void* object);

    mutable std::mutex mutex_;
    std::vector<Observation> observations_;
    std::uint64_t nextId_ = 1;
};
