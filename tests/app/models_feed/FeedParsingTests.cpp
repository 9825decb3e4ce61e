#include "Models/FeedResponse.h"

#include <gtest/gtest.h>

namespace {

JSON parse(std::string_view text) {
    auto result = JSON::parse(text);
    EXPECT_TRUE(result.ok()) << text;
    return result.value();
}

} // namespace

TEST(FeedParsing, ContentCardTypeRules) {
    auto bare = FeedResponse::fromDictionary(parse(R"({"id": 5})"));
    EXPECT_EQ(bare->cardId, 5);
    EXPECT_EQ(bare->cardType, CardType::educationContent);
    EXPECT_EQ(bare->cardMediaType, MediaType::unknown);
    EXPECT_EQ(bare->descriptionMediaType, MediaType::unknown);
    EXPECT_TRUE(bare->cardMedia.empty() && bare->descriptionMedia.empty() && bare->latestComments.empty());
    EXPECT_FALSE(bare->bookmarked);
    EXPECT_FALSE(bare->cardTitle || bare->cardDescription || bare->cardTime || bare->cardRead ||
                 bare->notificationID || bare->descriptionTitle || bare->descriptionText ||
                 bare->contentURL || bare->contextImageURL || bare->commentsCount || bare->source ||
                 bare->imageURL);

    // Texts holding numbers or words are not ids or flags; 0 and 1 are flags; 3.0 is a whole id.
    auto texts = FeedResponse::fromDictionary(parse(
        R"({"id": "5", "bookmarked": "true", "card_read": "false", "comments_count": 2.5, "not_id": true,
            "card_title": 7, "card_time": null})"));
    EXPECT_FALSE(texts->cardId);
    EXPECT_FALSE(texts->bookmarked);
    EXPECT_FALSE(texts->cardRead);
    EXPECT_FALSE(texts->commentsCount);
    EXPECT_FALSE(texts->notificationID);
    EXPECT_FALSE(texts->cardTitle);
    EXPECT_FALSE(texts->cardTime);
    auto numbers = FeedResponse::fromDictionary(parse(
        R"({"id": 3.0, "bookmarked": 1, "card_read": 0, "not_id": 9007199254740993, "comments_count": 4})"));
    EXPECT_EQ(numbers->cardId, 3);
    EXPECT_TRUE(numbers->bookmarked);
    EXPECT_EQ(numbers->cardRead, false);
    EXPECT_EQ(numbers->notificationID, 9007199254740993);
    EXPECT_EQ(numbers->commentsCount, 4);
    EXPECT_FALSE(FeedResponse::fromDictionary(parse(R"({"bookmarked": 2})"))->bookmarked);

    // The media list is all texts or nothing.
    EXPECT_TRUE(FeedResponse::fromDictionary(parse(R"({"card_media": ["a.png", 3]})"))->cardMedia.empty());
    EXPECT_EQ(FeedResponse::fromDictionary(parse(R"({"card_media": ["a.png", "b.png"]})"))->cardMedia,
              (std::vector<std::string>{"a.png", "b.png"}));

    auto full = FeedResponse::fromDictionary(parse(
        R"({"card_title": "Kangaroo care", "card_description": "<p>Hold</p>", "card_media_type": "jpg",
            "card_time": "2019-03-04T05:06:07.890+0000", "description_title": "Why", "description": "Warmth",
            "content_url": "https://example.org/a b", "source": "cradleway", "comments_count": 0,
            "latest_comments": [{"comment_text": "Thanks", "created_at": "2019-03-05T00:00:00.000+0000",
                                 "user": {"full_name": "Ana", "file_name": "ana.jpg"}}, {"comment_text": 12}]})"));
    EXPECT_EQ(full->cardTitle, "Kangaroo care");
    EXPECT_EQ(full->cardDescription, "<p>Hold</p>");
    EXPECT_EQ(full->cardMediaType, MediaType::jpeg);
    EXPECT_EQ(full->descriptionTitle, "Why");
    EXPECT_EQ(full->descriptionText, "Warmth");
    EXPECT_EQ(full->contentURL, "https://example.org/a b");
    EXPECT_EQ(full->commentsCount, 0);
    ASSERT_EQ(full->latestComments.size(), 2u);
    EXPECT_EQ(full->latestComments[0],
              (CommentData{"Ana", "2019-03-05T00:00:00.000+0000", "Thanks", std::string("ana.jpg")}));
    // A comment without "user" has an empty name and no picture; numbers read as their text.
    EXPECT_EQ(full->latestComments[1], (CommentData{"", "", "12", std::nullopt}));
}

