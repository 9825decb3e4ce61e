#include "foundation/time/Date.h"

#include "foundation/time/Clock.h"

Date::Date() : seconds_(Clock::now()) {}

Date Date::sinceNow(double seconds) {
    return Date(Clock::now() + seconds, Tag{});
}

double Date::timeIntervalSinceNow() const {
    return seconds_ - Clock::now();
}
