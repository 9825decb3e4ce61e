#include "Models/BookmarkResponse.h"
#include "Models/FeedTableData.h"
#include "Models/MediaType.h"
#include "Models/RecommendedSection.h"

#include <gtest/gtest.h>

namespace {

JSON parseJSON(std::string_view text) {
    return JSON::parse(text).value();
}

std::vector<std::string> titles(const std::vector<RecommendedSection>& sections) {
    std::vector<std::string> result;
    for (const auto& section : sections)
        result.push_back(section.title);
    return result;
}

} // namespace

TEST(MediaTypes, ServerTextsAndRawValues) {
    const std::pair<const char*, MediaType> table[] = {
        {"png", MediaType::png},
        {"jpg", MediaType::jpeg},
        {"jpeg", MediaType::jpeg},
        {"image/jpeg", MediaType::jpeg},
        {"mp4", MediaType::mp4},
        {"link", MediaType::link},
        {"table_png", MediaType::table_png},
        {"table_mp4", MediaType::table_mp4},
        {"table_text", MediaType::table_text},
        {"JPG", MediaType::unknown},
        {"PNG", MediaType::unknown},
        {"image/png", MediaType::unknown},
        {"", MediaType::unknown},
        {"png ", MediaType::unknown},
    };
    for (auto [text, type] : table)
        EXPECT_EQ(FeedMediaType::mediaType(text), type) << text;
    EXPECT_EQ(FeedMediaType::mediaType(std::nullopt), MediaType::unknown);

    EXPECT_FALSE(MediaTypeFromRawValue(0));
    EXPECT_FALSE(MediaTypeFromRawValue(9));
    EXPECT_EQ(MediaTypeFromRawValue(8), MediaType::unknown);
    for (int raw = 1; raw <= 8; ++raw)
        EXPECT_EQ(rawValue(*MediaTypeFromRawValue(raw)), raw);
    EXPECT_EQ(rawValue(MediaType::table_text), 6);
}

TEST(DetailRows, TextsOnlyAndAlwaysAKind) {
    FeedTableData row(parseJSON(R"({"title": 4, "subtitle": "Sub", "details": null, "media": ["m"],
                                "video_identifier": "abc"})"));
    EXPECT_FALSE(row.title);
    EXPECT_EQ(row.subtitle, "Sub");
    EXPECT_FALSE(row.details);
    EXPECT_FALSE(row.media);
    EXPECT_EQ(row.type, MediaType::unknown);
    EXPECT_EQ(row.videoIdentifier, "abc");
    EXPECT_EQ(FeedTableData(parseJSON(R"({"type": "table_mp4", "media": "v.mp4"})")).type, MediaType::table_mp4);
    EXPECT_EQ(FeedTableData(parseJSON("[]")).type, MediaType::unknown);
}

TEST(RecommendedSections, InTheServersKeyOrder) {
    const JSON onlyB = parseJSON(R"({"B": [{"id": 2}]})");
    EXPECT_EQ(titles(RecommendedSection::sections(onlyB, {"A", "B"})), (std::vector<std::string>{"B"}));

    const JSON both = parseJSON(R"({"B": [{"id": 2}, {"id": 3}], "A": [{"id": 1, "card_title": "Feeding"}],
                                "C": [{"id": 4}], "Empty": [], "Bad": [{"id": 5}, 6], "Text": "x"})");
    const auto sections =
        RecommendedSection::sections(both, {"A", "B", "Empty", "Bad", "Text", "Missing", "A"});
    // A key named again gives no second section: it stands where it was first named.
    EXPECT_EQ(titles(sections), (std::vector<std::string>{"A", "B", "Empty"}));
    ASSERT_EQ(sections[0].feedItems.size(), 1u);
    EXPECT_EQ(sections[0].feedItems[0]->cardTitle, "Feeding");
    EXPECT_EQ(sections[0].feedItems[0]->cardType, CardType::educationContent);
    ASSERT_EQ(sections[1].feedItems.size(), 2u);
    EXPECT_EQ(sections[1].feedItems[0]->cardId, 2);
    EXPECT_EQ(sections[1].feedItems[1]->cardId, 3);
    EXPECT_TRUE(sections[2].feedItems.empty());

    EXPECT_TRUE(RecommendedSection::sections(both, {}).empty());
    EXPECT_TRUE(RecommendedSection::sections(parseJSON("[]"), {"A"}).empty());
}

// A reply that names one section thousands of times costs its cards once, not once per name.
TEST(RecommendedSections, ASectionNamedOverAndOverIsReadOnce) {
    std::string cards;
    for (int i = 1; i <= 100; ++i)
        cards += (i > 1 ? "," : "") + std::string(R"({"id": )") + std::to_string(i) + "}";
    const JSON content = parseJSON(R"({"Feeding": [)" + cards + R"(], "Sleep": [{"id": 500}]})");
    std::vector<std::string> order(10'000, "Feeding");
    order.insert(order.begin() + 5000, "Sleep");

    const auto sections = RecommendedSection::sections(content, order);
    EXPECT_EQ(titles(sections), (std::vector<std::string>{"Feeding", "Sleep"}));
    std::size_t built = 0;
    for (const auto& section : sections)
        built += section.feedItems.size();
    EXPECT_EQ(built, 101u);
}

TEST(BookmarkRecord, WholeNumbersOnly) {
    const BookmarkResponse full(parseJSON(R"({"id": 3, "feed_id": 12.0, "post_id": null, "user_id": 7,
                                          "card_attribute": "bookmarked"})"));
    EXPECT_EQ(full.bookmarkID, 3);
    EXPECT_EQ(full.feedID, 12);
    EXPECT_FALSE(full.postID);
    EXPECT_EQ(full.userID, 7);
    EXPECT_EQ(full.cardAttribute, "bookmarked");

    const BookmarkResponse texts(
        parseJSON(R"({"id": true, "feed_id": "12", "post_id": 1.5, "card_attribute": 1})"));
    EXPECT_EQ(texts, BookmarkResponse{});
    EXPECT_EQ(BookmarkResponse(parseJSON("{}")), BookmarkResponse{});
}
