#pragma once

#include <optional>
#include <string>
#include <string_view>

// A locale, named by its ICU identifier ("en_US", "th_TH@calendar=buddhist", "ar_EG",
// "en_US_POSIX"). The device's locale comes from the environment and can be replaced in tests.
class Locale {
public:
    // Normalises the separators of the identifier ("en-US" and "en_US" name the same locale).
    explicit Locale(std::string_view identifier);

    const std::string& identifier() const { return identifier_; }

    // The device's locale: LC_ALL, else LC_TIME, else LANG, read once per process; the C and POSIX
    // locales, and an environment that names none, give en_US_POSIX. A test override wins.
    static Locale current();
    // Replaces the device's locale until called again with nullopt.
    static void setCurrentForTesting(std::optional<Locale> locale);

    // The fixed locale for texts exchanged with servers: ASCII digits, English names, Gregorian.
    static Locale posix() { return Locale("en_US_POSIX"); }

    friend bool operator==(const Locale&, const Locale&) = default;

private:
    std::string identifier_;
};

namespace cw::detail {
// The locale identifier that the given environment values name (each may be null or empty).
std::string localeIdentifierFromEnvironment(const char* lcAll, const char* lcTime, const char* lang);
} // namespace cw::detail
