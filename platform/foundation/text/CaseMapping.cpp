#include "foundation/text/CaseMapping.h"

#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/time/IcuSupport.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

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

namespace {

// ICU's character boundaries over the UTF-8 bytes where they are (its offsets are offsets into
// them); no iterator when the break data is missing.
struct CharacterBreaks {
    std::unique_ptr<UText, decltype(&utext_close)> source{nullptr, &utext_close};
    std::unique_ptr<icu::BreakIterator> breaks;

    explicit CharacterBreaks(std::string_view text) {
        UErrorCode status = U_ZERO_ERROR;
        source.reset(utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
        if (U_SUCCESS(status))
            breaks.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_SUCCESS(status) && breaks) breaks->setText(source.get(), status);
        if (U_FAILURE(status)) breaks.reset();
    }
};

} // namespace

void forEachCharacter(std::string_view text, const std::function<bool(std::string_view character)>& visit) {
    CharacterBreaks characters(text);
    if (!characters.breaks) {
        // Without break data, one character per code point.
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t start = at;
            decodeUtf8(text, at);
            if (!visit(text.substr(start, at - start))) return;
        }
        return;
    }
    auto& breaks = *characters.breaks;
    int32_t start = breaks.first();
    for (int32_t end = breaks.next(); end != icu::BreakIterator::DONE; start = end, end = breaks.next())
        if (!visit(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)))) return;
}

std::string_view lastCharacter(std::string_view text) {
    if (text.empty()) return text;
    CharacterBreaks characters(text);
    if (!characters.breaks) {
        // Without break data, the last code point: the nearest start, at most four bytes back,
        // that decodes to the end, else the last byte alone (a malformed one).
        for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
            std::size_t at = text.size() - back;
            if (decodeUtf8(text, at) && at == text.size()) return text.substr(text.size() - back);
        }
        return text.substr(text.size() - 1);
    }
    // ICU steps back from the end by its safe reverse rules, reading only the characters there.
    auto& breaks = *characters.breaks;
    breaks.last();
    const int32_t start = breaks.previous();
    if (start == icu::BreakIterator::DONE) return text;
    return text.substr(static_cast<std::size_t>(start));
}

} // namespace cw
