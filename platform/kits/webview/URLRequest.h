#pragma once

// What a web view is asked to load (`URLRequest`): an address and the seconds the load may take.
// A request made from text that is no address has no URL; loading it does nothing.

#include "foundation/url/URL.h"

#include <optional>
#include <utility>

struct URLRequest {
    // The platform's default time-out of a load.
    static constexpr double defaultTimeoutInterval = 60;

    std::optional<URL> url;
    double timeoutInterval = defaultTimeoutInterval;

    URLRequest() = default;
    explicit URLRequest(std::optional<URL> url, double timeoutInterval = defaultTimeoutInterval)
        : url(std::move(url)), timeoutInterval(timeoutInterval) {}

    friend bool operator==(const URLRequest&, const URLRequest&) = default;
};
