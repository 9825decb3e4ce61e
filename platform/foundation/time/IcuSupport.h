#pragma once

// Internal to the foundation's time and text modules: conversions between our values and ICU's. Not
// for application code.

#include "foundation/time/Date.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <atomic>
#include <string>
#include <string_view>

class Locale;
class TimeZone;
class Calendar;

namespace cw::detail {

inline icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

inline std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// ICU counts milliseconds.
inline UDate toUDate(const Date& date) {
    return date.timeIntervalSince1970() * 1000.0;
}
inline Date fromUDate(UDate millis) {
    return Date::since1970(millis / 1000.0);
}

// Bumped whenever a test replaces the device's locale or time zone, so that objects that follow
// the device (formatters without their own settings, Calendar::current) know to rebuild.
std::atomic<unsigned>& deviceSettingsGeneration();

// Reaches the ICU objects behind our values; only this module's sources use it.
struct IcuAccess {
    static const icu::TimeZone& zone(const TimeZone& timeZone);
    // A fresh calendar set up like the given one (time zone, locale, first weekday).
    static std::unique_ptr<icu::Calendar> makeCalendar(const Calendar& calendar);
};

} // namespace cw::detail