TEST(FeedParsing, DetailRowsOnlyForTheKindsThatHaveThem) {
    const char* rows = R"([{"title": "Step 1", "media": "a.png", "type": "png", "video_identifier": "v1"},
                           "stray", {"title": 4}])";
    for (const char* kind : {"png", "mp4", "table_png", "table_text", "table_mp4"}) {
        auto card = FeedResponse::fromDictionary(parse(std::string(R"({"description_media_type": ")") + kind +
                                                       R"(", "description_media": )" + rows + "}"));
        ASSERT_EQ(card->descriptionMedia.size(), 2u) << kind;
        EXPECT_EQ(card->descriptionMedia[0].title, "Step 1");
        EXPECT_EQ(card->descriptionMedia[0].type, MediaType::png);
        EXPECT_EQ(card->descriptionMedia[0].videoIdentifier, "v1");
        EXPECT_FALSE(card->descriptionMedia[1].title);
        EXPECT_EQ(card->descriptionMedia[1].type, MediaType::unknown);
    }
    for (const char* kind : {"jpeg", "jpg", "link", "gif"}) {
        auto card = FeedResponse::fromDictionary(parse(std::string(R"({"description_media_type": ")") + kind +
                                                       R"(", "description_media": )" + rows + "}"));
        EXPECT_TRUE(card->descriptionMedia.empty()) << kind;
    }
    // A detail kind without a usable list of rows gives no rows rather than failing.
    EXPECT_TRUE(FeedResponse::fromDictionary(parse(R"({"description_media_type": "png"})"))
                    ->descriptionMedia.empty());
    EXPECT_TRUE(FeedResponse::fromDictionary(
                    parse(R"({"description_media_type": "png", "description_media": {"a": 1}})"))
                    ->descriptionMedia.empty());
}

TEST(FeedParsing, PostMediaRule) {
    EXPECT_FALSE(FeedResponse::fromPostDictionary(parse(R"({"id": 1})"))->cardMediaType);
    EXPECT_FALSE(FeedResponse::fromPostDictionary(parse(R"({"post_medias": {}})"))->cardMediaType);
    EXPECT_EQ(FeedResponse::fromPostDictionary(parse(R"({"post_medias": []})"))->cardMediaType,
              MediaType::unknown);

    auto two = FeedResponse::fromPostDictionary(parse(
        R"({"post_medias": [{"file_name": "a.jpg", "file_type": "jpg"}, {"file_name": "b.mp4", "file_type": "mp4"}]})"));
    EXPECT_EQ(two->cardMedia, (std::vector<std::string>{"a.jpg", "b.mp4"}));
    EXPECT_EQ(two->cardMediaType, MediaType::mp4);

    auto stray = FeedResponse::fromDailyUpdateDictionary(parse(
        R"({"post_medias": [{"file_name": "a.jpg", "file_type": "jpg"}, {"file_type": "png"}, "c.png"]})"));
    EXPECT_EQ(stray->cardMedia, (std::vector<std::string>{"a.jpg"}));
    EXPECT_EQ(stray->cardMediaType, MediaType::unknown);
}

TEST(FeedParsing, PostAuthorFromTheUsersTable) {
    const JSON users = parse(R"({"17": {"full_name": "Maya Ortiz", "file_name": "maya.jpg"},
                                 "18": {"full_name": "No Picture"}, "19": "not an object"})");
    auto post = FeedResponse::fromPostDictionary(
        parse(
            R"({"id": 40, "user_id": 17, "post_text": "First cuddle", "created_at": "2019-03-04T05:06:07.890+0000",
                  "bookmarked": true, "comments_count": 3, "source": "ashcombe",
                  "user": {"full_name": "Embedded", "file_name": "e.jpg"}})"),
        users);
    EXPECT_EQ(post->cardType, CardType::userPost);
    EXPECT_EQ(post->cardId, 40);
    EXPECT_EQ(post->cardDescription, "First cuddle");
    EXPECT_EQ(post->cardTitle, "Maya Ortiz");
    EXPECT_EQ(post->contextImageURL, "maya.jpg");
    EXPECT_EQ(post->cardTime, "2019-03-04T05:06:07.890+0000");
    EXPECT_TRUE(post->bookmarked);
    EXPECT_EQ(post->commentsCount, 3);
    EXPECT_EQ(post->sourceType(), FeedResponseSourceType::ashcombe);
    EXPECT_FALSE(post->cardRead || post->notificationID || post->descriptionTitle || post->imageURL);

    const char* embedded = R"("user": {"full_name": "Embedded", "file_name": "e.jpg"})";
    // An author missing from the table gets no name, even with an embedded "user".
    for (const char* id : {"20", "19", "\"17\"", "17.5"}) {
        auto card = FeedResponse::fromPostDictionary(
            parse(std::string(R"({"user_id": )") + id + ", " + embedded + "}"), users);
        EXPECT_FALSE(card->cardTitle) << id;
        EXPECT_FALSE(card->contextImageURL) << id;
    }
    // No table at all: no author.
    EXPECT_FALSE(FeedResponse::fromPostDictionary(parse(std::string(R"({"user_id": 17, )") + embedded + "}"))
                     ->cardTitle);
    // An entry without a picture falls back to the embedded "user".
    auto fallback =
        FeedResponse::fromPostDictionary(parse(std::string(R"({"user_id": 18, )") + embedded + "}"), users);
    EXPECT_EQ(fallback->cardTitle, "Embedded");
    EXPECT_EQ(fallback->contextImageURL, "e.jpg");
    auto nameless =
        FeedResponse::fromPostDictionary(parse(R"({"user_id": 18, "user": {"file_name": "e.jpg"}})"), users);
    EXPECT_FALSE(nameless->cardTitle || nameless->contextImageURL);
    auto pictureless = FeedResponse::fromPostDictionary(
        parse(R"({"user_id": 18, "user": {"full_name": "Embedded"}})"), users);
    EXPECT_EQ(pictureless->contextImageURL, "");
    // A table entry with a picture but no name gives no title.
    auto unnamed = FeedResponse::fromPostDictionary(parse(R"({"user_id": 3})"),
                                                    parse(R"({"3": {"file_name": "p.jpg"}})"));
    EXPECT_EQ(unnamed->contextImageURL, "p.jpg");
    EXPECT_FALSE(unnamed->cardTitle);
}

