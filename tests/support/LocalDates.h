#pragma once

// Days as a member's device counts them, for tests that pick days on a calendar.

#include "foundation/time/Calendar.h"

namespace cw::test {

// Noon of a day on the device's calendar and in its time zone: far enough from either midnight
// that no daylight-saving change moves it to another day.
inline Date noonOf(int year, int month, int day) {
    return *Calendar::current().dateFrom({.year = year, .month = month, .day = day, .hour = 12});
}

} // namespace cw::test
