#pragma once

// Our UTF-8 text as ICU's UTF-16 strings and back, for the text work ICU does for us (case mapping,
// normalisation, searching, regular expressions).

#include <unicode/unistr.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cw::icutext {

inline icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

inline std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace cw::icutext
