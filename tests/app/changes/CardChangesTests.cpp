// A card as every screen shows it: its comments counted on the post's details and on the article
// page, its star on the feed after a bookmark made or removed in the library, its unread dot after
// it was read in the library, the star of a daily update, and the member's own name and picture on
// her posts and comments after she changed them in My Account.

#include "ChangesFixture.h"

#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/graphics/UIColor.h"

#include <atomic>

namespace cw::test {
namespace {

constexpr const char* kHeld = kHeldNoah;
constexpr const char* kEyes = "Olivia opened her eyes during kangaroo care this morning.";
constexpr const char* kMilk = "Expressing breast milk";
constexpr const char* kCpap = "Why your baby is on CPAP";
const std::string kFather = "(SELECT id FROM members WHERE email = 'partner@cradleway.test')";

// From the library's categories down to the article on expressing milk.
constexpr const char* kOpenTheMilkArticleInTheLibrary = R"(tap "Education"
tap "Categories"
tap "Feeding"
tap "Breast milk"
tap "Expressing breast milk"
expect "Your milk is the best food for a premature baby, even in tiny amounts."
)";
constexpr const char* kBackHomeFromTheMilkArticle = R"(back
back
back
tap "Home"
)";

class CardChanges : public ChangesTest {
protected:
    std::int64_t bookmarks(const std::string& where) const {
        return count("SELECT COUNT(*) FROM bookmarks WHERE member_id = " + kFather + " AND " + where);
    }
    std::string contentId(const std::string& title) const {
        return std::to_string(count("SELECT id FROM education_content WHERE card_title = '" + title + "'"));
    }
    std::string postId(const std::string& where) const {
        return std::to_string(count("SELECT id FROM posts WHERE " + where));
    }
    // Opens the card's details or article page from the feed, as a finger does.
    void openFromTheFeed(const std::string& text) {
        auto cell = feedCell(text);
        ASSERT_TRUE(cell) << text;
        ASSERT_TRUE(host->tap(cell->titleLabel->text().value_or("").empty() ? cell->descriptionLabel : cell->titleLabel));
        host->settle();
    }
};

TEST_F(CardChanges, ACommentIsCountedOnThePostsDetailsBadgeAndOnTheArticlePagesBadge) {
    launchAsTheFather();
    openFromTheFeed(kHeld);
    auto details = std::dynamic_pointer_cast<PostDetailsViewController>(top());
    ASSERT_TRUE(details);
    ASSERT_TRUE(waitFor([&] { return badgeText(*details->commentButton()) == "2"; }));
    run(R"(tap #commentButton
expect "2 Comments"
type "So proud of him"
tap "Post"
expect "3 Comments"
back
)");
    ASSERT_TRUE(repliesArrived());
    EXPECT_EQ(badgeText(*details->commentButton()), "3");
    run("back\n");
    EXPECT_EQ(feedCell(kHeld)->writeACommentIconLabel()->text(), "3");

    openFromTheFeed("Kangaroo care: skin to skin");
    auto article = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(article);
    // The bar's buttons wait while the page loads under its overlay.
    ASSERT_TRUE(waitFor([&] { return badgeText(*article->commentButton) == "1" && article->commentButton->isEnabled(); }));
    run(R"(tap #commentButton
expect "1 Comment"
type "Skin to skin every evening now"
tap "Post"
expect "2 Comments"
back
)");
    ASSERT_TRUE(repliesArrived());
    EXPECT_EQ(badgeText(*article->commentButton), "2");
}

TEST_F(CardChanges, ABookmarkMadeInTheLibraryOrRemovedWithTheRecommendedStarShowsOnTheFeedCard) {
    launchAsTheFather();
    ASSERT_TRUE(feedCell(kMilk));
    EXPECT_FALSE(feedCell(kMilk)->isBookMarked);

    // On the article's own page in the library.
    run(kOpenTheMilkArticleInTheLibrary);
    run("tap #bookmarkButton\n");
    ASSERT_TRUE(waitFor([&] { return bookmarks("feed_id = " + contentId(kMilk)) == 1; }));
    ASSERT_TRUE(repliesArrived());
    run(kBackHomeFromTheMilkArticle);
    EXPECT_TRUE(feedCell(kMilk)->isBookMarked) << "the star of the card bookmarked in the library";

    // With the star of the Recommended list: added, then removed.
    for (const bool add : {true, false}) {
        SCOPED_TRACE(add ? "added" : "removed");
        run(R"(tap "Education"
tap "Recommended"
expect "Why your baby is on CPAP"
)");
        // The list as the server holds it now, not as a reply sent before the last change had it.
        ASSERT_TRUE(repliesArrived());
        auto row = cellShowing<RecommendedFeedTableViewCell>(kCpap);
        ASSERT_TRUE(row);
        ASSERT_TRUE(host->tap(row->bookmarkButton()));
        ASSERT_TRUE(host->pickAlertAction(add ? "Bookmark" : "Remove Bookmark"));
        ASSERT_TRUE(waitFor([&] { return bookmarks("feed_id = " + contentId(kCpap)) == (add ? 1 : 0); }));
        ASSERT_TRUE(repliesArrived());
        run("tap \"Home\"\n");
        EXPECT_EQ(feedCell(kCpap)->isBookMarked, add);
    }
}

