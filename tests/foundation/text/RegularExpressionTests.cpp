#include "foundation/text/RegularExpression.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

TEST(RegularExpressionTest, FindsEveryMatchInOrder) {
    auto digits = cw::RegularExpression::make("\\d+\\?");
    ASSERT_TRUE(digits);
    EXPECT_THAT(digits->matches("http://h:8080/content/education/15?user_id=3&x=7?"), ElementsAre("15?", "7?"));
    EXPECT_TRUE(digits->matches("/content/education/15").empty());
    EXPECT_TRUE(digits->matches("").empty());
    // Characters beyond ASCII keep their bytes; a malformed byte reads as the replacement character.
    auto word = cw::RegularExpression::make("caf\\w");
    ASSERT_TRUE(word);
    EXPECT_THAT(word->matches("un caf\xC3\xA9, un cafe"), ElementsAre("caf\xC3\xA9", "cafe"));
    EXPECT_THAT(cw::RegularExpression::make("a.b")->matches("a\xFF" "b"), ElementsAre("a\xEF\xBF\xBD" "b"));
}

TEST(RegularExpressionTest, APatternThatDoesNotCompileSaysWhy) {
    std::string error;
    EXPECT_FALSE(cw::RegularExpression::make("(", &error));
    EXPECT_NE(error.find("cannot be compiled"), std::string::npos);
    EXPECT_FALSE(cw::RegularExpression::make("[z-a]"));
}

} // namespace
