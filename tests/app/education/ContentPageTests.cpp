// From the categories page down to an article, the article's page (bookmark, share, related
// content, links that leave the application, the audio session), and the bookmarked page's sheet.

#include "EducationFixture.h"

#include "Controllers/Education/EducationCategoryViewCell.h"
#include "Controllers/Education/EducationCenterParentViewController.h"
#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "Controllers/Education/SubCategoriesTableViewController.h"
#include "kits/audio/AVAudioSession.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UITabBarController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {
namespace {

class ContentPageTest : public EducationTest {
protected:
    std::shared_ptr<EducationContentWebViewController> contentPage() const {
        return std::dynamic_pointer_cast<EducationContentWebViewController>(topScreen());
    }
    std::shared_ptr<SubCategoriesTableViewController> level() const {
        return std::dynamic_pointer_cast<SubCategoriesTableViewController>(topScreen());
    }
    std::vector<std::string> rowTitles(const SubCategoriesTableViewController& screen) const {
        std::vector<std::string> titles;
        for (const auto& record : screen.isActualContent ? screen.contents : screen.subCategories)
            titles.push_back(record.name.value_or(""));
        return titles;
    }
    // Opens the education tab's categories and walks down to the article.
    void openArticle(const std::string& category, const std::string& subcategory, const std::string& article) {
        ASSERT_TRUE(host->tapText("Education"));
        ASSERT_TRUE(host->tapText("Categories"));
        tapWhenShown(category);
        ASSERT_TRUE(waitFor([&] { return level() != nullptr; }));
        host->settle();
        tapWhenShown(subcategory);
        ASSERT_TRUE(waitFor([&] { return level() && level()->isActualContent; }));
        host->settle();
        tapWhenShown(article);
        ASSERT_TRUE(contentPage());
    }
    // Waits for the page to load and for the server's answer whether it is bookmarked.
    void waitForPage(std::int64_t id, std::size_t checks = 1) {
        auto answers = waitForEvents(EducationContentWebViewController::kScreenName, "contentFetchedSuccess", checks);
        ASSERT_GE(answers.size(), checks);
        EXPECT_EQ(answers.back().details["educationContentID"], std::to_string(id));
        host->settle();
    }
    bool starShows(const char* image) const {
        return samePicture(contentPage()->bookmarkButton()->image(), UIImage::named(image));
    }
    std::string pageAddress(std::int64_t id) const {
        return server->baseUrl() + "/content/education/" + std::to_string(id) + "?user_id=" +
               std::to_string(memberId()) + "&access_token=" + accessToken();
    }
};

TEST_F(ContentPageTest, ACategoryLeadsToItsArticleWhosePageBookmarksAndTheBookmarkedPageUndoesIt) {
    openArticle("Feeding", "Breast milk", "Expressing breast milk");

    // Every level was titled with the row that opened it; the articles' list dropped its leading
    // entry (the subcategory itself).
    auto& stack = mainNavigation()->viewControllers();
    ASSERT_GE(stack.size(), 4u);
    auto subcategories = std::dynamic_pointer_cast<SubCategoriesTableViewController>(stack[stack.size() - 3]);
    auto articles = std::dynamic_pointer_cast<SubCategoriesTableViewController>(stack[stack.size() - 2]);
    ASSERT_TRUE(subcategories && articles);
    EXPECT_EQ(subcategories->title(), "Feeding");
    EXPECT_FALSE(subcategories->isActualContent);
    EXPECT_EQ(articles->title(), "Breast milk");
    EXPECT_THAT(rowTitles(*articles), ElementsAre("Expressing breast milk"));
    EXPECT_TRUE(subcategories->tableView()->allowsSelection);
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());

