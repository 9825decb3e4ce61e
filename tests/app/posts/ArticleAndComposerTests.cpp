// The article page and the post composer as the demo mother uses them, against the demo server.

#include "PostsFixture.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Extensions/ActivityOverlayView.h"
#include "Extensions/UIBarButtonItem+Badge.h"
#include "host/HeadlessScript.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "server/Database.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/CALayer.h"

#include <gmock/gmock.h>

namespace cw::test {
namespace {

bool overlayShown(const UIViewController& screen) {
    bool found = false;
    std::function<void(const UIView&)> walk = [&](const UIView& v) {
        for (const auto& s : v.subviews()) {
            if (dynamic_cast<const ActivityOverlayView*>(s.get())) found = true;
            walk(*s);
        }
    };
    if (screen.isViewLoaded()) walk(*const_cast<UIViewController&>(screen).view());
    return found;
}

bool hasBannerText(const std::string& text) {
    for (const auto& record : GSMessage::history())
        if (record.text == text) return true;
    return false;
}

class ArticleScreen : public PostsScreenTest {};

TEST_F(ArticleScreen, TheArticleShowsItsPageAndPictureOpensRelatedArticlesAndRevertsAFailedBookmark) {
    signInAndLaunch();
    const auto kangaroo = card("Kangaroo care: skin to skin");
    ASSERT_TRUE(kangaroo);
    auto page = open<FeedDetailWebViewController>("FeedDetailWebViewController", kangaroo);
    ASSERT_TRUE(page);
    ASSERT_TRUE(showsSoon("Skin-to-skin contact steadies your baby's heart rate, breathing and temperature."));
    ASSERT_TRUE(waitFor([&] { return !page->webView()->isLoading(); }));
    host->settle();
    EXPECT_FALSE(overlayShown(*page));
    ASSERT_TRUE(waitFor([&] { return badgeText(*page->commentButton) == "1"; }));
    // Its picture stands in the page.
    bool shown = false;
    std::function<void(const UIView&)> walk = [&](const UIView& v) {
        for (const auto& s : v.subviews()) {
            if (auto image = dynamic_cast<const UIImageView*>(s.get()); image && image->image()) shown = true;
            walk(*s);
        }
    };
    walk(*page->webView());
    EXPECT_TRUE(shown);
    // The server read the page with the member's own token: the article is read.
    EXPECT_TRUE(awaitCount("SELECT COUNT(*) FROM content_reads WHERE content_id = 5 AND member_id = "
                           "(SELECT id FROM members WHERE email = 'demo@cradleway.test')", 1));
    picture("posts-article");

    // Sideways drags leave the page where it is.
    const auto scroll = page->webView()->scrollView();
    ASSERT_TRUE(host->drag({300, 400}, {60, 380}));
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 0);

    // The related link opens a page for article 6.
    ASSERT_TRUE(host->tapLink("Your first hold"));
    auto related = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(related);
    ASSERT_NE(related, page);
    EXPECT_EQ(related->contentId(), 6);
    if (auto six = FeedDataStore::shared().cachedFeedResponse(6))
        EXPECT_EQ(related->detailsData, six);
    else
        EXPECT_EQ(related->relatedContentUrl, "//content/education/6");
    ASSERT_TRUE(showsSoon("Your first hold"));
    ASSERT_TRUE(host->goBack());

    // A bookmark shows at once; with the server gone it goes back with the banner.
    const bool before = kangaroo->bookmarked;
    demo->stop();
    page->bookmarkButtonPressed();
    EXPECT_EQ(kangaroo->bookmarked, !before);
    EXPECT_EQ(page->isContentBookmarked(), !before);
    ASSERT_TRUE(waitFor([&] { return hasBannerText("Unexpected error bookmarking content. Please try again later."); }));
    EXPECT_EQ(kangaroo->bookmarked, before);
    EXPECT_EQ(page->isContentBookmarked(), before);
}

TEST_F(ArticleScreen, APageThatCannotLoadEndsWithABannerAndAFeedPushMarksEachPageSeen) {
    signInAndLaunch();
    // A notification's page: every finished page marks it as seen.
    host->tapPush({{"screen", "feed"}, {"feed_id", 6}, {"not_id", 1}, {"notification_type", "education_content"}});
    auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->notificationId, 1);
    ASSERT_TRUE(showsSoon("Your first hold"));
    EXPECT_TRUE(awaitCount("SELECT seen FROM notifications WHERE id = 1", 1));
    ASSERT_TRUE(host->goBack());

