#pragma once

// Finding one text inside another the way a reader of a locale expects: letter case ignored, accents
// and other marks not (`localizedCaseInsensitiveContains`), on ICU. Both texts are compared in their
// canonical form, so "é" written as one code point and as "e" with a combining accent are the same,
// and with the full Unicode case folding of the locale ("STRASSE" holds "straße"; in Turkish and
// Azeri a dotless "ı" is the lower case of "I", and "i" that of "İ"). A match must begin and end
// between user-perceived characters: "cafe" is not in "café", nor "하" in "한". Malformed UTF-8
// reads as U+FFFD. Safe from any thread.

#include "foundation/time/Locale.h"

#include <memory>
#include <string>
#include <string_view>

namespace cw {

// One search text prepared for testing many texts (its canonical, folded form made once).
class CaseInsensitiveSearch {
public:
    CaseInsensitiveSearch(std::string_view searchText, const Locale& locale);
    ~CaseInsensitiveSearch();
    CaseInsensitiveSearch(CaseInsensitiveSearch&&) noexcept;
    CaseInsensitiveSearch& operator=(CaseInsensitiveSearch&&) noexcept;

    // Whether `text` contains the search text. An empty search text is found nowhere (as on the
    // platform, where the empty text has no range in any text).
    bool isFoundIn(std::string_view text) const;

private:
    struct Folded;
    std::string asciiNeedle_; // lower-cased, when the search text is ASCII and the locale has no special I
    std::unique_ptr<Folded> folded_;
    bool turkic_ = false;
    bool empty_ = true;
};

// `text.localizedCaseInsensitiveContains(other)`, in the given locale or the device's.
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view other, const Locale& locale);
bool localizedCaseInsensitiveContains(std::string_view text, std::string_view other);

} // namespace cw
