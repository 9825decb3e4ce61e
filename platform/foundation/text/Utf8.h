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

} // namespace cw
