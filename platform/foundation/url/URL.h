#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An address, read and resolved by the generic syntax of RFC 3986.
//
// A text is accepted only as the platform's strict address parser accepts it (`URL(string:)`):
// - it is not empty;
// - every character is an RFC 3986 character: letters, digits, "-._~", the delimiters ":/?#[]@" and
//   "!$&'()*+,;=", and "%" followed by two hexadecimal digits. So a space, a quote, "<>\^`{|}", a control
//   character, a stray "%" or any non-ASCII byte makes the text invalid (percent-encode such text first,
//   e.g. with `cw::percentEncodeQuery`);
// - a scheme, when there is one, starts with a letter followed by letters, digits, "+", "-" or "."; a text
//   whose first segment has a ":" that does not end a valid scheme is invalid;
// - "[" and "]" appear only around an IP-literal host, the port is digits only, and "#" appears once.
// A relative reference ("images/a.png", "?q=1", "//host/x") is a valid address with no scheme.
//
// The text is kept as given: nothing is lower-cased, decoded or normalised.
class URL {
public:
    // `URL(string:)`: the address of `text`, or none when the text is empty or invalid.
    static std::optional<URL> fromString(std::string_view text);
    // `URL(string:relativeTo:)`: `text` resolved against `base` by RFC 3986 section 5.2, dot segments
    // removed; the result holds the resolved address. `text` must be valid as above, except that the
    // empty text is allowed here and gives the base without its fragment. None also when the result
    // cannot be written as an address (only possible with a base that has no scheme).
    static std::optional<URL> fromString(std::string_view text, const URL& base);

    // The whole address as text.
    const std::string& absoluteString() const { return text_; }

    std::optional<std::string> scheme() const;
    // The host as written, without the brackets of an IP-literal; none when there is no authority.
    std::optional<std::string> host() const;
    // The port as a number; none when absent, empty or above 65535.
    std::optional<int> port() const;
    // The path, percent-decoded (the empty text when the address has none).
    std::string path() const;
    // The path as written, still percent-encoded.
    std::string percentEncodedPath() const;
    // The query and fragment as written (without "?" / "#"); none when absent.
    std::optional<std::string> query() const;
    std::optional<std::string> fragment() const;

    // A copy with `component` added to the path, percent-encoded as path text ("/" is kept, so
    // "a/b" adds two segments). A "/" is put between the path and the component unless the path already
    // ends in one; an address with an authority and an empty path gets "/" first. Query and fragment
    // are kept.
    URL appendingPathComponent(std::string_view component) const;

    // Whether both addresses are served from one origin: the same scheme and host (letter case
    // aside) and the same port, an absent port being the scheme's own (80 for http, 443 for https).
    // An address without a scheme or host has no origin and shares none.
    bool isSameOrigin(const URL& other) const;

    friend bool operator==(const URL& a, const URL& b) { return a.text_ == b.text_; }

private:
    struct Range {
        std::size_t begin = 0;
        std::size_t size = 0;
        bool present = false;
    };

    URL() = default;
    static std::optional<URL> parse(std::string text);
    std::string part(const Range& range) const { return text_.substr(range.begin, range.size); }
    std::optional<std::string> optionalPart(const Range& range) const {
        if (!range.present) return std::nullopt;
        return part(range);
    }

    std::string text_;
    Range scheme_, authority_, host_, port_, path_, query_, fragment_;
};

namespace cw {

// `addingPercentEncoding(withAllowedCharacters: .urlQueryAllowed)`: every byte that is not a letter, a
// digit or one of "-._~!$&'()*+,;=:@/?" becomes "%XX" (upper-case hexadecimal); "%" itself is encoded,
// so encoded text is encoded again. None when the text is not valid UTF-8.
std::optional<std::string> percentEncodeQuery(std::string_view text);

// The same with the set allowed in a path (the query set less "?").
std::optional<std::string> percentEncodePath(std::string_view text);

// Decodes "%XX" sequences; none when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace cw
