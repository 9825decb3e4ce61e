#include "foundation/text/TextSearch.h"

#include <gtest/gtest.h>

namespace {

bool contains(std::string_view text, std::string_view other, const char* locale = "en_US") {
    return cw::localizedCaseInsensitiveContains(text, other, Locale(locale));
}

TEST(TextSearch, IgnoresCaseButNotAccents) {
    EXPECT_TRUE(contains("Heart rate and breathing", "HEART"));
    EXPECT_TRUE(contains("HEART RATE", "heart r"));
    EXPECT_FALSE(contains("heart rate", "rate heart"));
    // Across what were two fields joined by a space.
    EXPECT_TRUE(contains("Skin care tips", "skin care"));
    // Accents count, whichever way the text spells them.
    EXPECT_TRUE(contains("Le café du matin", "CAFÉ"));
    EXPECT_TRUE(contains("Le cafe\xCC\x81 du matin", "café"));
    EXPECT_TRUE(contains("Le café du matin", "cafe\xCC\x81"));
    EXPECT_FALSE(contains("Le café du matin", "cafe"));
    EXPECT_FALSE(contains("Le cafe\xCC\x81 du matin", "cafe"));
    EXPECT_FALSE(contains("Le cafe du matin", "café"));
    // Full folding: the sharp s is "ss", a Greek final sigma a sigma.
    EXPECT_TRUE(contains("STRASSE", "straße"));
    EXPECT_TRUE(contains("ΟΔΟΣ", "οδος"));
    // The empty text is found nowhere; a longer text not in a shorter one.
    EXPECT_FALSE(contains("anything", ""));
    EXPECT_FALSE(contains("", "a"));
    EXPECT_FALSE(contains("he", "heart"));
}

TEST(TextSearch, MatchesOnlyWholeCharacters) {
    // A skin tone belongs to its emoji, a final consonant to its Hangul syllable.
    EXPECT_TRUE(contains("Proud \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD today", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"));
    EXPECT_FALSE(contains("Proud \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD today", "\xF0\x9F\x91\x8D today"));
    EXPECT_TRUE(contains("한국", "한"));
    EXPECT_FALSE(contains("한국", "하"));
    // A mark on its own is no character to find inside another.
    EXPECT_FALSE(contains("cafe\xCC\x81", "\xCC\x81"));
}

TEST(TextSearch, FollowsTheLocalesCaseRules) {
    // Turkish: "I" is the capital of a dotless "ı", "İ" that of "i".
    EXPECT_TRUE(contains("ILIK SU", "ılık", "tr_TR"));
    EXPECT_FALSE(contains("ILIK SU", "ilik", "tr_TR"));
    EXPECT_TRUE(contains("İSTANBUL", "istanbul", "tr"));
    EXPECT_TRUE(contains("ILIK SU", "ilik", "en_US"));
    // The device's locale when none is given.
    EXPECT_TRUE(cw::localizedCaseInsensitiveContains("Milk Feeds", "MILK"));
}

TEST(TextSearch, APreparedSearchTestsManyTextsAndSurvivesMalformedInput) {
    const cw::CaseInsensitiveSearch search("Milk", Locale("en_US"));
    EXPECT_TRUE(search.isFoundIn("Expressing breast milk"));
    EXPECT_TRUE(search.isFoundIn("BREAST MILK \xE2\x80\x94 a guide"));
    EXPECT_FALSE(search.isFoundIn("Mil k"));
    // Malformed bytes read as U+FFFD, whichever they were.
    EXPECT_TRUE(search.isFoundIn("\xFF milk \xC3"));
    EXPECT_TRUE(cw::CaseInsensitiveSearch("\xFF", Locale("en_US")).isFoundIn("a\xFE"));
    EXPECT_FALSE(cw::CaseInsensitiveSearch("\xFF", Locale("en_US")).isFoundIn("a"));
}

} // namespace
