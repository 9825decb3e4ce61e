#pragma once

// Delayed calls of a member function on an object (`perform(_:with:afterDelay:)`), and their
// cancelling (`cancelPreviousPerformRequests(withTarget:selector:object:)`). A pending call holds
// its target until it runs or is cancelled; it runs on the main run loop once the clock has passed
// the delay. Main thread only.
//
//     cw::cancelPreviousPerformRequests(this, &Settings::save);   // a debounce
//     cw::performAfterDelay(shared_from_this(), &Settings::save, 1.0);

#include <array>
#include <cstring>
#include <functional>
#include <memory>

namespace cw {

namespace detail {
using SelectorKey = std::array<unsigned char, 2 * sizeof(void*)>;
template <class M> SelectorKey selectorKey(M m) {
    static_assert(sizeof(M) <= sizeof(SelectorKey), "member pointer too large");
    SelectorKey k{};
    std::memcpy(k.data(), &m, sizeof(M));
    return k;
}
void schedulePerform(const void* target, const SelectorKey& selector, double delay,
                     std::function<void()> call);
void cancelPerforms(const void* target, const SelectorKey* selector);
} // namespace detail

template <class T, class R>
void performAfterDelay(const std::shared_ptr<T>& target, R (T::*selector)(), double delay) {
    if (!target) return;
    detail::schedulePerform(target.get(), detail::selectorKey(selector), delay,
                            [target, selector] { ((*target).*selector)(); });
}

// Cancels every pending call on `target` (of one member function, in the second form), releasing
// the target. Calls already running are not affected.
inline void cancelPreviousPerformRequests(const void* target) {
    detail::cancelPerforms(target, nullptr);
}
template <class T, class R> void cancelPreviousPerformRequests(const T* target, R (T::*selector)()) {
    const detail::SelectorKey key = detail::selectorKey(selector);
    detail::cancelPerforms(static_cast<const void*>(target), &key);
}

} // namespace cw
