#pragma once

// How views refer to their delegates and data sources: never owning them. A delegate given as a
// shared object is held weakly (it may go away first). One given as a plain pointer is usually an
// object that sets itself as delegate while it is being made, before any shared pointer owns it:
// when that object is a responder (a view or a controller), the reference binds to its shared
// owner once there is one and goes dead with the object, so a delegate that has gone is never
// called. A plain pointer to any other object must clear itself or outlive the view.

#include "uikit/view/UIResponder.h"

#include <memory>
#include <type_traits>

namespace cw {

template <class T> class DelegateRef {
public:
    DelegateRef() = default;
    DelegateRef(std::nullptr_t) {}
    DelegateRef(T* raw) : raw_(raw) {
        if constexpr (std::is_polymorphic_v<T>) {
            if (auto* responder = dynamic_cast<UIResponder*>(raw))
                responder_ = EarlyWeakPtr<UIResponder>(responder);
        }
    }
    template <class U>
    DelegateRef(const std::shared_ptr<U>& p) : weak_(std::shared_ptr<T>(p)), isWeak_(p != nullptr) {}
    template <class U> DelegateRef(const std::weak_ptr<U>& p) : DelegateRef(p.lock()) {}
    // The same delegate seen as a base class.
    template <class U>
    DelegateRef(const DelegateRef<U>& other)
        : raw_(other.raw_), weak_(other.weak_), isWeak_(other.isWeak_), responder_(other.responder_) {}

    // The delegate, or none once it has gone. While the delegate is still being made, a pointer
    // that owns nothing.
    std::shared_ptr<T> get() const {
        if (isWeak_) return weak_.lock();
        if (!responder_.empty()) {
            if (auto owner = responder_.lock()) return std::shared_ptr<T>(owner, raw_);
            if (!responder_.get()) return nullptr;
        }
        return std::shared_ptr<T>(std::shared_ptr<T>(), raw_);
    }
    T* operator->() const { return get().get(); }
    explicit operator bool() const { return get() != nullptr; }
    bool is(const void* p) const { return get().get() == p; }

private:
    template <class U> friend class DelegateRef;
    T* raw_ = nullptr;
    std::weak_ptr<T> weak_;
    bool isWeak_ = false;
    EarlyWeakPtr<UIResponder> responder_;
};

} // namespace cw
