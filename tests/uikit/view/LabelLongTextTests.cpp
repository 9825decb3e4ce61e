// Texts far longer than a label shows (a post of one 60,000-character word, a name of megabytes):
// a layout shapes no more than its lines can show; whatever a member writes, in any script, is laid
// out whole, its lines ending where Pango's own wrapping ends them, at the cost of shaping each line
// about once; and hit testing still finds each character.

#include "foundation/text/Utf8.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <hb.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace {

using cw::detail::shapedUnitCount;

constexpr std::size_t kLongWord = 60'000;

// A label lays its text out a few times (unwrapped for its natural width, wrapped at its width),
// each layout shaping no more than kMostShapedCharacters.
constexpr std::size_t kFewLayouts = 3 * cw::detail::kMostShapedCharacters;

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

namespace {

std::string repeated(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// The UTF-16 index each line starts at, of Pango's own wrapping by words falling back to characters
// (without hyphens, as on the platform), and of a label's lines.
std::vector<std::size_t> wrappedLineStarts(const std::string& text, const UIFont& font, CGFloat width) {
    cw::detail::GObjectPtr<PangoLayout> own{pango_layout_new(cw::detail::measuringContext())};
    pango_layout_set_text(own.get(), text.c_str(), static_cast<int>(text.size()));
    pango_layout_set_font_description(own.get(), cw::detail::fontDescription(font).get());
    pango_layout_set_width(own.get(), static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(own.get(), PANGO_WRAP_WORD_CHAR);
    PangoAttrList* noHyphens = pango_attr_list_new();
    pango_attr_list_insert(noHyphens, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(own.get(), noHyphens);
    pango_attr_list_unref(noHyphens);
    std::vector<std::size_t> starts;
    for (GSList* l = pango_layout_get_lines_readonly(own.get()); l; l = l->next)
        starts.push_back(cw::utf8ToUTF16(text.substr(0, static_cast<PangoLayoutLine*>(l->data)->start_index)).size());
    return starts;
}

std::vector<std::size_t> labelLineStarts(const UILabel& label, std::size_t length) {
    std::vector<std::size_t> starts;
    CGFloat top = -1;
    for (std::size_t i = 0; i < length; ++i) {
        const auto box = label.rects({i, 1});
        if (box.empty() || box[0].minY() <= top) continue;
        starts.push_back(i);
        top = box[0].minY();
    }
    return starts;
}

} // namespace

// The characters HarfBuzz has shaped for Pango in this process: the work laying text out takes,
// which Pango's own search for the ends of lines multiplies.
// (Other tests of this program measure text on background threads too.)
static std::atomic<std::size_t> shapedByHarfBuzz{0};

extern "C" hb_bool_t hb_shape_full(hb_font_t* font, hb_buffer_t* buffer, const hb_feature_t* features,
                                   unsigned int count, const char* const* shapers) {
    using Shape = hb_bool_t (*)(hb_font_t*, hb_buffer_t*, const hb_feature_t*, unsigned int, const char* const*);
    static const auto real = reinterpret_cast<Shape>(dlsym(RTLD_NEXT, "hb_shape_full"));
    shapedByHarfBuzz += hb_buffer_get_length(buffer);
    return real(font, buffer, features, count, shapers);
}

// Whatever a member writes (5,000 characters at most, in any script) is laid out whole, its lines
// ending where Pango's own wrapping ends them, a word longer than a line broken between its
// characters; and each line is shaped about once, where Pango alone measures a long word again from
// its start for every line, and tries a dozen ends of each line of emoji.
TEST(LabelLongText, AnyTextAMemberWritesIsWrappedWholeAsPangoWrapsItShapingEachLineOnce) {
    struct Row {
        const char* what;
        std::string text;
    };
    const Row rows[] = {
        {"a word longer than a line", "Hello " + std::string(1'500, 'm') + " bye"},
        {"Chinese", repeated("\u4eca\u5929\u5979\u63e1\u7740\u6211\u7684\u624b\u6307\u3002", 500)},
        {"Japanese", repeated("\u304d\u3087\u3046\u306f\u3044\u3044\u5929\u6c17\u3067\u3059\u306d\u3002", 400)},
        {"emoji", repeated("\U0001F476\U0001F37C\U0001F49B\U0001F60D", 1'250)},
        {"families of emoji", repeated("\U0001F468\u200D\U0001F469\u200D\U0001F467", 1'000)},
        {"Arabic", repeated("\u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645 ", 500)},
        {"Arabic laughter, one word", repeated("\u0647", 2'000)},
        {"Hebrew", repeated("\u05e9\u05dc\u05d5\u05dd \u05dc\u05db\u05d5\u05dc\u05dd ", 450)},
        {"combining marks", repeated("e\u0301", 2'500)},
        {"short paragraphs", repeated("\u6211\u7231\u4f60\n", 1'249) + "\u6211\u7231\u4f60"},
    };
    const UIFont font = UIFont::systemFont(15);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::size_t length = cw::utf8ToUTF16(row.text).size();
        UILabel label;
        label.setFont(font);
        label.setNumberOfLines(0);
        label.setText(row.text);
        const std::size_t shapedBefore = shapedByHarfBuzz;
        label.setFrame({0, 0, 331, label.sizeThatFits({331, 0}).height});
        const std::size_t shaped = shapedByHarfBuzz - shapedBefore;
        EXPECT_EQ(labelLineStarts(label, length), wrappedLineStarts(row.text, font, 331));
        const std::size_t characters = static_cast<std::size_t>(g_utf8_strlen(row.text.c_str(), -1));
        EXPECT_LE(shaped, 4 * characters) << "Pango searched for the ends of lines";

        // Styled, laid out a paragraph at a time: whole too.
        UILabel styled;
        styled.setNumberOfLines(0);
        styled.setAttributedText(NSAttributedString(row.text, TextAttributes{.font = font}));
        styled.setFrame({0, 0, 331, styled.sizeThatFits({331, 0}).height});
        EXPECT_FALSE(styled.rects({length - 8, 8}).empty()) << "the text's end is laid out";
    }
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