TEST(FeedParsing, DailyUpdateTitleAndAuthor) {
    const JSON users =
        parse(R"({"17": {"full_name": "Nurse Lee", "file_name": "lee.jpg"}, "18": {"full_name": "X"}})");
    auto kept = FeedResponse::fromDailyUpdateDictionary(
        parse(R"({"id": 9, "title": "Weight gain", "user_id": 17, "user": {"full_name": "Other"},
                  "image": "https://cdn.example.org/u/9.png", "post_text": "Up 20 g"})"),
        users);
    EXPECT_EQ(kept->cardType, CardType::dailyUpdateChange);
    EXPECT_EQ(kept->cardTitle, "Weight gain");
    EXPECT_EQ(kept->contextImageURL, "lee.jpg");
    ASSERT_TRUE(kept->imageURL);
    EXPECT_EQ(kept->imageURL->absoluteString(), "https://cdn.example.org/u/9.png");

    auto replaced = FeedResponse::fromDailyUpdateDictionary(
        parse(
            R"({"title": "Weight gain", "user_id": 18, "user": {"full_name": "Dr Okafor"}, "image": "not a url"})"),
        users);
    EXPECT_EQ(replaced->cardTitle, "Dr Okafor");
    EXPECT_EQ(replaced->contextImageURL, "");
    EXPECT_FALSE(replaced->imageURL);
    EXPECT_FALSE(FeedResponse::fromDailyUpdateDictionary(parse(R"({"title": 5, "image": 5})"))->cardTitle);
}

TEST(FeedParsing, CardTypesSourcesAndLists) {
    for (CardType type : {CardType::educationContent, CardType::userPost, CardType::notification,
                          CardType::dailyUpdateChange, CardType::timeTag, CardType::unknown})
        EXPECT_EQ(CardTypeFromRawValue(rawValue(type)), type);
    EXPECT_EQ(rawValue(CardType::dailyUpdateChange), "DailyUpdate");
    EXPECT_FALSE(CardTypeFromRawValue("dailyUpdateChange"));
    EXPECT_FALSE(CardTypeFromRawValue("userpost"));

    auto card = std::make_shared<FeedResponse>();
    EXPECT_EQ(card->sourceType(), FeedResponseSourceType::unknown);
    card->source = "cradleway";
    EXPECT_EQ(card->sourceType(), FeedResponseSourceType::cradleway);
    card->source = "Cradleway";
    EXPECT_EQ(card->sourceType(), FeedResponseSourceType::unknown);

    auto separator = FeedResponse::timeTag("2019-03-04T00:00:00.000+0000");
    EXPECT_EQ(separator->cardType, CardType::timeTag);
    EXPECT_EQ(separator->cardTime, "2019-03-04T00:00:00.000+0000");
    EXPECT_FALSE(std::make_shared<FeedResponse>()->cardType);

    EXPECT_TRUE(FeedResponse::isDictionaryList(parse("[]")));
    EXPECT_TRUE(FeedResponse::isDictionaryList(parse(R"([{}, {"id": 1}])")));
    EXPECT_FALSE(FeedResponse::isDictionaryList(parse(R"([1, {"id": 1}])")));
    EXPECT_FALSE(FeedResponse::isDictionaryList(parse(R"({"0": {}})")));
    EXPECT_FALSE(FeedResponse::isDictionaryList(JSON::missing()));
    auto cards = FeedResponse::cards(parse(R"([{"id": 1}, {"id": 2}])"));
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[1]->cardId, 2);
    EXPECT_EQ(cards[1]->cardType, CardType::educationContent);
}

TEST(FeedParsing, CardsAreShared) {
    auto card = FeedResponse::fromDictionary(parse(R"({"id": 1, "card_read": false})"));
    std::vector<std::shared_ptr<FeedResponse>> cache{card}, screen{card};
    screen[0]->bookmarked = true;
    screen[0]->cardRead = true;
    EXPECT_TRUE(cache[0]->bookmarked);
    EXPECT_EQ(cache[0]->cardRead, true);
}
