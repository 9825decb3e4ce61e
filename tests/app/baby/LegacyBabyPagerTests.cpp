// The older baby pager in a storyboard scene of a test storyboard: its blurred header with the
// active baby's name over the dots, swiping, and the pages below the header.
#include "Controllers/Baby/BabyPageViewController_old.h"

#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIStoryboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::shared_ptr<BabyData> baby(std::int64_t id, const std::string& name) {
    auto b = std::make_shared<BabyData>(name, "2026-03-01", "2026-05-10", Gender::Male);
    b->setBabyId(id);
    return b;
}

class LegacyPager : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", "http://127.0.0.1:9"}, {"CFBundleIdentifier", "org.cradleway.legacy-pager-tests"}});
        AuthenticationContext::shared().setSelectedBabyId(std::nullopt);
        UIStoryboard::Definition board;
        board.scene(BabyPageViewController_old::storyboardIdentifier(),
                    [] { return std::make_shared<BabyPageViewController_old>(); });
        UIStoryboard::registerStoryboard("LegacyPagerTest", board);
        host.launch(app);
    }
    void TearDown() override { AuthenticationContext::shared().setSelectedBabyId(std::nullopt); }

    std::shared_ptr<BabyPageViewController_old> show() {
        auto pager = instantiateViewController<BabyPageViewController_old>(*UIStoryboard::named("LegacyPagerTest"));
        host.window()->setRootViewController(std::make_shared<UINavigationController>(pager));
        host.settle();
        return pager;
    }
    void expectPagesBelowTheHeader(const BabyPageViewController_old& pager) {
        auto& p = const_cast<BabyPageViewController_old&>(pager);
        const CGRect header = p.headerView()->frame();
        const CGRect pages = p.pageViewController->view()->frame();
        EXPECT_GT(header.height(), 0);
        EXPECT_EQ(pages.minY(), header.maxY());
        EXPECT_EQ(pages.maxY(), p.view()->bounds().height());
        EXPECT_EQ(pages.width(), p.view()->bounds().width());
    }

    cw::test::AppEnvironment environment{"cw-legacy-pager"};
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
};

TEST_F(LegacyPager, TheHeaderNamesTheActiveBabyAndOnlyACompletedSwipeChangesIt) {
    AuthenticationContext::shared().save({baby(1, "Olivia Hart"), baby(2, "Noah Hart")});
    auto pager = show();
    ASSERT_EQ(pager->viewControllers.size(), 2u);
    EXPECT_TRUE(host.isShowing("Olivia Hart"));
    EXPECT_EQ(pager->pageControl->currentPage(), 0);
    EXPECT_EQ(pager->pageControl->currentPageIndicatorTintColor, UIColorPalette::cwy_mountainMeadow());
    // The name lies over the dots, both in the header.
    const CGRect name = pager->titleLabel()->convert(pager->titleLabel()->bounds(), pager->view().get());
    const CGRect dots = pager->pageControl->convert(pager->pageControl->bounds(), pager->view().get());
    EXPECT_LE(name.maxY(), dots.minY());
    EXPECT_LE(dots.maxY(), pager->headerView()->frame().maxY());
    expectPagesBelowTheHeader(*pager);

    // A swipe given up changes neither the name nor the dot.
    auto& pages = *pager->pageViewController;
    pages.setViewControllers({pager->viewControllers[1]}, UIPageViewControllerNavigationDirection::forward, false);
    pager->didFinishAnimating(pages, true, {pager->viewControllers[0]}, false);
    EXPECT_EQ(pager->titleLabel()->text(), "Olivia Hart");
    EXPECT_EQ(pager->pageControl->currentPage(), 0);
    // A completed one changes both.
    pager->didFinishAnimating(pages, true, {pager->viewControllers[0]}, true);
    EXPECT_EQ(pager->titleLabel()->text(), "Noah Hart");
    EXPECT_EQ(pager->pageControl->currentPage(), 1);
    host.settle();
    EXPECT_TRUE(host.isShowing("Noah Hart"));
    // Its picture, for docs/screens/ when CW_SCREENSHOT_DIR names it (scripts/screenshots does).
    const char* pictures = std::getenv("CW_SCREENSHOT_DIR");
    const std::filesystem::path dir = pictures && *pictures ? std::filesystem::path(pictures) : environment.directory();
    std::string error;
    EXPECT_TRUE(host.screenshot(dir / "legacy-baby-pager.png", &error)) << error;

    // A taller header: the pages still start below it after the next layout.
    pager->titleLabel()->setFont(UIFont::boldSystemFont(40));
    pager->view()->setNeedsLayout();
    host.settle();
    expectPagesBelowTheHeader(*pager);
}

TEST_F(LegacyPager, WithoutBabiesOneBlankPageNoDotsAndNoName) {
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    auto pager = show();
    ASSERT_EQ(pager->viewControllers.size(), 1u);
    EXPECT_EQ(typeid(*pager->viewControllers[0]), typeid(UIViewController));
    EXPECT_TRUE(pager->pageControl->isHidden());
    EXPECT_FALSE(pager->titleLabel()->text());
    expectPagesBelowTheHeader(*pager);
}

} // namespace
