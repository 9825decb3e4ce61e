#include "DemoServerSuite.h"

#include "Models/BookmarkResponse.h"
#include "Models/CommentData.h"
#include "Models/EducationCategory.h"
#include "Models/FeedResponse.h"
#include "Models/RecommendedSection.h"
#include "Services/AuthenticationContext.h"
#include "Services/ContentService.h"
#include "Services/EducationContentService.h"
#include "Services/SearchResult.h"
#include "Services/SearchService.h"

namespace cw::e2e {
namespace {

// The home feed, bookmarks, the education library and search, for the signed-in member.
class DemoServerContentTest : public DemoServerSuite {
protected:
    void SetUp() override { ASSERT_TRUE(signInDemoMember()); }

    // What the library's bookmark check says of the card.
    static std::optional<bool> bookmarkChecked(std::int64_t cardId) {
        Outcome outcome;
        EducationContentService().checkBookmark(cardId, outcome.success(), outcome.failure());
        EXPECT_TRUE(accepted(outcome));
        return outcome.object()["bookmarked"].bool_();
    }
    static std::optional<BookmarkResponse> bookmark(std::int64_t id, const std::string& key,
                                                    bool bookmarked) {
        std::optional<BookmarkResponse> response;
        Outcome outcome;
        ContentService().bookmark(
            id, key, bookmarked,
            [&](const BookmarkResponse& reply) {
                response = reply;
                ++outcome.calls;
            },
            outcome.taskFailure());
        EXPECT_TRUE(accepted(outcome));
        return response;
    }
    static std::vector<std::shared_ptr<SearchResult>> search(const std::string& query) {
        std::vector<std::shared_ptr<SearchResult>> hits;
        Outcome outcome;
        SearchService().search(
            query,
            [&](const std::vector<std::shared_ptr<SearchResult>>& results) {
                hits = results;
                ++outcome.calls;
            },
            outcome.failure());
        EXPECT_TRUE(accepted(outcome));
        return hits;
    }
};

TEST_F(DemoServerContentTest, TheFeedReadsIntoCardsOfEveryKind) {
    const JSON data = feedData();
    ASSERT_TRUE(FeedResponse::isDictionaryList(data["content"])) << data.serialize();
    ASSERT_TRUE(FeedResponse::isDictionaryList(data["posts"]));
    ASSERT_TRUE(FeedResponse::isDictionaryList(data["daily_update"]));

    const auto education = FeedResponse::cards(data["content"]);
    ASSERT_FALSE(education.empty());
    std::size_t detailRows = 0, knownSources = 0, mediaKinds = 0;
    for (const auto& card : education) {
        detailRows += card->descriptionMedia.size();
        knownSources += card->sourceType() != FeedResponseSourceType::unknown;
        mediaKinds += card->cardMediaType && card->cardMediaType != MediaType::unknown;
        // Text-only rows name no media and no kind; a row with media names its kind.
        for (const auto& row : card->descriptionMedia) {
            EXPECT_TRUE(row.title);
            if (row.media) {
                EXPECT_NE(row.type, MediaType::unknown) << *row.media;
            }
        }
        EXPECT_EQ(card->cardType, CardType::educationContent);
        EXPECT_TRUE(card->cardId && card->cardTitle && card->cardDescription && card->contentURL);
        EXPECT_TRUE(card->dateText()) << card->cardTime.value_or("no time");
        EXPECT_TRUE(card->computeAttributedDescription());
    }

    EXPECT_GT(detailRows, 0u);
    EXPECT_GT(knownSources, 0u);
    EXPECT_GT(mediaKinds, 0u);

    ASSERT_FALSE(data["posts"].arrayValue().empty());
    bool commented = false;
    for (const JSON& entry : data["posts"].arrayValue()) {
        const auto post = FeedResponse::fromPostDictionary(entry, data["users"]);
        EXPECT_EQ(post->cardType, CardType::userPost);
        EXPECT_TRUE(post->cardId && post->cardTitle && post->contextImageURL) << entry.serialize();
        EXPECT_TRUE(post->dateText());
        if (!post->cardMedia.empty()) {
            EXPECT_TRUE(post->cardMediaType == MediaType::jpeg || post->cardMediaType == MediaType::png)
                << entry.serialize();
        }
        for (const auto& comment : post->latestComments) {
            commented = true;
            EXPECT_FALSE(comment.userName.empty());
            EXPECT_FALSE(comment.commentText.empty());
        }
    }
    EXPECT_TRUE(commented);

    ASSERT_FALSE(data["daily_update"].arrayValue().empty());
    for (const JSON& entry : data["daily_update"].arrayValue()) {
        const auto update = FeedResponse::fromDailyUpdateDictionary(entry, data["users"]);
        EXPECT_EQ(update->cardType, CardType::dailyUpdateChange);
        EXPECT_TRUE(update->cardTitle && update->cardDescription) << entry.serialize();
        EXPECT_TRUE(update->dateText());
    }
}

TEST_F(DemoServerContentTest, CardsAndPostsAreBookmarkedAndReleased) {
    const JSON data = feedData();
    std::optional<std::int64_t> cardId, postId;
    for (const JSON& card : data["content"].arrayValue())
        if (!cardId && !card["bookmarked"].boolValue()) cardId = card["id"].int_();
    for (const JSON& post : data["posts"].arrayValue())
        if (!postId && !post["bookmarked"].boolValue()) postId = post["id"].int_();
    ASSERT_TRUE(cardId && postId);

    const auto card = bookmark(*cardId, "feed_id", false);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->feedID, cardId);
    EXPECT_EQ(card->userID, userId());
    EXPECT_TRUE(card->bookmarkID);
    const auto post = bookmark(*postId, "post_id", false);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->postID, postId);

