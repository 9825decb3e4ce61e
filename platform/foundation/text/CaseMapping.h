#pragma once

// Changing the case of a text the way a locale does it, with full Unicode case mapping ("ß"
// upper-cases to "SS", a Turkish "i" to "İ"), and the user-perceived characters of a text.
// Malformed UTF-8 reads as U+FFFD. Safe from any thread.

#include "foundation/time/Locale.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

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

// Calls `visit` with each user-perceived character (extended grapheme cluster) of `text` in order,
// until it returns false: "e" with a combining accent is one character, as is a flag or a family
// emoji. Each is a view of its own bytes in `text` (a malformed byte stays as it came), so that a
// text of megabytes is walked without holding anything per character.
void forEachCharacter(std::string_view text, const std::function<bool(std::string_view character)>& visit);

// The last user-perceived character of `text`, as `forEachCharacter` would give it last (empty for
// ""). Found from the end, as a delete key needs it: what it costs is bounded by the characters at
// the end, not by the length of the text.
std::string_view lastCharacter(std::string_view text);

} // namespace cw
