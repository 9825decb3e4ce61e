#include "foundation/text/CaseMapping.h"
#include "foundation/text/CharacterSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

TEST(CaseMapping, CapitalizesEachWordBetweenSpacesAndLowersTheRest) {
    const Locale en("en_US");
    EXPECT_EQ(cw::capitalized("blood pressure AND heart rate", en), "Blood Pressure And Heart Rate");
    EXPECT_EQ(cw::capitalized("photo of the day", en), "Photo Of The Day");
    // Words are parted by white space and line ends only; the rest of a word is lowered.
    EXPECT_EQ(cw::capitalized("android-tablet\tOXYGEN\nsaturation", en), "Android-tablet\tOxygen\nSaturation");
    // A word that starts with a character without case keeps it and is lowered after it.
    EXPECT_EQ(cw::capitalized("1ST day (TWIN a)", en), "1st Day (twin A)");
    EXPECT_EQ(cw::capitalized("  two  spaces ", en), "  Two  Spaces ");
    EXPECT_EQ(cw::capitalized("", en), "");
    // Full case mapping: title-case digraphs and the sharp s.
    EXPECT_EQ(cw::capitalized("ǆemal straße", en), "ǅemal Straße");
    EXPECT_EQ(cw::capitalized("émile ÇA", en), "Émile Ça");
}

TEST(CaseMapping, FollowsTheLocaleOnlyWhenAskedTo) {
    const Locale tr("tr_TR");
    EXPECT_EQ(cw::capitalized("istanbul ILIK", tr), "İstanbul Ilık");
    EXPECT_EQ(cw::capitalized("istanbul ILIK", Locale("en_US")), "Istanbul Ilik");
    EXPECT_EQ(cw::lowercased("DİYARBAKIR", tr), "diyarbakır");
    EXPECT_EQ(cw::uppercased("istanbul", tr), "İSTANBUL");
    // Without a locale, the same mapping everywhere.
    EXPECT_EQ(cw::lowercased("3 WEEKS İ"), "3 weeks i̇");
    EXPECT_EQ(cw::uppercased("Weight (g) straße"), "WEIGHT (G) STRASSE");
    // Malformed bytes read as the replacement character, nothing is dropped.
    EXPECT_EQ(cw::uppercased("a\xFF"
                             "b"),
              "A\xEF\xBF\xBD"
              "B");
}

TEST(CaseMapping, CutsTextIntoUserPerceivedCharacters) {
    EXPECT_THAT(cw::characters("e\xCC\x81t\xC3\xA9"), ElementsAre("e\xCC\x81", "t", "\xC3\xA9"));
    // A flag and a family are one character each.
    EXPECT_THAT(cw::characters("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"
                               "1"),
                ElementsAre("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", "1"));
    EXPECT_THAT(cw::characters("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
                ElementsAre("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"));
    EXPECT_TRUE(cw::characters("").empty());
}

TEST(CharacterSet, DecimalDigitsOfEveryScript) {
    const auto& digits = CharacterSet::decimalDigits();
    for (char32_t c : {U'0', U'9', U'٣', U'३', U'３', U'\U0001D7CE'})
        EXPECT_TRUE(digits.contains(c)) << static_cast<unsigned>(c);
    // Other numbers are not decimal digits.
    for (char32_t c : {U'a', U'½', U'²', U'Ⅻ', U' ', U'/'})
        EXPECT_FALSE(digits.contains(c)) << static_cast<unsigned>(c);
}

} // namespace
