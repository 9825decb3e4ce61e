#pragma once

// A range of a text, counted in UTF-16 code units as the platform counts them, so that ranges
// found in one representation of a text apply to another.

#include <cstddef>

struct NSRange {
    std::size_t location = 0;
    std::size_t length = 0;

    std::size_t end() const { return location + length; }
    bool contains(std::size_t index) const { return index >= location && index < end(); }
    friend bool operator==(const NSRange&, const NSRange&) = default;
};

// `NSNotFound` for ranges that found nothing.
inline constexpr std::size_t NSNotFound = static_cast<std::size_t>(-1);
