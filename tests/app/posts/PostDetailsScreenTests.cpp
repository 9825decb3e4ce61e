// The post details and the comment list as the demo mother uses them, against the demo server:
// the father's first-hold post with its pictures, gallery, bookmark and comments; a "post" push;
// the daily update's video.

#include "PostsFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Extensions/UIBarButtonItem+Badge.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "kits/gallery/GalleryViewController.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/CALayer.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>

namespace cw::test {
namespace {

std::string textOf(const UILabel& label) {
    if (auto a = label.attributedText()) return a->string();
    return label.text().value_or("");
}

std::vector<std::string> rowTexts(CommentTableViewController& list) {
    std::vector<std::string> texts;
    for (const auto& c : list.commentsArray()) texts.push_back(c.commentText);
    return texts;
}

class PostDetailsScreen : public PostsScreenTest {};

TEST_F(PostDetailsScreen, ThePostShowsItsPicturesOpensTheGalleryAndBookmarksTheFeedsOwnCard) {
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    ASSERT_TRUE(held);
    auto details = open<PostDetailsViewController>("PostDetailsViewController", held);
    ASSERT_TRUE(details);
    EXPECT_EQ(textOf(*details->textLabel), kHeldNoah);
    // The text keeps 16 points from both edges and wraps there instead of running off the screen.
    const CGRect textFrame = details->textLabel->frame();
    EXPECT_DOUBLE_EQ(textFrame.origin.x, 16.0);
    EXPECT_DOUBLE_EQ(textFrame.size.width, 343.0);
    const CGFloat oneLine = details->textLabel->sizeThatFits({0, 0}).height;
    EXPECT_EQ(std::lround(textFrame.size.height / oneLine), 2) << textFrame.size.height << " / " << oneLine;
    ASSERT_EQ(details->imageViewStackView->arrangedSubviews().size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const auto& picture = details->imageViewStackView->arrangedSubviews()[i];
        EXPECT_EQ(picture->tag(), i);
        EXPECT_DOUBLE_EQ(picture->frame().size.height, 220.0);
    }
    EXPECT_EQ(details->itemCount(), 2);
    ASSERT_TRUE(waitFor([&] { return badgeText(*details->commentButton()) == "2"; })) << badgeText(*details->commentButton());
    // A post: both picture rows hidden, no daily-update parts.
    EXPECT_TRUE(details->journeyLinkView->isHidden());
    EXPECT_TRUE(details->dailyUpdateImageView->isHidden());
    EXPECT_TRUE(waitFor([&] {
        for (const auto& v : details->imageViewStackView->arrangedSubviews())
            if (!std::static_pointer_cast<UIImageView>(v)->image()) return false;
        return details->iconImageView->image() != nullptr;
    }));
    picture("posts-details");

    // The second picture opens the gallery on it.
    // A finger brings the pictures up.
    ASSERT_TRUE(host->scroll(details->scrollView, {0, -std::min(details->imageViewStackView->frame().origin.y,
                                                                 details->scrollView->maximumContentOffset().y)}));
    host->settle();
    ASSERT_TRUE(host->tap(details->imageViewStackView->arrangedSubviews()[1]));
    auto gallery = std::dynamic_pointer_cast<GalleryViewController>(details->presentedViewController());
    ASSERT_TRUE(gallery);
    EXPECT_EQ(gallery->currentIndex(), 1);
    EXPECT_EQ(gallery->itemCount(), 2);
    picture("posts-gallery");
    ASSERT_TRUE(host->tapText("Close"));
    EXPECT_FALSE(details->presentedViewController());

    // The star flips the feed's own card once the server has the bookmark; a second tap releases it.
    const std::string held_id = std::to_string(*held->cardId);
    const std::string bookmarks = "SELECT COUNT(*) FROM bookmarks WHERE post_id = " + held_id +
                                  " AND member_id = (SELECT id FROM members WHERE email = 'demo@cradleway.test')";
    ASSERT_FALSE(held->bookmarked);
    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    ASSERT_TRUE(waitFor([&] { return held->bookmarked; }));
    EXPECT_EQ(count(bookmarks), 1);
    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    ASSERT_TRUE(waitFor([&] { return !held->bookmarked; }));
    EXPECT_EQ(count(bookmarks), 0);

    ASSERT_TRUE(waitFor([&] { return storedEvents("PostDetailsViewScreen").size() >= 8; }));
    std::vector<nlohmann::json> details_;
    for (const auto& e : storedEvents("PostDetailsViewScreen")) details_.push_back({{e.action, e.details}});
    const nlohmann::json id = *held->cardId;
    EXPECT_THAT(details_, testing::UnorderedElementsAre(
        nlohmann::json{{"Loaded", {{"postDetailsViewScreenLoaded", "User navigated to post details screen"}}}},
        nlohmann::json{{"ServerRequest", {{"commentFetchSuccess", "Comment fetched successfully"}, {"postID", id}}}},
        nlohmann::json{{"Tap", {{"bookmarkContentTapped", "User tried to bookmark a post"}, {"postID", id}}}},
        nlohmann::json{{"Tap", {{"bookmarkContentTapped", "User tried to bookmark education content"}}}},
        nlohmann::json{{"ServerRequest", {{"bookmarkContentSuccess", "User bookmarked post successfully"}, {"postID", id}, {"bookmarkStatus", true}}}},
        nlohmann::json{{"Tap", {{"bookmarkContentTapped", "User tried to bookmark a post"}, {"postID", id}}}},
        nlohmann::json{{"Tap", {{"bookmarkContentTapped", "User tried to bookmark education content"}}}},
        nlohmann::json{{"ServerRequest", {{"bookmarkContentSuccess", "User bookmarked post successfully"}, {"postID", id}, {"bookmarkStatus", false}}}}));
}

TEST_F(PostDetailsScreen, CommentsAreWrittenFromTheBarThatRidesOnTheKeyboard) {
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    EXPECT_TRUE(host->isShowing("Best picture ever."));
    EXPECT_TRUE(host->isShowing("Look at those tiny fingers!"));
    EXPECT_TRUE(host->isShowing("Add a Comment"));
    auto& keyboard = Keyboard::shared();
    EXPECT_TRUE(keyboard.areKeysShown());
    const auto& bar = list->commentTextInputView();
    EXPECT_FALSE(bar->postButton()->isEnabled());
    EXPECT_FALSE(list->shouldBecomeFirstResponser);
    // The bar sits on the keys.
    EXPECT_NEAR(bar->convert(bar->bounds(), nullptr).maxY(), keyboard.frame().origin.y + bar->frame().size.height, 0.5);

    ASSERT_TRUE(host->type("So proud of him"));
    EXPECT_TRUE(waitFor([&] {
        for (const auto& c : list->tableView()->visibleCells())
            if (!std::static_pointer_cast<CommentTableViewCell>(c)->profilePicImageView->image()) return false;
        return true;
    }));
    picture("posts-comments");
    EXPECT_FALSE(host->isShowing("Add a Comment"));
    EXPECT_TRUE(bar->postButton()->isEnabled());
    // Two taps before the reply post one comment.
    bar->postButton()->sendActions(UIControlEventTouchUpInside);
    bar->postButton()->sendActions(UIControlEventTouchUpInside);
    ASSERT_TRUE(showsSoon("3 Comments"));
    EXPECT_THAT(rowTexts(*list), testing::ElementsAre("Best picture ever.", "Look at those tiny fingers!", "So proud of him"));
    EXPECT_EQ(bar->textView()->text(), "");
    EXPECT_FALSE(bar->postButton()->isEnabled());
    EXPECT_FALSE(keyboard.areKeysShown());
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'So proud of him' AND post_id = " +
                    std::to_string(*held->cardId)),
              1);

