#pragma once

// The base writing direction of a text by its first strong character (the paragraph-level rule
// of the Unicode bidirectional algorithm), with the classes of Unicode 6.1 compiled in, so the
// answer does not change with the system's Unicode tables.

#include <string_view>

enum : unsigned {
    TextDirectionNeutral = 0,     // no strong character (also the empty text)
    TextDirectionLeftToRight = 1, // the first strong character is L
    TextDirectionRightToLeft = 2, // the first strong character is R or AL
};

// `getBaseDirection` of a UTF-8 text; invalid bytes read as U+FFFD, which is neutral.
unsigned getBaseDirection(std::string_view text);
// The same for one code point's class: 0 neutral, 1 L, 2 R or AL.
unsigned strongDirection(char32_t codePoint);
