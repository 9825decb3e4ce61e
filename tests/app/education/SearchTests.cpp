// The library's tab bar as the feed opens it, its red dot, and its Search tab.

#include "EducationFixture.h"

#include "Controllers/Education/CategoriesEducationController.h"
#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Education/EducationCenterViewController.h"
#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "Services/BaseHTTPService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "tests/support/KeyboardFinger.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {
namespace {

class SearchTest : public EducationTest {
protected:
    // Opens the library as the feed does, and waits until it is on screen.
    void open(std::optional<std::string> query) {
        library = EducationCenterViewController::make(std::move(query));
        search = library->searchController();
        ASSERT_TRUE(search);
        mainNavigation()->pushViewController(library, true);
        host->settle();
    }
    std::size_t searches() const { return logged("GET /m/api/search"); }
    std::vector<std::string> rowTitles() const {
        std::vector<std::string> titles;
        for (const auto& r : search->searchResults) titles.push_back(r->cardTitle);
        return titles;
    }
    std::shared_ptr<EducationFeedViewCell> rowTitled(const std::string& title) const {
        for (std::size_t i = 0; i < search->searchResults.size(); ++i)
            if (search->searchResults[i]->cardTitle == title)
                return std::dynamic_pointer_cast<EducationFeedViewCell>(
                    search->tableView()->cellForRow({static_cast<long>(i), 0}));
        return nullptr;
    }
    // Types with the keyboard and lets no time pass (the host's own typing step settles, which
    // would let the search's timer fire).
    void typeIntoTheBar(const std::string& text) {
        if (!search->searchBar()->isFirstResponder()) {
            ASSERT_TRUE(host->tap(search->searchBar()->searchTextField()));
        }
        ASSERT_TRUE(Keyboard::shared().type(text));
    }
    void deleteFromTheBar(int characters) { ASSERT_TRUE(Keyboard::shared().deleteBackward(characters)); }

    // Proves that no search has gone out: a request that had left would be logged by the time the
    // server has answered one sent after it.
    void expectNoSearchYet() {
        ASSERT_TRUE(search->searchTimer);
        bool answered = false;
        BaseHTTPService("sentinel").post("", JSON(), [&](auto&, auto&) { answered = true; }, [&](auto&, auto&) { answered = true; });
        ASSERT_TRUE(waitFor([&] { return answered; }));
        EXPECT_EQ(searches(), 0u);
    }

    std::shared_ptr<EducationCenterViewController> library;
    std::shared_ptr<EducationCenterSearchViewController> search;
};

TEST_F(SearchTest, ATabBarMadeWithAQueryOpensOnSearchAndRunsIt) {
    open("breast");
    EXPECT_EQ(library->selectedIndex(), 2u);
    EXPECT_EQ(search->initialQuery, "breast");
    EXPECT_EQ(search->searchBar()->text(), "breast");
    EXPECT_TRUE(host->isShowing("Brambury Education Center"));
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); }));
    host->settle();
    EXPECT_THAT(rowTitles(), ElementsAre("Expressing breast milk"));
    waitForText("Expressing breast milk");
    auto row = rowTitled("Expressing breast milk");
    ASSERT_TRUE(row);
    EXPECT_TRUE(samePicture(row->bookmarkButton->image(UIControlStateNormal), UIImage::named("bookmark")));
    EXPECT_EQ(row->imageWidthHeight, 86.25);
    EXPECT_NEAR(row->thumbnailImageView->frame().width(), 86.25, 0.5);
    EXPECT_EQ(row->titleLabel->font().pointSize(), 375 * 0.051);
    ASSERT_TRUE(waitFor([&] { return row->thumbnailImageView->image() != nullptr; }));
    screenshot("education-search");

    // The first appearance searched a second time, with its own event (the view loaded before).
    ASSERT_TRUE(waitFor([&] { return searches() == 2; }));
    auto started = waitForEvents(EducationCenterSearchViewController::kScreenName, "educationSearchViewSearchText", 2);
    EXPECT_EQ(started.front().action, "Tap");
    EXPECT_EQ(started.front().details, (nlohmann::json{{"educationSearchViewSearchText", "User entered search query"}}));
    auto answered = waitForEvents(EducationCenterSearchViewController::kScreenName, "educationSearchViewSearchSuccess", 2);
    EXPECT_EQ(answered.front().action, "ServerRequest");
    EXPECT_EQ(answered.front().details,
              (nlohmann::json{{"educationSearchViewSearchSuccess", "User search returned successfully"}}));
    waitForEvents(EducationCenterSearchViewController::kScreenName, "");

    // A result opens its page on the root navigation controller.
    ASSERT_TRUE(host->tap(row));
    auto page = std::dynamic_pointer_cast<EducationContentWebViewController>(topScreen());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->itemID, 3);
    EXPECT_EQ(page->shareTitle, "Expressing breast milk");
    auto opened = waitForEvents(EducationCenterSearchViewController::kScreenName,
                                AnalyticsConstants::educationSearchViewContentTapped);
    EXPECT_EQ(opened.front().details, (nlohmann::json{{"educationSearchViewContentTapped", "User clicked on a search result"},
                                                      {"educationContentID", 3}}));
    // Coming back deselects the row and searches again.
    ASSERT_TRUE(host->goBack());
    EXPECT_EQ(topScreen(), library);
    EXPECT_FALSE(search->tableView()->indexPathForSelectedRow());
    ASSERT_TRUE(waitFor([&] { return searches() == 3; }));
}

