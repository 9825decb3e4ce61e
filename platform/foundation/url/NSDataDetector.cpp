#include "foundation/url/NSDataDetector.h"

#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

struct Position {
    char32_t c;
    std::size_t byte; // where the character starts in the UTF-8 text
    std::size_t unit; // and in UTF-16 units
};

// The characters of the text with their offsets, and one past the end.
std::vector<Position> positions(std::string_view text) {
    std::vector<Position> out;
    std::size_t unit = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const char32_t c = cw::decodeUtf8(text, i).value_or(U'\uFFFD');
        out.push_back({c, start, unit});
        unit += c >= 0x10000 ? 2 : 1;
    }
    out.push_back({0, text.size(), unit});
    return out;
}

// What a link never contains.
bool separates(char32_t c) {
    return c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"' ||
           CharacterSet::whitespacesAndNewlines().contains(c);
}

bool opensPhrase(char32_t c) {
    return c == '(' || c == '[' || c == '{' || c == '\'' || c == U'\u2018' || c == U'\u201C' ||
           c == U'\u00AB';
}

bool endsPhrase(char32_t c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'' || c == ')' ||
           c == ']' || c == '}' || c == U'\u2019' || c == U'\u201D' || c == U'\u00BB';
}

bool asciiAlnum(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A letter or digit of any script.
bool alnum(char32_t c) {
    return asciiAlnum(c) || (c >= 0x80 && u_isalnum(static_cast<UChar32>(c)));
}

std::u32string decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();)
        out += cw::decodeUtf8(s, i).value_or(U'\uFFFD');
    return out;
}

