#pragma once

// Finding links in free text (`NSDataDetector` with the link type). A link is
//   - an address with a scheme and "//" ("https://example.com/a?b"), taken as written;
//   - "mailto:" followed by an e-mail address, or an e-mail address alone, which gives the address
//     "mailto:" + the address;
//   - a host name beginning with "www.", or a host name whose last label is a common generic one
//     (com, org, net, edu, gov, info, io ...), with an optional port and path: "http://" is put in
//     front.
// Links are separated by white space and by <, > and "; punctuation that usually ends a sentence or
// encloses a phrase is not part of a link ("(see www.example.org/x)." finds www.example.org/x), and
// a run of e-mail addresses joined by commas or semicolons gives one link each. Characters that an
// address cannot hold as written (letters outside ASCII, say) are percent-encoded in its URL.
//
// Ranges count UTF-16 code units, as the platform's do.

#include "foundation/text/NSRange.h"
#include "foundation/url/URL.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

using NSTextCheckingTypes = std::uint64_t;
inline constexpr NSTextCheckingTypes NSTextCheckingTypeLink = 1u << 5;

// One thing found: where it stands in the text, and for a link its address.
struct NSTextCheckingResult {
    NSTextCheckingTypes resultType = NSTextCheckingTypeLink;
    NSRange range;
    std::optional<URL> url;
};

class NSDataDetector {
public:
    // A detector for the given types; none when they ask for nothing it can find (only links are
    // known), as the platform's initializer fails.
    static std::optional<NSDataDetector> make(NSTextCheckingTypes types);

    // The matches inside `range` of `text` (UTF-8), in the order they stand. Only what lies wholly
    // inside the range is found; a range reaching past the end is cut at the end.
    std::vector<NSTextCheckingResult> matches(std::string_view text, NSRange range) const;
    // Over the whole text.
    std::vector<NSTextCheckingResult> matches(std::string_view text) const;

private:
    explicit NSDataDetector(NSTextCheckingTypes types) : types_(types) {}
    NSTextCheckingTypes types_;
};