    // The server gone: the text stays, and so does Post.
    ASSERT_TRUE(host->tap(bar->textView()));
    ASSERT_TRUE(host->type("Still here"));
    demo->stop();
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([&] { return bar->postButton()->isEnabled(); }));
    EXPECT_EQ(bar->textView()->text(), "Still here");
    EXPECT_EQ(list->commentsArray().size(), 3u);
    // The member is told that it did not go.
    ASSERT_FALSE(GSMessage::history().empty());
    EXPECT_EQ(GSMessage::history().back().text, "Your comment could not be posted. Please try again.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
}

TEST_F(PostDetailsScreen, ACommentLongerThanTheServerKeepsIsNotSentAndTheMemberIsToldWhy) {
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    auto list = openComments(held, "2 Comments");
    ASSERT_TRUE(list);
    const std::string comments = "SELECT COUNT(*) FROM comments WHERE post_id = " + std::to_string(*held->cardId);
    const auto before = count(comments);
    // A pasted page of 5,001 letters.
    const std::string text(5001, 'a');
    ASSERT_TRUE(host->paste(text));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_FALSE(GSMessage::history().empty());
    EXPECT_EQ(GSMessage::history().back().text,
              "A comment can be at most 5000 characters long. This one has 5001: take away its last 1 character.");
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(count(comments), before);
    EXPECT_EQ(list->commentTextInputView()->textView()->text(), text);
    // One character fewer: the server takes it.
    ASSERT_TRUE(host->deleteBackward(1));
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(waitFor([&] { return count(comments) == before + 1; }));
}