// The feed's route: the tab bar made without a query, then the query written into its Search child
// and that tab chosen before the screen is shown.
TEST_F(SearchTest, AQueryWrittenIntoTheSearchChildBeforeItShowsIsRun) {
    library = EducationCenterViewController::make();
    search = std::dynamic_pointer_cast<EducationCenterSearchViewController>(library->viewControllers().at(2));
    ASSERT_TRUE(search);
    search->initialQuery = "skin";
    library->setSelectedIndex(2);
    mainNavigation()->pushViewController(library, true);
    host->settle();
    EXPECT_EQ(search->searchBar()->text(), "skin");
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); }));
    EXPECT_THAT(rowTitles(), ElementsAre("Kangaroo care: skin to skin"));
}

TEST_F(SearchTest, TypingSearchesOnceASecondAfterTheLastEditAndNeverForFewerThanThreeCharacters) {
    open(std::nullopt);
    library->tapTab(2);
    host->settle();
    EXPECT_EQ(library->selectedIndex(), 2u);
    EXPECT_TRUE(search->searchResults.empty());

    // Two letters: nothing, however long one waits. Two characters made of many bytes: nothing.
    typeIntoTheBar("sk");
    EXPECT_TRUE(search->searchBar()->showsCancelButton());
    host->advance(1.5);
    deleteFromTheBar(2);
    typeIntoTheBar("\xF0\x9F\x91\x8B\xF0\x9F\x8F\xBD" "a");
    host->advance(1.5);
    deleteFromTheBar(10);
    // Three, then a fourth within the second: one request, a second after the last edit.
    typeIntoTheBar("ski");
    host->advance(0.6);
    typeIntoTheBar("n");
    host->advance(0.9);
    expectNoSearchYet();
    host->advance(0.1);
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); }));
    host->settle();
    // The server logs a request once it has answered it.
    ASSERT_TRUE(waitFor([&] { return searches() >= 1; }));
    EXPECT_EQ(searches(), 1u);
    EXPECT_EQ(waitForEvents(EducationCenterSearchViewController::kScreenName, "educationSearchViewSearchText").size(), 1u);
    EXPECT_THAT(rowTitles(), ElementsAre("Kangaroo care: skin to skin"));
    EXPECT_FALSE(UIApplication::shared().isNetworkActivityIndicatorVisible());

    // A row's bookmark button: the server's bookmark, then the row's image follows.
    auto row = rowTitled("Kangaroo care: skin to skin");
    ASSERT_TRUE(row);
    EXPECT_TRUE(samePicture(row->bookmarkButton->image(UIControlStateNormal), UIImage::named("bookmarked")));
    ASSERT_TRUE(host->tap(row->bookmarkButton));
    ASSERT_TRUE(waitFor([&] { return !bookmarked(5); }));
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.front()->bookmarked; }));
    host->settle();
    row = rowTitled("Kangaroo care: skin to skin");
    EXPECT_TRUE(samePicture(row->bookmarkButton->image(UIControlStateNormal), UIImage::named("bookmark")));
    EXPECT_TRUE(row->bookmarkButton->isUserInteractionEnabled());
    auto toggled = waitForEvents(EducationCenterSearchViewController::kScreenName, "bookmarkContentSuccess");
    EXPECT_EQ(toggled.front().details, (nlohmann::json{{"bookmarkContentSuccess", "User bookmarked education content successfully"},
                                                       {"educationContentID", 5},
                                                       {"bookmarkStatus", false}}));

    // Its share button: the member's invitation and the link; the title is the subject.
    ASSERT_TRUE(host->tap(row->shareButton));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
    ASSERT_TRUE(sheet);
    const std::string link = server->baseUrl() + "/content/education/5";
    ASSERT_EQ(sheet->activityItems().size(), 2u);
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems()[0]), "Emma Hart wants to share content from Cradleway.");
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems()[1]), link);
    EXPECT_EQ(sheet->stringValue("subject"), "Kangaroo care: skin to skin");
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));
    auto shared = waitForEvents(EducationCenterSearchViewController::kScreenName, "shareContentTapped");
    EXPECT_EQ(shared.front().details, (nlohmann::json{{"shareContentTapped", "User tried to share education content"},
                                                      {"educationContent", true},
                                                      {"shareContentText", link + "---Kangaroo care: skin to skin---"}}));

    // A search the server refuses: the message, and the list stays.
    typeIntoTheBar(std::string(200, 'x'));
    host->advance(1);
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*search) != nullptr; }));
    EXPECT_EQ(GSMessage::shown(*search)->text(), "Unexpected Error. Please try again.");
    EXPECT_THAT(rowTitles(), ElementsAre("Kangaroo care: skin to skin"));
    waitForEvents(EducationCenterSearchViewController::kScreenName, "educationSearchViewSearchFailure");

    // Cancel (once the banner has gone from over the bar): an empty bar and list, no cancel button,
    // no keyboard.
    host->advance(GSMessage::Settings().autoHideDelay + 1);
    ASSERT_FALSE(GSMessage::shown(*search));
    ASSERT_TRUE(host->tap(search->searchBar()->cancelButton()));
    EXPECT_EQ(search->searchBar()->text().value_or(""), "");
    EXPECT_TRUE(search->searchResults.empty());
    EXPECT_EQ(search->tableView()->numberOfRows(0), 0);
    EXPECT_FALSE(search->searchBar()->showsCancelButton());
    EXPECT_FALSE(Keyboard::shared().isVisible());
    EXPECT_FALSE(search->searchTimer);
}