    // A page the server does not have: the overlay ends with the banner.
    auto missing = std::dynamic_pointer_cast<FeedDetailWebViewController>(
        UIStoryboard::named("Feed")->instantiateViewController("FeedDetailWebViewController"));
    missing->relatedContentUrl = "/content/education/6";
    demo->stop();
    navigation()->pushViewController(missing, true);
    ASSERT_TRUE(waitFor([] { return hasBannerText("Unexpected error loading content. Please try again."); }));
    EXPECT_FALSE(overlayShown(*missing));
}

// A push (or a link) for an article the server does not have, as a stale or broken notification
// names one: the page says it could not load it instead of showing the server's answer, and ends
// its overlay.
TEST_F(ArticleScreen, AnArticleThatDoesNotExistSaysItCouldNotLoadInsteadOfShowingTheServersAnswer) {
    signInAndLaunch();
    for (const int id : {-5, 999999}) {
        SCOPED_TRACE(id);
        GSMessage::clearHistory();
        host->tapPush(
            {{"screen", "feed"}, {"feed_id", id}, {"not_id", 1}, {"notification_type", "education_content"}});
        auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
        ASSERT_TRUE(page);
        ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*page) != nullptr; })) << "no word of it";
        EXPECT_EQ(GSMessage::shown(*page)->text(), "Unexpected error loading content. Please try again.");
        EXPECT_EQ(GSMessage::shown(*page)->type(), GSMessageType::error);
        ASSERT_TRUE(waitFor([&] { return !page->webView()->isLoading() && !overlayShown(*page); }));
        for (const auto& text : host->visibleTexts()) {
            EXPECT_EQ(text.find("Not found"), std::string::npos) << text;
            EXPECT_EQ(text.find("no longer available"), std::string::npos) << text;
            EXPECT_EQ(text.find("\"message\""), std::string::npos) << text;
        }
        ASSERT_TRUE(host->goBack());
    }
}

