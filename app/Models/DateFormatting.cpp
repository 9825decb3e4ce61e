#include "Models/DateFormatting.h"

#include "foundation/time/Calendar.h"

#include <cmath>
#include <cstdint>

const DateFormatter& DateFormatting::serverDateFormatter() {
    // Deliberately never destroyed: feed parsing on a background queue may still use it at exit.
    static const DateFormatter* formatter =
        new DateFormatter(DateFormatter::serverFormatter("yyyy-MM-dd'T'HH:mm:ss.SSSZ"));
    return *formatter;
}

std::string DateFormatting::relativeTimeText(const Date& date) {
    const std::int64_t s =
        Calendar::current().dateComponents({Calendar::Component::second}, date, Date()).second.value_or(0);
    const std::int64_t m = s / 60;
    // Hours, days, weeks, months of 30 days and years of 365 days, counted in whole minutes.
    auto count = [m](double minutesPerUnit) {
        return std::to_string(static_cast<std::int64_t>(std::floor(static_cast<double>(m) / minutesPerUnit)));
    };

    if (s < 5) return "Just now";
    if (s < 60) return std::to_string(s) + " seconds ago";
    if (s < 120) return "A minute ago";
    if (s < 3600) return std::to_string(m) + " minutes ago";
    if (s < 7200) return "An hour ago";
    if (s < 86400) return count(60) + " hours ago";
    if (s < 172800) return "Yesterday";
    if (s < 604800) return count(1440) + " days ago";
    if (s < 1209600) return "Last week";
    if (s < 2678400) return count(10080) + " weeks ago";
    if (s < 5270400) return "Last month";
    if (s < 31557600) return count(43200) + " months ago";
    if (s < 63158400) return "Last year";
    return count(525600) + " years ago";
}
