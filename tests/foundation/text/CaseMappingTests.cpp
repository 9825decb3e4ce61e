#include "foundation/text/CaseMapping.h"
#include "foundation/text/CharacterSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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

// The characters forEachCharacter gives, the first `most` of them.
std::vector<std::string> characters(std::string_view text, std::size_t most = 1000) {
    std::vector<std::string> out;
    cw::forEachCharacter(text, [&](std::string_view character) {
        EXPECT_TRUE(character.data() >= text.data() && character.data() + character.size() <= text.data() + text.size())
            << "a view of the text's own bytes";
        out.emplace_back(character);
        return out.size() < most;
    });
    return out;
}

TEST(CaseMapping, CutsTextIntoUserPerceivedCharacters) {
    EXPECT_THAT(characters("e\xCC\x81t\xC3\xA9"), ElementsAre("e\xCC\x81", "t", "\xC3\xA9"));
    // A flag and a family are one character each.
    EXPECT_THAT(characters("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"
                           "1"),
                ElementsAre("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", "1"));
    EXPECT_THAT(characters("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
                ElementsAre("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"));
    EXPECT_TRUE(characters("").empty());
    // A malformed byte is a character of its own, as it came; "\r\n" is one.
    EXPECT_THAT(characters("a\xFF" "b\r\n"), ElementsAre("a", "\xFF", "b", "\r\n"));
    // The walk stops when asked.
    EXPECT_THAT(characters("e\xCC\x81tre", 2), ElementsAre("e\xCC\x81", "t"));
}

// The last character found from the end is the one the walk from the start gives last.
TEST(CaseMapping, FindsTheLastCharacterFromTheEndAsTheWalkCutsIt) {
    const std::string runs[] = {"",
                                "a",
                                "e\xCC\x81",
                                "Baby \xF0\x9F\x87\xAB\xF0\x9F\x87\xB7",
                                // three flags: the pairs are counted from the start of the run
                                "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"
                                "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7",
                                "x\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",
                                "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
                                "\xD8\xA8\xD9\x8E\xD9\x91",
                                "ab\r\n",
                                "a\xFF",
                                "\xC3\xA9\x80",
                                "a\xF0\x9F\x91"};
    for (const std::string& text : runs) {
        SCOPED_TRACE(text);
        const auto all = characters(text);
        const std::string_view last = cw::lastCharacter(text);
        EXPECT_EQ(std::string(last), all.empty() ? std::string() : all.back());
        EXPECT_EQ(last.data() + last.size(), text.data() + text.size()) << "a view of the text's end";
    }
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
