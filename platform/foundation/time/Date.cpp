#include "foundation/time/Date.h"

#include "foundation/time/Clock.h"

#include <cmath>
#include <ctime>
#include <iomanip>
#include <ostream>

Date::Date() : seconds_(Clock::now()) {}

Date Date::sinceNow(double seconds) {
    return Date(Clock::now() + seconds, Tag{});
}

double Date::timeIntervalSinceNow() const {
    return seconds_ - Clock::now();
}

std::ostream& operator<<(std::ostream& out, const Date& date) {
    const double seconds = date.timeIntervalSince1970();
    out << "Date(" << std::setprecision(15) << seconds;
    if (std::isfinite(seconds) && std::fabs(seconds) < 1e15) {
        std::time_t whole = static_cast<std::time_t>(std::floor(seconds));
        std::tm utc{};
        if (gmtime_r(&whole, &utc)) out << ", " << std::put_time(&utc, "%Y-%m-%dT%H:%M:%SZ");
    }
    return out << ")";
}
