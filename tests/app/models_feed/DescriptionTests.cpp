#include "Models/FeedResponse.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::shared_ptr<FeedResponse> cardWith(std::string description) {
    auto card = std::make_shared<FeedResponse>();
    card->cardDescription = std::move(description);
    return card;
}

CGFloat markerWidth() {
    return textBoundingRect("\u2022  ", {100, 100}, {.font = UIFont::preferredFont(UIFontTextStyle::body)})
        .size.width;
}

} // namespace

TEST(FeedDescription, ListAndLinkRenderedForTheCard) {
    auto card = cardWith("<p>Skin to skin <b>care</b> helps.</p>"
                         "<ul><li>It keeps your baby warm and calm through the whole day and night</li>"
                         "<li>Read <a href=\"https://example.org/feeding\">the feeding guide</a></li>"
                         "<li>It helps <i>feeding</i></li></ul>\n\n");
    const auto text = card->computeAttributedDescription();
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "Skin to skin care helps.\n"
                              "\u2022  It keeps your baby warm and calm through the whole day and night\n"
                              "\u2022  Read the feeding guide\n"
                              "\u2022  It helps feeding");

    const UIFont body = UIFont::preferredFont(UIFontTextStyle::body);
    for (const auto& run : text->runs()) {
        EXPECT_EQ(run.attributes.font, body) << run.range.location;
        EXPECT_TRUE(run.attributes.paragraphStyle);
    }
    const std::u16string& s = text->utf16();
    const auto link = text->attributes(s.find(u"feeding guide"));
    EXPECT_EQ(link.link, "https://example.org/feeding");

    // Every item, including the one after the item that ends in a link, wraps under its text;
    // the paragraph before the list does not.
    EXPECT_EQ(text->attributes(0).paragraphStyle->headIndent, 0);
    std::size_t items = 0;
    for (std::size_t at = s.find(u"\u2022  "); at != std::u16string::npos; at = s.find(u"\u2022  ", at + 1)) {
        ++items;
        const auto style = text->attributes(at).paragraphStyle;
        ASSERT_TRUE(style);
        EXPECT_DOUBLE_EQ(style->headIndent, markerWidth()) << at;
    }
    EXPECT_EQ(items, 3u);
    // The long item really wraps to an indented second line within a narrow width.
    const NSAttributedString longItem = text->attributedSubstring({s.find(u"\u2022  It keeps"), 68});
    NSMutableAttributedString flat(longItem);
    flat.addAttributes({.paragraphStyle = NSParagraphStyle{}}, {0, flat.length()});
    EXPECT_GT(longItem.boundingRect({200, 0}).size.height, 30);
    EXPECT_GE(longItem.boundingRect({200, 0}).size.height, flat.boundingRect({200, 0}).size.height);

    // Kept: the same rendering every time, even after the description changes.
    EXPECT_EQ(card->computeAttributedDescription(), text);
    card->cardDescription = "<p>Changed</p>";
    EXPECT_EQ(card->computeAttributedDescription(), text);
    EXPECT_EQ(card->computedAttributedDescription(), text);
}

TEST(FeedDescription, TabsAndEmptyDescriptions) {
    auto tabs = cardWith("<pre>a\tb</pre>");
    ASSERT_TRUE(tabs->computeAttributedDescription());
    EXPECT_EQ(tabs->computeAttributedDescription()->string(), "a  b");

    auto none = std::make_shared<FeedResponse>();
    EXPECT_FALSE(none->computeAttributedDescription());
    EXPECT_FALSE(none->computedAttributedDescription());
    // Nothing was kept, so a description given later is rendered.
    none->cardDescription = "Plain post text";
    ASSERT_TRUE(none->computeAttributedDescription());
    EXPECT_EQ(none->computeAttributedDescription()->string(), "Plain post text");

    // Damaged markup still renders what it can.
    auto broken = cardWith("<ul><li>one<li>two</ul");
    ASSERT_TRUE(broken->computeAttributedDescription());
    EXPECT_EQ(broken->computeAttributedDescription()->string(), "\u2022  one\n\u2022  two");

    // A description that would become more than any article (a reply's one text of sixty thousand
    // paragraphs) shows none rather than taking the phone's memory.
    std::string paragraphs;
    for (int i = 0; i < 60'000; ++i)
        paragraphs += "<p>x</p>";
    EXPECT_FALSE(cardWith(paragraphs)->computeAttributedDescription());
}

TEST(FeedDescription, RenderedFromTwoThreadsGivesOneInstance) {
    for (int round = 0; round < 20; ++round) {
        auto card = cardWith("<p>Round " + std::to_string(round) + "</p><ul><li>a</li><li>b</li></ul>");
        std::atomic<bool> go{false};
        std::vector<std::shared_ptr<const NSAttributedString>> seen(4);
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&, i] {
                while (!go) {
                }
                seen[i] = i % 2
                              ? card->computeAttributedDescription()
                              : (card->prepareAttributedDescription(), card->computedAttributedDescription());
            });
        go = true;
        for (auto& thread : threads)
            thread.join();
        ASSERT_TRUE(seen[0]);
        for (const auto& text : seen)
            EXPECT_EQ(text, seen[0]);
        EXPECT_EQ(card->computeAttributedDescription(), seen[0]);
    }
}
