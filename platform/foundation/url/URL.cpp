#include "foundation/url/URL.h"

#include "foundation/text/Utf8.h"

// libcurl's URL API was not used here: it needs a scheme, cannot hold a relative reference on its own and
// normalises what it parses (adds a "/" path, lower-cases), while the platform keeps the text as written.

namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isUnreserved(char c) {
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}
bool isGenDelim(char c) {
    return std::string_view(":/?#[]@").find(c) != std::string_view::npos;
}
bool isPchar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@';
}
bool isQueryAllowed(char c) {
    return isPchar(c) || c == '/' || c == '?';
}
bool isPathAllowed(char c) {
    return isPchar(c) || c == '/';
}

// Every character is a pchar, "%" + two hex digits, or one of `extra`.
bool allMatch(std::string_view text, bool (*allowed)(char), std::string_view extra = {}) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            if (!isHex(text[i + 1]) || !isHex(text[i + 2])) return false;
            i += 2;
        } else if (!allowed(c) && extra.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool validScheme(std::string_view scheme) {
    if (scheme.empty() || !isAlpha(scheme.front())) return false;
    for (char c : scheme)
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    return true;
}

bool isUserinfoChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':';
}
bool isRegNameChar(char c) {
    return isUnreserved(c) || isSubDelim(c);
}
bool isIpLiteralChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':';
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            if (input == "/..")
                input = "/";
            else
                input.remove_prefix(3);
            const auto slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const std::size_t next = input.find('/', input.front() == '/' ? 1 : 0);
            const std::size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}


std::string escapeBytes(std::string_view text, bool (*allowed)(char)) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (allowed(c)) {
            result += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            result += '%';
            result += hex[byte >> 4];
            result += hex[byte & 0x0F];
        }
    }
    return result;
}

std::optional<std::string> percentEncode(std::string_view text, bool (*allowed)(char)) {
    if (!cw::isValidUtf8(text)) return std::nullopt;
    return escapeBytes(text, allowed);
}

} // namespace

std::optional<URL> URL::fromString(std::string_view text) {
    if (text.empty()) return std::nullopt;
    return parse(std::string(text));
}

std::optional<URL> URL::parse(std::string text) {
    // Only RFC 3986 characters, "%" always starting an escape.
    if (!allMatch(text, [](char c) { return isUnreserved(c) || isSubDelim(c) || isGenDelim(c); }))
        return std::nullopt;

    URL url;
    url.text_ = std::move(text);
    const std::string_view s = url.text_;
    std::size_t pos = 0;

    // scheme ":" (a ":" before any "/", "?" or "#")
    const std::size_t firstDelim = s.find_first_of(":/?#");
    if (firstDelim != std::string_view::npos && s[firstDelim] == ':') {
        if (!validScheme(s.substr(0, firstDelim))) return std::nullopt;
        url.scheme_ = {0, firstDelim, true};
        pos = firstDelim + 1;
    }

    // "//" authority
    if (s.substr(pos).starts_with("//")) {
        const std::size_t begin = pos + 2;
        std::size_t end = s.find_first_of("/?#", begin);
        if (end == std::string_view::npos) end = s.size();
        url.authority_ = {begin, end - begin, true};
        std::string_view authority = s.substr(begin, end - begin);
        std::size_t hostBegin = begin;
        if (const auto at = authority.find('@'); at != std::string_view::npos) {
            if (!allMatch(authority.substr(0, at), isUserinfoChar)) return std::nullopt;
            hostBegin = begin + at + 1;
        }
        std::string_view hostPort = s.substr(hostBegin, end - hostBegin);
        std::size_t portSeparator;
        if (hostPort.starts_with("[")) {
            const auto close = hostPort.find(']');
            if (close == std::string_view::npos || close == 1) return std::nullopt;
            if (!allMatch(hostPort.substr(1, close - 1), isIpLiteralChar)) return std::nullopt;
            url.host_ = {hostBegin + 1, close - 1, true};
            portSeparator = close + 1;
            if (portSeparator < hostPort.size() && hostPort[portSeparator] != ':') return std::nullopt;
        } else {
            portSeparator = std::min(hostPort.find(':'), hostPort.size());
            if (!allMatch(hostPort.substr(0, portSeparator), isRegNameChar)) return std::nullopt;
            url.host_ = {hostBegin, portSeparator, true};
        }
        if (portSeparator < hostPort.size()) {
            std::string_view port = hostPort.substr(portSeparator + 1);
            for (char c : port)
                if (!isDigit(c)) return std::nullopt;
            url.port_ = {hostBegin + portSeparator + 1, port.size(), true};
        }
        pos = end;
    }

    // path, "?" query, "#" fragment
    std::size_t pathEnd = s.find_first_of("?#", pos);
    if (pathEnd == std::string_view::npos) pathEnd = s.size();
    if (!allMatch(s.substr(pos, pathEnd - pos), isPathAllowed)) return std::nullopt;
    url.path_ = {pos, pathEnd - pos, true};
    pos = pathEnd;
    if (pos < s.size() && s[pos] == '?') {
        std::size_t end = s.find('#', pos);
        if (end == std::string_view::npos) end = s.size();
        if (!allMatch(s.substr(pos + 1, end - pos - 1), isQueryAllowed)) return std::nullopt;
        url.query_ = {pos + 1, end - pos - 1, true};
        pos = end;
    }
    if (pos < s.size()) { // s[pos] == '#'
        if (!allMatch(s.substr(pos + 1), isQueryAllowed)) return std::nullopt;
        url.fragment_ = {pos + 1, s.size() - pos - 1, true};
    }
    return url;
}

