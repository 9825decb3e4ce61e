#pragma once

#include "foundation/time/Date.h"
#include "foundation/time/DateFormatter.h"

#include <string>

// The one shared reader of the server's timestamps, and the short text telling how long ago a
// moment was ("Just now", "5 minutes ago", "Yesterday", ...) that feed cards and comment rows show.
class DateFormatting {
public:
    DateFormatting() = delete;

    // Reads and writes "yyyy-MM-dd'T'HH:mm:ss.SSSZ" (2019-03-04T05:06:07.890+0000) in en_US_POSIX
    // and the Gregorian calendar, so that a device set to Thai or Arabic still reads the server's
    // times; written times are in the device's time zone. Made on first use, kept for the process.
    static const DateFormatter& serverDateFormatter();

    // Elapsed time from the date to now, in bands; a future date is "Just now". Never fails.
    static std::string relativeTimeText(const Date& date);
};
