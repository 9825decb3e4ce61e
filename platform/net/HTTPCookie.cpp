#include "net/HTTPCookie.h"

#include "net/detail/HeaderText.h"

#include "foundation/url/URL.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace cw {

namespace {

using detail::equalsIgnoringCase;
using detail::lowercased;

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

// A token of RFC 7230: visible ASCII but for the separators.
bool isTokenCharacter(unsigned char c) {
    static constexpr std::string_view separators = "()<>@,;:\\\"/[]?={} \t";
    return c > 0x20 && c < 0x7F && separators.find(static_cast<char>(c)) == std::string_view::npos;
}

std::string_view trimmedView(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The directory of the request's path, a cookie's path when it names none.
std::string defaultPath(std::string_view requestPath) {
    if (requestPath.empty() || requestPath.front() != '/') return "/";
    const auto last = requestPath.rfind('/');
    if (last == 0) return "/";
    return std::string(requestPath.substr(0, last));
}

// The host lies in the domain: the same name, or a name ending in "." and the domain (not for an IP
// address, which has no parent domain).
bool inDomain(const std::string& host, const std::string& domain) {
    if (host == domain) return true;
    const bool address =
        host.find(':') != std::string::npos || host.find_first_not_of("0123456789.") == std::string::npos;
    return !address && host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(std::int64_t year, unsigned month) {
    static constexpr std::array<unsigned, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// 1 to `most` digits at the start of `token`, followed by anything but a digit; -1 otherwise.
int leadingNumber(std::string_view token, std::size_t least, std::size_t most, std::size_t* used = nullptr) {
    std::size_t n = 0;
    while (n < token.size() && token[n] >= '0' && token[n] <= '9')
        ++n;
    if (n < least || n > most) return -1;
    int value = 0;
    for (std::size_t i = 0; i < n; ++i)
        value = value * 10 + (token[i] - '0');
    if (used) *used = n;
    return value;
}

} // namespace

std::optional<double> parseCookieDate(std::string_view text) {
    // The delimiters of the cookie date grammar: everything but digits, letters and ":".
    auto delimiter = [](unsigned char c) {
        return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
               (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
    };
    static constexpr std::array<std::string_view, 12> months = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                "jul", "aug", "sep", "oct", "nov", "dec"};
    int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && delimiter(static_cast<unsigned char>(text[at])))
            ++at;
        std::size_t end = at;
        while (end < text.size() && !delimiter(static_cast<unsigned char>(text[end])))
            ++end;
        const std::string_view token = text.substr(at, end - at);
        at = end;
        if (token.empty()) continue;
        if (hour < 0) {
            // hh:mm:ss, one or two digits each.
            std::size_t a = 0, b = 0, c = 0;
            const int h = leadingNumber(token, 1, 2, &a);
            if (h >= 0 && a < token.size() && token[a] == ':') {
                const int m = leadingNumber(token.substr(a + 1), 1, 2, &b);
                if (m >= 0 && a + 1 + b < token.size() && token[a + 1 + b] == ':') {
                    const int s = leadingNumber(token.substr(a + b + 2), 1, 2, &c);
                    if (s >= 0) {
                        hour = h;
                        minute = m;
                        second = s;
                        continue;
                    }
                }
            }
        }
        if (day < 0) {
            if (const int d = leadingNumber(token, 1, 2); d >= 0) {
                day = d;
                continue;
            }
        }
        if (month < 0 && token.size() >= 3) {
            const std::string start = lowercased(token.substr(0, 3));
            const auto found = std::find(months.begin(), months.end(), start);
            if (found != months.end()) {
                month = static_cast<int>(found - months.begin()) + 1;
                continue;
            }
        }
        if (year < 0) {
            if (const int y = leadingNumber(token, 2, 4); y >= 0) {
                year = y;
                continue;
            }
        }
    }
    if (year >= 70 && year <= 99) year += 1900;
    if (year >= 0 && year <= 69) year += 2000;
    if (hour < 0 || day < 1 || month < 1 || year < 1601 || hour > 23 || minute > 59 || second > 59 ||
        static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month)))
        return std::nullopt;
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second);
}

