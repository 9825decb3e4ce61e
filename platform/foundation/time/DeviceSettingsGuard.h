#pragma once

#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"

#include <stdexcept>
#include <string>

// For tests: sets the device's locale and time zone for its lifetime, then restores the
// environment's. Throws on an unknown zone name so that a typo fails the test loudly.
class DeviceSettingsGuard {
public:
    DeviceSettingsGuard(const std::string& locale, const std::string& zone) {
        auto timeZone = TimeZone::withIdentifier(zone);
        if (!timeZone) throw std::invalid_argument("unknown time zone " + zone);
        Locale::setCurrentForTesting(Locale(locale));
        TimeZone::setCurrentForTesting(*timeZone);
    }
    ~DeviceSettingsGuard() {
        Locale::setCurrentForTesting(std::nullopt);
        TimeZone::setCurrentForTesting(std::nullopt);
    }
    DeviceSettingsGuard(const DeviceSettingsGuard&) = delete;
    DeviceSettingsGuard& operator=(const DeviceSettingsGuard&) = delete;
};
