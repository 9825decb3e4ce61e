// The screens that page from baby to baby (the feed's header, the Update, Team and Journey tabs) and
// the tutorial's pages, on phones of other sizes than 375 x 667: the demo father signs in through
// the headless host against the demo server, and at each size every page is the screen's width, a
// swipe reaches the next baby (or page), and the layout engine reports no conflict on the way.

#include "App/Onboarding/OnboardingViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Baby/BabyPageViewController.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/UIPageViewController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

enum Tab : std::size_t { update = 1, team = 2, journey = 3 };

// The feed's fixture on a phone of the parameter's size, with what the layout engine reports.
class PagersAtEverySize : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        previousObserver_ =
            setLayoutConflictObserver([this](const std::string& report) { conflicts_.push_back(report); });
        screen = GetParam();
        FeedScreenTest::SetUp();
    }
    void TearDown() override {
        FeedScreenTest::TearDown();
        setLayoutConflictObserver(std::move(previousObserver_));
    }

    CGFloat width() const { return GetParam().width; }
    CGFloat height() const { return GetParam().height; }

    std::shared_ptr<BabyPageViewController> pager(Tab at) const {
        auto main = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
        auto tabs = main ? std::dynamic_pointer_cast<TabBarController>(main->viewControllers().front()) : nullptr;
        auto navigation = tabs ? std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers().at(at)) : nullptr;
        return navigation ? std::dynamic_pointer_cast<BabyPageViewController>(navigation->viewControllers().front())
                          : nullptr;
    }

    // A finger across the screen from right to left (forward) or left to right (back), at a height.
    void swipe(bool forward, CGFloat y) {
        const CGPoint right{width() * 0.85, y}, left{width() * 0.1, y};
        ASSERT_TRUE(host->drag(forward ? right : left, forward ? left : right));
        host->settle();
    }

    // What the layout engine reported, one report a conflict.
    std::string conflicts() const {
        std::string all;
        for (const auto& report : conflicts_)
            all += report;
        return all;
    }

    // Each page of the pager is the screen's width, and a swipe from the twin chosen last (on the
    // feed's header or another tab) reaches the other one, who is then the chosen baby.
    void expectThePagerPagesToTheOtherTwin(Tab at, const char* title, long chosen) {
        SCOPED_TRACE(title);
        ASSERT_TRUE(host->tapText(title));
        auto p = pager(at);
        ASSERT_TRUE(p);
        ASSERT_TRUE(waitSettling(*host, [&] { return p->babies && p->viewControllers.size() == 2; }));
        EXPECT_EQ(p->pageIndex, chosen) << "opens on the baby chosen last";
        EXPECT_EQ(p->pageViewController->view()->frame().size.width, width());
        const auto shown = p->viewControllers[static_cast<std::size_t>(chosen)]->view();
        EXPECT_EQ(shown->frame().size.width, width());
        EXPECT_EQ(shown->convert(shown->bounds(), nullptr).origin.x, 0) << "the page fills the screen";
        swipe(chosen == 0, height() * 0.75);
        const long other = 1 - chosen;
        EXPECT_EQ(p->pageIndex, other) << "a swipe reaches the other twin";
        const auto next = p->viewControllers[static_cast<std::size_t>(other)]->view();
        EXPECT_EQ(next->frame().size.width, width());
        EXPECT_EQ(next->convert(next->bounds(), nullptr).origin.x, 0);
    }

private:
    NSLayoutConflictObserver previousObserver_;
    std::vector<std::string> conflicts_;
};

TEST_P(PagersAtEverySize, EveryPageIsTheScreensWidthASwipeReachesTheNextAndNothingConflicts) {
    ASSERT_EQ(UIScreen::main().bounds().size, GetParam());
    ASSERT_NO_FATAL_FAILURE(signInAsTheFather());

    // The feed's header: the twins side by side, a screen wide each, half as tall as wide.
    auto screen = feed();
    ASSERT_EQ(screen->headerImageViews.size(), 2u);
    EXPECT_EQ(screen->tableView->tableHeaderView()->frame().size, (CGSize{width(), width() / 2}));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(screen->headerImageViews[i]->frame(),
                  (CGRect{width() * static_cast<CGFloat>(i), 0, width(), width() / 2}))
            << "page " << i;
    }
    EXPECT_EQ(screen->babyHeaderScrollView->contentSize().width, 2 * width());
    EXPECT_TRUE(host->isShowing("Olivia Hart"));
    swipe(true, width() / 4);
    EXPECT_EQ(screen->babyHeaderScrollView->contentOffset().x, width()) << "the swipe reaches the next baby";
    EXPECT_EQ(screen->babyHeaderPageControl->currentPage(), 1);
    EXPECT_TRUE(host->isShowing("Noah Hart"));

    // The tabs that page from baby to baby.
    expectThePagerPagesToTheOtherTwin(update, "Update", 1);
    expectThePagerPagesToTheOtherTwin(team, "Team", 0);
    expectThePagerPagesToTheOtherTwin(journey, "Journey", 1);

    // The tutorial, from the menu's Settings: four pages a screen wide, its button on screen.
    ASSERT_TRUE(host->tapText("Home"));
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Settings"));
    ASSERT_TRUE(host->tapText("Tutorial"));
    auto tutorial = std::dynamic_pointer_cast<OnboardingViewController>(host->topViewController());
    ASSERT_TRUE(tutorial);
    ASSERT_TRUE(host->isShowing("Connect"));
    const auto& pages = tutorial->screens();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i]->frame().origin.x, width() * static_cast<CGFloat>(i)) << "page " << i;
        EXPECT_EQ(pages[i]->frame().size.width, width()) << "page " << i;
    }
    const CGRect button = tutorial->nextButton()->convert(tutorial->nextButton()->bounds(), nullptr);
    EXPECT_LE(button.maxY(), height()) << "the button is on screen";
    ASSERT_TRUE(host->tapText("Next"));
    EXPECT_TRUE(host->isShowing("Post & Share"));
    EXPECT_EQ(tutorial->scrollView()->contentOffset().x, width());
    swipe(true, height() / 2);
    EXPECT_TRUE(host->isShowing("Learn"));
    EXPECT_EQ(tutorial->scrollView()->contentOffset().x, 2 * width());

    EXPECT_EQ(conflicts(), "");
}

INSTANTIATE_TEST_SUITE_P(Phones, PagersAtEverySize,
                         ::testing::Values(CGSize{375, 667}, CGSize{414, 896}, CGSize{320, 568}, CGSize{768, 1024}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

} // namespace
} // namespace cw::test
