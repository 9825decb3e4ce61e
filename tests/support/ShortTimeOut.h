#pragma once

// Requests made while one of these stands give up after a short time without an answer, as on a
// slow ward network, so a test sees what a reply that never comes does without waiting a minute.
// Header only.

#include "net/AFURLRequestSerialization.h"

namespace cw::test {

class ShortTimeOut {
public:
    explicit ShortTimeOut(double seconds) : before_(AFJSONRequestSerializer::defaultTimeoutInterval()) {
        AFJSONRequestSerializer::setDefaultTimeoutInterval(seconds);
    }
    ~ShortTimeOut() { AFJSONRequestSerializer::setDefaultTimeoutInterval(before_); }
    ShortTimeOut(const ShortTimeOut&) = delete;
    ShortTimeOut& operator=(const ShortTimeOut&) = delete;

private:
    double before_;
};

} // namespace cw::test
