#include "foundation/text/CharacterSet.h"

#include <gtest/gtest.h>

namespace {

TEST(CharacterSet, TrimsUnicodeWhiteSpaceAndLineBreaksAtBothEndsOnly) {
    const auto& ws = CharacterSet::whitespacesAndNewlines();
    EXPECT_EQ(cw::trimmingCharacters(" \t\n mother@example.com \r\n", ws), "mother@example.com");
    // No-break space, ideographic space, line separator, next line, em space.
    EXPECT_EQ(cw::trimmingCharacters("\xC2\xA0\xE3\x80\x80"
                                     "a b\xE2\x80\xA8\xC2\x85\xE2\x80\x83",
                                     ws),
              "a b");
    EXPECT_EQ(cw::trimmingCharacters(" \n\t ", ws), "");
    EXPECT_EQ(cw::trimmingCharacters("", ws), "");
    EXPECT_EQ(cw::trimmingCharacters("\xF0\x9F\x91\xB6 baby ", ws), "\xF0\x9F\x91\xB6 baby");
    // Zero-width space is no white space; a stray byte stops the trimming.
    EXPECT_EQ(cw::trimmingCharacters("\xE2\x80\x8B"
                                     "x ",
                                     ws),
              "\xE2\x80\x8B"
              "x");
    EXPECT_EQ(cw::trimmingCharacters(" \xFF ", ws), "\xFF");

    // The narrower sets.
    EXPECT_EQ(cw::trimmingCharacters("\n a \n", CharacterSet::whitespaces()), "\n a \n");
    EXPECT_EQ(cw::trimmingCharacters("\n a \n", CharacterSet::newlines()), " a ");
    EXPECT_TRUE(CharacterSet::newlines().contains(U'\u2029'));
    EXPECT_FALSE(CharacterSet::whitespaces().contains(U'\n'));
    EXPECT_EQ(cw::trimmingCharacters("--a-b--", CharacterSet::characters("-")), "a-b");
    EXPECT_EQ(cw::trimmingCharacters("\xC3\xA9"
                                     "caf\xC3\xA9",
                                     CharacterSet::characters("\xC3\xA9")),
              "caf");
}

} // namespace
