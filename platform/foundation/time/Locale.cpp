#include "foundation/time/Locale.h"

#include "foundation/time/IcuSupport.h"

#include <cstdlib>
#include <mutex>

namespace {

struct CurrentLocale {
    std::mutex mutex;
    std::optional<Locale> override;
};

CurrentLocale& currentState() {
    static CurrentLocale state;
    return state;
}

const Locale& environmentLocale() {
    static const Locale locale(cw::detail::localeIdentifierFromEnvironment(
        std::getenv("LC_ALL"), std::getenv("LC_TIME"), std::getenv("LANG")));
    return locale;
}

} // namespace

namespace cw::detail {

std::atomic<unsigned>& deviceSettingsGeneration() {
    static std::atomic<unsigned> generation{0};
    return generation;
}

std::string localeIdentifierFromEnvironment(const char* lcAll, const char* lcTime, const char* lang) {
    std::string value;
    for (const char* candidate : {lcAll, lcTime, lang}) {
        if (candidate && *candidate) {
            value = candidate;
            break;
        }
    }
    // POSIX names look like language_TERRITORY.codeset@modifier. The code set says nothing about
    // dates; a modifier is kept only when it is an ICU keyword list ("@calendar=buddhist").
    std::string modifier;
    if (auto at = value.find('@'); at != std::string::npos) {
        modifier = value.substr(at);
        value.erase(at);
        if (modifier.find('=') == std::string::npos) modifier.clear();
    }
    if (auto dot = value.find('.'); dot != std::string::npos) value.erase(dot);
    if (value.empty() || value == "C" || value == "POSIX") value = "en_US_POSIX";
    return value + modifier;
}

} // namespace cw::detail

Locale::Locale(std::string_view identifier) {
    icu::Locale parsed(std::string(identifier).c_str());
    identifier_ = parsed.isBogus() ? std::string(identifier) : std::string(parsed.getName());
}

Locale Locale::current() {
    auto& state = currentState();
    {
        std::lock_guard lock(state.mutex);
        if (state.override) return *state.override;
    }
    return environmentLocale();
}

void Locale::setCurrentForTesting(std::optional<Locale> locale) {
    auto& state = currentState();
    std::lock_guard lock(state.mutex);
    state.override = std::move(locale);
    cw::detail::deviceSettingsGeneration()++;
}
