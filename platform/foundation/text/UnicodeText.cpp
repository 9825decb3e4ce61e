#include "foundation/text/UnicodeText.h"

#include "foundation/text/Utf8.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <memory>

namespace cw {

namespace {

icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

} // namespace

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
    if (a == b) return true;
    // Two different malformed texts would both read as replacement characters and compare equal.
    if (!isValidUtf8(a) || !isValidUtf8(b)) return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status) || !nfd) return false;
    const icu::UnicodeString left = nfd->normalize(toUnicode(a), status);
    const icu::UnicodeString right = nfd->normalize(toUnicode(b), status);
    if (U_FAILURE(status)) return false;
    return left == right;
}

std::size_t characterCount(std::string_view text) {
    if (text.empty()) return 0;
    const icu::UnicodeString unicode = toUnicode(text);
    UErrorCode status = U_ZERO_ERROR;
    // Grapheme rules are the same in every locale; the root locale keeps the count device-independent.
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) return static_cast<std::size_t>(unicode.countChar32());
    characters->setText(unicode);
    std::size_t count = 0;
    characters->first();
    while (characters->next() != icu::BreakIterator::DONE) ++count;
    return count;
}

std::string uppercased(std::string_view text) {
    icu::UnicodeString unicode = toUnicode(text);
    unicode.toUpper(icu::Locale::getRoot());
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

} // namespace cw
