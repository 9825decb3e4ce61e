#pragma once

// Changing the case of a text the way a locale does it, with full Unicode case mapping ("ß"
// upper-cases to "SS", a Turkish "i" to "İ"), and the user-perceived characters of a text.
// Malformed UTF-8 reads as U+FFFD. Safe from any thread.

#include "foundation/time/Locale.h"

#include <string>
#include <string_view>
#include <vector>

namespace cw {

// `lowercased()` / `uppercased()`: the same in every locale (no Turkish or Lithuanian rules).
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);
// `lowercased(with:)` / `uppercased(with:)`: by the rules of `locale`.
std::string lowercased(std::string_view text, const Locale& locale);
std::string uppercased(std::string_view text, const Locale& locale);

// `capitalized(with:)`: the first character of each word in title case, every other character in
// lower case, by the rules of `locale`. A word is a run of characters between white space and line
// ends (CharacterSet::whitespacesAndNewlines), so "android-tablet" stays one word, and a word that
// starts with a character without case ("1st", "(day") keeps it and lowers the rest.
std::string capitalized(std::string_view text, const Locale& locale);

// The text cut into its user-perceived characters (extended grapheme clusters), in order: "e" with a
// combining accent is one character, as is a flag or a family emoji.
std::vector<std::string> characters(std::string_view text);

} // namespace cw
