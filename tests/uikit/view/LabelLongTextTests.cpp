// Texts far longer than a label shows (a post of one 60,000-character word, a name of megabytes):
// a layout shapes no more than its lines can show, a word longer than a line breaks between its
// characters where Pango's own wrapping breaks it, and hit testing still finds each character.

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using cw::detail::shapedUnitCount;

constexpr std::size_t kLongWord = 60'000;

// A label lays its text out a few times (unwrapped for its natural width, wrapped at its width),
// each layout shaping no more than kMostShapedUnits.
constexpr std::size_t kFewLayouts = 3 * cw::detail::kMostShapedUnits;

std::size_t unitsShapedBy(const std::function<void()>& work) {
    const std::size_t before = shapedUnitCount();
    work();
    return shapedUnitCount() - before;
}

std::string sentences(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes)
        text += "She held my finger the whole time. ";
    return text;
}

// A label as a screen lays it out and draws it: its size for the width, then the text in its bounds.
void layOutAndDraw(UILabel& label, CGFloat width) {
    const CGSize size = label.sizeThatFits({width, 0});
    label.setFrame({0, 0, width, std::min<CGFloat>(size.height, 2000)});
    (void)label.intrinsicContentSize();
    UIGraphicsBeginImageContextWithOptions({width, 100}, false, 1);
    label.drawText(label.bounds());
    UIGraphicsEndImageContext();
}

} // namespace