TEST_F(PostDetailsScreen, TheBarGrowsWithItsLinesAndTheListFollowsTheKeyboardAfterComingBack) {
    signInAndLaunch();
    auto list = openComments(card(kHeldNoah), "2 Comments");
    ASSERT_TRUE(list);
    const auto& bar = list->commentTextInputView();
    const CGFloat oneLine = bar->frame().size.height;
    const CGFloat keysTop = Keyboard::shared().frame().origin.y;
    ASSERT_TRUE(host->type("one\ntwo\nthree\nfour\nfive"));
    host->settle();
    EXPECT_GT(bar->frame().size.height, oneLine + 60);
    EXPECT_LT(Keyboard::shared().frame().origin.y, keysTop - 60);
    EXPECT_NEAR(bar->intrinsicContentSize().height, bar->textView()->bounds().size.height + 20, 0.5);

    // The keyboard's frame changes scroll the list to its last row, also after the screen went and
    // came back.
    auto other = std::make_shared<UIViewController>();
    navigation()->pushViewController(other, false);
    host->settle();
    list->setCommentsArray({});
    navigation()->popViewController(false);
    ASSERT_TRUE(waitFor([&] { return list->commentsArray().size() == 2; }));
    auto table = list->tableView();
    // Enough rows to scroll: the list as a long reply would give it.
    std::vector<CommentData> many(30, CommentData{"Emma Hart", "", "A comment", std::nullopt});
    list->setCommentsArray(many);
    table->reloadData();
    host->settle();
    ASSERT_TRUE(host->tap(bar->textView()));
    ASSERT_TRUE(host->type("x"));
    ASSERT_TRUE(host->type("\n"));
    host->settle();
    EXPECT_GT(table->contentOffset().y, 100);
}

// How far the bottom of `view`, as shown in the window, reaches into the keyboard (the keys and the
// bar docked over them): none when it ends above it.
CGFloat hiddenUnderTheKeyboard(const UIView& view) {
    const CGRect shown = view.convert(view.bounds(), static_cast<const UIView*>(nullptr));
    return std::max<CGFloat>(0, shown.maxY() - Keyboard::shared().frame().minY());
}

