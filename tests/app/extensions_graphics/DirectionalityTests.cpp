#include "Extensions/String+Directionality.h"

#include <gtest/gtest.h>

TEST(Directionality, NeutralTexts) {
    EXPECT_EQ(getBaseDirection(""), TextDirectionNeutral);
    EXPECT_EQ(getBaseDirection("   "), TextDirectionNeutral);
    EXPECT_EQ(getBaseDirection("2019-03-04, 12:30!"), TextDirectionNeutral);
    EXPECT_EQ(getBaseDirection("\u061C"), TextDirectionNeutral);     // added after 6.1
    EXPECT_EQ(getBaseDirection("\U0001F600"), TextDirectionNeutral); // emoji
    EXPECT_EQ(getBaseDirection("\uFEFF"), TextDirectionNeutral);     // byte-order mark
    EXPECT_EQ(getBaseDirection("\U0001E900"),
              TextDirectionNeutral);                               // Adlam: right to left, but newer than 6.1
    EXPECT_EQ(getBaseDirection("\xFF\xFE"), TextDirectionNeutral); // invalid bytes
}

TEST(Directionality, FirstStrongCharacterDecides) {
    EXPECT_EQ(getBaseDirection("Hello"), TextDirectionLeftToRight);
    EXPECT_EQ(getBaseDirection("\u05E9\u05DC\u05D5\u05DD"), TextDirectionRightToLeft);       // Hebrew
    EXPECT_EQ(getBaseDirection("\u0645\u0631\u062D\u0628\u0627"), TextDirectionRightToLeft); // Arabic
    EXPECT_EQ(getBaseDirection("12 \u05E9\u05DC\u05D5\u05DD"), TextDirectionRightToLeft);
    EXPECT_EQ(getBaseDirection("a\u05E9"), TextDirectionLeftToRight);
    EXPECT_EQ(getBaseDirection("\u200E"), TextDirectionLeftToRight);
    EXPECT_EQ(getBaseDirection("\u200F"), TextDirectionRightToLeft);
    EXPECT_EQ(getBaseDirection("\u4E2D\u6587"), TextDirectionLeftToRight); // CJK ideographs
    EXPECT_EQ(getBaseDirection("\uD55C\uAE00"), TextDirectionLeftToRight); // Hangul syllables
    EXPECT_EQ(getBaseDirection("\u0416"), TextDirectionLeftToRight);       // Cyrillic
    EXPECT_EQ(getBaseDirection("\U00010800"), TextDirectionRightToLeft);   // Cypriot
    EXPECT_EQ(getBaseDirection("\U0001D400"), TextDirectionLeftToRight);   // mathematical bold A
    EXPECT_EQ(getBaseDirection("\U000F0000"), TextDirectionLeftToRight);   // private use, plane 15
    EXPECT_EQ(getBaseDirection("\u0301\u0661\u05D0"),
              TextDirectionRightToLeft); // mark and Arabic digit passed over
}