TEST_F(CardChanges, AnArticleReadInTheLibraryLosesItsUnreadDotOnTheFeedAndLeavesUnread) {
    launchAsTheFather();
    ASSERT_TRUE(feedCell(kMilk));
    EXPECT_FALSE(feedCell(kMilk)->iconImageViewBadge()->isHidden()) << "unread, with its dot";
    scrollFeedToTop();
    run(R"(tap #filterButton
tap "Unread"
tap "Done"
)");
    ASSERT_TRUE(feedCell(kMilk)) << "under Unread";

    run(kOpenTheMilkArticleInTheLibrary);
    ASSERT_TRUE(waitFor([&] {
        return count("SELECT COUNT(*) FROM content_reads WHERE member_id = " + kFather +
                     " AND content_id = " + contentId(kMilk)) == 1;
    }));
    run(kBackHomeFromTheMilkArticle);
    EXPECT_FALSE(feedCell(kMilk)) << "read: no longer under Unread";

    scrollFeedToTop();
    run(R"(tap #filterButton
tap "All"
tap "Done"
)");
    ASSERT_TRUE(feedCell(kMilk));
    EXPECT_TRUE(feedCell(kMilk)->iconImageViewBadge()->isHidden()) << "read: no dot";
}

// Only a page the server served, and so marked read, takes the unread dot away: a page it refused
// keeps the dot; one it refused for the father's ended token is asked for again once his tokens are
// renewed, from the feed and in the library alike, and is then read for good.
TEST_F(CardChanges, AnArticleLosesItsUnreadDotOnlyWhenTheServerHasMarkedItRead) {
    launchAsTheFather();
    const std::string cpapPage = "/content/education/" + contentId(kCpap);
    const std::string milkPage = "/content/education/" + contentId(kMilk);
    auto refused = std::make_shared<std::atomic<bool>>(true);
    RecordingServer front;
    front.setHandler([upstream = demo->baseUrl(), cpapPage, milkPage, refused](const RecordedRequest& request,
                                                                               httplib::Response& response) {
        if (*refused && (request.path == cpapPage || request.path == milkPage)) {
            response.status = 503;
            response.set_content("<html><body>Service unavailable</body></html>", "text/html");
            return;
        }
        forwardRequest(upstream, request, response);
    });
    prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    auto reads = [&](const char* title) {
        return count("SELECT COUNT(*) FROM content_reads WHERE member_id = " + kFather +
                     " AND content_id = " + contentId(title));
    };
    // All the father's access tokens end, as an hour without a request ends them.
    auto endTheTokens = [&] {
        count("UPDATE tokens SET expires_at = 0 WHERE kind = 'access' AND member_id = " + kFather);
    };
    ASSERT_TRUE(feedCell(kCpap));
    ASSERT_FALSE(feedCell(kCpap)->iconImageViewBadge()->isHidden()) << "unread, with its dot";
    ASSERT_FALSE(feedCell(kMilk)->iconImageViewBadge()->isHidden()) << "unread, with its dot";

    // Refused: the feed's page says so, and the card keeps its dot.
    openFromTheFeed(kCpap);
    ASSERT_TRUE(showsSoon("Unexpected error loading content. Please try again."));
    run("back\n");
    EXPECT_FALSE(feedCell(kCpap)->iconImageViewBadge()->isHidden()) << "not read: still its dot";
    EXPECT_EQ(reads(kCpap), 0);

    // The library's page shows the server's answer as it comes, and is no read either.
    run(R"(tap "Education"
tap "Categories"
tap "Feeding"
tap "Breast milk"
tap "Expressing breast milk"
expect "Service unavailable"
)");
    auto libraryPage = std::dynamic_pointer_cast<EducationContentWebViewController>(top());
    ASSERT_TRUE(libraryPage);
    ASSERT_TRUE(waitFor([&] { return !libraryPage->webView()->isLoading(); }));
    run(kBackHomeFromTheMilkArticle);
    EXPECT_FALSE(feedCell(kMilk)->iconImageViewBadge()->isHidden()) << "not read: still its dot";
    EXPECT_EQ(reads(kMilk), 0);

    // The token ended: renewed once, the page comes and is read.
    *refused = false;
    endTheTokens();
    openFromTheFeed(kCpap);
    ASSERT_TRUE(
        showsSoon("Continuous positive airway pressure (CPAP) gives a gentle, steady flow of air through "
                  "small prongs or a mask. It keeps the tiny air sacs of the lungs from closing between "
                  "breaths."));
    EXPECT_EQ(reads(kCpap), 1);
    // A page is read once it has finished loading, its picture too.
    auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(page);
    ASSERT_TRUE(waitFor([&] { return !page->webView()->isLoading(); }));
    const std::size_t renewals = front.requestCount("/m/api/tokens/");
    EXPECT_GE(renewals, 1u);
    EXPECT_EQ(front.requestCount(cpapPage), 3u) << "refused, refused for the token, served";
    run("back\n");
    EXPECT_TRUE(feedCell(kCpap)->iconImageViewBadge()->isHidden()) << "read: no dot";

    // The same in the library's page, its token ending just before the article is opened.
    run(R"(tap "Education"
tap "Categories"
tap "Feeding"
tap "Breast milk"
expect "Expressing breast milk"
)");
    ASSERT_TRUE(repliesArrived());
    endTheTokens();
    run(R"(tap "Expressing breast milk"
expect "Your milk is the best food for a premature baby, even in tiny amounts."
)");
    ASSERT_TRUE(waitFor([&] { return reads(kMilk) == 1; }));
    EXPECT_GT(front.requestCount("/m/api/tokens/"), renewals);
    EXPECT_EQ(front.requestCount(milkPage), 3u) << "refused, refused for the token, served";
    libraryPage = std::dynamic_pointer_cast<EducationContentWebViewController>(top());
    ASSERT_TRUE(libraryPage);
    ASSERT_TRUE(waitFor([&] { return !libraryPage->webView()->isLoading(); }));
    run(kBackHomeFromTheMilkArticle);
    EXPECT_TRUE(feedCell(kMilk)->iconImageViewBadge()->isHidden()) << "read: no dot";
}