TEST_F(PostDetailsScreen, TheLastCommentsStayAboveTheKeyboard) {
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    ASSERT_TRUE(held);
    const std::string post = std::to_string(*held->cardId);
    const std::string mother = "(SELECT id FROM members WHERE email = 'demo@cradleway.test')";
    // The post's two comments and 28 more, the last the newest.
    count("WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 30) "
          "INSERT INTO comments (member_id, post_id, comment_text, created_at) SELECT " + mother + ", " + post +
          ", 'Comment number ' || i, (SELECT MAX(created_at) FROM comments) + i FROM n");
    ASSERT_EQ(count("SELECT COUNT(*) FROM comments WHERE post_id = " + post), 30);

    // Opened from the post's comment button, with the keys up, and scrolled to its end by a finger.
    auto list = openComments(held, "30 Comments");
    ASSERT_TRUE(list);
    ASSERT_TRUE(Keyboard::shared().areKeysShown());
    auto table = list->tableView();
    ASSERT_TRUE(host->scroll(table, {0, -3000}));
    auto last = host->findByText("Comment number 30");
    ASSERT_TRUE(last) << "the last comment is not on screen";
    EXPECT_EQ(hiddenUnderTheKeyboard(*last), 0);
    EXPECT_TRUE(host->isShowing("Comment number 28"));
    // The scroll indicator reaches as far as the list shows, not under the keys.
    EXPECT_EQ(table->scrollIndicatorInsets.bottom, table->contentInset().bottom);

    // A comment of 5,000 characters at the end: its last line shows above the bar.
    ASSERT_TRUE(host->goBack());
    std::string longest;
    while (longest.size() < 4990) longest += "so proud of our little fighter ";
    longest.resize(4989);
    longest += " last words";
    ASSERT_EQ(longest.size(), 5000u);
    count("INSERT INTO comments (member_id, post_id, comment_text, created_at) SELECT " + mother + ", " + post +
          ", '" + longest + "', MAX(created_at) + 60 FROM comments");
    ASSERT_TRUE(host->tapIdentifier("commentButton"));
    ASSERT_TRUE(showsSoon("31 Comments"));
    list = std::dynamic_pointer_cast<CommentTableViewController>(top());
    ASSERT_TRUE(list);
    ASSERT_TRUE(Keyboard::shared().areKeysShown());
    ASSERT_TRUE(host->scroll(list->tableView(), {0, -20000}));
    auto whole = host->findByText(longest);
    ASSERT_TRUE(whole) << "the long comment is not on screen";
    EXPECT_EQ(hiddenUnderTheKeyboard(*whole), 0);

    // The keys going down (the bar stays): the list gives back what they took.
    const CGFloat withKeys = list->tableView()->contentInset().bottom;
    list->commentTextInputView()->textView()->resignFirstResponder();
    host->settle();
    EXPECT_FALSE(Keyboard::shared().areKeysShown());
    EXPECT_LT(list->tableView()->contentInset().bottom, withKeys - 100);
}

TEST_F(PostDetailsScreen, APostPushLoadsThePostAndItsStarWaitsForIt) {
    signInAndLaunch();
    const auto held = card(kHeldNoah);
    ASSERT_TRUE(held);
    host->tapPush({{"screen", "post"}, {"post_id", *held->cardId}, {"notification_type", "post"}});
    auto details = std::dynamic_pointer_cast<PostDetailsViewController>(top());
    ASSERT_TRUE(details);
    EXPECT_EQ(details->postId, held->cardId);
    // Before the reply: the star only reports its tap.
    if (!details->detailsData) {
        details->bookmarkAction();
        EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    }
    ASSERT_TRUE(showsSoon(kHeldNoah));
    ASSERT_TRUE(details->detailsData);
    EXPECT_NE(details->detailsData, held);
    EXPECT_EQ(details->imageViewStackView->arrangedSubviews().size(), 2u);
    ASSERT_TRUE(waitFor([&] { return badgeText(*details->commentButton()) == "2"; }));
}

// Pushes for posts, with the server behind a front that counts the post's loads and can answer them
// itself as a broken link or server would.
class PostPush : public PostsScreenTest {
protected:
    void SetUp() override {
        PostsScreenTest::SetUp();
        front.setHandler([this, upstream = demo->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
            if (isPostLoad(request)) {
                std::lock_guard lock(mutex_);
                if (answer_) {
                    response.status = answer_->status;
                    response.set_content(answer_->body, answer_->contentType);
                    return;
                }
            }
            forwardRequest(upstream, request, response);
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    void TearDown() override {
        front.stop();
        PostsScreenTest::TearDown();
    }

    static bool isPostLoad(const RecordedRequest& request) {
        return request.method == "GET" && request.path.rfind("/m/api/post", 0) == 0;
    }
    // The front answers the post's loads with `answer`; none passes them on to the server.
    void answerLoads(std::optional<Reply> answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }
    std::size_t loads() const {
        const auto all = front.requests();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), isPostLoad));
    }
    std::size_t requestsFor(const std::string& piece) const {
        const auto all = front.requests();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(), [&](const RecordedRequest& r) { return r.path.find(piece) != std::string::npos; }));
    }
    // A push for the post `id`, tapped: the details screen it opened, once it shows what the answer
    // to its load said (the post, that the post is not there for her, or a banner). The overlay's
    // fade runs on the host's clock, which moves as the host settles after that.
    std::shared_ptr<PostDetailsViewController> tapPushFor(std::int64_t id) {
        host->tapPush({{"screen", "post"}, {"post_id", id}, {"notification_type", "post"}});
        auto details = std::dynamic_pointer_cast<PostDetailsViewController>(top());
        if (details)
            waitFor([&] {
                return details->detailsData || host->isShowing("This post is no longer available.") ||
                       !GSMessage::history().empty();
            });
        return details;
    }

    RecordingServer front;