TEST(LabelLongText, ALayoutShapesNoMoreThanItsLinesCanShow) {
    for (const bool oneWord : {true, false}) {
        SCOPED_TRACE(oneWord ? "one word" : "sentences");
        const std::string text = oneWord ? std::string(kLongWord, 'a') : sentences(kLongWord);

        UILabel name; // a member's name: one line, cut with an ellipsis
        name.setFont(UIFont::systemFont(15));
        name.setText(text);
        EXPECT_LT(unitsShapedBy([&] { layOutAndDraw(name, 331); }), 4'000u);

        UILabel summary; // a card's summary of three lines
        summary.setFont(UIFont::systemFont(15));
        summary.setNumberOfLines(3);
        summary.setText(text);
        EXPECT_LT(unitsShapedBy([&] { layOutAndDraw(summary, 331); }), 4'000u);

        // A post's text, all of it shown: as much as several screens show, and no more.
        UILabel post;
        post.setFont(UIFont::systemFont(15));
        post.setNumberOfLines(0);
        post.setText(text);
        EXPECT_LT(unitsShapedBy([&] { layOutAndDraw(post, 331); }), kFewLayouts);
        EXPECT_GT(post.sizeThatFits({331, 0}).height, 667) << "more than a screen of it shows";
        EXPECT_EQ(post.text()->size(), text.size()) << "the label keeps the whole text";
        EXPECT_FALSE(post.rects({0, 10}).empty());
        EXPECT_TRUE(post.rects({kLongWord - 10, 10}).empty()) << "the text's end is not laid out";

        // Styled text, laid out a paragraph at a time, and measured as a string.
        UILabel styled;
        styled.setNumberOfLines(0);
        TextAttributes bold;
        bold.font = UIFont::boldSystemFont(15);
        styled.setAttributedText(NSAttributedString(text, bold));
        EXPECT_LT(unitsShapedBy([&] { layOutAndDraw(styled, 331); }), kFewLayouts);
        EXPECT_LT(unitsShapedBy([&] {
                      (void)NSAttributedString(text, bold).boundingRect({331, 0});
                      (void)NSAttributedString(text, bold).size();
                  }),
                  kFewLayouts);
    }
    // Lines past the end of any screen cost nothing either, however many the text has.
    UILabel lines;
    lines.setNumberOfLines(0);
    lines.setText(std::string(kLongWord, '\n'));
    EXPECT_LT(unitsShapedBy([&] { layOutAndDraw(lines, 331); }), kFewLayouts);
    EXPECT_LT(unitsShapedBy([&] { (void)NSAttributedString(std::string(kLongWord, '\n')).boundingRect({331, 0}); }),
              kFewLayouts);
}

// Broken as Pango's own wrapping by words, falling back to characters (without hyphens, as on the
// platform), breaks it: the word starts on a line of its own and fills each line to its end; the
// text after it follows on.
TEST(LabelLongText, AWordLongerThanALineBreaksBetweenItsCharactersAsWrappingDoes) {
    const std::string text = "Hello " + std::string(1'500, 'm') + " bye";
    const UIFont font = UIFont::systemFont(15);
    const CGFloat width = 205;

    cw::detail::GObjectPtr<PangoLayout> own{pango_layout_new(cw::detail::measuringContext())};
    pango_layout_set_text(own.get(), text.c_str(), static_cast<int>(text.size()));
    pango_layout_set_font_description(own.get(), cw::detail::fontDescription(font).get());
    pango_layout_set_width(own.get(), static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(own.get(), PANGO_WRAP_WORD_CHAR);
    PangoAttrList* noHyphens = pango_attr_list_new();
    pango_attr_list_insert(noHyphens, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(own.get(), noHyphens);
    pango_attr_list_unref(noHyphens);
    const int ownLines = pango_layout_get_line_count(own.get());
    ASSERT_GT(ownLines, 50);

    UILabel label;
    label.setFont(font);
    label.setNumberOfLines(0);
    label.setText(text);
    label.setFrame({0, 0, width, label.sizeThatFits({width, 0}).height});
    PangoRectangle all;
    pango_layout_get_extents(own.get(), nullptr, &all);
    EXPECT_NEAR(label.bounds().size.height, all.height / double(PANGO_SCALE), 1) << "as many lines";

    const CGRect hello = label.rects({0, 1}).at(0), first = label.rects({6, 1}).at(0);
    EXPECT_GT(first.minY(), hello.minY()) << "the word starts a line of its own";
    EXPECT_NEAR(first.minX(), 0, 0.5);
    // Each of its lines is full: the next character would not fit, and starts the next line.
    std::size_t lineStarts = 1;
    for (std::size_t i = 7; i < 6 + 1'500; ++i) {
        const CGRect box = label.rects({i, 1}).at(0), before = label.rects({i - 1, 1}).at(0);
        if (box.minY() == before.minY()) continue;
        ++lineStarts;
        EXPECT_NEAR(box.minX(), 0, 0.5) << i;
        EXPECT_GT(before.maxX() + box.width(), width) << "the line before character " << i << " had room for it";
    }
    EXPECT_EQ(static_cast<int>(lineStarts) + 1, ownLines) << "Hello, then the word's lines";
    const CGRect bye = label.rects({text.size() - 3, 3}).at(0), last = label.rects({6 + 1'499, 1}).at(0);
    EXPECT_EQ(bye.minY(), last.minY()) << "the text after the word follows on its last line";
}

// A tap finds the character under the finger, and a range its boxes, past a word broken between
// its characters: the breaks put into the word are no characters of the text.
TEST(LabelLongText, HitTestingFindsTheCharactersAfterALongWord) {
    const std::string word(900, 'w');
    const std::string text = word + " a link here";
    UILabel label;
    label.setFont(UIFont::systemFont(15));
    label.setNumberOfLines(0);
    label.setText(text);
    label.setFrame({0, 0, 240, label.sizeThatFits({240, 0}).height});

    const std::size_t link = text.find("link");
    const auto boxes = label.rects({link, 4});
    ASSERT_EQ(boxes.size(), 1u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto box = label.rects({link + i, 1});
        ASSERT_EQ(box.size(), 1u);
        EXPECT_EQ(label.characterIndex({box[0].midX(), box[0].midY()}), link + i);
    }
    EXPECT_NEAR(boxes[0].width(), label.rects({link, 1})[0].width() + label.rects({link + 1, 3})[0].width(), 0.5);

    // Within the word, on a line of its own past its first line's worth.
    const auto inside = label.rects({700, 1});
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_EQ(label.characterIndex({inside[0].midX(), inside[0].midY()}), 700u);
}
