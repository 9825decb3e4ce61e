#include "foundation/text/CaseMapping.h"

#include "foundation/text/CharacterSet.h"
#include "foundation/time/IcuSupport.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace cw {

namespace {

using detail::toUnicode;
using detail::toUtf8;

icu::Locale icuLocale(const Locale& locale) {
    return icu::Locale(locale.identifier().c_str());
}

} // namespace

std::string lowercased(std::string_view text) {
    return toUtf8(toUnicode(text).toLower(icu::Locale::getRoot()));
}

std::string uppercased(std::string_view text) {
    return toUtf8(toUnicode(text).toUpper(icu::Locale::getRoot()));
}

std::string lowercased(std::string_view text, const Locale& locale) {
    return toUtf8(toUnicode(text).toLower(icuLocale(locale)));
}

std::string uppercased(std::string_view text, const Locale& locale) {
    return toUtf8(toUnicode(text).toUpper(icuLocale(locale)));
}

std::string capitalized(std::string_view text, const Locale& locale) {
    const icu::UnicodeString source = toUnicode(text);
    const icu::Locale rules = icuLocale(locale);
    const auto& separators = CharacterSet::whitespacesAndNewlines();
    icu::UnicodeString out;
    int32_t i = 0;
    const int32_t length = source.length();
    while (i < length) {
        const UChar32 c = source.char32At(i);
        const int32_t next = source.moveIndex32(i, 1);
        if (separators.contains(static_cast<char32_t>(c))) {
            out.append(c);
            i = next;
            continue;
        }
        int32_t end = next;
        while (end < length && !separators.contains(static_cast<char32_t>(source.char32At(end))))
            end = source.moveIndex32(end, 1);
        // The whole word is one title-casing unit, and its first character is the one cased
        // (ICU would otherwise move on to the first cased letter: "1st" must not become "1St").
        icu::UnicodeString word(source, i, end - i);
        word.toTitle(nullptr, rules, U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT);
        out.append(word);
        i = end;
    }
    return toUtf8(out);
}

std::vector<std::string> characters(std::string_view text) {
    const icu::UnicodeString source = toUnicode(text);
    std::vector<std::string> result;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        // Without break data, one character per code point.
        for (int32_t i = 0; i < source.length(); i = source.moveIndex32(i, 1))
            result.push_back(toUtf8(icu::UnicodeString(source.char32At(i))));
        return result;
    }
    breaks->setText(source);
    int32_t start = breaks->first();
    for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next())
        result.push_back(toUtf8(icu::UnicodeString(source, start, end - start)));
    return result;
}

} // namespace cw