private:
    std::mutex mutex_;
    std::optional<Reply> answer_;
};

// A push for a post she cannot see: one of another family, one deleted since, a reply that names no
// post; and loads that went wrong on the way. Each push loads the post once and the overlay goes with
// the answer. A post the server has not for her says so on the page without asking her to try
// again; a load that failed says that. Either way the share, bookmark and comment buttons take no
// tap: there is no post for them to work on.
TEST_F(PostPush, APushForAPostSheCannotSeeSaysSoAndLeavesNoButtonThatCannotWork) {
    signInAndLaunch();
    ASSERT_TRUE(card(kHeldNoah));
    const auto heldNoah = *card(kHeldNoah)->cardId;
    const auto strangersPost = [&] {
        count("INSERT INTO members (email, full_name, relationship, password_hash, security_code, created_at) "
              "VALUES ('dana@elsewhere.test', 'Dana Moss', 'Mother', 'x', 0, 0)");
        count("INSERT INTO posts (kind, member_id, post_text, source, created_at) VALUES ('post', (SELECT id FROM "
              "members WHERE email = 'dana@elsewhere.test'), 'Our twins came home today.', '', 0)");
        return count("SELECT id FROM posts WHERE post_text = 'Our twins came home today.'");
    };
    const auto deletedPost = [&] {
        const auto id = count("SELECT id FROM posts WHERE post_text LIKE 'Knitted two tiny hats%'");
        count("DELETE FROM posts WHERE id = " + std::to_string(id));
        return id;
    };
    const auto samePost = [&] { return heldNoah; };
    struct Road {
        const char* name;
        std::function<std::int64_t()> post;
        std::optional<Reply> answer; // none: the server's own
        bool notForHer;              // else the load failed
    };
    const Road roads[] = {
        {"a post of another family", strangersPost, std::nullopt, true},
        {"a post deleted since the push", deletedPost, std::nullopt, true},
        {"a reply that names no post", samePost, Reply{200, R"({"data": {"posts": [], "users": {}}})"}, true},
        {"an answer lost on the way", samePost, Reply{502, "Bad Gateway", "text/plain"}, false},
        {"an answer that is no JSON", samePost, Reply{200, "<html>Sign in to the ward Wi-Fi</html>", "text/html"}, false},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.name);
        const auto id = road.post();
        ASSERT_GT(id, 0);
        answerLoads(road.answer);
        GSMessage::clearHistory();
        const auto loadsBefore = loads();
        const auto bookmarksBefore = requestsFor("bookmark");
        auto details = tapPushFor(id);
        ASSERT_TRUE(details);
        EXPECT_EQ(loads(), loadsBefore + 1) << "one push, one load";
        EXPECT_FALSE(showsActivityOverlay(details));
        EXPECT_EQ(host->isShowing("This post is no longer available."), road.notForHer);
        std::vector<std::string> banners;
        for (const auto& message : GSMessage::history()) banners.push_back(message.text);
        if (road.notForHer)
            EXPECT_THAT(banners, testing::IsEmpty()) << "nothing asks her to try again";
        else
            EXPECT_THAT(banners, testing::ElementsAre("Unexpected Error. Please try again."));
        for (const auto& item : {details->shareButton(), details->bookmarkButton(), details->commentButton()}) {
            EXPECT_FALSE(item->isEnabled()) << item->accessibilityIdentifier;
            host->tapIdentifier(item->accessibilityIdentifier);
            host->settle();
            EXPECT_EQ(top().get(), details.get()) << item->accessibilityIdentifier << " opened what cannot work";
            EXPECT_FALSE(details->presentedViewController()) << item->accessibilityIdentifier << " presented what cannot work";
            EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible()) << item->accessibilityIdentifier;
        }
        EXPECT_EQ(requestsFor("bookmark"), bookmarksBefore);
        EXPECT_EQ(loads(), loadsBefore + 1);
        navigation()->popToRootViewController(false);
        host->settle();
    }
}