    // The page, with the member's id and token, and the star as the server says.
    auto page = contentPage();
    EXPECT_EQ(page->itemID, 3);
    EXPECT_EQ(page->contentURL, "/content/education/3");
    EXPECT_EQ(page->shareTitle, "Expressing breast milk");
    waitForPage(3);
    ASSERT_TRUE(page->webView()->request() && page->webView()->request()->url);
    EXPECT_EQ(page->webView()->request()->url->absoluteString(), pageAddress(3));
    EXPECT_TRUE(starShows("bookmark"));
    EXPECT_FALSE(page->isBookmarked);
    waitForText("Your milk is the best food for a premature baby, even in tiny amounts.");
    EXPECT_EQ(count("SELECT COUNT(*) FROM content_reads WHERE member_id = ? AND content_id = ?", 3), 1);
    EXPECT_EQ(AVAudioSession::sharedInstance().category(), AVAudioSessionCategoryPlayback);
    EXPECT_TRUE(AVAudioSession::sharedInstance().isActive());

    // The star bookmarks the article.
    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    ASSERT_TRUE(waitFor([&] { return page->isBookmarked; }));
    host->settle();
    EXPECT_TRUE(starShows("bookmarked"));
    EXPECT_TRUE(bookmarked(3));
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    auto success = waitForEvents(EducationContentWebViewController::kScreenName, "bookmarkContentSuccess");
    EXPECT_EQ(success.front().action, "ServerRequest");
    EXPECT_EQ(success.front().details,
              (nlohmann::json{{"bookmarkContentSuccess", "User bookmarked education content successfully"},
                              {"educationContentID", 3},
                              {"bookmarkStatus", true}}));
    auto tapped = waitForEvents(EducationContentWebViewController::kScreenName, "bookmarkContentTapped");
    ASSERT_EQ(tapped.size(), 1u);
    EXPECT_EQ(tapped.front().details["educationContentID"], 3);

    // Sharing: the member's invitation and the plain link, the title as the subject.
    ASSERT_TRUE(host->tapIdentifier("shareButton"));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
    ASSERT_TRUE(sheet);
    const std::string link = server->baseUrl() + "/content/education/3";
    ASSERT_EQ(sheet->activityItems().size(), 2u);
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems()[0]), "Emma Hart wants to share content from Cradleway.");
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems()[1]), link);
    EXPECT_EQ(sheet->stringValue("subject"), "Expressing breast milk");
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));
    auto shared = waitForEvents(EducationContentWebViewController::kScreenName, "shareContentTapped");
    EXPECT_EQ(shared.front().details["shareContentText"], link + "---Expressing breast milk---");

    // Leaving the page ends the audio session; the bookmarked page lists the article.
    ASSERT_TRUE(host->goBack());
    EXPECT_FALSE(AVAudioSession::sharedInstance().isActive());
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->goBack());
    ASSERT_TRUE(host->tapText("Bookmarked"));
    auto parent = std::dynamic_pointer_cast<EducationCenterParentViewController>(mainTabs()->selectedViewController());
    auto bookmarks = std::dynamic_pointer_cast<RecommendedEducationCenterController>((*parent->pageVC->vcs)[2]);
    ASSERT_TRUE(waitFor([&] {
        for (const auto& section : bookmarks->sections)
            if (section.title == "Feeding") return true;
        return false;
    }));
    host->settle();
    waitForText("Expressing breast milk");

    // Its star's sheet removes the bookmark.
    long feeding = 0;
    while (bookmarks->sections[feeding].title != "Feeding") ++feeding;
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(bookmarks->tableView()->cellForRow({0, feeding}));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(host->tap(cell->bookmarkButton()));
    auto actions = std::dynamic_pointer_cast<UIAlertController>(host->topViewController());
    ASSERT_TRUE(actions);
    std::vector<std::string> titles;
    for (const auto& action : actions->actions()) titles.push_back(action->title().value_or(""));
    EXPECT_THAT(titles, ElementsAre("Remove Bookmark", "Share", "Cancel"));
    ASSERT_TRUE(host->pickAlertAction("Remove Bookmark"));
    ASSERT_TRUE(waitFor([&] { return !bookmarked(3); }));
    ASSERT_TRUE(waitFor([&] { return !bookmarks->sections[feeding].feedItems.front()->bookmarked; }));
    host->settle();
    cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(bookmarks->tableView()->cellForRow({0, feeding}));
    EXPECT_TRUE(samePicture(cell->bookmarkButton()->image(UIControlStateNormal), UIImage::named("star-icon-grey-re")));
    auto sheetShown = waitForEvents("FeedViewScreen", "feedViewShowActionSheet");
    EXPECT_EQ(sheetShown.front().action, "Tap");
    EXPECT_EQ(sheetShown.front().details,
              (nlohmann::json{{"feedViewShowActionSheet", "User was show action sheet to bookmark and shares"}}));
    auto change = waitForEvents("BookmarkedEducationCenterScreen", "bookmarkContentTapped");
    EXPECT_EQ(change.front().details, (nlohmann::json{{"bookmarkContentTapped", "Recommended content bookmark tapped"},
                                                      {"educationContentID", 3},
                                                      {"bookmarkStatus", true}}));

    // The category screen's own events, as stored.
    auto categoryTaps = waitForEvents("CategoriesEducationCenterScreen", "categoriesViewCategoryTapped");
    ASSERT_EQ(categoryTaps.size(), 1u);
    EXPECT_EQ(categoryTaps.front().action, "Tap");
    EXPECT_EQ(categoryTaps.front().details["categoriesViewCategoryTapped"], "Category was tapped");
    EXPECT_TRUE(categoryTaps.front().details["categoryID"].is_number_integer());
    auto subcategoryTaps = waitForEvents("SubcategoriesEducationCenterScreen", "categoryTapped");
    ASSERT_EQ(subcategoryTaps.size(), 1u);
    auto presented = waitForEvents("SubcategoriesEducationCenterScreen", "educationContentPresented");
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().details["educationContentID"], 3);
}

