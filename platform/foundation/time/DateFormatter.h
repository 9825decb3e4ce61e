#pragma once

#include "foundation/time/Calendar.h"
#include "foundation/time/Date.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Turns dates into texts and texts into dates, by a Unicode date pattern ("yyyy-MM-dd") or by the
// locale's date and time styles. A locale, time zone or calendar that is not set follows the
// device's current one at each use.
//
// Parsing is strict: the whole text must match the pattern (no trailing characters, no white space
// the pattern does not have, no partial literals, no out-of-range fields such as month 13 or
// 30 February). A zone field (Z) accepts "+0000", "-0500", "+05:30", "+05", "Z", "UTC" and
// "GMT+05:30". A wall time that a daylight-saving change skips (a date-only text on a day whose
// midnight does not exist) gives the first moment after the gap rather than no date.
//
// One formatter may be shared between threads: each call holds the formatter's own lock.
class DateFormatter {
public:
    enum class Style { noStyle, shortStyle, mediumStyle, longStyle, fullStyle };

    DateFormatter();
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // For texts exchanged with a server in a fixed pattern: en_US_POSIX and the Gregorian calendar,
    // whatever the device's locale and calendar, in the device's time zone. A device locale with
    // another calendar (Thai Buddhist years) or other digits (Arabic-Indic) would otherwise misread
    // and miswrite such texts.
    static DateFormatter serverFormatter(std::string_view pattern);

    // The pattern in use: the one set, or the one the locale's styles give.
    std::string dateFormat() const;
    void setDateFormat(std::string_view pattern);
    // The pattern the formatter's locale prefers for the fields of a template ("yMMMM" gives
    // "MMMM y" in English, "y年M月" in Japanese). It is chosen again whenever the locale changes.
    void setLocalizedDateFormatFromTemplate(std::string_view dateTemplate);
    // Setting a style replaces the pattern by the locale's one for the two styles.
    Style dateStyle() const;
    void setDateStyle(Style style);
    Style timeStyle() const;
    void setTimeStyle(Style style);

    Locale locale() const;
    void setLocale(std::optional<Locale> locale);
    TimeZone timeZone() const;
    void setTimeZone(std::optional<TimeZone> timeZone);
    // The calendar's system (its identifier) is what the formatter uses.
    Calendar calendar() const;
    void setCalendar(std::optional<Calendar> calendar);

    // None when the text does not match (see above).
    std::optional<Date> date(std::string_view from) const;
    std::string string(const Date& from) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
