#pragma once

// Days as a member's device counts them, for tests that pick days on a calendar.

#include "foundation/time/Calendar.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace cw::test {

// Noon of a day on the device's calendar and in its time zone: far enough from either midnight
// that no daylight-saving change moves it to another day.
inline Date noonOf(int year, int month, int day) {
    return *Calendar::current().dateFrom({.year = year, .month = month, .day = day, .hour = 12});
}

// "yyyy-MM-dd" of a server time (seconds since 1970) in this machine's time zone, which the
// application shares: the identifier of that day in a calendar's grid.
inline std::string localDay(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char out[16];
    std::strftime(out, sizeof out, "%Y-%m-%d", &local);
    return out;
}

} // namespace cw::test
