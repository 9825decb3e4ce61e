#include "foundation/text/CanonicalEquivalence.h"

#include <gtest/gtest.h>

namespace {

// "é" as one code point, and as "e" with the combining acute accent.
const std::string kPrecomposed = "caf\xC3\xA9";
const std::string kDecomposed = "cafe\xCC\x81";

TEST(CanonicalEquivalence, CanonicallyEquivalentTextsAreEqualAndNothingElseIs) {
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

} // namespace
