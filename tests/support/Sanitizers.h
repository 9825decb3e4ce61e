#pragma once

// Which sanitizer the test program was built with, for the few tests whose subject a sanitizer
// changes: what freed memory gives back, or how long the server's own work takes. Header only.

namespace cw::test {

constexpr bool builtWithAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

constexpr bool builtWithThreadSanitizer() {
#if defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace cw::test
