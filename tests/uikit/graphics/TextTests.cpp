#include "uikit/graphics/NSAttributedString.h"

#include <gtest/gtest.h>
#include <thread>

namespace {
TextAttributes withFont(const char* name, CGFloat size) {
    return {.font = UIFont::named(name, size)};
}
} // namespace

TEST(NSAttributedString, IndicesCountUTF16Units) {
    const NSAttributedString s("a\U0001F600b\u00E9");
    EXPECT_EQ(s.length(), 5u); // the emoji is a surrogate pair
    EXPECT_EQ(s.string(), "a\U0001F600b\u00E9");
    EXPECT_EQ(NSAttributedString("\xFF\xFEok").string(), "\uFFFD\uFFFDok");
    EXPECT_EQ(NSAttributedString("\xE2\x82").string(), "\uFFFD\uFFFD"); // truncated sequence
}

TEST(NSAttributedString, EditsKeepRunsInPlace) {
    NSMutableAttributedString s("hello world");
    const TextAttributes red{.foregroundColor = UIColor::redColor()};
    s.addAttributes(red, {6, 5});
    NSRange run;
    EXPECT_FALSE(s.attributes(0, &run).foregroundColor);
    EXPECT_EQ(run, (NSRange{0, 6}));
    EXPECT_EQ(s.attributes(7, &run).foregroundColor, UIColor::redColor());
    EXPECT_EQ(run, (NSRange{6, 5}));

    // Inserted text takes the attributes of what it replaces.
    s.replaceCharacters({6, 5}, "there");
    EXPECT_EQ(s.string(), "hello there");
    EXPECT_EQ(s.attributes(10).foregroundColor, UIColor::redColor());
    EXPECT_EQ(s.runs().size(), 2u);

    s.removeAttribute(TextAttributes::Key::foregroundColor, {0, 100});
    EXPECT_EQ(s.runs().size(), 1u);

    // Out-of-range edits are clipped, never past the end.
    s.replaceCharacters({50, 3}, "!");
    EXPECT_EQ(s.string(), "hello there!");
    s.deleteCharacters({5, 100});
    EXPECT_EQ(s.string(), "hello");
    EXPECT_TRUE(s.attributes(99).empty());
}

TEST(NSAttributedString, ReplaceOccurrencesIsLiteralAndNonOverlapping) {
    NSMutableAttributedString s("\t\u2022\tone\n\t\u2022\ttwo\tx");
    EXPECT_EQ(s.replaceOccurrences("\t\u2022\t", "\u2022\t"), 2u);
    EXPECT_EQ(s.replaceOccurrences("\t", "  "), 3u);
    EXPECT_EQ(s.string(), "\u2022  one\n\u2022  two  x");
    NSMutableAttributedString a("aaaa");
    EXPECT_EQ(a.replaceOccurrences("aa", "a"), 2u);
    EXPECT_EQ(a.string(), "aa");
    EXPECT_EQ(a.replaceOccurrences("", "x"), 0u);
}

TEST(NSAttributedString, EnumerationStopsWhenAsked) {
    NSMutableAttributedString s("abc");
    s.addAttributes({.link = "x"}, {1, 1});
    int seen = 0;
    s.enumerateAttributes({0, 3}, [&](const TextAttributes&, NSRange, bool& stop) {
        ++seen;
        stop = seen == 2;
    });
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(s.attributedSubstring({1, 2}).runs().front().attributes.link, "x");
}

TEST(TextMeasuring, SizesFollowFontSizeAndWidth) {
    const auto small = textSize("Hello there", withFont("Avenir-Medium", 12));
    const auto large = textSize("Hello there", withFont("Avenir-Medium", 24));
    EXPECT_GT(small.width, 20);
    EXPECT_NEAR(large.width, 2 * small.width, 2);
    EXPECT_GT(large.height, small.height);

    const std::string para = "A sentence long enough to need several lines when it is laid out narrowly.";
    const auto oneLine = textBoundingRect(para, {1000, 0}, withFont("Avenir-Roman", 14));
    const auto wrapped = textBoundingRect(para, {100, 0}, withFont("Avenir-Roman", 14));
    EXPECT_LE(wrapped.size.width, 100);
    EXPECT_GT(wrapped.size.height, 3 * oneLine.size.height);

    NSParagraphStyle spaced;
    spaced.lineSpacing = 10;
    TextAttributes attrs = withFont("Avenir-Roman", 14);
    attrs.paragraphStyle = spaced;
    EXPECT_GT(textBoundingRect(para, {100, 0}, attrs).size.height, wrapped.size.height + 20);
    EXPECT_EQ(NSAttributedString().boundingRect({100, 100}).size.width, 0);
}

TEST(TextMeasuring, HeadIndentNarrowsWrappedLines) {
    const std::string para = "word word word word word word word word word word word word";
    TextAttributes plain = withFont("Avenir-Roman", 14);
    TextAttributes indented = plain;
    NSParagraphStyle style;
    style.headIndent = 60;
    indented.paragraphStyle = style;
    EXPECT_GT(textBoundingRect(para, {150, 0}, indented).size.height,
              textBoundingRect(para, {150, 0}, plain).size.height);
}

