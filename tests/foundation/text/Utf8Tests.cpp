#include "foundation/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::optional<char32_t>> decodeAll(std::string_view text) {
    std::vector<std::optional<char32_t>> out;
    std::size_t i = 0;
    while (i < text.size())
        out.push_back(cw::decodeUtf8(text, i));
    return out;
}

TEST(Utf8Test, DecodesEachSequenceLength) {
    auto cps = decodeAll("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    ASSERT_EQ(cps.size(), 4u);
    EXPECT_EQ(cps[0], U'a');
    EXPECT_EQ(cps[1], U'\u00E9');
    EXPECT_EQ(cps[2], U'\u20AC');
    EXPECT_EQ(cps[3], U'\U0001F600');
    EXPECT_TRUE(cw::isValidUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    EXPECT_TRUE(cw::isValidUtf8(""));
}

TEST(Utf8Test, MalformedSequencesGiveNoneAndMoveOneByte) {
    // overlong "/", a UTF-16 surrogate, past U+10FFFF, a stray continuation byte, a truncated tail
    for (std::string bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE2\x82"}) {
        EXPECT_FALSE(cw::isValidUtf8(bad)) << bad.size();
        std::size_t i = 0;
        EXPECT_FALSE(cw::decodeUtf8(bad, i).has_value());
        EXPECT_EQ(i, 1u);
    }
    // Decoding goes on after a bad byte.
    auto cps = decodeAll("\xFFok");
    ASSERT_EQ(cps.size(), 3u);
    EXPECT_FALSE(cps[0].has_value());
    EXPECT_EQ(cps[2], U'k');
}

} // namespace
