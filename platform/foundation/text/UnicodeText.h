#pragma once

// What the platform's String does with Unicode beyond code points, on ICU: comparing texts as
// readers see them (canonical equivalence), counting the characters a reader sees (grapheme
// clusters), and upper-casing.
//
// A text that is not well-formed UTF-8 never comes from the platform's own strings. Here it is
// compared byte for byte, and each malformed byte counts (and upper-cases) as the replacement
// character it reads as.

#include <cstddef>
#include <string>
#include <string_view>

namespace cw {

// `==` of two Strings: true when both texts are the same sequence of characters once decomposed
// canonically (NFD), so "é" written as one code point equals "e" followed by the combining acute
// accent. Letter case, compatibility forms ("ﬁ" and "fi") and white space all count.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

// `count` of a String: the number of user-perceived characters (extended grapheme clusters), so
// "e" with a combining accent, a flag and a family emoji joined by zero-width joiners are one each.
std::size_t characterCount(std::string_view text);

// `uppercased()`: Unicode's full upper-case mapping, the same on every device whatever its locale
// ("ß" becomes "SS", "pm" becomes "PM").
std::string uppercased(std::string_view text);

} // namespace cw
