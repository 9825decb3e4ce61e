#pragma once

// Associated objects: small additions that other code attaches to a view, a view controller or a
// bar item under a key of its own (the address of a private static), without a field in the class.
// The object holds each value and releases it when it goes; a value that refers back to its object
// holds it weakly. Main thread only, like the objects that carry them.
//
//     static const char overlayKey = 0;
//     controller->setAssociatedObject(&overlayKey, WeakBox{overlay});
//     if (auto* box = controller->associatedObject<WeakBox>(&overlayKey)) ...

#include <any>
#include <map>
#include <memory>

namespace cw {

class AssociatedObjects {
public:
    using Key = const void*;

    // The value under `key` when there is one of type T, else none.
    template <class T> T* associatedObject(Key key) {
        std::any* slot = find(key);
        return slot ? std::any_cast<T>(slot) : nullptr;
    }
    template <class T> const T* associatedObject(Key key) const {
        const std::any* slot = const_cast<AssociatedObjects*>(this)->find(key);
        return slot ? std::any_cast<T>(slot) : nullptr;
    }
    bool hasAssociatedObject(Key key) const { return const_cast<AssociatedObjects*>(this)->find(key); }

    // Puts `value` under `key`, replacing what was there; an empty value removes the key. The value
    // it replaces is released last, so its destructor may use the object's associations.
    void setAssociatedObject(Key key, std::any value) {
        std::any old;
        if (!value.has_value()) {
            if (!slots_) return;
            auto it = slots_->find(key);
            if (it == slots_->end()) return;
            old = std::move(it->second);
            slots_->erase(it);
            return;
        }
        if (!slots_) slots_ = std::make_unique<std::map<Key, std::any>>();
        std::any& slot = (*slots_)[key];
        old = std::move(slot);
        slot = std::move(value);
    }
    void removeAssociatedObjects() {
        // Released outside the map: a value's destructor may add or remove associations.
        while (slots_) {
            auto slots = std::move(slots_);
            slots.reset();
        }
    }

protected:
    AssociatedObjects() = default;
    // A copied object starts without associations.
    AssociatedObjects(const AssociatedObjects&) {}
    AssociatedObjects& operator=(const AssociatedObjects&) { return *this; }
    ~AssociatedObjects() { removeAssociatedObjects(); }

private:
    std::any* find(Key key) {
        if (!slots_) return nullptr;
        auto it = slots_->find(key);
        return it == slots_->end() ? nullptr : &it->second;
    }

    // Made on first use: most objects carry none.
    std::unique_ptr<std::map<Key, std::any>> slots_;
};

} // namespace cw