// The keyboard's Search key searches at once, without the pause after the last keystroke, and puts
// the keys away from over the results.
TEST_F(SearchTest, TheSearchKeySearchesAtOnceAndPutsTheKeysAway) {
    open(std::nullopt);
    library->tapTab(2);
    host->settle();
    typeIntoTheBar("skin");
    ASSERT_TRUE(tapKey(*host, "Search"));
    EXPECT_FALSE(search->searchTimer) << "the search still waits for the pause";
    EXPECT_FALSE(Keyboard::shared().isVisible()) << "the Search key did nothing";
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); })) << "no search went out";
    EXPECT_THAT(rowTitles(), ElementsAre("Kangaroo care: skin to skin"));
}

TEST_F(SearchTest, ClearingTheTextEmptiesTheListAndDropsThePendingSearchButTheLastReplyStillWins) {
    open("skin");
    ASSERT_TRUE(waitFor([&] { return searches() == 2 && !search->searchResults.empty(); }));
    host->settle();
    typeIntoTheBar("s");
    EXPECT_TRUE(search->searchTimer);
    deleteFromTheBar(5);
    EXPECT_TRUE(search->searchResults.empty());
    EXPECT_FALSE(search->searchTimer);
    EXPECT_TRUE(search->searchBar()->showsCancelButton());
    host->advance(2);
    EXPECT_EQ(searches(), 2u);

    // A reply that arrives after the text was cleared still fills the list.
    search->search("skin");
    search->clearSearch();
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); }));
}

