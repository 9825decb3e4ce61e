#include "foundation/time/TimeZone.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/simpletz.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <unistd.h>

struct TimeZone::Impl {
    std::unique_ptr<icu::TimeZone> zone;
};

namespace {

struct CurrentZone {
    std::mutex mutex;
    std::optional<TimeZone> override;
};

CurrentZone& currentZone() {
    static CurrentZone state;
    return state;
}

std::optional<std::string> zoneNameFromPath(std::string path) {
    static constexpr std::string_view marker = "zoneinfo/";
    if (auto at = path.rfind(marker); at != std::string::npos) path.erase(0, at + marker.size());
    // "posix/Europe/Paris" and "right/Europe/Paris" are the same zone as far as offsets go.
    for (std::string_view prefix : {"posix/", "right/"}) {
        if (path.starts_with(prefix)) path.erase(0, prefix.size());
    }
    if (TimeZone::withIdentifier(path)) return path;
    return std::nullopt;
}

TimeZone systemZone() {
    if (const char* tz = std::getenv("TZ")) {
        // An unusable TZ means UTC to the C library; keep to that.
        if (auto name = cw::detail::timeZoneIdentifierFromTZ(tz)) return *TimeZone::withIdentifier(*name);
        return TimeZone::gmt();
    }
    char link[512];
    ssize_t length = ::readlink("/etc/localtime", link, sizeof link - 1);
    if (length > 0) {
        if (auto name = zoneNameFromPath(std::string(link, static_cast<size_t>(length))))
            return *TimeZone::withIdentifier(*name);
    }
    std::ifstream file("/etc/timezone");
    std::string line;
    if (file && std::getline(file, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        if (auto zone = TimeZone::withIdentifier(line)) return *zone;
    }
    std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    if (host) {
        icu::UnicodeString id;
        host->getID(id);
        if (auto zone = TimeZone::withIdentifier(cw::detail::toUtf8(id))) return *zone;
    }
    return TimeZone::gmt();
}

const TimeZone& environmentZone() {
    static const TimeZone zone = systemZone();
    return zone;
}

} // namespace

namespace cw::detail {

std::optional<std::string> timeZoneIdentifierFromTZ(const char* tz) {
    if (!tz) return std::nullopt;
    std::string value = tz;
    if (value.starts_with(':')) value.erase(0, 1);
    if (value.empty()) return std::nullopt;
    if (value.starts_with('/')) return zoneNameFromPath(value);
    if (TimeZone::withIdentifier(value)) return value;
    return std::nullopt;
}

const icu::TimeZone& IcuAccess::zone(const TimeZone& timeZone) {
    return *timeZone.impl_->zone;
}

} // namespace cw::detail

TimeZone::TimeZone(std::string identifier, std::shared_ptr<const Impl> impl)
    : identifier_(std::move(identifier)), impl_(std::move(impl)) {}

std::optional<TimeZone> TimeZone::withIdentifier(std::string_view identifier) {
    if (identifier.empty()) return std::nullopt;
    auto id = cw::detail::toUnicode(identifier);
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    icu::UnicodeString resolved;
    if (!zone || zone->getID(resolved) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return std::nullopt;
    auto impl = std::make_shared<Impl>();
    impl->zone = std::move(zone);
    return TimeZone(std::string(identifier), std::move(impl));
}

std::optional<TimeZone> TimeZone::withSecondsFromGMT(int seconds) {
    if (seconds < -18 * 3600 || seconds > 18 * 3600) return std::nullopt;
    if (seconds == 0) return gmt();
    int magnitude = seconds < 0 ? -seconds : seconds;
    char name[32];
    std::snprintf(name, sizeof name, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
    auto zone = withIdentifier(name);
    // ICU's custom zones know only whole minutes; a second-exact offset needs a zone of its own.
    if (zone && zone->secondsFromGMT(Date::since1970(0)) == seconds) return zone;
    auto impl = std::make_shared<Impl>();
    impl->zone = std::make_unique<icu::SimpleTimeZone>(seconds * 1000, cw::detail::toUnicode(name));
    return TimeZone(name, std::move(impl));
}

TimeZone TimeZone::gmt() {
    static const TimeZone zone = *withIdentifier("GMT");
    return zone;
}

TimeZone TimeZone::current() {
    auto& state = currentZone();
    {
        std::lock_guard lock(state.mutex);
        if (state.override) return *state.override;
    }
    return environmentZone();
}

void TimeZone::setCurrentForTesting(std::optional<TimeZone> timeZone) {
    auto& state = currentZone();
    std::lock_guard lock(state.mutex);
    state.override = std::move(timeZone);
    cw::detail::deviceSettingsGeneration()++;
}

int TimeZone::secondsFromGMT(const Date& date) const {
    if (!std::isfinite(date.timeIntervalSince1970())) return impl_->zone->getRawOffset() / 1000;
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    impl_->zone->getOffset(cw::detail::toUDate(date), false, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    return (raw + dst) / 1000;
}