TEST(TextMeasuring, WorksOnBackgroundThreads) {
    CGSize sizes[4];
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&sizes, i] {
            for (int k = 0; k < 20; ++k)
                sizes[i] = textSize("Background", {.font = UIFont::named("Avenir-Book", 16)});
        });
    for (auto& t : threads)
        t.join();
    for (const auto& s : sizes)
        EXPECT_EQ(s, sizes[0]);
}

TEST(NSAttributedString, InsertionsTakeNeighbouringAttributes) {
    const TextAttributes bold{.font = UIFont::boldSystemFont(12)};
    NSMutableAttributedString s("ab", bold);
    s.replaceCharacters({0, 0}, "<"); // at the start: the attributes of what follows
    s.append(">");                    // at the end: the attributes of what precedes
    EXPECT_EQ(s.string(), "<ab>");
    EXPECT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.attributes(3).font, UIFont::boldSystemFont(12));

    NSMutableAttributedString mixed("12");
    mixed.insert(NSAttributedString("x", {.link = "l"}), 1);
    mixed.append(NSAttributedString("y", {.link = "l"}));
    EXPECT_EQ(mixed.string(), "1x2y");
    EXPECT_EQ(mixed.runs().size(), 4u);
    EXPECT_EQ(mixed.attributes(1).link, "l");
    EXPECT_FALSE(mixed.attributes(2).link);
    mixed.setAttributes({}, {0, 4});
    EXPECT_EQ(mixed.runs().size(), 1u);
    EXPECT_TRUE(mixed.runs().front().attributes.empty());
}

TEST(NSAttributedString, SplitSurrogatesNeverProduceInvalidText) {
    NSMutableAttributedString s("\U0001F600");
    ASSERT_EQ(s.length(), 2u);
    s.deleteCharacters({1, 1}); // leaves a lone high surrogate
    EXPECT_EQ(s.string(), "\uFFFD");
    EXPECT_NO_THROW((void)s.boundingRect({100, 0}));
}

TEST(UTF, MalformedSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(cw::utf8ToUTF32("\xC0\xAF"), U"\uFFFD\uFFFD");                      // overlong slash
    EXPECT_EQ(cw::utf8ToUTF32("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");            // encoded surrogate
    EXPECT_EQ(cw::utf8ToUTF32("\xF4\x90\x80\x80"), std::u32string(4, U'\uFFFD')); // beyond U+10FFFF
    EXPECT_EQ(cw::utf8ToUTF32("a\xF0\x9F\x98"), U"a\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(cw::utf16ToUTF8(cw::utf8ToUTF16("\U0010FFFF\u20AC")), "\U0010FFFF\u20AC");
}

TEST(TextMeasuring, ParagraphsStackAndAlignmentKeepsWidth) {
    const TextAttributes font{.font = UIFont::named("Avenir-Roman", 14)};
    const CGSize one = textSize("line", font);
    const CGSize two = textSize("line\nline", font);
    EXPECT_NEAR(two.height, 2 * one.height, 0.5);
    EXPECT_NEAR(two.width, one.width, 0.01);
    NSParagraphStyle spaced;
    spaced.paragraphSpacing = 12;
    TextAttributes withSpacing = font;
    withSpacing.paragraphStyle = spaced;
    EXPECT_NEAR(textSize("line\nline", withSpacing).height, two.height + 12, 0.5);
    // A first-line indent widens the one-line measure by the indent.
    NSParagraphStyle indented;
    indented.firstLineHeadIndent = 20;
    indented.headIndent = 20;
    TextAttributes withIndent = font;
    withIndent.paragraphStyle = indented;
    EXPECT_NEAR(textSize("line", withIndent).width, one.width + 20, 0.5);
    // Runs without a font are measured in the default font.
    EXPECT_EQ(textSize("line", {}), textSize("line", {.font = UIFont::systemFont(12)}));
}

TEST(TextMeasuring, LineLimitCutsTheText) {
    const NSAttributedString text("one two three four five six seven eight nine ten eleven twelve",
                                  {.font = UIFont::named("Avenir-Roman", 14)});
    const CGRect all = text.boundingRect({60, 0});
    const CGRect two = text.boundingRect({60, 0}, NSStringDrawingOptions::usesLineFragmentOrigin, 2);
    const CGRect one = text.boundingRect({60, 0}, NSStringDrawingOptions::usesLineFragmentOrigin, 1);
    EXPECT_NEAR(two.size.height, 2 * one.size.height, 0.5);
    EXPECT_GT(all.size.height, two.size.height);
    EXPECT_LE(two.size.width, 60);
    // Lines are counted across paragraphs.
    const NSAttributedString paragraphs("a\nb\nc", {.font = UIFont::named("Avenir-Roman", 14)});
    EXPECT_NEAR(
        paragraphs.boundingRect({100, 0}, NSStringDrawingOptions::usesLineFragmentOrigin, 2).size.height,
        two.size.height, 0.5);
}
