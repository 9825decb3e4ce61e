#include "foundation/time/Calendar.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/gregocal.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

struct Calendar::Impl {
    // Never changed after construction; every operation works on a clone of it.
    std::unique_ptr<icu::Calendar> prototype;
};

namespace {

using Component = Calendar::Component;

bool finite(const Date& date) {
    return std::isfinite(date.timeIntervalSince1970());
}

std::optional<std::int64_t> toInt64(double value) {
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

std::optional<int32_t> toInt32(std::int64_t value) {
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<UCalendarDateFields> icuField(Component component) {
    switch (component) {
    case Component::era:
        return UCAL_ERA;
    case Component::year:
        return UCAL_YEAR;
    case Component::month:
        return UCAL_MONTH;
    case Component::day:
        return UCAL_DATE;
    case Component::hour:
        return UCAL_HOUR_OF_DAY;
    case Component::minute:
        return UCAL_MINUTE;
    case Component::second:
        return UCAL_SECOND;
    case Component::weekday:
        return UCAL_DAY_OF_WEEK;
    case Component::nanosecond:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int64_t>& slot(DateComponents& components, Component component) {
    switch (component) {
    case Component::era:
        return components.era;
    case Component::year:
        return components.year;
    case Component::month:
        return components.month;
    case Component::day:
        return components.day;
    case Component::hour:
        return components.hour;
    case Component::minute:
        return components.minute;
    case Component::second:
        return components.second;
    case Component::nanosecond:
        return components.nanosecond;
    case Component::weekday:
        return components.weekday;
    }
    return components.nanosecond;
}

const std::optional<std::int64_t>& slot(const DateComponents& components, Component component) {
    return slot(const_cast<DateComponents&>(components), component);
}

} // namespace

namespace cw::detail {

std::unique_ptr<icu::Calendar> IcuAccess::makeCalendar(const Calendar& calendar) {
    return std::unique_ptr<icu::Calendar>(calendar.impl_->prototype->clone());
}

} // namespace cw::detail

Calendar::Calendar(std::string_view identifier)
    : Calendar(std::string(identifier), Locale::current(), TimeZone::current()) {}

Calendar::Calendar(std::string identifier, Locale locale, TimeZone timeZone)
    : identifier_(std::move(identifier)), locale_(std::move(locale)), timeZone_(std::move(timeZone)) {
    rebuild();
}

void Calendar::rebuild() {
    icu::Locale locale(locale_.identifier().c_str());
    UErrorCode status = U_ZERO_ERROR;
    if (!identifier_.empty()) locale.setKeywordValue("calendar", identifier_.c_str(), status);
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(cw::detail::IcuAccess::zone(timeZone_).clone(), locale, status));
    if (U_FAILURE(status) || !calendar) {
        status = U_ZERO_ERROR;
        calendar.reset(new icu::GregorianCalendar(status));
        calendar->setTimeZone(cw::detail::IcuAccess::zone(timeZone_));
    }
    // A wall time that a daylight-saving change skips means the first moment after the gap.
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    identifier_ = calendar->getType();
    auto impl = std::make_shared<Impl>();
    impl->prototype = std::move(calendar);
    impl_ = std::move(impl);
}

Calendar Calendar::current() {
    // Made again only when a test has replaced the device's locale or time zone.
    static std::mutex mutex;
    static std::optional<Calendar> cached;
    static unsigned cachedGeneration = 0;
    unsigned generation = cw::detail::deviceSettingsGeneration().load();
    std::lock_guard lock(mutex);
    if (!cached || cachedGeneration != generation) {
        cached = Calendar(std::string(), Locale::current(), TimeZone::current());
        cachedGeneration = generation;
    }
    return *cached;
}

void Calendar::setLocale(Locale locale) {
    locale_ = std::move(locale);
    rebuild();
}

void Calendar::setTimeZone(TimeZone timeZone) {
    timeZone_ = std::move(timeZone);
    rebuild();
}

DateComponents Calendar::dateComponents(const ComponentSet& components, const Date& from,
                                        const Date& to) const {
    DateComponents result;
    if (!finite(from) || !finite(to)) return result;
    const UDate target = cw::detail::toUDate(to);
    double remaining = target - cw::detail::toUDate(from);

    // Calendar units move the calendar forward by whole units; what is left is an exact duration.
    static constexpr Component calendarUnits[] = {Component::era, Component::year, Component::month,
                                                  Component::day};
    if (std::ranges::any_of(calendarUnits, [&](Component unit) { return components.contains(unit); })) {
        auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
        UErrorCode status = U_ZERO_ERROR;
        calendar->setTime(cw::detail::toUDate(from), status);
        if (U_FAILURE(status)) return result;
        for (Component unit : calendarUnits) {
            if (!components.contains(unit)) continue;
            UDate before = calendar->getTime(status);
            int32_t difference = calendar->fieldDifference(target, *icuField(unit), status);
            if (U_FAILURE(status)) {
                status = U_ZERO_ERROR;
                calendar->setTime(before, status);
                continue;
            }
            slot(result, unit) = difference;
        }
        remaining = target - calendar->getTime(status);
        if (U_FAILURE(status)) return result;
    }
    for (auto [unit, millis] :
         {std::pair{Component::hour, 3'600'000.0}, std::pair{Component::minute, 60'000.0},
          std::pair{Component::second, 1'000.0}}) {
        if (!components.contains(unit)) continue;
        auto whole = toInt64(std::trunc(remaining / millis));
        if (!whole) continue;
        slot(result, unit) = *whole;
        remaining -= static_cast<double>(*whole) * millis;
    }
    if (components.contains(Component::nanosecond)) result.nanosecond = toInt64(std::round(remaining * 1e6));
    return result;
}

DateComponents Calendar::dateComponents(const ComponentSet& components, const Date& date) const {
    DateComponents result;
    if (!finite(date)) return result;
    auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(cw::detail::toUDate(date), status);
    if (U_FAILURE(status)) return result;
    for (Component unit : components) {
        if (unit == Component::nanosecond) {
            double millis = cw::detail::toUDate(date);
            result.nanosecond = toInt64(std::round((millis - std::floor(millis / 1000.0) * 1000.0) * 1e6));
            continue;
        }
        int32_t value = calendar->get(*icuField(unit), status);
        if (U_FAILURE(status)) return DateComponents{};
        slot(result, unit) = unit == Component::month ? value + 1 : value;
    }
    return result;
}

std::optional<std::int64_t> Calendar::component(Component component, const Date& date) const {
    return slot(dateComponents({component}, date), component);
}

Date Calendar::startOfDay(const Date& date) const {
    if (!finite(date)) return date;
    auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(cw::detail::toUDate(date), status);
    calendar->set(UCAL_HOUR_OF_DAY, 0);
    calendar->set(UCAL_MINUTE, 0);
    calendar->set(UCAL_SECOND, 0);
    calendar->set(UCAL_MILLISECOND, 0);
    UDate start = calendar->getTime(status);
    return U_SUCCESS(status) ? cw::detail::fromUDate(start) : date;
}

bool Calendar::isDate(const Date& date, const Date& inSameDayAs) const {
    if (!finite(date) || !finite(inSameDayAs)) return false;
    auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
    UErrorCode status = U_ZERO_ERROR;
    // The Julian day number is counted in the calendar's time zone: equal numbers, same local day.
    calendar->setTime(cw::detail::toUDate(date), status);
    int32_t first = calendar->get(UCAL_JULIAN_DAY, status);
    calendar->setTime(cw::detail::toUDate(inSameDayAs), status);
    int32_t second = calendar->get(UCAL_JULIAN_DAY, status);
    return U_SUCCESS(status) && first == second;
}

std::optional<Date> Calendar::dateByAdding(Component component, std::int64_t value, const Date& date) const {
    if (!finite(date)) return std::nullopt;
    if (component == Component::nanosecond) return date.addingTimeInterval(static_cast<double>(value) / 1e9);
    auto amount = toInt32(value);
    if (!amount) return std::nullopt;
    auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(cw::detail::toUDate(date), status);
    calendar->add(*icuField(component), *amount, status);
    UDate result = calendar->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    return cw::detail::fromUDate(result);
}

std::optional<Date> Calendar::dateFrom(const DateComponents& components) const {
    auto calendar = cw::detail::IcuAccess::makeCalendar(*this);
    calendar->clear();
    for (Component unit : {Component::era, Component::year, Component::month, Component::day, Component::hour,
                           Component::minute, Component::second}) {
        const auto& value = slot(components, unit);
        if (!value) continue;
        auto field = toInt32(*value);
        if (!field || (unit == Component::month && *field == std::numeric_limits<int32_t>::min()))
            return std::nullopt;
        if (unit == Component::month) *field -= 1;
        calendar->set(*icuField(unit), *field);
    }
    UErrorCode status = U_ZERO_ERROR;
    UDate millis = calendar->getTime(status);
    if (U_FAILURE(status)) return std::nullopt;
    Date result = cw::detail::fromUDate(millis);
    if (components.nanosecond)
        result = result.addingTimeInterval(static_cast<double>(*components.nanosecond) / 1e9);
    return result;
}
