#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace cw {

// Decodes the code point that starts at byte `i` and moves `i` past it. A malformed sequence
// (a stray continuation byte, a truncated sequence, an overlong form, a surrogate or a value past
// U+10FFFF) gives none and moves `i` by one byte, so a caller can replace it and go on.
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i);

// Whether every byte of `text` belongs to a well-formed UTF-8 sequence.
bool isValidUtf8(std::string_view text);

// The number of UTF-16 code units of a UTF-8 text, the platform's measure of a text's length and of
// ranges in it. A malformed byte counts as one unit, as the replacement character it reads as would.
std::size_t utf16Length(std::string_view text);

} // namespace cw
