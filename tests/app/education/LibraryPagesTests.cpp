// The education tab of the main tab bar: its buttons and underlines, the recommended and bookmarked
// pages, and paging between them.

#include "EducationFixture.h"

#include "Controllers/Education/CategoriesEducationController.h"
#include "Controllers/Education/EducationCategoryViewCell.h"
#include "Controllers/Education/EducationCenterPageViewController.h"
#include "Controllers/Education/EducationCenterParentViewController.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "Extensions/UIColor+Palette.h"
#include "Views/RoundedSectionHeaderView.h"
#include "foundation/dispatch/RunLoop.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>

#include <cmath>

using ::testing::ElementsAre;

namespace cw::test {
namespace {

class LibraryPagesTest : public EducationTest {
protected:
    void SetUp() override {
        EducationTest::SetUp();
        ASSERT_TRUE(host->tapText("Education"));
        parent = std::dynamic_pointer_cast<EducationCenterParentViewController>(mainTabs()->selectedViewController());
        ASSERT_TRUE(parent);
        ASSERT_TRUE(parent->pageVC);
    }

    std::shared_ptr<RecommendedEducationCenterController> page(std::size_t index) const {
        return std::dynamic_pointer_cast<RecommendedEducationCenterController>((*parent->pageVC->vcs)[index]);
    }
    std::shared_ptr<UIViewController> shownPage() const {
        auto shown = parent->pageVC->viewControllers();
        return shown.empty() ? nullptr : shown.front();
    }
    // Waits until the page has loaded its sections and categories and shows them.
    void waitForSections(const std::shared_ptr<RecommendedEducationCenterController>& p) {
        ASSERT_TRUE(waitFor([&] { return !p->sections.empty() && !p->categories.empty(); }));
        host->settle();
    }
    static bool underlineShown(const std::shared_ptr<BottomBorderView>& underline) {
        return !underline->bottomBorder()->hidden && underline->bottomBorder()->frame().height() == 1;
    }
    std::vector<bool> underlines() const {
        return {underlineShown(parent->recommendedContainerView()), underlineShown(parent->categoriesContainerView()),
                underlineShown(parent->bookmarkedContainerView())};
    }
    std::vector<bool> selectedButtons() const {
        return {parent->recommendedButton()->isSelected(), parent->categoriesButton()->isSelected(),
                parent->bookmarkedButton()->isSelected()};
    }

