#include "foundation/text/TextSearch.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace cw {

struct CaseInsensitiveSearch::Folded {
    icu::UnicodeString text;
};

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Turkish and Azeri fold "I" to a dotless "ı" and "İ" to "i"; every other locale folds alike.
bool isTurkic(const Locale& locale) {
    const std::string& id = locale.identifier();
    const std::string language = id.substr(0, id.find_first_of("_@-"));
    return language == "tr" || language == "az";
}

// The canonical caseless form: composed, folded, composed again (a folding can undo a composition,
// and the composed form keeps "é" one code point, so that "e" cannot match its start). Composed
// before folding too, so that a Turkish "İ" folds whole to "i" rather than as "I" and a dot.
icu::UnicodeString canonicalFold(std::string_view text, bool turkic) {
    icu::UnicodeString s = detail::toUnicode(text);
    const uint32_t options = turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || !nfc) return s.foldCase(options);
    icu::UnicodeString folded = nfc->normalize(s, status);
    folded.foldCase(options);
    icu::UnicodeString composed = nfc->normalize(folded, status);
    if (U_FAILURE(status)) return s.foldCase(options);
    return composed;
}

// Whether `c` belongs to the user-perceived character before it (a combining mark, a joiner, a
// skin tone, a Hangul vowel or final consonant), so that no match may begin or end just before it.
bool continuesCharacter(UChar32 c) {
    switch (u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK)) {
    case U_GCB_EXTEND:
    case U_GCB_ZWJ:
    case U_GCB_SPACING_MARK:
    case U_GCB_V:
    case U_GCB_T:
        return true;
    default:
        return false;
    }
}

} // namespace

CaseInsensitiveSearch::CaseInsensitiveSearch(std::string_view searchText, const Locale& locale)
    : turkic_(isTurkic(locale)) {
    if (!turkic_ && isAscii(searchText)) {
        asciiNeedle_.reserve(searchText.size());
        for (char c : searchText)
            asciiNeedle_.push_back(lowerAscii(c));
    }
    folded_ = std::make_unique<Folded>(Folded{canonicalFold(searchText, turkic_)});
    empty_ = folded_->text.isEmpty();
}

CaseInsensitiveSearch::~CaseInsensitiveSearch() = default;
CaseInsensitiveSearch::CaseInsensitiveSearch(CaseInsensitiveSearch&&) noexcept = default;
CaseInsensitiveSearch& CaseInsensitiveSearch::operator=(CaseInsensitiveSearch&&) noexcept = default;

bool CaseInsensitiveSearch::isFoundIn(std::string_view text) const {
    if (empty_) return false;
    // ASCII in both: no marks, no folding beyond A-Z, one byte a character.
    if (!asciiNeedle_.empty() && isAscii(text)) {
        if (asciiNeedle_.size() > text.size()) return false;
        const auto found = std::search(text.begin(), text.end(), asciiNeedle_.begin(), asciiNeedle_.end(),
                                       [](char a, char b) { return lowerAscii(a) == b; });
        return found != text.end();
    }
    const icu::UnicodeString haystack = canonicalFold(text, turkic_);
    const icu::UnicodeString& needle = folded_->text;
    const int32_t length = needle.length();
    for (int32_t at = haystack.indexOf(needle); at >= 0; at = haystack.indexOf(needle, at + 1)) {
        const int32_t end = at + length;
        if (at > 0 && continuesCharacter(haystack.char32At(at))) continue;
        if (end < haystack.length() && continuesCharacter(haystack.char32At(end))) continue;
        return true;
    }
    return false;
}

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view other, const Locale& locale) {
    return CaseInsensitiveSearch(other, locale).isFoundIn(text);
}

bool localizedCaseInsensitiveContains(std::string_view text, std::string_view other) {
    return localizedCaseInsensitiveContains(text, other, Locale::current());
}

} // namespace cw
