#pragma once

#include <cstddef>
#include <string_view>

namespace cw {

// The number of user-perceived characters (extended grapheme clusters, by ICU's character break
// rules) of a UTF-8 text: "é" written as "e" and a combining accent is one, an emoji with a skin
// tone is one, a flag of two regional indicators is one, "\r\n" is one. A malformed byte counts as
// one character, as the replacement character it reads as would. The count of the characters
// `forEachCharacter` gives (see CaseMapping.h), without holding them. Safe from any thread.
std::size_t userPerceivedCharacterCount(std::string_view text);

} // namespace cw
