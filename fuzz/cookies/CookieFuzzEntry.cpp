// Fuzz entry for the Set-Cookie fields a server's replies carry: reading one, and the cookie store
// that takes it and writes the Cookie header of the next request.
#include "net/HTTPCookieStorage.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string field(reinterpret_cast<const char*>(data), size);
    const std::string url = "http://127.0.0.1:8080/m/api/baby/verify_mrn";
    constexpr double now = 1'800'000'000;
    if (auto cookie = cw::parseSetCookie(field, url, now)) {
        // What is kept is a cookie this origin may have, that a header line can carry.
        if (cookie->name.empty() || cookie->name.size() + cookie->value.size() > cw::kMaxCookieBytes)
            std::abort();
        if (cookie->host != "127.0.0.1" || cookie->port != 8080 || cookie->scheme != "http" || cookie->secure)
            std::abort();
        if (!cookie->path.starts_with('/')) std::abort();
        for (char c : cookie->name + cookie->value + cookie->path)
            if (c == '\r' || c == '\n' || c == '\0') std::abort();
        if (cookie->expiresAt && !std::isfinite(*cookie->expiresAt)) std::abort();
    }
    if (auto date = cw::parseCookieDate(field); date && !std::isfinite(*date)) std::abort();

    HTTPCookieStorage store;
    store.setCookiesFromResponse({field, field + "; Path=/", "x=1; " + field}, url);
    if (auto header = store.cookieHeaderForURL(url))
        if (header->find_first_of("\r\n") != std::string::npos) std::abort();
    return 0;
}