TEST_F(SearchTest, TheTextSitsInsideTheBorderedFieldAndItsClearButtonTakesTheTint) {
    open(std::nullopt);
    library->tapTab(2);
    host->settle();
    auto bar = search->searchBar();
    auto field = bar->searchTextField();
    // The bordered field is the white field of the bar, not a strip moved off it.
    std::shared_ptr<UIView> picture;
    for (const auto& subview : bar->subviews())
        if (auto image = std::dynamic_pointer_cast<UIImageView>(subview);
            image && image->image() == bar->searchFieldBackgroundImage(UIControlStateNormal))
            picture = image;
    ASSERT_TRUE(picture);
    EXPECT_EQ(field->frame(), picture->frame());
    EXPECT_EQ(field->layer()->borderWidth, 1);

    typeIntoTheBar("skin");
    host->advance(1.5);
    ASSERT_TRUE(waitFor([&] { return !search->searchResults.empty(); }));
    host->settle();
    // The typed text starts well inside the border: the bar's adjustment of 10 points moves it
    // further in than the field's own padding.
    auto text = host->findByText("skin");
    ASSERT_TRUE(text);
    const CGRect shown = text->convert(text->bounds(), field.get());
    EXPECT_GE(shown.minX(), 10 + 8);
    EXPECT_EQ(field->textRect(field->bounds()).minX(), 8 + 10);

    // The clear button is a button of the field, drawn in the search tint.
    auto clear = std::dynamic_pointer_cast<UIButton>(field->valueForKey("clearButton"));
    ASSERT_TRUE(clear);
    EXPECT_TRUE(isVisibleOnScreen(*clear));
    EXPECT_EQ(clear->tintColor(), UIColorPalette::searchTintColor());
    EXPECT_EQ(renderingModeOf(clear->currentImage().get()), UIImageRenderingMode::alwaysTemplate);
    const auto drawn = cw::renderView(*field, 2);
    const CGRect disc = clear->frame();
    const UIColor ring = drawn->pixelColor(static_cast<int>(disc.midX() * 2), static_cast<int>((disc.minY() + 2) * 2));
    const UIColor tint = UIColorPalette::searchTintColor();
    EXPECT_NEAR(ring.red(), tint.red(), 0.05) << ring;
    EXPECT_NEAR(ring.green(), tint.green(), 0.05) << ring;
    EXPECT_NEAR(ring.blue(), tint.blue(), 0.05) << ring;
    // A tap on it empties the field, and with it the list.
    ASSERT_TRUE(host->tap(clear));
    EXPECT_EQ(bar->text(), "");
    EXPECT_FALSE(search->searchTimer);
    EXPECT_TRUE(search->searchResults.empty());
}

// The title and colour of each of the main tab bar's labels, in order.
std::vector<std::pair<std::string, UIColor>> tabLabels(UITabBarController& tabs) {
    std::vector<std::pair<std::string, UIColor>> labels;
    for (const auto& subview : tabs.tabBar()->subviews())
        if (auto tab = std::dynamic_pointer_cast<cw::TapTargetView>(subview))
            labels.emplace_back(tab->titleLabel()->text().value_or(""), tab->titleLabel()->textColor());
    return labels;
}

TEST_F(SearchTest, TheMainTabBarLooksTheSameAfterTheLibraryAndARelaunchWithoutBabies) {
    const auto before = tabLabels(*mainTabs());
    ASSERT_EQ(before.size(), 5u);
    EXPECT_EQ(before[0].first, "Home");
    EXPECT_NE(before[0].second, UIColor::whiteColor());

    // The feed's road into the library, then the next launch, for a member whose babies are gone.
    open("skin");
    waitForText("Kangaroo care: skin to skin");
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    forgetSession();
    host = std::make_unique<cw::HeadlessHost>();
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    ASSERT_TRUE(mainNavigation());
    waitForText("Coming Soon!");
    host->settle();

    const auto after = tabLabels(*mainTabs());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].first, before[i].first);
        EXPECT_EQ(after[i].second, before[i].second) << after[i].first;
        EXPECT_NE(after[i].second, UIColor::whiteColor()) << after[i].first << " white on the white bar";
    }
}