std::optional<URL> URL::fromString(std::string_view text, const URL& base) {
    std::optional<URL> reference = text.empty() ? std::optional<URL>(URL()) : fromString(text);
    if (!reference) return std::nullopt;
    const URL& r = *reference;

    auto opt = [](const URL& u, const Range& range) { return u.optionalPart(range); };
    const std::string rPath = r.path_.present ? r.part(r.path_) : std::string();
    const std::string basePath = base.path_.present ? base.part(base.path_) : std::string();

    std::optional<std::string> scheme, authority, query;
    std::string path;
    if (r.scheme_.present) {
        scheme = r.part(r.scheme_);
        authority = opt(r, r.authority_);
        path = removeDotSegments(rPath);
        query = opt(r, r.query_);
    } else {
        if (r.authority_.present) {
            authority = r.part(r.authority_);
            path = removeDotSegments(rPath);
            query = opt(r, r.query_);
        } else {
            if (rPath.empty()) {
                path = basePath;
                query = r.query_.present ? opt(r, r.query_) : opt(base, base.query_);
            } else {
                if (rPath.front() == '/') {
                    path = removeDotSegments(rPath);
                } else if (base.authority_.present && basePath.empty()) {
                    path = removeDotSegments("/" + rPath);
                } else {
                    const auto slash = basePath.rfind('/');
                    const std::string merged =
                        (slash == std::string::npos ? std::string() : basePath.substr(0, slash + 1)) + rPath;
                    path = removeDotSegments(merged);
                }
                query = opt(r, r.query_);
            }
            authority = opt(base, base.authority_);
        }
        scheme = opt(base, base.scheme_);
    }

    std::string result;
    if (scheme) result += *scheme + ":";
    if (authority) result += "//" + *authority;
    result += path;
    if (query) result += "?" + *query;
    if (r.fragment_.present) result += "#" + r.part(r.fragment_);
    if (result.empty()) return std::nullopt;
    auto resolved = parse(std::move(result));
    // A path that would read as an authority or a scheme cannot be written back faithfully.
    if (!resolved || resolved->authority_.present != authority.has_value() ||
        resolved->scheme_.present != scheme.has_value())
        return std::nullopt;
    return resolved;
}

std::optional<std::string> URL::scheme() const {
    return optionalPart(scheme_);
}

std::optional<std::string> URL::host() const {
    return optionalPart(host_);
}

std::optional<int> URL::port() const {
    if (!port_.present || port_.size == 0) return std::nullopt;
    int value = 0;
    for (char c : part(port_)) {
        value = value * 10 + (c - '0');
        if (value > 65535) return std::nullopt;
    }
    return value;
}

std::string URL::percentEncodedPath() const {
    return path_.present ? part(path_) : std::string();
}

std::string URL::path() const {
    // The path was checked at parse time, so decoding cannot fail.
    return cw::percentDecode(percentEncodedPath()).value_or(std::string());
}

std::optional<std::string> URL::query() const {
    return optionalPart(query_);
}

std::optional<std::string> URL::fragment() const {
    return optionalPart(fragment_);
}

bool URL::isSameOrigin(const URL& other) const {
    const auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    // Scheme, host and port as one text; none without a scheme or host.
    const auto origin = [&](const URL& url) -> std::optional<std::string> {
        auto scheme = url.scheme();
        auto host = url.host();
        if (!scheme || !host || host->empty()) return std::nullopt;
        const std::string name = lower(*scheme);
        int port = url.port().value_or(name == "http" ? 80 : name == "https" ? 443 : -1);
        return name + "://" + lower(*host) + ":" + std::to_string(port);
    };
    const auto mine = origin(*this);
    return mine && mine == origin(other);
}

URL URL::appendingPathComponent(std::string_view component) const {
    std::string path = percentEncodedPath();
    // Bytes that are not valid UTF-8 are escaped one by one like any other.
    std::string encoded = escapeBytes(component, isPathAllowed);
    if (path.empty() ? authority_.present : path.back() != '/') path += '/';
    // A component given with a leading "/" does not double the separator.
    if (!path.empty() && path.back() == '/' && !encoded.empty() && encoded.front() == '/')
        encoded.erase(0, 1);
    path += encoded;

    std::string result = text_.substr(0, path_.begin) + path;
    if (query_.present) result += "?" + part(query_);
    if (fragment_.present) result += "#" + part(fragment_);
    // A relative address whose first segment gains a ":" can no longer be written as is; keep it
    // unambiguous with "./".
    if (!scheme_.present && !authority_.present) {
        const auto firstDelim = result.find_first_of(":/?#");
        if (firstDelim != std::string::npos && result[firstDelim] == ':') result = "./" + result;
    }
    if (auto url = parse(result)) return *url;
    return *this;
}

namespace cw {

std::optional<std::string> percentEncodeQuery(std::string_view text) {
    return percentEncode(text, isQueryAllowed);
}

std::optional<std::string> percentEncodePath(std::string_view text) {
    return percentEncode(text, isPathAllowed);
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    auto value = [](char c) { return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) return std::nullopt;
        result += static_cast<char>(value(text[i + 1]) * 16 + value(text[i + 2]));
        i += 2;
    }
    return result;
}

} // namespace cw
