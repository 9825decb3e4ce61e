#pragma once

// Weak references that can be taken while an object is still being made.
//
// Views and controllers are shared objects, but their constructors run before any shared pointer
// owns them: `weak_from_this()` is empty there and `shared_from_this()` throws. A view that lays out
// its subviews in its constructor, or a controller that makes itself the delegate of the table it
// builds, still has to hand out references to itself. An EarlyWeakPtr taken then holds the plain
// pointer and a lifetime token that expires with the object; the first time it is used after a
// shared pointer has come to own the object, it binds to that owner and from then on behaves as a
// std::weak_ptr (so it expires as soon as the object's destruction begins). It never keeps the
// object alive.
//
// A type T takes part by offering two functions, found by argument-dependent lookup:
//     std::weak_ptr<const void> earlyOwner(const T&);     // the owning shared pointer, empty before
//     std::weak_ptr<const void> earlyLifetime(const T&);  // expires when the object is destroyed
// Main thread only, like the objects that use it.

#include <memory>
#include <type_traits>

namespace cw {

// The end of an object's life, for references taken before a shared pointer owned it. The token
// is made on first use, so objects nobody refers to early pay nothing; a copied object gets its
// own.
class Lifetime {
public:
    Lifetime() = default;
    Lifetime(const Lifetime&) noexcept {}
    Lifetime& operator=(const Lifetime&) noexcept { return *this; }
    ~Lifetime() = default;

    std::weak_ptr<const void> token() const {
        if (!alive_) alive_ = std::make_shared<const char>('\0');
        return alive_;
    }
    // Ends it before the member itself goes (from the owner's destructor).
    void end() { alive_.reset(); }

private:
    mutable std::shared_ptr<const char> alive_;
};

namespace detail {
// Whether the weak pointer ever belonged to a shared pointer (expired or not), as opposed to empty.
inline bool hasControlBlock(const std::weak_ptr<const void>& p) {
    const std::weak_ptr<const void> none;
    return p.owner_before(none) || none.owner_before(p);
}
} // namespace detail

template <class T> class EarlyWeakPtr {
public:
    EarlyWeakPtr() = default;
    EarlyWeakPtr(std::nullptr_t) {}
    // From a plain pointer: the object may still be in its constructor, or already be shared.
    explicit EarlyWeakPtr(T* object) : raw_(object) {
        if (!object) return;
        owner_ = earlyOwner(*object);
        if (detail::hasControlBlock(owner_)) {
            bound_ = true;
        } else {
            alive_ = earlyLifetime(*object);
        }
    }
    // From a shared pointer; one that owns nothing (handed out while the object is being made) is
    // taken as the plain pointer it holds.
    template <class U>
    requires std::is_convertible_v<U*, T*> EarlyWeakPtr(const std::shared_ptr<U>& object)
        : raw_(object.get()), owner_(object), bound_(true) {
        if (!object) {
            *this = EarlyWeakPtr();
        } else if (object.use_count() == 0) {
            *this = EarlyWeakPtr(static_cast<T*>(object.get()));
        }
    }
    // The same object seen as a base class.
    template <class U>
    requires std::is_convertible_v<U*, T*> EarlyWeakPtr(const EarlyWeakPtr<U>& other)
        : raw_(other.raw_), owner_(other.owner_), alive_(other.alive_), bound_(other.bound_) {}

    // The object while it lives, also while it is being made; none once it has gone.
    T* get() const {
        if (!raw_) return nullptr;
        if (!bound_) {
            if (alive_.expired()) return nullptr;
            std::weak_ptr<const void> owner = earlyOwner(*raw_);
            if (!detail::hasControlBlock(owner)) return raw_; // still being made
            owner_ = std::move(owner);
            bound_ = true;
            alive_.reset();
        }
        return owner_.expired() ? nullptr : raw_;
    }
    // An owning pointer once a shared pointer owns the object; none before, and once it has gone.
    std::shared_ptr<T> lock() const {
        if (!get() || !bound_) return nullptr;
        std::shared_ptr<const void> owner = owner_.lock();
        if (!owner) return nullptr;
        return std::shared_ptr<T>(std::const_pointer_cast<void>(owner), raw_);
    }
    // As lock(), but while the object is being made a pointer to it that owns nothing.
    std::shared_ptr<T> lockOrBorrow() const {
        if (auto owned = lock()) return owned;
        if (T* p = get()) return std::shared_ptr<T>(std::shared_ptr<T>(), p);
        return nullptr;
    }
    // Which object this refers to, also once it has gone: for comparing only, never to use.
    const T* identity() const { return raw_; }
    bool empty() const { return raw_ == nullptr; }
    bool expired() const { return get() == nullptr; }
    explicit operator bool() const { return get() != nullptr; }

private:
    template <class U> friend class EarlyWeakPtr;
    T* raw_ = nullptr;
    mutable std::weak_ptr<const void> owner_;
    mutable std::weak_ptr<const void> alive_;
    mutable bool bound_ = false;
};

} // namespace cw
