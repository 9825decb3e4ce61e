#pragma once

#include <any>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The platform's error domain for data that cannot be read (JSON decoding among others).
inline constexpr std::string_view NSCocoaErrorDomain = "NSCocoaErrorDomain";
// The code the platform's JSON reader gives to every decoding failure.
inline constexpr std::int64_t NSPropertyListReadCorruptError = 3840;

// User-info keys the platform uses for texts of an error.
inline constexpr std::string_view NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr std::string_view NSDebugDescriptionErrorKey = "NSDebugDescription";

// A platform error object: a domain, a code and a user-info dictionary of arbitrary values.
// A default-constructed error is the "empty" error object: no domain, code 0, no user info.
struct NSError {
    std::string domain;
    std::int64_t code = 0;
    std::map<std::string, std::any> userInfo;

    NSError() = default;
    NSError(std::string domain, std::int64_t code, std::map<std::string, std::any> userInfo = {})
        : domain(std::move(domain)), code(code), userInfo(std::move(userInfo)) {}

    // The user-info value under `key` when it is a text (std::string or const char*), else none.
    std::optional<std::string> userInfoString(std::string_view key) const;

    // The text shown to a person: the user info's NSLocalizedDescription when it is a text; the platform's
    // sentence for a corrupt-data error of the Cocoa domain; otherwise
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;

    // Same domain and code (user info is not compared: its values are opaque).
    friend bool operator==(const NSError& a, const NSError& b) {
        return a.domain == b.domain && a.code == b.code;
    }
};
