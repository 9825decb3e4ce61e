#pragma once

#include <compare>
#include <iosfwd>

// A point in time, independent of any calendar or time zone: seconds since 00:00:00 UTC on
// 1 January 1970 as a double, so that milliseconds of server times survive. A plain value.
class Date {
public:
    // The present moment, read from Clock (a ManualClock in tests).
    Date();
    static Date now() { return Date(); }

    static Date since1970(double seconds) { return Date(seconds, Tag{}); }
    // Seconds since 00:00:00 UTC on 1 January 2001, the platform's reference date.
    static Date sinceReferenceDate(double seconds) { return Date(seconds + referenceDateOffset, Tag{}); }
    // The present moment moved by the given seconds (negative for the past).
    static Date sinceNow(double seconds);

    double timeIntervalSince1970() const { return seconds_; }
    double timeIntervalSinceReferenceDate() const { return seconds_ - referenceDateOffset; }
    // Positive when this date is later than the other one.
    double timeIntervalSince(const Date& other) const { return seconds_ - other.seconds_; }
    double timeIntervalSinceNow() const;

    Date addingTimeInterval(double seconds) const { return Date(seconds_ + seconds, Tag{}); }

    friend bool operator==(const Date&, const Date&) = default;
    friend auto operator<=>(const Date&, const Date&) = default;
    friend Date operator+(const Date& date, double seconds) { return date.addingTimeInterval(seconds); }
    friend Date operator-(const Date& date, double seconds) { return date.addingTimeInterval(-seconds); }
    friend double operator-(const Date& later, const Date& earlier) {
        return later.timeIntervalSince(earlier);
    }

    // For test failures and logs: the seconds since 1970 and the UTC time they name.
    friend std::ostream& operator<<(std::ostream& out, const Date& date);

    // Seconds between 1970-01-01 and 2001-01-01.
    static constexpr double referenceDateOffset = 978'307'200.0;

private:
    struct Tag {};
    Date(double seconds, Tag) : seconds_(seconds) {}

    double seconds_;
};
