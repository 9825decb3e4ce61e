#pragma once

// How views refer to their delegates and data sources: never owning them. A delegate given as a
// shared object is held weakly (it may go away first); one given as a plain pointer (an object
// that sets itself as delegate while it is being made) must clear itself or outlive the view.

#include <memory>

namespace cw {

template <class T> class DelegateRef {
public:
    DelegateRef() = default;
    DelegateRef(std::nullptr_t) {}
    DelegateRef(T* raw) : raw_(raw) {}
    template <class U>
    DelegateRef(const std::shared_ptr<U>& p) : weak_(std::shared_ptr<T>(p)), isWeak_(p != nullptr) {}
    template <class U> DelegateRef(const std::weak_ptr<U>& p) : DelegateRef(p.lock()) {}
    // The same delegate seen as a base class.
    template <class U>
    DelegateRef(const DelegateRef<U>& other) : raw_(other.raw_), weak_(other.weak_), isWeak_(other.isWeak_) {}

    // The delegate, or none once it has gone.
    std::shared_ptr<T> get() const {
        if (isWeak_) return weak_.lock();
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
};

} // namespace cw