TEST_F(ContentPageTest, ARelatedLinkLoadsItsItemInPlaceAndTheButtonsThenActOnIt) {
    openArticle("Kangaroo Care", "Holding your baby", "Kangaroo care: skin to skin");
    auto page = contentPage();
    waitForPage(5);
    EXPECT_TRUE(page->isBookmarked);
    EXPECT_TRUE(starShows("bookmarked"));
    waitForText("Read next: Your first hold.");

    // "Your first hold" opens item 6 in the same page.
    ASSERT_TRUE(host->tapLink("Your first hold"));
    auto related = waitForEvents(EducationContentWebViewController::kScreenName, "relatedContentViewTapped");
    EXPECT_EQ(related.front().action, "Tap");
    EXPECT_EQ(related.front().details, (nlohmann::json{{"relatedContentViewTapped", "User tapped on a related education content"},
                                                       {"educationContentID", 6},
                                                       {"cardType", "EducationContent"}}));
    waitForPage(6, 2);
    EXPECT_EQ(contentPage(), page);
    EXPECT_EQ(page->webView()->request()->url->absoluteString(), pageAddress(6));
    waitForText("The first hold is a big moment. Your nurse will move the tubes and wires and settle your baby on you.");
    EXPECT_EQ(page->itemID, 6);
    EXPECT_EQ(page->contentURL, "/content/education/6");
    EXPECT_FALSE(page->isBookmarked);
    EXPECT_TRUE(starShows("bookmark"));

    // The toggle now bookmarks item 6, and item 5 keeps its bookmark.
    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    ASSERT_TRUE(waitFor([&] { return bookmarked(6); }));
    EXPECT_TRUE(bookmarked(5));
    ASSERT_TRUE(waitFor([&] { return page->isBookmarked; }));

    // The share link is item 6's; its title is not known here.
    ASSERT_TRUE(host->tapIdentifier("shareButton"));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems().back()), server->baseUrl() + "/content/education/6");
    EXPECT_FALSE(sheet->stringValue("subject"));
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));

    // A link of the web leaves the application; the page stays.
    ASSERT_TRUE(host->tapLink("family library"));
    EXPECT_THAT(UIApplication::shared().openedURLs(), ElementsAre("https://www.cradleway.test/library"));
    host->settle();
    EXPECT_EQ(page->webView()->request()->url->absoluteString(), pageAddress(6));
    EXPECT_EQ(contentPage(), page);
}

