#include "foundation/text/CharacterSet.h"

#include "foundation/text/Utf8.h"

#include <unicode/uniset.h>

#include <algorithm>

CharacterSet::CharacterSet(std::vector<std::pair<char32_t, char32_t>> ranges) {
    std::sort(ranges.begin(), ranges.end());
    for (const auto& r : ranges) {
        if (!ranges_.empty() && r.first <= ranges_.back().second + 1) {
            ranges_.back().second = std::max(ranges_.back().second, r.second);
        } else {
            ranges_.push_back(r);
        }
    }
}

const CharacterSet& CharacterSet::whitespaces() {
    static const CharacterSet set({{0x0009, 0x0009},
                                   {0x0020, 0x0020},
                                   {0x00A0, 0x00A0},
                                   {0x1680, 0x1680},
                                   {0x2000, 0x200A},
                                   {0x202F, 0x202F},
                                   {0x205F, 0x205F},
                                   {0x3000, 0x3000}});
    return set;
}

const CharacterSet& CharacterSet::newlines() {
    static const CharacterSet set({{0x000A, 0x000D}, {0x0085, 0x0085}, {0x2028, 0x2029}});
    return set;
}

const CharacterSet& CharacterSet::whitespacesAndNewlines() {
    static const CharacterSet set = whitespaces().united(newlines());
    return set;
}

const CharacterSet& CharacterSet::decimalDigits() {
    static const CharacterSet set = [] {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeSet digits(icu::UnicodeString(u"[:Nd:]"), status);
        std::vector<std::pair<char32_t, char32_t>> ranges;
        if (U_FAILURE(status)) return CharacterSet({{U'0', U'9'}});
        for (int32_t i = 0; i < digits.getRangeCount(); ++i)
            ranges.emplace_back(static_cast<char32_t>(digits.getRangeStart(i)), static_cast<char32_t>(digits.getRangeEnd(i)));
        return CharacterSet(std::move(ranges));
    }();
    return set;
}

CharacterSet CharacterSet::characters(std::string_view text) {
    std::vector<std::pair<char32_t, char32_t>> ranges;
    for (std::size_t i = 0; i < text.size();) {
        if (auto c = cw::decodeUtf8(text, i)) ranges.emplace_back(*c, *c);
    }
    return CharacterSet(std::move(ranges));
}

bool CharacterSet::contains(char32_t c) const {
    auto it =
        std::upper_bound(ranges_.begin(), ranges_.end(), c,
                         [](char32_t v, const std::pair<char32_t, char32_t>& r) { return v < r.first; });
    return it != ranges_.begin() && c <= std::prev(it)->second;
}

CharacterSet CharacterSet::united(const CharacterSet& other) const {
    auto ranges = ranges_;
    ranges.insert(ranges.end(), other.ranges_.begin(), other.ranges_.end());
    return CharacterSet(std::move(ranges));
}

namespace cw {

std::string trimmingCharacters(std::string_view text, const CharacterSet& set) {
    // Where each kept character starts and ends, found by one forward pass.
    std::size_t begin = text.size(), end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const auto c = decodeUtf8(text, i);
        if (c && set.contains(*c)) continue;
        begin = std::min(begin, start);
        end = i;
    }
    if (begin >= end) return {};
    return std::string(text.substr(begin, end - begin));
}

} // namespace cw
