#pragma once

// Sets of Unicode characters, for trimming and scanning text (`CharacterSet`).

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CharacterSet {
public:
    // Space separators (Unicode category Zs) and the tab.
    static const CharacterSet& whitespaces();
    // Line feed, vertical tab, form feed, carriage return, next line (U+0085), and the line and
    // paragraph separators (U+2028, U+2029).
    static const CharacterSet& newlines();
    // Both of the above.
    static const CharacterSet& whitespacesAndNewlines();
    // The decimal digits of every script (Unicode category Nd): "0"..."9", "٣", "३", "３"...
    static const CharacterSet& decimalDigits();
    // The characters of `text` (`CharacterSet(charactersIn:)`); malformed UTF-8 bytes add nothing.
    static CharacterSet characters(std::string_view text);

    bool contains(char32_t c) const;
    // The characters of either set.
    CharacterSet united(const CharacterSet& other) const;

private:
    CharacterSet() = default;
    explicit CharacterSet(std::vector<std::pair<char32_t, char32_t>> ranges);
    // Sorted, disjoint, inclusive ranges.
    std::vector<std::pair<char32_t, char32_t>> ranges_;
};

namespace cw {

// `trimmingCharacters(in:)`: `text` without the characters of `set` at either end. A malformed
// UTF-8 sequence belongs to no set, so trimming stops at it.
std::string trimmingCharacters(std::string_view text, const CharacterSet& set);

} // namespace cw