TEST_F(SearchTest, TheTabBarHasFourTabsAndShowsItsRedDotForThreeSeconds) {
    library = EducationCenterViewController::make();
    const auto& children = library->viewControllers();
    ASSERT_EQ(children.size(), 4u);
    EXPECT_TRUE(library->recommendedController() && !library->recommendedController()->showOnlyBookmarked);
    EXPECT_TRUE(library->categoriesController());
    EXPECT_TRUE(library->searchController());
    EXPECT_TRUE(library->bookmarkedController() && library->bookmarkedController()->showOnlyBookmarked);
    EXPECT_EQ(library->bookmarkedController()->screenName, "BookmarkedEducationCenterScreen");
    const std::vector<std::string> titles = {"Recommended", "Categories", "Search", "Bookmarked"};
    const std::vector<std::string> images = {"bec_recommended", "bec_categories", "bec_search", "bec_bookmarked"};
    for (std::size_t i = 0; i < children.size(); ++i) {
        const auto& item = children[i]->tabBarItem();
        EXPECT_EQ(item->title(), titles[i]);
        EXPECT_EQ(item->tag, 1);
        EXPECT_TRUE(samePicture(item->image(), UIImage::named(images[i])));
        EXPECT_TRUE(samePicture(item->selectedImage(), UIImage::named(images[i] + "_selected")));
    }
    EXPECT_EQ(library->selectedIndex(), 0u);
    EXPECT_FALSE(library->searchController()->initialQuery);
    EXPECT_EQ(library->title(), "Brambury Education Center");
    EXPECT_EQ(library->tabBar()->barTintColor, UIColorPalette::cwy_mountainMeadow());

    // Its own tabs' titles: light on its green bar, white when chosen. Tab items made later
    // elsewhere keep the platform's look.
    for (const auto& child : children) {
        const auto& item = *child->tabBarItem();
        EXPECT_EQ(item.titleTextAttributes(UIBarItemState::normal).foregroundColor, UIColorPalette::disabledColor());
        EXPECT_EQ(item.titleTextAttributes(UIBarItemState::selected).foregroundColor, UIColor::whiteColor());
        ASSERT_TRUE(item.titleTextAttributes(UIBarItemState::normal).font);
        EXPECT_EQ(item.titleTextAttributes(UIBarItemState::normal).font->pointSize(), 10);
    }
    UITabBarItem later(std::string("Later"), nullptr);
    EXPECT_TRUE(later.titleTextAttributes(UIBarItemState::normal).empty());
    EXPECT_TRUE(later.titleTextAttributes(UIBarItemState::selected).empty());

    // The dot over the first tab's icon, for three seconds.
    mainNavigation()->pushViewController(library, false);
    host->settle();
    const auto& bar = library->tabBar();
    library->hideRedDot(false);
    auto dot = bar->viewWithTag(1314);
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->frame(), (CGRect{53.875, 5, 8, 8}));
    EXPECT_EQ(dot->backgroundColor(), UIColor::redColor());
    EXPECT_EQ(dot->layer()->cornerRadius, 4);
    const auto withDot = bar->subviews();
    library->hideRedDot(true);
    EXPECT_EQ(bar->subviews(), withDot);
    host->advance(2.9);
    EXPECT_TRUE(bar->viewWithTag(1314));
    host->advance(0.1);
    EXPECT_FALSE(bar->viewWithTag(1314));

    // A second call within the three seconds replaces the first dot.
    library->hideRedDot(false);
    host->advance(2);
    auto first = bar->viewWithTag(1314);
    library->hideRedDot(false);
    auto second = bar->viewWithTag(1314);
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->superview());
    host->advance(1.5);
    EXPECT_EQ(bar->viewWithTag(1314), second);
    host->advance(1.5);
    EXPECT_FALSE(bar->viewWithTag(1314));
}

} // namespace
} // namespace cw::test
