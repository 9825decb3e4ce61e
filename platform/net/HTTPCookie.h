#pragma once

#include <optional>
#include <string>
#include <string_view>

// One cookie a reply set. It is kept for the origin that set it (scheme, host and port) and goes back
// to that origin only, never to another host or port, nor from plain http to https: the application
// talks to one server, and a cookie of that server is nobody else's business.
struct HTTPCookie {
    std::string name;
    std::string value;
    std::string scheme; // lower case: "http" or "https"
    std::string host;   // lower case, without the brackets of an IP literal
    int port = 0;
    std::string path = "/";
    // Seconds since 1970 from which the cookie is gone; none for a cookie of the session, which lives
    // in memory only, for as long as the process does.
    std::optional<double> expiresAt;
    bool secure = false;   // sent over https only (its origin is https anyway)
    bool httpOnly = false; // kept from the pages of a web view; our requests are HTTP requests alone
    double createdAt = 0;

    bool expired(double now) const { return expiresAt && *expiresAt <= now; }
};

namespace cw {

// The longest name and value of a cookie together; a longer one is refused whole.
inline constexpr std::size_t kMaxCookieBytes = 4096;

// Reads one Set-Cookie field value of a reply from `url`, at time `now` (seconds since 1970), by the
// rules browsers follow: "name=value" and then attributes, Max-Age before Expires, a Path that is no
// path replaced by the directory of the request's path, unknown attributes ignored. None when the
// field is malformed (no "=", an empty name, a name that is no token, a control character, a name and
// value over kMaxCookieBytes) or cannot be honoured for that address (Secure set over plain http, a
// Domain the host is not in, an address with no scheme or host). A Max-Age of 0 or less, or an
// Expires in the past, gives a cookie already expired: storing it removes the one it names.
std::optional<HTTPCookie> parseSetCookie(std::string_view field, std::string_view url, double now);

// A date as cookies write it ("Wed, 21 Oct 2015 07:28:00 GMT", and the older forms with dashes or
// two-digit years), read leniently by the tokens it holds, as browsers do; seconds since 1970, or
// none when it names no valid date and time (no 31 February, no year before 1601).
std::optional<double> parseCookieDate(std::string_view text);

// The origin of an address: its scheme and host in lower case, and its port (the scheme's own when
// the address names none). None without a scheme or host, or for a scheme other than http(s).
struct HTTPOrigin {
    std::string scheme;
    std::string host;
    int port = 0;
    bool operator==(const HTTPOrigin&) const = default;
};
std::optional<HTTPOrigin> httpOrigin(std::string_view url);

} // namespace cw
