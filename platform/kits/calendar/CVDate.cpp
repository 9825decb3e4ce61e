#include "kits/calendar/CVDate.h"

#include "foundation/time/DateFormatter.h"

CVDate::CVDate(const Date& date, const Calendar& calendar) : year_(0), month_(0), day_(0) {
    const DateComponents c =
        calendar.dateComponents({Calendar::Component::year, Calendar::Component::month, Calendar::Component::day},
                                date);
    year_ = c.year.value_or(0);
    month_ = c.month.value_or(0);
    day_ = c.day.value_or(0);
}

std::optional<Date> CVDate::convertedDate(const Calendar& calendar) const {
    // Months of 13 (Hebrew leap years, Ethiopic) exist in some systems; the round trip below is
    // what tells a real day from one that rolled over.
    if (month_ < 1 || month_ > 13 || day_ < 1 || day_ > 31) return std::nullopt;
    DateComponents c;
    c.year = year_;
    c.month = month_;
    c.day = day_;
    const auto date = calendar.dateFrom(c);
    if (!date) return std::nullopt;
    const CVDate back(*date, calendar);
    if (!(back == *this)) return std::nullopt;
    return calendar.startOfDay(*date);
}

std::string CVDate::globalDescription() const {
    const Calendar calendar = Calendar::current();
    const auto date = convertedDate(calendar);
    if (!date) return {};
    // Follows the device's locale at each use; the formatter locks itself.
    static DateFormatter formatter = [] {
        DateFormatter f;
        f.setLocalizedDateFormatFromTemplate("yMMMM");
        return f;
    }();
    return formatter.string(*date);
}
