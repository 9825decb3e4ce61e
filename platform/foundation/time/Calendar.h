#pragma once

#include "foundation/time/Date.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// Calendar fields of a date, or the differences between two dates; a field not asked for is empty.
// Months count from 1, weekdays from 1 (Sunday) to 7 (Saturday).
struct DateComponents {
    std::optional<std::int64_t> era = std::nullopt;
    std::optional<std::int64_t> year = std::nullopt;
    std::optional<std::int64_t> month = std::nullopt;
    std::optional<std::int64_t> day = std::nullopt;
    std::optional<std::int64_t> hour = std::nullopt;
    std::optional<std::int64_t> minute = std::nullopt;
    std::optional<std::int64_t> second = std::nullopt;
    std::optional<std::int64_t> nanosecond = std::nullopt;
    std::optional<std::int64_t> weekday = std::nullopt;

    friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

// A calendar system in a time zone: what day, month and year a moment falls on, where a day
// starts, and how far apart two moments are in calendar units. Copies are cheap and independent;
// a Calendar may be used from several threads at once.
class Calendar {
public:
    enum class Component { era, year, month, day, hour, minute, second, nanosecond, weekday };
    using ComponentSet = std::set<Component>;

    // A calendar by its CLDR name ("gregorian", "buddhist", "japanese", "islamic-umalqura", ...),
    // with the device's locale and time zone. A name that ICU does not know gives the Gregorian one.
    explicit Calendar(std::string_view identifier = "gregorian");
    static Calendar gregorian() { return Calendar("gregorian"); }
    // The device's calendar: the one its locale names or prefers (Buddhist for th_TH, Gregorian for
    // most), in the device's time zone.
    static Calendar current();

    const std::string& identifier() const { return identifier_; }
    const Locale& locale() const { return locale_; }
    void setLocale(Locale locale);
    const TimeZone& timeZone() const { return timeZone_; }
    void setTimeZone(TimeZone timeZone);

    // Differences from `from` to `to`, largest unit first: each asked-for unit takes what the larger
    // ones leave, and counts whole units (towards zero). Days are calendar days, so a day across a
    // daylight-saving change is one day of 23 or 25 hours. Negative when `to` is earlier.
    DateComponents dateComponents(const ComponentSet& components, const Date& from, const Date& to) const;
    // The asked-for fields of a date in this calendar's time zone.
    DateComponents dateComponents(const ComponentSet& components, const Date& date) const;
    std::optional<std::int64_t> component(Component component, const Date& date) const;

    // The first moment of the date's day (01:00 where the clocks skip midnight).
    Date startOfDay(const Date& date) const;
    bool isDate(const Date& date, const Date& inSameDayAs) const;

    // Adds calendar units, keeping the wall-clock time for days and larger (one day later across a
    // daylight-saving change is 23 or 25 hours later). None when the value is out of range.
    std::optional<Date> dateByAdding(Component component, std::int64_t value, const Date& date) const;
    // The moment the components name in this calendar and time zone; missing fields take the
    // values of 1 January 1970, 00:00:00. Out-of-range fields roll over (day 32 of January is
    // 1 February). None for values no calendar can hold.
    std::optional<Date> dateFrom(const DateComponents& components) const;

private:
    friend struct cw::detail::IcuAccess;
    struct Impl;
    Calendar(std::string identifier, Locale locale, TimeZone timeZone);
    void rebuild();

    std::string identifier_;
    Locale locale_;
    TimeZone timeZone_;
    std::shared_ptr<const Impl> impl_;
};
