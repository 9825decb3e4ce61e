#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/TextLayout.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {
std::string utf16WithBOM(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (char16_t c : cw::utf8ToUTF16(utf8)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}
} // namespace

TEST(HTMLImport, ListsReadTabBulletTabWithHeadIndent) {
    const auto s =
        NSAttributedString::fromHTML("<p>Intro  text</p><ul><li>first\n item</li><li>second</li></ul>");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "Intro text\n\t\u2022\tfirst item\n\t\u2022\tsecond\n");
    // Every run carries a paragraph style; list items indent their wrapped lines.
    for (const auto& run : s->runs())
        EXPECT_TRUE(run.attributes.paragraphStyle.has_value());
    const auto item = s->attributes(s->utf16().find(u"first"));
    ASSERT_TRUE(item.paragraphStyle);
    EXPECT_GT(item.paragraphStyle->headIndent, 0);
    EXPECT_EQ(s->attributes(0).paragraphStyle->headIndent, 0);
    EXPECT_EQ(s->attributes(0).paragraphStyle->paragraphSpacing, 12);
    EXPECT_EQ(item.paragraphStyle->paragraphSpacing, 0);
}

TEST(HTMLImport, NestedAndOrderedLists) {
    const auto s = NSAttributedString::fromHTML("<ol start=3><li>a</li><li>b<ul><li>c</li></ul></li></ol>");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "\t3.\ta\n\t4.\tb\n\t\t\u25E6\tc\n");
}

TEST(HTMLImport, InlineStylesEntitiesAndLinks) {
    const auto s = NSAttributedString::fromHTML(
        "<p>a <b>bold</b> <i>it</i> &amp; <a href=\"https://x.test/\">link</a>&nbsp;&eacute;"
        "<span style=\"color:#ff0000\">red</span></p><h1>Head</h1>");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "a bold it & link\u00A0\u00E9red\nHead\n");
    const auto at = [&](const char16_t* w) { return s->attributes(s->utf16().find(w)); };
    EXPECT_EQ(at(u"bold").font->weight(), UIFont::Weight::bold);
    EXPECT_TRUE(at(u"it").font->isItalic());
    EXPECT_EQ(at(u"link").link, "https://x.test/");
    EXPECT_EQ(at(u"link").underlineStyle, NSUnderlineStyle::single);
    EXPECT_EQ(at(u"red").foregroundColor, UIColor(1, 0, 0, 1));
    EXPECT_GT(at(u"Head").font->pointSize(), at(u"bold").font->pointSize());
}

TEST(HTMLImport, UTF16WithByteOrderMark) {
    const auto s = NSAttributedString::fromHTML(utf16WithBOM("<p>\u05E9\u05DC\u05D5\u05DD caf\u00E9</p>"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "\u05E9\u05DC\u05D5\u05DD caf\u00E9\n");
}

TEST(HTMLImport, DamagedDocumentsStillGiveText) {
    const char* broken[] = {
        "<p>unclosed <b>bold <i>and <ul><li>item",
        "</div></p><<<>>>&bogus; &#xFFFFFFFF; &#0; text",
        "<script>alert(1)</script><style>p{}</style>visible",
        "<!DOCTYPE html SYSTEM \"http://example.invalid/x.dtd\"><p>&ext;</p>",
        "\x00\xFF\xFE<p>bytes\x80\x81</p>",
    };
    for (const char* doc : broken) {
        const auto s =
            NSAttributedString::fromHTML(std::string_view(doc, std::strlen(doc) + (doc[0] == 0 ? 12 : 0)));
        ASSERT_TRUE(s.has_value()) << doc;
    }
    EXPECT_NE(NSAttributedString::fromHTML(broken[0])->string().find("item"), std::string::npos);
    EXPECT_EQ(NSAttributedString::fromHTML(broken[2])->string(), "visible\n");

    // Deep nesting and random bytes: no crash, no hang.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<div><span>";
    deep += "x";
    EXPECT_TRUE(NSAttributedString::fromHTML(deep).has_value());
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string junk(300, '\0');
        for (auto& c : junk)
            c = "<>/&;#ab \n\"=liu"[rng() % 16];
        (void)NSAttributedString::fromHTML(junk);
    }
}