// A push for her own post opens it whole, loaded once, and its share, bookmark and comment buttons
// work on it once it is there.
TEST_F(PostPush, APushForHerOwnPostOpensItWholeWithButtonsThatWork) {
    signInAndLaunch();
    const std::string text = "Olivia opened her eyes during kangaroo care this morning.";
    const auto id = count("SELECT id FROM posts WHERE post_text = '" + text + "'");
    const std::string bookmarked = "SELECT COUNT(*) FROM bookmarks WHERE post_id = " + std::to_string(id) +
                                   " AND member_id = (SELECT id FROM members WHERE email = 'demo@cradleway.test')";
    ASSERT_EQ(count(bookmarked), 1);
    GSMessage::clearHistory();
    auto details = tapPushFor(id);
    ASSERT_TRUE(details);
    EXPECT_EQ(loads(), 1u);
    ASSERT_TRUE(showsSoon(text));
    EXPECT_FALSE(showsActivityOverlay(details));
    EXPECT_FALSE(host->isShowing("This post is no longer available."));
    EXPECT_EQ(details->imageViewStackView->arrangedSubviews().size(), 1u);
    EXPECT_TRUE(waitFor([&] { return badgeText(*details->commentButton()) == "1"; }));
    EXPECT_THAT(GSMessage::history(), testing::IsEmpty());

    ASSERT_TRUE(host->tapIdentifier("shareButton"));
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityViewController>(details->presentedViewController()));
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));
    EXPECT_FALSE(details->presentedViewController());

    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    EXPECT_TRUE(awaitCount(bookmarked, 0)) << "her star let go of the post";
    ASSERT_TRUE(waitFor([&] { return !details->detailsData->bookmarked; }));

    ASSERT_TRUE(host->tapIdentifier("commentButton"));
    EXPECT_TRUE(std::dynamic_pointer_cast<CommentTableViewController>(top()));
    EXPECT_TRUE(showsSoon("1 Comment"));
    EXPECT_TRUE(showsSoon("She looked right at you."));
    EXPECT_EQ(loads(), 1u);
}

TEST_F(PostDetailsScreen, TheDailyUpdatesLinkPlaysTheVideoAndTheBarComesBack) {
    signInAndLaunch();
    FeedResponse::Card update;
    for (const auto& c : FeedDataStore::shared().cachedFeed())
        if (c->cardType == CardType::dailyUpdateChange) update = c;
    ASSERT_TRUE(update);
    auto details = open<PostDetailsViewController>("PostDetailsViewController", update);
    EXPECT_FALSE(details->journeyLinkView->isHidden());
    EXPECT_EQ(details->screenName(), "DailyUpdateDetailsViewScreen");
    // Share opens the feed's sheet for this card.
    ASSERT_TRUE(host->tapIdentifier("shareButton"));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(details->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->stringValue("subject"), "Daily Update " + update->dateText().value_or(""));
    EXPECT_EQ(sheet->activityItems().size(), 2u);
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));
    ASSERT_TRUE(waitFor([&] {
        for (const auto& e : storedEvents("DailyUpdateDetailsViewScreen"))
            if (e.details.contains("shareContentTapped")) return e.details["dailyUpdate"] == true;
        return false;
    }));
    // A finger scrolls to the end of the page.
    if (details->scrollView->maximumContentOffset().y > details->scrollView->contentOffset().y + 0.5) {
        ASSERT_TRUE(host->scroll(details->scrollView,
                                 {0, details->scrollView->contentOffset().y - details->scrollView->maximumContentOffset().y}));
    }
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("journeyLinkButton"));
    auto player = std::dynamic_pointer_cast<XCDYouTubeVideoPlayerViewController>(navigation()->presentedViewController());
    ASSERT_TRUE(player);
    EXPECT_EQ(player->videoIdentifier(), "cwDemoCpr01");
    EXPECT_TRUE(navigation()->isNavigationBarHidden());
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(navigation()->presentedViewController());
    EXPECT_FALSE(navigation()->isNavigationBarHidden());
    EXPECT_TRUE(host->goBack());
}