TEST_F(CardChanges, TheStarOfADailyUpdateOrOfAPostBookmarksThatCard) {
    launchAsTheFather();
    struct Starred {
        const char* text;
        std::string post;
    };
    const Starred cards[] = {
        {"Daily update for Olivia",
         postId("kind = 'daily_update' AND title = 'Daily update for Olivia' ORDER BY created_at DESC LIMIT 1")},
        {kHeld, postId("post_text = '" + std::string(kHeld) + "'")},
    };
    for (const auto& starred : cards) {
        SCOPED_TRACE(starred.text);
        auto cell = feedCell(starred.text);
        ASSERT_TRUE(cell);
        EXPECT_FALSE(cell->isBookMarked);
        ASSERT_TRUE(host->tap(cell->menuButton));
        ASSERT_TRUE(waitFor([&] { return bookmarks("post_id = " + starred.post) == 1; }));
        EXPECT_EQ(bookmarks("feed_id IS NOT NULL"), 0) << "no education item was bookmarked in its place";
        // The star is drawn again when the reply comes.
        EXPECT_TRUE(waitFor([&] { return feedCell(starred.text)->isBookMarked; }));

        ASSERT_TRUE(host->tap(feedCell(starred.text)->menuButton));
        ASSERT_TRUE(waitFor([&] { return bookmarks("post_id = " + starred.post) == 0; }));
        EXPECT_TRUE(waitFor([&] { return !feedCell(starred.text)->isBookMarked; }));
    }
    EXPECT_TRUE(GSMessage::history().empty()) << GSMessage::history().front().text;
}

TEST_F(CardChanges, HerNewNameAndPictureShowAtOnceOnHerPostsTheirDetailsAndHerCommentPreviews) {
    constexpr std::uint32_t kPicture = 0xff2b60d0u;
    launchAsTheFather();
    ASSERT_TRUE(feedCell(kHeld));
    EXPECT_EQ(feedCell(kHeld)->titleLabel->text(), "James Hart");
    const auto photo = pictureOf("james.png", kPicture);

    openFromMenu("My Account");
    run(R"(tap "James Hart"
delete 10
type "Jim Hart"
)");
    ASSERT_NO_FATAL_FAILURE(choosePhotoCroppedSquare(*host, "userImageView", photo));
    run(R"(tap "Update"
expect "Successfully saved."
back
)");

    const auto near = [](const UIColor& shown) {
        return std::abs(shown.red() - 0x2b / 255.0) + std::abs(shown.green() - 0x60 / 255.0) +
                   std::abs(shown.blue() - 0xd0 / 255.0) <
               0.1;
    };
    auto post = feedCell(kHeld);
    EXPECT_EQ(post->titleLabel->text(), "Jim Hart");
    ASSERT_TRUE(picturesArrived());
    EXPECT_TRUE(near(colourAt(*post->iconImageView))) << colourAt(*post->iconImageView);

    auto commented = feedCell(kEyes);
    ASSERT_TRUE(commented);
    EXPECT_EQ(commented->commentPreviews[0].nameLabel->text(), "Jim Hart");
    EXPECT_EQ(commented->commentPreviews[0].textLabel->text(), "She looked right at you.");
    ASSERT_TRUE(picturesArrived());
    EXPECT_TRUE(near(colourAt(*commented->commentPreviews[0].imageView)));

    openFromTheFeed(kHeld);
    ASSERT_TRUE(std::dynamic_pointer_cast<PostDetailsViewController>(top()));
    EXPECT_TRUE(host->isShowing("Jim Hart"));
    EXPECT_FALSE(host->isShowing("James Hart"));
}

} // namespace
} // namespace cw::test