// What an import builds is bounded by elements and characters, whatever the bytes: a document
// past either gives none and says so; one within both is imported as usual. The elements the
// parser supplies (html, body) count too.
TEST(HTMLImport, ADocumentPastItsLimitsIsNotImported) {
    const HTMLImportLimits limits{.elements = 12, .characters = 100};
    auto paragraphs = [](int count) {
        std::string html;
        for (int i = 0; i < count; ++i)
            html += "<p>x</p>";
        return html;
    };
    bool tooLarge = true;
    const auto fits = NSAttributedString::fromHTML(paragraphs(10), false, limits, &tooLarge);
    ASSERT_TRUE(fits);
    EXPECT_FALSE(tooLarge);
    EXPECT_EQ(fits->string(), "x\nx\nx\nx\nx\nx\nx\nx\nx\nx\n");
    EXPECT_FALSE(NSAttributedString::fromHTML(paragraphs(11), false, limits, &tooLarge));
    EXPECT_TRUE(tooLarge);

    EXPECT_TRUE(NSAttributedString::fromHTML("<p>" + std::string(100, 'x') + "</p>", false, limits, &tooLarge));
    EXPECT_FALSE(tooLarge);
    // Text comes to the importer as it stands, blanks and all; each byte of it counts.
    EXPECT_FALSE(NSAttributedString::fromHTML("<p>" + std::string(101, 'x') + "</p>", false, limits, &tooLarge));
    EXPECT_TRUE(tooLarge);
    EXPECT_FALSE(NSAttributedString::fromHTML("<p>x</p>" + std::string(200, ' ') + "<p>y</p>", false, limits));
    // Comments and attributes are nodes too, though nothing shows them.
    std::string comments = "<p>x</p>", attributes = "<p";
    for (int i = 0; i < 20; ++i) {
        comments += "<!---->";
        attributes += " a" + std::to_string(i);
    }
    EXPECT_FALSE(NSAttributedString::fromHTML(comments, false, limits, &tooLarge));
    EXPECT_TRUE(tooLarge);
    EXPECT_FALSE(NSAttributedString::fromHTML(attributes + ">x</p>", false, limits, &tooLarge));
    EXPECT_TRUE(tooLarge);

    // The default limits take what a long article holds, and no document a hostile server makes of
    // a few kilobytes: fifty thousand paragraphs, or a million characters and more.
    EXPECT_TRUE(NSAttributedString::fromHTML(paragraphs(5000)));
    EXPECT_FALSE(NSAttributedString::fromHTML(paragraphs(60'000), false, {}, &tooLarge));
    EXPECT_TRUE(tooLarge);
    EXPECT_FALSE(NSAttributedString::fromHTML(std::string(1'000'001, 'x'), false, {}, &tooLarge));
    EXPECT_TRUE(tooLarge);
}

// The parser checks each attribute of a start tag against all before it, before anything is built:
// a tag of more attributes than a page holds is refused before the parser reads it, however the
// markup around it dresses it. Pages of many tags, and words in values, comments and text, are
// imported as ever.
TEST(HTMLImport, AStartTagOfMoreAttributesThanAPageHoldsIsNotImported) {
    const auto attributes = [](int count, const std::function<std::string(int)>& one) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += one(i);
        return out;
    };
    const auto plain = [](int i) { return " a" + std::to_string(i); };

    // As found, though smaller (hundreds of thousands held the parser for minutes): one tag within
    // every other limit.
    bool tooLarge = false;
    EXPECT_FALSE(
        NSAttributedString::fromHTML("<p" + attributes(5000, plain) + ">x</p>", false, {}, &tooLarge));
    EXPECT_TRUE(tooLarge);

    const HTMLImportLimits limits{.tagAttributes = 10};
    const auto fits =
        NSAttributedString::fromHTML("<p" + attributes(10, plain) + ">x</p>", false, limits, &tooLarge);
    ASSERT_TRUE(fits);
    EXPECT_FALSE(tooLarge);
    EXPECT_EQ(fits->string(), "x\n");

    const std::string words = attributes(40, [](int i) { return " word" + std::to_string(i); });
    const std::string honest[] = {
        attributes(20, [&](int) { return "<p" + attributes(10, plain) + ">x</p>"; }),
        "<p title=\"" + words + "\">" + words + "</p><!--" + words + " -->",
    };
    for (const auto& html : honest) {
        EXPECT_TRUE(NSAttributedString::fromHTML(html, false, limits, &tooLarge)) << html;
        EXPECT_FALSE(tooLarge);
    }

    // Each holds eleven attributes or more as the parser reads it.
    const std::string padding(64 * 1024 - 1, 'x');
    const struct {
        const char* what;
        std::string html;
    } refused[] = {
        {"one more", "<p" + attributes(11, plain) + ">x</p>"},
        {"values that hold \">\"",
         "<p" + attributes(11, [](int i) { return " a" + std::to_string(i) + "=\">\""; }) + ">x"},
        {"no blanks between",
         "<p " + attributes(11, [](int i) { return "a" + std::to_string(i) + "='x'"; }) + ">x"},
        {"names longer than the parser takes",
         "<p " + attributes(11, [](int i) { return std::string(99, 'a') + static_cast<char>('a' + i); }) +
             ">x"},
        {"behind a stray quote", "<p x\"" + attributes(11, plain) + "\">x"},
        {"behind what looks like a comment", "<p title=\"<!--\"" + attributes(11, plain) + ">x"},
        {"behind an end tag", "<p>x</p <a x=\"> <b" + attributes(11, plain) + " \">y"},
        {"in a script's text", "<script>var s = \"</script><b" + attributes(11, plain) + ">\";</script>"},
        {"across the pieces the parser is fed", padding + "<p" + attributes(11, plain) + ">x"},
    };
    for (const auto& c : refused) {
        tooLarge = false;
        EXPECT_FALSE(NSAttributedString::fromHTML(c.html, false, limits, &tooLarge)) << c.what;
        EXPECT_TRUE(tooLarge) << c.what;
    }
}

TEST(HTMLImport, RunsOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<std::string> results(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&results, i] {
            for (int k = 0; k < 25; ++k) {
                auto s = NSAttributedString::fromHTML("<ul><li>one</li><li>two</li></ul>");
                results[i] = s ? s->string() : "";
                if (s) (void)s->boundingRect({200, 0});
            }
        });
    for (auto& t : threads)
        t.join();
    for (const auto& r : results)
        EXPECT_EQ(r, "\t\u2022\tone\n\t\u2022\ttwo\n");
}

// The feed's card rendering rewrites an import this way: list markers become a bullet and two
// spaces, the body font replaces every font, and runs that start a list item get a head indent
// of the marker's width so wrapped lines align with the item's text.
TEST(HTMLImport, ListConventionSupportsTheCardRewrite) {
    auto imported = NSAttributedString::fromHTML(utf16WithBOM(
        "<p>Skin to skin care helps.</p><ul><li>It keeps your baby warm and calm through the day</li>"
        "<li>It helps feeding</li></ul>"));
    ASSERT_TRUE(imported);
    NSMutableAttributedString s(*imported);
    s.replaceOccurrences("\t\u2022\t", "\u2022\t");
    s.replaceOccurrences("\t", "  ");
    while (!s.empty() && s.utf16().back() == u'\n')
        s.deleteCharacters({s.length() - 1, 1});
    const UIFont body = UIFont::preferredFont(UIFontTextStyle::body);
    s.addAttributes({.font = body}, {0, s.length()});
    const CGFloat markerWidth = textBoundingRect("\u2022  ", {100, 100}, {.font = body}).size.width;
    EXPECT_GT(markerWidth, 5);
    for (const auto& run : s.runs()) {
        if (s.utf16().compare(run.range.location, 3, u"\u2022  ") != 0 || !run.attributes.paragraphStyle)
            continue;
        NSMutableParagraphStyle style = *run.attributes.paragraphStyle;
        style.headIndent = markerWidth;
        s.addAttributes({.paragraphStyle = style}, run.range);
    }
    EXPECT_EQ(s.string(),
              "Skin to skin care helps.\n\u2022  It keeps your baby warm and calm through the day\n"
              "\u2022  It helps feeding");
    const auto item = s.attributes(s.utf16().find(u"It keeps"));
    EXPECT_EQ(item.font, body);
    ASSERT_TRUE(item.paragraphStyle);
    EXPECT_DOUBLE_EQ(item.paragraphStyle->headIndent, markerWidth);
    EXPECT_EQ(s.attributes(0).paragraphStyle->headIndent, 0);
    // The wrapped item's second line is indented: narrower than the same text without the indent.
    const CGRect indented = s.boundingRect({180, 0});
    NSMutableAttributedString flat(s);
    flat.addAttributes({.paragraphStyle = NSParagraphStyle{}}, {0, flat.length()});
    EXPECT_GE(indented.size.height, flat.boundingRect({180, 0}).size.height);
}

// List items tab their marker in a little and their text to the head indent, so the first line
// lines up with the wrapped ones; headings and lists keep a line's space after them, as paragraphs do.
TEST(HTMLImport, ListItemsTabToTheirIndentAndBlocksKeepSpaceAfterThem) {
    const auto s = NSAttributedString::fromHTML(
        "<h2>Head</h2><ul><li>one two three four five six</li><li>b<ul><li>inner</li></ul></li><li>last</li></ul>"
        "<p>after</p>");
    ASSERT_TRUE(s);
    const auto at = [&](const char16_t* w) { return *s->attributes(s->utf16().find(w)).paragraphStyle; };
    EXPECT_EQ(at(u"one").tabStops, (std::vector<CGFloat>{11, 36}));
    EXPECT_EQ(at(u"inner").tabStops, (std::vector<CGFloat>{36, 47, 72}));
    EXPECT_EQ(at(u"Head").paragraphSpacing, 12);
    EXPECT_EQ(at(u"one").paragraphSpacing, 0);
    EXPECT_EQ(at(u"inner").paragraphSpacing, 0) << "a nested list has no margin of its own";
    EXPECT_EQ(at(u"last").paragraphSpacing, 12);
    EXPECT_EQ(s->attributes(s->utf16().find(u"last") + 4).paragraphStyle->paragraphSpacing, 12)
        << "also its line feed";

    const std::size_t start = s->utf16().find(u"\t\u2022\tone");
    const NSAttributedString item = s->attributedSubstring({start, s->utf16().find(u'\n', start) - start});
    const cw::detail::TextLayout layout(item, 120);
    ASSERT_GE(layout.lineCount(), 2);
    const auto one = layout.rects({3, 3});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NEAR(one[0].minX(), 36, 0.5);
    EXPECT_NEAR(layout.lineOrigin(1).x, 36, 0.5);
    const auto bullet = layout.rects({1, 1});
    ASSERT_EQ(bullet.size(), 1u);
    EXPECT_NEAR(bullet[0].minX(), 11, 0.5);
}

// Pictures are left out, unless asked for: then each stands in the text as U+FFFC with its
// address, the size the page gave it and its alternative text; one without an address is nothing.
TEST(HTMLImport, PicturesAreKeptAsAttachmentsOnlyWhenAskedFor) {
    const char* html = R"(<p>Hold <img src=" /a.png " width="120px" height="bad" alt="A hold">now<img>
<a href="/x"><img src="b.jpg"></a></p>)";
    EXPECT_EQ(NSAttributedString::fromHTML(html)->string(), "Hold now\n");
    const auto s = NSAttributedString::fromHTML(html, true);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "Hold \uFFFCnow \uFFFC\n");
    const auto first = s->attributes(s->utf16().find(u'\uFFFC')).attachment;
    ASSERT_TRUE(first);
    EXPECT_EQ(first->source, "/a.png");
    EXPECT_EQ(first->size, (CGSize{120, 0}));
    EXPECT_EQ(first->alternateText, "A hold");
    const auto linked = s->attributes(s->utf16().rfind(u'\uFFFC'));
    EXPECT_EQ(linked.attachment->source, "b.jpg");
    EXPECT_EQ(linked.link, "/x");
    EXPECT_FALSE(s->attributes(0).attachment);
}

// The blank between words in two elements belongs to the first: the blank before a link is not
// part of it (nor underlined), nor is the one before a bold word bold.
TEST(HTMLImport, BlanksBeforeAnElementKeepTheStyleOfTheTextBeforeIt) {
    const auto s = NSAttributedString::fromHTML("<p>Read next: <a href=\"/6\">Your first hold</a> and <b>this</b>.</p>");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->string(), "Read next: Your first hold and this.\n");
    const std::size_t link = s->utf16().find(u"Your");
    NSRange range;
    EXPECT_EQ(s->attributes(link, &range).link, "/6");
    EXPECT_EQ(range, (NSRange{link, 15}));
    EXPECT_FALSE(s->attributes(link - 1).underlineStyle);
    EXPECT_EQ(s->attributes(s->utf16().find(u"this") - 1).font->weight(), UIFont::Weight::regular);
}