std::optional<HTTPOrigin> httpOrigin(std::string_view url) {
    const auto parsed = URL::fromString(url);
    if (!parsed || !parsed->scheme() || !parsed->host() || parsed->host()->empty()) return std::nullopt;
    HTTPOrigin origin{lowercased(*parsed->scheme()), lowercased(*parsed->host()), 0};
    if (origin.scheme != "http" && origin.scheme != "https") return std::nullopt;
    origin.port = parsed->port().value_or(origin.scheme == "https" ? 443 : 80);
    return origin;
}

std::optional<HTTPCookie> parseSetCookie(std::string_view field, std::string_view url, double now) {
    const auto parsed = URL::fromString(url);
    const auto origin = httpOrigin(url);
    if (!parsed || !origin) return std::nullopt;
    if (std::any_of(field.begin(), field.end(),
                    [](char c) { return isControl(static_cast<unsigned char>(c)); }))
        return std::nullopt;

    const auto semicolon = field.find(';');
    const std::string_view pair = field.substr(0, semicolon);
    const auto equals = pair.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    HTTPCookie cookie;
    cookie.name = std::string(trimmedView(pair.substr(0, equals)));
    cookie.value = std::string(trimmedView(pair.substr(equals + 1)));
    if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kMaxCookieBytes ||
        !std::all_of(cookie.name.begin(), cookie.name.end(),
                     [](char c) { return isTokenCharacter(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    cookie.scheme = origin->scheme;
    cookie.host = origin->host;
    cookie.port = origin->port;
    cookie.path = defaultPath(parsed->percentEncodedPath());
    cookie.createdAt = now;

    std::optional<double> maxAge, expires;
    std::string_view rest =
        semicolon == std::string_view::npos ? std::string_view() : field.substr(semicolon + 1);
    while (!rest.empty()) {
        const auto next = rest.find(';');
        const std::string_view attribute = rest.substr(0, next);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
        const auto split = attribute.find('=');
        const std::string_view name = trimmedView(attribute.substr(0, split));
        const std::string_view value =
            split == std::string_view::npos ? std::string_view() : trimmedView(attribute.substr(split + 1));
        if (equalsIgnoringCase(name, "Max-Age")) {
            // Digits, perhaps after a minus; anything else leaves the attribute unread.
            const bool negative = value.starts_with('-');
            const std::string_view digits = negative ? value.substr(1) : value;
            if (!allDigits(digits)) continue;
            double seconds = 0;
            for (char c : digits)
                seconds = std::min(seconds * 10 + (c - '0'), 1e12);
            maxAge = negative || seconds <= 0 ? -std::numeric_limits<double>::infinity() : seconds;
        } else if (equalsIgnoringCase(name, "Expires")) {
            if (auto date = parseCookieDate(value)) expires = date;
        } else if (equalsIgnoringCase(name, "Path")) {
            cookie.path =
                value.starts_with('/') ? std::string(value) : defaultPath(parsed->percentEncodedPath());
        } else if (equalsIgnoringCase(name, "Domain")) {
            // Kept for this origin alone, whatever domain it names: but a domain the host is not in
            // means the cookie is not this server's to set.
            std::string domain = lowercased(value);
            while (domain.starts_with('.'))
                domain.erase(0, 1);
            if (!domain.empty() && !inDomain(cookie.host, domain)) return std::nullopt;
        } else if (equalsIgnoringCase(name, "Secure")) {
            cookie.secure = true;
        } else if (equalsIgnoringCase(name, "HttpOnly")) {
            cookie.httpOnly = true;
        }
    }
    // A cookie that asks for a secure channel cannot be kept from one that is not.
    if (cookie.secure && cookie.scheme != "https") return std::nullopt;
    if (maxAge)
        cookie.expiresAt = std::isinf(*maxAge) ? now - 1 : now + *maxAge;
    else if (expires)
        cookie.expiresAt = *expires;
    return cookie;
}

} // namespace cw