std::string lowerASCII(std::string_view s) {
    std::string out(s);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

// Generic endings a bare host name is recognised by (with "www." any ending will do).
constexpr std::array<std::string_view, 14> kCommonEndings = {
    "com", "org", "net", "edu", "gov", "mil", "int", "info", "biz", "io", "co", "app", "dev", "name"};

// A host name of two labels or more, the last made of letters only and at least two long.
bool isHostName(std::string_view host) {
    const std::u32string h = decode(host);
    if (h.empty()) return false;
    std::size_t labels = 0, start = 0;
    std::u32string label;
    for (std::size_t i = 0; i <= h.size(); ++i) {
        if (i < h.size() && h[i] != '.') continue;
        label = h.substr(start, i - start);
        if (label.empty() || label.front() == '-' || label.back() == '-') return false;
        for (char32_t c : label)
            if (!alnum(c) && c != '-') return false;
        ++labels;
        start = i + 1;
    }
    if (labels < 2 || label.size() < 2) return false;
    for (char32_t c : label)
        if (!(c < 0x80 ? ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') : u_isalpha(static_cast<UChar32>(c))))
            return false;
    return true;
}

bool isEmailAddress(std::string_view s) {
    const std::size_t at = s.find('@');
    if (at == std::string_view::npos || at == 0 || s.find('@', at + 1) != std::string_view::npos)
        return false;
    const std::u32string local = decode(s.substr(0, at));
    static constexpr std::u32string_view kSymbols = U"!#$%&'*+-/=?^_`{|}~.";
    if (local.front() == '.' || local.back() == '.') return false;
    for (std::size_t i = 0; i < local.size(); ++i) {
        const char32_t c = local[i];
        if (c == '.' && i > 0 && local[i - 1] == '.') return false;
        if (!alnum(c) && kSymbols.find(c) == std::u32string_view::npos) return false;
    }
    return isHostName(s.substr(at + 1));
}

// The host of "host[:port][/path...]", or none when the port is no number.
std::optional<std::string_view> hostOf(std::string_view s) {
    std::string_view host = s.substr(0, std::min(s.size(), s.find_first_of("/?#")));
    if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
        const std::string_view port = host.substr(colon + 1);
        if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        host = host.substr(0, colon);
    }
    return host;
}

bool hasScheme(std::string_view s) {
    const std::size_t sep = s.find("://");
    if (sep == std::string_view::npos || sep == 0 || sep + 3 >= s.size()) return false;
    if (!((s[0] | 0x20) >= 'a' && (s[0] | 0x20) <= 'z')) return false;
    for (std::size_t i = 1; i < sep; ++i) {
        const char c = s[i];
        if (!asciiAlnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

// The text as an address: what an address cannot hold as written is percent-encoded.
std::optional<URL> toURL(std::string_view text) {
    static constexpr std::string_view kKept = "-._~:/?#@!$&'()*+,;=";
    std::string out;
    bool fragment = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto b = static_cast<unsigned char>(ch);
        const bool percent = ch == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2]);
        const bool secondHash = ch == '#' && fragment;
        if (ch == '#') fragment = true;
        if (b < 0x80 && (asciiAlnum(b) || kKept.find(ch) != std::string_view::npos || percent) &&
            !secondHash) {
            out += ch;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", b);
            out += buf;
        }
    }
    return URL::fromString(out);
}

// The address of a candidate link, or none when it is no link.
std::optional<URL> linkAddress(std::string_view word) {
    if (word.empty()) return std::nullopt;
    const std::string lower = lowerASCII(word.substr(0, std::min<std::size_t>(word.size(), 16)));
    if (lower.rfind("mailto:", 0) == 0) {
        if (!isEmailAddress(word.substr(7))) return std::nullopt;
        return toURL(word);
    }
    if (hasScheme(word)) return toURL(word);
    if (word.find('@') != std::string_view::npos) {
        if (!isEmailAddress(word)) return std::nullopt;
        return toURL("mailto:" + std::string(word));
    }
    const auto host = hostOf(word);
    if (!host) return std::nullopt;
    if (!isHostName(*host)) return std::nullopt;
    const bool www = lower.rfind("www.", 0) == 0;
    const std::string ending = lowerASCII(host->substr(host->rfind('.') + 1));
    const bool common =
        std::find(kCommonEndings.begin(), kCommonEndings.end(), ending) != kCommonEndings.end();
    if (!www && !common) return std::nullopt;
    return toURL("http://" + std::string(word));
}

} // namespace

std::optional<NSDataDetector> NSDataDetector::make(NSTextCheckingTypes types) {
    if ((types & NSTextCheckingTypeLink) == 0) return std::nullopt;
    return NSDataDetector(types);
}

std::vector<NSTextCheckingResult> NSDataDetector::matches(std::string_view text) const {
    return matches(text, NSRange{0, cw::utf16Length(text)});
}

std::vector<NSTextCheckingResult> NSDataDetector::matches(std::string_view text, NSRange range) const {
    std::vector<NSTextCheckingResult> out;
    if ((types_ & NSTextCheckingTypeLink) == 0) return out;
    const std::vector<Position> pos = positions(text);
    const std::size_t total = pos.back().unit;
    if (range.location > total) return out;
    const std::size_t endUnit = range.length > total - range.location ? total : range.end();
    // The characters that lie wholly inside the range.
    std::size_t first = 0;
    while (first + 1 < pos.size() && pos[first].unit < range.location)
        ++first;
    std::size_t last = first;
    while (last + 1 < pos.size() && pos[last + 1].unit <= endUnit)
        ++last;

    auto emit = [&](std::size_t a, std::size_t b) {
        // Strip what encloses or ends a phrase; a closing bracket stays when it closes one inside.
        while (a < b && opensPhrase(pos[a].c))
            ++a;
        // Open minus closed brackets of each kind, kept as closing ones are stripped.
        static constexpr char32_t kOpen[3] = {'(', '[', '{'}, kClose[3] = {')', ']', '}'};
        long depth[3] = {0, 0, 0};
        for (std::size_t k = a; k < b; ++k)
            for (int t = 0; t < 3; ++t)
                depth[t] += pos[k].c == kOpen[t] ? 1 : pos[k].c == kClose[t] ? -1 : 0;
        while (a < b && endsPhrase(pos[b - 1].c)) {
            const char32_t c = pos[b - 1].c;
            const int t = c == ')' ? 0 : c == ']' ? 1 : c == '}' ? 2 : -1;
            if (t >= 0) {
                if (depth[t] >= 0) break;
                ++depth[t];
            }
            --b;
        }
        if (a >= b) return false;
        const std::string_view word = text.substr(pos[a].byte, pos[b].byte - pos[a].byte);
        auto url = linkAddress(word);
        if (!url) return false;
        NSTextCheckingResult r;
        r.range = NSRange{pos[a].unit, pos[b].unit - pos[a].unit};
        r.url = std::move(url);
        out.push_back(std::move(r));
        return true;
    };

    for (std::size_t i = first; i < last;) {
        if (separates(pos[i].c)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < last && !separates(pos[j].c))
            ++j;
        if (!emit(i, j)) {
            // Addresses joined by commas or semicolons ("a@x.org,b@y.org") are links one by one.
            std::size_t k = i;
            for (std::size_t m = i; m <= j; ++m) {
                if (m == j || pos[m].c == ',' || pos[m].c == ';') {
                    if (m > k && (k != i || m != j)) emit(k, m);
                    k = m + 1;
                }
            }
        }
        i = j;
    }
    return out;
}
