#include "Extensions/String+Directionality.h"
#include "Extensions/generated/BidiClassTable.h"

#include "uikit/graphics/NSAttributedString.h"

#include <algorithm>
#include <iterator>

namespace {
template <std::size_t N> bool inRanges(const BidiRange (&ranges)[N], char32_t c) {
    const auto* it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                      [](char32_t v, const BidiRange& r) { return v < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}
} // namespace

unsigned strongDirection(char32_t c) {
    // Right to left is tested first; no code point is in both tables.
    if (inRanges(kRightToLeftRanges, c)) return TextDirectionRightToLeft;
    if (inRanges(kLeftToRightRanges, c)) return TextDirectionLeftToRight;
    return TextDirectionNeutral;
}

unsigned getBaseDirection(std::string_view text) {
    for (char32_t c : cw::utf8ToUTF32(text)) {
        if (const unsigned d = strongDirection(c); d != TextDirectionNeutral) return d;
    }
    return TextDirectionNeutral;
}
