#pragma once

// A day as a month calendar names it: year, month and day in the calendar system that made it
// (the device's, unless given another). It stands for the whole day, not a moment in it.

#include "foundation/time/Calendar.h"
#include "foundation/time/Date.h"

#include <cstdint>
#include <optional>
#include <string>

class CVDate {
public:
    // The day the moment falls on in `calendar` (in its time zone).
    explicit CVDate(const Date& date, const Calendar& calendar = Calendar::current());
    // The fields as given; they are checked only when converted.
    CVDate(std::int64_t year, std::int64_t month, std::int64_t day) : year_(year), month_(month), day_(day) {}

    std::int64_t year() const { return year_; }
    std::int64_t month() const { return month_; }
    std::int64_t day() const { return day_; }

    // The first moment of this day in `calendar`, reading the fields in that calendar's system;
    // none when they name no day there (month 13, 30 February).
    std::optional<Date> convertedDate(const Calendar& calendar) const;
    // The month's name and the year in the device's locale and calendar ("March 2026",
    // "März 2026", "2026年3月"); empty when the fields name no day.
    std::string globalDescription() const;

    bool isSameMonth(const CVDate& other) const { return year_ == other.year_ && month_ == other.month_; }
    friend bool operator==(const CVDate&, const CVDate&) = default;

private:
    std::int64_t year_;
    std::int64_t month_;
    std::int64_t day_;
};
