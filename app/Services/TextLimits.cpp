#include "Services/TextLimits.h"

#include "foundation/text/CaseMapping.h"
#include "foundation/text/Utf8.h"

#include <vector>

namespace cw {

namespace {

// The code points read before the part of a text that has to go: enough for a character (a grapheme
// cluster) that straddles its start to be read whole in all but contrived texts.
constexpr std::size_t kLookBehind = 64;

// Where the last `count` code points of `text` begin (0 when it has fewer).
std::size_t startOfLast(std::string_view text, std::size_t count) {
    std::size_t length = textLength(text);
    if (count >= length) return 0;
    std::size_t skip = length - count;
    std::size_t i = 0;
    while (skip-- > 0)
        decodeUtf8(text, i);
    return i;
}

} // namespace

std::size_t textLength(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count)
        decodeUtf8(text, i);
    return count;
}

std::optional<std::string> overLimitMessage(const std::string& rule, std::string_view text, std::size_t limit) {
    const std::size_t length = textLength(text);
    if (length <= limit) return std::nullopt;
    const std::size_t excess = length - limit;
    std::string message = rule + " This one has " + std::to_string(length);
    // More than the limit too much: more than half has to go, which says enough.
    if (excess > limit) return message + ": take away more than half of it.";
    // The characters she sees at its end, last first, until as many code points as are too many.
    // Only the lengths of that tail's characters are kept: it is bounded by the excess.
    std::vector<std::size_t> seen;
    forEachCharacter(text.substr(startOfLast(text, excess + kLookBehind)), [&](std::string_view character) {
        seen.push_back(textLength(character));
        return true;
    });
    std::size_t taken = 0;
    std::size_t toRemove = 0;
    for (auto it = seen.rbegin(); it != seen.rend() && taken < excess; ++it, ++toRemove)
        taken += *it;
    if (toRemove != excess) message += " (some emoji and letters with marks count as several)";
    return message + ": take away its last " + std::to_string(toRemove) +
           (toRemove == 1 ? " character." : " characters.");
}

} // namespace cw