    EXPECT_EQ(bookmarkChecked(*cardId), true);

    const JSON again = feedData();
    for (const auto& each : FeedResponse::cards(again["content"]))
        if (each->cardId == cardId) {
            EXPECT_TRUE(each->bookmarked);
        }

    const auto released = bookmark(*cardId, "feed_id", true);
    ASSERT_TRUE(released);
    EXPECT_EQ(released->feedID, cardId);
    EXPECT_EQ(bookmarkChecked(*cardId), false);
}

TEST_F(DemoServerContentTest, TheLibraryGivesSectionsCategoriesAndSubcontent) {
    std::vector<RecommendedSection> recommended, bookmarked;
    Outcome first, second;
    EducationContentService().fetchContent(
        false,
        [&](const std::vector<RecommendedSection>& sections) {
            recommended = sections;
            ++first.calls;
        },
        first.failure());
    EducationContentService().fetchContent(
        true,
        [&](const std::vector<RecommendedSection>& sections) {
            bookmarked = sections;
            ++second.calls;
        },
        second.failure());
    ASSERT_TRUE(accepted(first));
    ASSERT_TRUE(accepted(second));
    ASSERT_FALSE(recommended.empty());
    for (const auto& section : recommended) {
        EXPECT_FALSE(section.title.empty());
        for (const auto& card : section.feedItems)
            EXPECT_TRUE(card->cardId && card->cardTitle);
    }

    Outcome categoriesReply;
    EducationContentService().fetchCategories(categoriesReply.success(), categoriesReply.failure());
    ASSERT_TRUE(accepted(categoriesReply));
    std::vector<EducationCategory> categories;
    for (const JSON& entry : categoriesReply.object()["new_data"].arrayValue())
        categories.emplace_back(entry.dictionaryValue());
    ASSERT_FALSE(categories.empty());
    for (const auto& category : categories) {
        EXPECT_TRUE(category.categoryID && category.name);
        EXPECT_TRUE(category.pictureURL(2));
    }

    // Each category, then the sub-categories found there: these hold the articles.
    std::size_t articles = 0;
    std::vector<EducationCategory> subcategories;
    for (const auto& category : categories) {
        Outcome subcontent;
        EducationContentService().fetchSubcontentWithId(category.categoryID, subcontent.success(),
                                                        subcontent.failure());
        ASSERT_TRUE(accepted(subcontent));
        for (const JSON& entry : subcontent.object()["newSubItems"].arrayValue())
            subcategories.emplace_back(entry.dictionaryValue());
    }
    ASSERT_FALSE(subcategories.empty());
    for (const auto& subcategory : subcategories) {
        ASSERT_TRUE(subcategory.categoryID && subcategory.name);
        Outcome items;
        EducationContentService().fetchSubcontentWithSubItemId(subcategory.categoryID, items.success(),
                                                               items.failure());
        ASSERT_TRUE(accepted(items));
        // The list is led by the subcategory itself, which the library's screen drops.
        auto list = items.object()["actual_content"].arrayValue();
        ASSERT_GE(list.size(), 2u) << *subcategory.name;
        EXPECT_EQ(EducationCategory(list.front().dictionaryValue()).categoryID, subcategory.categoryID);
        list.erase(list.begin());
        for (const JSON& item : list) {
            const EducationCategory article(item.dictionaryValue());
            EXPECT_TRUE(article.categoryID && article.name);
            if (auto picture = article.pictureURL(2)) {
                EXPECT_TRUE(servedPicture(*picture));
            }
            ++articles;
        }
    }
    EXPECT_GT(articles, 0u);
}