// The feed as a hostile server sends it: the father's first-hold post alone, naming thousands of
// pictures (a post the server stores holds four at most).
class PostOfThousandsOfPictures : public PostsScreenTest {
protected:
    static constexpr int kPictures = 3000;

    void SetUp() override {
        PostsScreenTest::SetUp();
        front.setHandler([upstream = demo->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
            forwardRequest(upstream, request, response);
            if (request.method != "POST" || (request.path != "/m/api/content/" && request.path != "/m/api/content"))
                return;
            auto feed = nlohmann::json::parse(response.body, nullptr, false);
            if (!feed.is_object() || !feed["data"].is_object()) return;
            auto& data = feed["data"];
            nlohmann::json posts = nlohmann::json::array();
            for (auto post : data["posts"]) {
                if (post.value("post_text", "") != kHeldNoah) continue;
                nlohmann::json medias = nlohmann::json::array();
                for (int i = 0; i < kPictures; ++i)
                    medias.push_back({{"file_name", "images/upload/many-" + std::to_string(i) + ".png"}, {"file_type", "png"}});
                post["post_medias"] = medias;
                posts.push_back(post);
            }
            data["posts"] = posts;
            data["content"] = nlohmann::json::array();
            data["daily_update"] = nlohmann::json::array();
            response.set_content(feed.dump(), "application/json");
        });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
    }
    void TearDown() override {
        front.stop();
        PostsScreenTest::TearDown();
    }

    RecordingServer front;
};

TEST_F(PostOfThousandsOfPictures, TheCardAndThePostShowTheirFirstPicturesAndTheGalleryHoldsThemAll) {
    signInAndLaunch();
    ASSERT_TRUE(showsSoon(kHeldNoah));
    std::shared_ptr<FeedTableViewCell> cell;
    for (auto view = host->findByText(kHeldNoah); view && !cell; view = view->superview())
        cell = std::dynamic_pointer_cast<FeedTableViewCell>(view);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->mainImageViewStackView->arrangedSubviews().size(), FeedResponse::kShownPicturesLimit);
    EXPECT_EQ(card(kHeldNoah)->cardMedia.size(), static_cast<std::size_t>(kPictures));

    // The card opens the post under a finger.
    ASSERT_TRUE(host->tapText(kHeldNoah));
    ASSERT_TRUE(waitFor([&] { return std::dynamic_pointer_cast<PostDetailsViewController>(top()) != nullptr; }));
    auto details = std::static_pointer_cast<PostDetailsViewController>(top());
    host->settle();
    const auto& pictures = details->imageViewStackView->arrangedSubviews();
    ASSERT_EQ(pictures.size(), FeedResponse::kShownPicturesLimit);
    EXPECT_EQ(details->itemCount(), kPictures);
    std::size_t imageViews = 0;
    std::function<void(const UIView&)> countImages = [&](const UIView& view) {
        imageViews += dynamic_cast<const UIImageView*>(&view) != nullptr;
        for (const auto& sub : view.subviews()) countImages(*sub);
    };
    countImages(*details->view());
    EXPECT_LT(imageViews, 2 * FeedResponse::kShownPicturesLimit);

    // Its first picture opens the gallery, which pages on past the pictures the column shows.
    ASSERT_TRUE(host->tap(pictures[0]));
    auto gallery = std::dynamic_pointer_cast<GalleryViewController>(details->presentedViewController());
    ASSERT_TRUE(gallery);
    EXPECT_EQ(gallery->itemCount(), kPictures);
    for (int page = 1; page <= 2; ++page) {
        ASSERT_TRUE(host->drag({300, 330}, {60, 330}, 8));
        host->settle();
    }
    EXPECT_EQ(gallery->currentIndex(), 2);
    ASSERT_TRUE(host->tapText("Close"));
    EXPECT_FALSE(details->presentedViewController());
    ASSERT_TRUE(host->goBack());
    EXPECT_TRUE(waitFor([&] { return host->isShowing(kHeldNoah) && !std::dynamic_pointer_cast<PostDetailsViewController>(top()); }));
}

} // namespace
} // namespace cw::test
