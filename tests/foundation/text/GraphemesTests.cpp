#include "foundation/text/Graphemes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GraphemesTest, CountsWhatAPersonSeesAsOneCharacter) {
    EXPECT_EQ(cw::userPerceivedCharacterCount(""), 0u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("abc"), 3u);
    // Precomposed and decomposed "é" alike.
    EXPECT_EQ(cw::userPerceivedCharacterCount("caf\xC3\xA9"), 4u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("cafe\xCC\x81"), 4u);
    // A waving hand with a skin tone, a family joined by zero-width joiners, a flag.
    EXPECT_EQ(cw::userPerceivedCharacterCount("\xF0\x9F\x91\x8B\xF0\x9F\x8F\xBD"), 1u);
    EXPECT_EQ(cw::userPerceivedCharacterCount(
                  "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"),
              1u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("\xF0\x9F\x87\xB3\xF0\x9F\x87\xB1"), 1u);
    // Two of them and a letter: three characters from many bytes.
    EXPECT_EQ(cw::userPerceivedCharacterCount("\xF0\x9F\x91\x8B\xF0\x9F\x8F\xBD\xF0\x9F\x87\xB3\xF0\x9F\x87\xB1x"),
              3u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("\r\n"), 1u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("\xE4\xBD\xA0\xE5\xA5\xBD"), 2u);
}

TEST(GraphemesTest, MalformedBytesCountAsOneCharacterEach) {
    EXPECT_EQ(cw::userPerceivedCharacterCount("a\xFF" "b"), 3u);
    EXPECT_EQ(cw::userPerceivedCharacterCount("\x80\x80"), 2u);
    // A truncated sequence at the end.
    EXPECT_EQ(cw::userPerceivedCharacterCount("ab\xE2\x82"), 3u);
    EXPECT_EQ(cw::userPerceivedCharacterCount(std::string("a\0b", 3)), 3u);
}

} // namespace
