#include "foundation/text/Graphemes.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <climits>
#include <memory>

namespace cw {

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct TextCloser {
    void operator()(UText* text) const { utext_close(text); }
};

// Counts code points, the best answer left when ICU cannot give clusters (it only fails when out
// of memory or handed more than it can index).
std::size_t codePointCount(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char byte : text)
        if ((byte & 0xC0) != 0x80) ++count;
    return count;
}

} // namespace

std::size_t userPerceivedCharacterCount(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > static_cast<std::size_t>(INT64_MAX)) return codePointCount(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, TextCloser> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    if (U_FAILURE(status)) return codePointCount(text);
    // The character rules are the same in every locale; the root locale's iterator is shared data.
    std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator(
        ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
    if (U_FAILURE(status)) return codePointCount(text);
    ubrk_setUText(iterator.get(), utext.get(), &status);
    if (U_FAILURE(status)) return codePointCount(text);
    std::size_t count = 0;
    ubrk_first(iterator.get());
    while (ubrk_next(iterator.get()) != UBRK_DONE)
        ++count;
    return count;
}

} // namespace cw
