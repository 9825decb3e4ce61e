#pragma once

#include "foundation/time/Date.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace cw::detail {
struct IcuAccess;
}

// A geopolitical time zone ("Europe/Paris", "America/New_York", "GMT") with its history of
// offsets and daylight-saving changes. The device's time zone can be replaced in tests.
class TimeZone {
public:
    // None when the identifier names no zone that the time zone database knows.
    static std::optional<TimeZone> withIdentifier(std::string_view identifier);
    // A zone with a fixed offset; none beyond 18 hours either way.
    static std::optional<TimeZone> withSecondsFromGMT(int seconds);
    static TimeZone gmt();

    // The device's time zone: TZ when set (a zone name, optionally after ":" or under a zoneinfo
    // path), else the system's (/etc/localtime, /etc/timezone), else GMT. Read once per process;
    // a test override wins.
    static TimeZone current();
    // Replaces the device's time zone until called again with nullopt.
    static void setCurrentForTesting(std::optional<TimeZone> timeZone);

    const std::string& identifier() const { return identifier_; }
    // Offset from GMT in effect at the given moment, daylight saving included.
    int secondsFromGMT(const Date& date = Date()) const;

    friend bool operator==(const TimeZone& a, const TimeZone& b) { return a.identifier_ == b.identifier_; }

private:
    friend struct cw::detail::IcuAccess;
    struct Impl;
    TimeZone(std::string identifier, std::shared_ptr<const Impl> impl);

    std::string identifier_;
    std::shared_ptr<const Impl> impl_;
};

namespace cw::detail {
// The zone identifier that a TZ value names: ":Europe/Paris" and "/usr/share/zoneinfo/Europe/Paris"
// give "Europe/Paris"; none when it names no known zone.
std::optional<std::string> timeZoneIdentifierFromTZ(const char* tz);
} // namespace cw::detail