// Signed in as the father, a push of article 1 while the feed's store holds no card of it: the page
// opens the article by its path alone, and its comments must still be the article's.
TEST_F(ArticleScreen, AnArticlePushWithoutItsCardShowsAndTakesTheArticlesOwnComments) {
    signInAndLaunch("partner@cradleway.test");
    // As when the push is tapped before the feed has come: the store holds no card of article 1.
    FeedDataStore::shared().setCachedFeed({});
    host->tapPush({{"aps", {{"alert", "A new article for you"}}},
                   {"not_id", 1},
                   {"screen", "feed"},
                   {"feed_id", 1},
                   {"notification_type", "education_content"}});
    auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->detailsData);
    ASSERT_TRUE(showsSoon("Why your baby is on CPAP"));
    ASSERT_TRUE(waitFor([&] { return badgeText(*page->commentButton) == "1"; }));

    ASSERT_TRUE(host->tapIdentifier("commentButton"));
    auto list = std::dynamic_pointer_cast<CommentTableViewController>(top());
    ASSERT_TRUE(list);
    ASSERT_TRUE(showsSoon("1 Comment"));
    EXPECT_TRUE(host->isShowing("This helped me understand the machine."));
    ASSERT_TRUE(host->type("Thank you, this explains the prongs."));
    ASSERT_TRUE(host->tapText("Post"));
    ASSERT_TRUE(showsSoon("2 Comments"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = 'Thank you, this explains the prongs.' "
                    "AND feed_id = 1 AND post_id IS NULL"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE post_id = 1"), 0);
}

// A card whose content_url, or a related link of a page, names another host: the page goes with the
// member's token, so it opens nothing there; and nothing the member shares, no usage event and no
// console line carries the token.
TEST_F(ArticleScreen, AnArticlePathNamingAnotherHostSendsItNothingAndTheTokenStaysHome) {
    RecordingServer elsewhere;
    const std::string other = "127.0.0.1:" + std::to_string(elsewhere.port());
    demo->server()
        .state()
        .pool->acquire()
        ->prepare("UPDATE education_content SET article_html = ? || article_html WHERE id = 5")
        .with("<p>First: <a href=\"cradleway:@" + other + "/content/education/999\">A stranger's page</a></p>")
        .run();
    signInAndLaunch();
    const std::string token = AuthenticationContext::shared().oAuthToken().value_or("");
    ASSERT_FALSE(token.empty());
    const auto sharedItems = [&] {
        std::vector<std::string> texts;
        EXPECT_TRUE(host->tapIdentifier("shareButton"));
        auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
        if (sheet)
            for (const auto& item : sheet->activityItems())
                if (const auto* text = std::any_cast<std::string>(&item)) texts.push_back(*text);
        EXPECT_TRUE(host->chooseShareTarget(std::nullopt));
        return texts;
    };

    const auto kangaroo = card("Kangaroo care: skin to skin");
    ASSERT_TRUE(kangaroo);
    auto hostile = std::make_shared<FeedResponse>();
    hostile->cardId = kangaroo->cardId;
    hostile->cardType = CardType::educationContent;
    hostile->cardTitle = kangaroo->cardTitle;
    hostile->contentURL = "@" + other + "/steal";
    auto page = open<FeedDetailWebViewController>("FeedDetailWebViewController", hostile);
    ASSERT_TRUE(page);
    ASSERT_TRUE(waitFor([] { return hasBannerText("Unexpected error loading content. Please try again."); }));
    EXPECT_FALSE(page->webView()->url());
    EXPECT_FALSE(overlayShown(*page));
    for (const auto& text : sharedItems()) EXPECT_EQ(text.find(other), std::string::npos) << text;
    ASSERT_TRUE(host->goBack());

    GSMessage::clearHistory();
    auto article = open<FeedDetailWebViewController>("FeedDetailWebViewController", kangaroo);
    ASSERT_TRUE(showsSoon("First: A stranger's page"));
    ASSERT_TRUE(waitFor([&] { return !article->webView()->isLoading(); }));
    host->settle();
    ASSERT_TRUE(host->tapLink("A stranger's page"));
    auto related = std::dynamic_pointer_cast<FeedDetailWebViewController>(top());
    ASSERT_TRUE(related);
    ASSERT_NE(related, article);
    EXPECT_EQ(related->contentId(), 999);
    ASSERT_TRUE(waitFor([] { return hasBannerText("Unexpected error loading content. Please try again."); }));
    for (const auto& text : sharedItems()) EXPECT_EQ(text.find(other), std::string::npos) << text;

    RunLoop::main().runFor(0.3);
    EXPECT_EQ(elsewhere.requestCount(), 0u) << "the member's token went to another host";
    for (const auto& event : storedEvents("FeedDetailsWebViewScreen"))
        EXPECT_EQ(event.details.dump().find(token), std::string::npos) << event.details.dump();
    EXPECT_EQ(console.str().find(token), std::string::npos);
}

class PostComposer : public PostsScreenTest {};

TEST_F(PostComposer, TwoPicturesAndATextMakeANewPostTheFeedShowsFirst) {
    signInAndLaunch();
    auto composer = openComposer();
    EXPECT_TRUE(host->isShowing("Share a moment, photo, or news"));
    EXPECT_TRUE(Keyboard::shared().areKeysShown());
    EXPECT_FALSE(composer->doneButton()->isEnabled());
    ASSERT_TRUE(host->type("  \n "));
    EXPECT_FALSE(composer->doneButton()->isEnabled());
    ASSERT_TRUE(host->deleteBackward(4));
    ASSERT_TRUE(host->type("\nFirst cuddle  \n"));
    EXPECT_TRUE(composer->doneButton()->isEnabled());

    const auto wide = pictureFile("wide.png", 400, 200);
    const auto tall = pictureFile("tall.png", 300, 400);
    for (const auto& file : {wide, tall})
        ASSERT_TRUE(pickFromLibrary(file));
    ASSERT_EQ(composer->postImages.size(), 2u);
    composer->dismissKeyboard();
    host->settle();
    const auto& pictures = composer->mediaStackView()->arrangedSubviews();
    ASSERT_EQ(pictures.size(), 2u);
    const CGFloat column = composer->scrollView()->bounds().size.width - 16;
    EXPECT_NEAR(pictures[0]->frame().size.width, column, 0.5);
    EXPECT_NEAR(pictures[0]->frame().size.height, column / 2, 0.5);
    EXPECT_NEAR(pictures[1]->frame().size.height, column * 4 / 3, 0.5);
    picture("posts-composer");

    // A third: the warning, no sheet.
    ASSERT_TRUE(composer->postBox()->becomeFirstResponder());
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("cameraButton"));
    EXPECT_EQ(GSMessage::history().back().text, "Only two pictures are allowed per post");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::warning);
    EXPECT_FALSE(composer->presentedViewController());

    // A failed post keeps everything.
    host->advance(4); // the banner goes away from over the bar
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    // The dismissal is animated: the host's clock moves it on.
    ASSERT_TRUE(waitFor([&] {
        host->settle();
        return !navigation()->presentedViewController();
    }, 20));
    const std::string posts = "SELECT COUNT(*) FROM posts WHERE post_text = 'First cuddle  '";
    ASSERT_TRUE(awaitCount(posts, 1));
    EXPECT_EQ(count("SELECT COUNT(*) FROM post_media WHERE post_id = (SELECT id FROM posts WHERE post_text = "
                    "'First cuddle  ')"),
              2);
    // The feed, asked again, has it first.
    std::vector<FeedResponse::Card> cards;
    FeedDataStore::shared().fetchFeed([&](const std::vector<FeedResponse::Card>& c) { cards = c; }, [](const NSError&) {});
    ASSERT_TRUE(waitFor([&] { return !cards.empty(); }));
    EXPECT_EQ(cards.front()->cardDescription, "First cuddle  ");
}