    std::shared_ptr<EducationCenterParentViewController> parent;
};

TEST_F(LibraryPagesTest, TheRecommendedPageShowsTheServersSectionsWithTheFirstOpenAndCategoryIcons) {
    // The buttons and the one underline before anything arrives.
    EXPECT_EQ(parent->tabBarItem()->title(), "Education");
    EXPECT_THAT(selectedButtons(), ElementsAre(true, false, false));
    EXPECT_EQ(parent->recommendedButton()->titleColor(UIControlStateSelected), UIColorWithHex("#55d6bc", 1.0));
    for (const auto& button : {parent->recommendedButton(), parent->categoriesButton(), parent->bookmarkedButton()})
        EXPECT_EQ(button->titleColor(UIControlStateNormal), UIColorWithHex("#8A8A8A", 1.0));
    EXPECT_THAT(underlines(), ElementsAre(true, false, false));
    EXPECT_EQ(shownPage(), page(0));

    auto recommended = page(0);
    waitForSections(recommended);
    std::vector<std::string> titles;
    for (const auto& section : recommended->sections) titles.push_back(section.title);
    EXPECT_THAT(titles, ElementsAre("Breathing", "Feeding", "Kangaroo Care", "Going Home", "Your Wellbeing"));
    EXPECT_THAT(recommended->sectionExpanded, ElementsAre(true, false, false, false, false));
    auto table = recommended->tableView();
    EXPECT_EQ(table->numberOfRows(0), 1);
    for (long s = 1; s < 5; ++s) EXPECT_EQ(table->numberOfRows(s), 0) << s;
    EXPECT_TRUE(host->isShowing("Why your baby is on CPAP"));
    EXPECT_FALSE(host->isShowing("Expressing breast milk"));
    EXPECT_EQ(table->rectForRow({0, 0}).height(), 82);

    // Each header shows the icon of the category of its exact name, once it has arrived.
    ASSERT_TRUE(settleUntil([&] {
        for (long s = 0; s < 5; ++s) {
            auto header = std::dynamic_pointer_cast<RoundedSectionHeaderView>(table->headerView(s));
            if (!header || !header->iconImageView()->image()) return false;
        }
        return true;
    }));
    auto first = std::dynamic_pointer_cast<RoundedSectionHeaderView>(table->headerView(0));
    EXPECT_EQ(first->titleLabel()->text(), "Breathing");
    EXPECT_TRUE(samePicture(first->button()->image(UIControlStateNormal), UIImage::named("chevron-up-journey")));
    auto second = std::dynamic_pointer_cast<RoundedSectionHeaderView>(table->headerView(1));
    EXPECT_TRUE(samePicture(second->button()->image(UIControlStateNormal), UIImage::named("chevron-down-journey")));

    // Tapping a collapsed header opens its section; tapping again closes it.
    second->buttonTapped();
    host->settle();
    EXPECT_THAT(recommended->sectionExpanded, ElementsAre(true, true, false, false, false));
    EXPECT_EQ(table->numberOfRows(1), 2);
    waitForText("Expressing breast milk");
    auto reopened = std::dynamic_pointer_cast<RoundedSectionHeaderView>(table->headerView(1));
    EXPECT_TRUE(samePicture(reopened->button()->image(UIControlStateNormal), UIImage::named("chevron-up-journey")));
    EXPECT_TRUE(reopened->button()->transform().isIdentity());
    reopened->buttonTapped();
    host->settle();
    EXPECT_EQ(table->numberOfRows(1), 0);

    // What the server stored: the loads of both lists, the appearance, and the recommended content
    // marked as seen.
    waitForEvents(RecommendedEducationCenterController::kRecommendedScreen, "contentFetchedSuccess");
    auto loaded = waitForEvents(RecommendedEducationCenterController::kRecommendedScreen, "");
    EXPECT_EQ(loaded.front().action, "Loaded");
    auto categories = waitForEvents("CategoriesEducationCenterScreen", "contentFetchedSuccess");
    EXPECT_EQ(categories.front().details,
              (nlohmann::json{{"contentFetchedSuccess", "Categories content fetched successfully"}}));
    EXPECT_EQ(waitForEvents("RecommendedEducationCenterScreen", "contentFetchedSuccess").front().details,
              (nlohmann::json{{"contentFetchedSuccess", "Recommended content fetched successfully"}}));
    EXPECT_TRUE(waitFor([&] { return logged("POST /m/api/notification/recommended/seen") >= 1; }));
}

TEST_F(LibraryPagesTest, SwipesAndButtonsMoveTheSelectionAndTheUnderline) {
    waitForSections(page(0));
    const auto container = parent->containerView();
    const CGFloat y = container->convert(CGPoint{0, container->bounds().height() / 2}, nullptr).y;

    // An abandoned drag changes nothing.
    ASSERT_TRUE(host->drag({300, y}, {260, y}));
    EXPECT_EQ(shownPage(), page(0));
    EXPECT_THAT(selectedButtons(), ElementsAre(true, false, false));
    EXPECT_THAT(underlines(), ElementsAre(true, false, false));

    // A completed one to the categories page moves both, the underline over 0.18 seconds.
    ASSERT_TRUE(host->drag({340, y}, {20, y}, 6));
    EXPECT_TRUE(std::dynamic_pointer_cast<CategoriesEducationController>(shownPage()));
    EXPECT_THAT(selectedButtons(), ElementsAre(false, true, false));
    EXPECT_THAT(underlines(), ElementsAre(false, true, false));
    waitForText("Feeding");

    // A tap on a button jumps at once, and the underline grows over 0.18 seconds.
    parent->bookmarkedButtonTapped();
    EXPECT_EQ(shownPage(), page(2));
    EXPECT_THAT(selectedButtons(), ElementsAre(false, false, true));
    const auto& border = parent->bookmarkedContainerView()->bottomBorder();
    host->advance(0.09);
    ASSERT_TRUE(border->presentation && border->presentation->bounds);
    EXPECT_GT(border->presentation->bounds->height(), 0.0);
    EXPECT_LT(border->presentation->bounds->height(), 1.0);
    host->advance(0.1);
    EXPECT_FALSE(border->presentation && border->presentation->bounds);
    EXPECT_THAT(underlines(), ElementsAre(false, false, true));

    // No page before the first, none after the last.
    auto pages = parent->pageVC;
    EXPECT_FALSE(pages->viewControllerBefore(*pages, page(0)));
    EXPECT_FALSE(pages->viewControllerAfter(*pages, page(2)));
    EXPECT_EQ(pages->viewControllerAfter(*pages, page(0)), (*pages->vcs)[1]);

    // A screen pushed over the tab and popped again leaves the pages where they were: below the
    // buttons, the content 12 points down.
    parent->recommendedButtonTapped();
    host->settle();
    mainNavigation()->pushViewController(std::make_shared<UIViewController>(), true);
    host->settle();
    ASSERT_TRUE(host->goBack());
    auto table = page(0)->tableView();
    EXPECT_EQ(table->safeAreaInsets(), UIEdgeInsets{});
    EXPECT_EQ(table->convert(CGPoint{0, 0}, nullptr).y, parent->recommendedButton()->frame().maxY() + 12);
    parent->bookmarkedButtonTapped();
    host->settle();

    // The same button again shows the same page.
    parent->bookmarkedButtonTapped();
    host->settle();
    EXPECT_EQ(shownPage(), page(2));
    EXPECT_THAT(underlines(), ElementsAre(false, false, true));
}

// A finger held on a category's row greys the row; its icon, a disc, stands on that grey with
// nothing of another colour round it.
TEST_F(LibraryPagesTest, AHeldCategoryRowShowsItsIconOnTheRowsHighlight) {
    parent->categoriesButtonTapped();
    host->settle();
    waitForText("Kangaroo Care");
    std::shared_ptr<EducationCategoryViewCell> cell;
    for (UIView* v = find("Kangaroo Care").get(); v && !cell; v = v->superviewPointer())
        if (auto* c = dynamic_cast<EducationCategoryViewCell*>(v))
            cell = std::static_pointer_cast<EducationCategoryViewCell>(c->shared_from_this());
    ASSERT_TRUE(cell);
    ASSERT_TRUE(settleUntil([&] { return cell->iconImageView->image() != nullptr; }));

    const auto window = host->window();
    const CGRect icon = cell->iconImageView->convert(cell->iconImageView->bounds(), nullptr);
    const CGPoint finger = cell->titleLabel->convert(cell->titleLabel->bounds(), nullptr).center();
    cw::sendTouch(window, finger, UITouchPhase::began);
    host->settle();
    ASSERT_TRUE(cell->isHighlighted());
    auto picture = cw::renderView(*window, 2);
    ASSERT_TRUE(picture);
    const auto at = [&](CGPoint p) {
        return picture->pixelColor(static_cast<int>(std::floor(p.x * 2)), static_cast<int>(std::floor(p.y * 2)));
    };
    const UIColor row = at({cell->convert(CGPoint{cell->bounds().width() - 60, 4}, nullptr)});
    EXPECT_LT(row.red(), 0.95) << "the held row is greyed";
    for (const CGPoint corner : {CGPoint{icon.minX() + 1, icon.minY() + 1}, CGPoint{icon.maxX() - 1, icon.minY() + 1},
                                 CGPoint{icon.minX() + 1, icon.maxY() - 1}, CGPoint{icon.maxX() - 1, icon.maxY() - 1}}) {
        const UIColor c = at(corner);
        EXPECT_NEAR(c.red(), row.red(), 0.01) << corner.x << "," << corner.y;
        EXPECT_NEAR(c.green(), row.green(), 0.01) << corner.x << "," << corner.y;
        EXPECT_NEAR(c.blue(), row.blue(), 0.01) << corner.x << "," << corner.y;
    }
    const UIColor disc = at({icon.minX() + 4, icon.midY()});
    EXPECT_GT(std::abs(disc.red() - row.red()) + std::abs(disc.blue() - row.blue()), 0.1) << "the disc shows";
    cw::sendTouch(window, finger, UITouchPhase::cancelled);
    host->settle();
    EXPECT_FALSE(cell->isHighlighted());
}

TEST_F(LibraryPagesTest, TheBookmarkedPageOpensEverySection) {
    ASSERT_TRUE(host->tapText("Bookmarked"));
    auto bookmarks = page(2);
    waitForSections(bookmarks);
    std::vector<std::string> titles;
    for (const auto& section : bookmarks->sections) titles.push_back(section.title);
    EXPECT_THAT(titles, ElementsAre("Breathing", "Kangaroo Care"));
    EXPECT_THAT(bookmarks->sectionExpanded, ElementsAre(true, true));
    waitForText("Why your baby is on CPAP");
    waitForText("Kangaroo care: skin to skin");
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(bookmarks->tableView()->cellForRow({0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(samePicture(cell->bookmarkButton()->image(UIControlStateNormal), UIImage::named("star-icon-re")));
    waitForEvents("BookmarkedEducationCenterScreen", "contentFetchedSuccess");
}

} // namespace
} // namespace cw::test
