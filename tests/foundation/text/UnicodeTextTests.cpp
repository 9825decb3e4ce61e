#include "foundation/text/UnicodeText.h"

#include <gtest/gtest.h>

namespace {

// "é" as one code point, and as "e" with the combining acute accent.
const std::string kPrecomposed = "caf\xC3\xA9";
const std::string kDecomposed = "cafe\xCC\x81";

TEST(UnicodeText, CanonicallyEquivalentTextsAreEqualAndNothingElseIs) {
    EXPECT_TRUE(cw::canonicallyEquivalent(kPrecomposed, kDecomposed));
    EXPECT_TRUE(cw::canonicallyEquivalent("", ""));
    // Hangul syllable and its jamo; Angstrom sign and A with ring above.
    EXPECT_TRUE(cw::canonicallyEquivalent("\xEA\xB0\x80", "\xE1\x84\x80\xE1\x85\xA1"));
    EXPECT_TRUE(cw::canonicallyEquivalent("\xE2\x84\xAB", "\xC3\x85"));
    // Combining marks of different classes in either order.
    EXPECT_TRUE(cw::canonicallyEquivalent("a\xCC\x81\xCC\xA3", "a\xCC\xA3\xCC\x81"));

    // Letter case, compatibility forms, white space and accents count.
    EXPECT_FALSE(cw::canonicallyEquivalent("Password1", "password1"));
    EXPECT_FALSE(cw::canonicallyEquivalent("\xEF\xAC\x81", "fi"));
    EXPECT_FALSE(cw::canonicallyEquivalent("secret ", "secret"));
    EXPECT_FALSE(cw::canonicallyEquivalent("cafe", kPrecomposed));
    EXPECT_FALSE(cw::canonicallyEquivalent("", "a"));

    // Malformed bytes compare as bytes: two different ones are not the same replacement character.
    EXPECT_FALSE(cw::canonicallyEquivalent("pass\xFF", "pass\xFE"));
    EXPECT_FALSE(cw::canonicallyEquivalent("pass\xFF", "pass\xEF\xBF\xBD"));
    EXPECT_TRUE(cw::canonicallyEquivalent("pass\xFF", "pass\xFF"));
}

TEST(UnicodeText, CountsTheCharactersAReaderSees) {
    EXPECT_EQ(cw::characterCount(""), 0u);
    EXPECT_EQ(cw::characterCount("Em"), 2u);
    EXPECT_EQ(cw::characterCount("  a"), 3u);
    EXPECT_EQ(cw::characterCount(kDecomposed), 4u);
    EXPECT_EQ(cw::characterCount(kPrecomposed), 4u);
    // A flag (two regional indicators), a family joined by zero-width joiners, a thumb with a skin tone.
    EXPECT_EQ(cw::characterCount("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"), 1u);
    EXPECT_EQ(cw::characterCount("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"), 1u);
    EXPECT_EQ(cw::characterCount("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD!"), 2u);
    // A carriage return and line feed are one; a malformed byte is one.
    EXPECT_EQ(cw::characterCount("a\r\nb"), 3u);
    EXPECT_EQ(cw::characterCount("a\xFF"
                                 "b"),
              3u);
}

TEST(UnicodeText, UpperCasesTheSameOnEveryDevice) {
    EXPECT_EQ(cw::uppercased("Updated at 3:05pm, Jan 7, 2019, Mon"), "UPDATED AT 3:05PM, JAN 7, 2019, MON");
    EXPECT_EQ(cw::uppercased("stra\xC3\x9F" "e"), "STRASSE");
    // Not the Turkish dotted capital I: no locale applies.
    EXPECT_EQ(cw::uppercased("i"), "I");
    EXPECT_EQ(cw::uppercased("d\xC3\xA9" "c."), "D\xC3\x89" "C.");
    EXPECT_EQ(cw::uppercased(""), "");
    EXPECT_EQ(cw::uppercased("12:30"), "12:30");
}

} // namespace
