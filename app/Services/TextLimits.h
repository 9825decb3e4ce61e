#pragma once

// The bounds on what a member writes that the server checks again, and the one measure that both
// the application and the server count them in: a text's code points.
//
// Why code points: the server must check them again, and what a text costs it to keep has to stay
// bounded by what the count allows; a character as a person sees it (a grapheme cluster) can hold
// any number of code points (marks stacked on a letter), so a count of those bounds nothing. UTF-16
// units (the platform's text length) would bound as well, but would count a letter outside the
// basic plane (most emoji) as two where the server's texts and the member see one code point. So a
// family emoji (four people and three joiners) counts seven, a flag two, a letter with a vowel mark
// two, a Chinese character one; a malformed byte counts as one, as the replacement character it
// reads as. The member is told what to take away in the characters she sees (overLimitMessage).
//
// Safe from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cw {

// The longest comment and post, and the least length of a password, in the measure below.
inline constexpr std::size_t kLongestComment = 5000;
inline constexpr std::size_t kLongestPost = 5000;
inline constexpr std::size_t kShortestPassword = 8;

// The length of a UTF-8 text as both sides count it: its code points, a malformed byte as one.
std::size_t textLength(std::string_view text);

// What the member is told of a text longer than `limit`: `rule` (the bound in her words), then how
// long this one is and what to change: which of its last characters, as she sees them, to take away
// (an emoji of seven code points is one thing she deletes). None when the text is within `limit`.
// Costs time in proportion to what is too much, not to the whole text.
std::optional<std::string> overLimitMessage(const std::string& rule, std::string_view text, std::size_t limit);

} // namespace cw