TEST_F(PostComposer, ThePictureSheetAndThePickerStandAboveTheKeyboardOfTheTextBeingWritten) {
    // As a family found it: a text typed, the camera item tapped; the sheet came up beneath the
    // keys where no finger reaches it, and the picker opened under the camera bar.
    signInAndLaunch();
    auto composer = openComposer();
    ASSERT_TRUE(host->type("First cuddle"));
    ASSERT_TRUE(Keyboard::shared().areKeysShown());
    const CGPoint onCameraBar = host->tapPointOf(*host->findByIdentifier("cameraButton"));

    std::istringstream steps("tap #cameraButton\nalert \"Photo Library\"\n");
    std::ostringstream errors;
    HeadlessScriptOptions options;
    options.name = "composer";
    options.waitSeconds = 2;
    ASSERT_EQ(runHeadlessScript(*host, steps, options, errors), kScriptSucceeded) << errors.str();
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(host->topViewController());
    ASSERT_TRUE(picker);
    auto under = host->viewUnderFinger(onCameraBar);
    ASSERT_TRUE(under);
    EXPECT_TRUE(under->isDescendant(picker->view().get())) << "the camera bar lies over the picker";
    ASSERT_TRUE(host->pickImage(pictureFile("wide.png", 400, 200)));
    EXPECT_EQ(composer->postImages.size(), 1u);
    EXPECT_TRUE(composer->postBox()->isFirstResponder()) << "the text is still being written";
    EXPECT_EQ(composer->postBox()->text(), "First cuddle");

    // The second picture lies under the keys: a finger drags the content down onto the keys and
    // the keyboard goes with it (the scroll view dismisses it interactively), then the picture
    // scrolls into view.
    std::istringstream again("tap #cameraButton\nalert \"Photo Library\"\n");
    ASSERT_EQ(runHeadlessScript(*host, again, options, errors), kScriptSucceeded) << errors.str();
    ASSERT_TRUE(host->pickImage(pictureFile("tall.png", 300, 400)));
    ASSERT_TRUE(Keyboard::shared().areKeysShown());
    ASSERT_TRUE(host->drag({187, 250}, {187, 600}, 30));
    EXPECT_FALSE(Keyboard::shared().isVisible());
    ASSERT_TRUE(host->drag({187, 600}, {187, 100}, 30));
    host->advance(3);
    const auto& second = composer->mediaStackView()->arrangedSubviews().at(1);
    const CGRect shown = second->convert(second->bounds(), host->window().get());
    const CGFloat seen = Keyboard::shared().isVisible() ? Keyboard::shared().frame().minY() : 667;
    EXPECT_LE(shown.maxY(), seen + 0.5) << "the whole of the second picture can be seen";
}

TEST_F(PostComposer, AFailedPostKeepsTheTextAndPictures) {
    signInAndLaunch();
    auto composer = openComposer();
    ASSERT_TRUE(pickFromLibrary(pictureFile("one.png", 50, 50)));
    EXPECT_TRUE(composer->doneButton()->isEnabled());
    ASSERT_TRUE(host->type("Hello"));
    demo->stop();
    ASSERT_TRUE(host->tapIdentifier("submitButton"));
    ASSERT_TRUE(waitFor([] { return hasBannerText("Unexpected error. Please try again."); }, 20));
    EXPECT_EQ(navigation()->presentedViewController()->childViewControllers().front(), composer);
    EXPECT_EQ(composer->postBox()->text(), "Hello");
    EXPECT_EQ(composer->postImages.size(), 1u);
    EXPECT_TRUE(composer->doneButton()->isEnabled());
}

} // namespace
} // namespace cw::test