TEST_F(DemoServerContentTest, ThePicturesAndPagesThatCardsNameAreServed) {
    const JSON data = feedData();
    std::size_t pictures = 0;
    for (const JSON& entry : data["posts"].arrayValue()) {
        const auto post = FeedResponse::fromPostDictionary(entry, data["users"]);
        std::vector<std::string> references = post->cardMedia;
        if (post->contextImageURL) references.push_back(*post->contextImageURL);
        for (const auto& reference : references) {
            EXPECT_TRUE(servedPicture(reference));
            ++pictures;
        }
    }
    const auto card = FeedResponse::cards(data["content"]).front();
    for (const auto& media : card->cardMedia) {
        EXPECT_TRUE(servedPicture(media));
        ++pictures;
    }
    EXPECT_GT(pictures, 1u);

    Outcome categoriesReply;
    EducationContentService().fetchCategories(categoriesReply.success(), categoriesReply.failure());
    ASSERT_TRUE(accepted(categoriesReply));
    const EducationCategory category(categoriesReply.object()["new_data"][0].dictionaryValue());
    ASSERT_TRUE(category.pictureURL(2));
    EXPECT_TRUE(servedPicture(*category.pictureURL(2)));

    ASSERT_TRUE(card->contentURL);
    // As the article page asks for it: with the member's id and her token.
    const auto page =
        download(*card->contentURL + AuthenticationContext::shared().memberPageQuery().value_or(""));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.contentType.find("text/html"), std::string::npos);
    EXPECT_NE(page.body.find(card->cardTitle.value_or("?")), std::string::npos);
}

TEST_F(DemoServerContentTest, ASignedInSearchMarksTheMembersBookmarks) {
    const auto hits = search("feeding");
    ASSERT_FALSE(hits.empty());
    const auto marked = bookmark(hits.front()->cardID, "feed_id", hits.front()->bookmarked);
    ASSERT_TRUE(marked);
    const auto again = search("feeding");
    const auto same = std::find_if(again.begin(), again.end(),
                                   [&](const auto& hit) { return hit->cardID == hits.front()->cardID; });
    ASSERT_NE(same, again.end());
    EXPECT_NE((*same)->bookmarked, hits.front()->bookmarked);
    EXPECT_FALSE((*same)->cardTitle.empty());
    for (const auto& media : (*same)->cardMediaURLs)
        EXPECT_TRUE(servedPicture(media));
    EXPECT_EQ(
        download((*same)->contentURL + AuthenticationContext::shared().memberPageQuery().value_or("")).status,
        200);
}

} // namespace
} // namespace cw::e2e