TEST_F(ContentPageTest, APageWithoutAnItemLoadsNothingAndOffersNoButtons) {
    auto page = std::make_shared<EducationContentWebViewController>(std::nullopt, "/content/education/5", true,
                                                                    "Kangaroo care", nullptr);
    mainNavigation()->pushViewController(page, false);
    host->settle();
    EXPECT_FALSE(page->contentURL);
    EXPECT_FALSE(page->webView()->request());
    EXPECT_FALSE(page->webView()->isLoading());
    EXPECT_FALSE(page->bookmarkButton()->isEnabled());
    EXPECT_FALSE(page->shareButton()->isEnabled());
    page->bookmarkAction();
    page->shareCard();
    host->settle();
    EXPECT_EQ(host->topViewController(), mainNavigation());
    EXPECT_EQ(topScreen(), page);
    EXPECT_TRUE(eventsWith(EducationContentWebViewController::kScreenName, "bookmarkContentTapped").empty());
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());

    // An audio session that refuses its category is reported on the console and left inactive.
    AVAudioSession::sharedInstance().injectError(AVAudioSession::Operation::setCategory,
                                                 NSError("NSOSStatusErrorDomain", -50));
    auto second = std::make_shared<EducationContentWebViewController>(std::nullopt, std::nullopt, false,
                                                                      std::nullopt, nullptr);
    mainNavigation()->pushViewController(second, false);
    host->settle();
    EXPECT_FALSE(AVAudioSession::sharedInstance().isActive());
    EXPECT_NE(console.str().find("Audio session: "), std::string::npos);

    // The pattern helper: every match in order; a pattern that does not compile finds nothing.
    EXPECT_THAT(EducationContentWebViewController::matches("\\d+\\?", "/a/15?x=2&b=7?"), ElementsAre("15?", "7?"));
    EXPECT_TRUE(EducationContentWebViewController::matches("(", "abc").empty());
    EXPECT_NE(console.str().find("invalid regex: "), std::string::npos);
}

TEST_F(ContentPageTest, AFailedBookmarkChangeKeepsTheStateAndSaysSo) {
    // An item the server does not have: the change fails.
    auto page = std::make_shared<EducationContentWebViewController>(987654, std::nullopt, false, std::nullopt, nullptr);
    mainNavigation()->pushViewController(page, false);
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("bookmarkButton"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*page) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*page)->text(), "Unexpected error. Please try again.");
    EXPECT_FALSE(page->isBookmarked);
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    auto failure = waitForEvents(EducationContentWebViewController::kScreenName, "bookmarkContentFailure");
    EXPECT_EQ(failure.front().details, (nlohmann::json{{"bookmarkContentFailure", "User bookmarked education content failed"},
                                                       {"educationContentID", 987654},
                                                       {"bookmarkStatus", true}}));
}

TEST_F(ContentPageTest, ASubcategoryThatCannotBeFetchedSaysSoAndCanBeTappedAgain) {
    EducationCategory missing(JSON::dictionary_t{{"id", JSON(987654)}, {"name", JSON("Gone")}});
    EducationCategory nameless(JSON::dictionary_t{});
    auto screen = std::make_shared<SubCategoriesTableViewController>(std::vector<EducationCategory>{},
                                                                     std::vector<EducationCategory>{missing, nameless}, false);
    mainNavigation()->pushViewController(screen, false);
    host->settle();
    ASSERT_TRUE(host->isShowing("Gone"));
    // Selected without the host's settling, so that the request is still out when looked at.
    screen->didSelectRowAt(screen->tableView().get(), {0, 0});
    EXPECT_FALSE(screen->tableView()->allowsSelection);
    EXPECT_TRUE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*screen) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*screen)->text(), "Unexpected error. Please try again.");
    EXPECT_TRUE(screen->tableView()->allowsSelection);
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());
    EXPECT_EQ(topScreen(), screen);

    // A row without an id opens nothing and asks nothing. (The server logs a request once it has
    // answered it: the first one's line may come after its reply.)
    ASSERT_TRUE(waitFor([&] { return logged("GET /m/api/content/education/subcontent") == 1; }));
    const auto before = logged("GET /m/api/content/education/subcontent");
    screen->didSelectRowAt(screen->tableView().get(), {1, 0});
    host->settle();
    EXPECT_TRUE(screen->tableView()->allowsSelection);
    EXPECT_EQ(logged("GET /m/api/content/education/subcontent"), before);
}

} // namespace
} // namespace cw::test
