#pragma once

// Comparing texts as readers see them, as the platform's String `==` does, on ICU.

#include <string_view>

namespace cw {

// True when both texts are the same sequence of characters once decomposed canonically (NFD), so
// "é" written as one code point equals "e" followed by the combining acute accent. Letter case,
// compatibility forms ("ﬁ" and "fi") and white space all count. A text that is not well-formed
// UTF-8 (which the platform's strings never are) equals only the same bytes: two different
// malformed bytes would otherwise both read as the replacement character. Safe from any thread.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

} // namespace cw
