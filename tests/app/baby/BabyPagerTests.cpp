// The pager's rules with plain pages: which page opens, the dots, swiping, and what the active
// page gives the navigation bar.
#include "Controllers/Baby/BabyPageViewController.h"
#include "Controllers/Baby/JourneyPageViewController.h"

#include "App/AppStoryboards.h"
#include "Services/AuthenticationContext.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/view/CAAnimation.h"
#include "uikit/view/CALayer.h"

#include <gtest/gtest.h>

namespace {

// Pages titled after their baby, each with a bar item of its own; the empty state says so.
class TitledPager : public BabyPageViewController {
public:
    UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby) override {
        auto page = std::make_shared<UIViewController>();
        page->navigationItem()->title = "Page of " + baby->fullName();
        page->navigationItem()->setRightBarButtonItem(std::make_shared<UIBarButtonItem>(baby->fullName(), UIBarButtonItemStyle::plain));
        return page;
    }
    UIViewControllerPtr viewControllerForEmptyState() override {
        auto page = std::make_shared<UIViewController>();
        page->navigationItem()->title = "Nobody";
        return page;
    }
};

std::shared_ptr<BabyData> baby(std::int64_t id, const std::string& name) {
    auto b = std::make_shared<BabyData>(name, "2026-03-01", "2026-05-10", Gender::Female);
    b->setBabyId(id);
    return b;
}

class BabyPager : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", "http://127.0.0.1:9"}, {"CFBundleIdentifier", "org.cradleway.pager-tests"}});
        AuthenticationContext::shared().setSelectedBabyId(std::nullopt);
        host.launch(app);
    }
    void TearDown() override { AuthenticationContext::shared().setSelectedBabyId(std::nullopt); }

    void store(std::vector<std::shared_ptr<BabyData>> babies) { AuthenticationContext::shared().save(babies); }
    std::shared_ptr<TitledPager> show() {
        auto pager = std::make_shared<TitledPager>();
        auto navigation = std::make_shared<UINavigationController>(pager);
        host.window()->setRootViewController(navigation);
        host.settle();
        return pager;
    }
    // A finger across the page, right to left (forward) or left to right, by `distance` points.
    void swipe(CGFloat distance, int steps = 10) {
        const CGFloat y = 400, start = distance > 0 ? 340 : 35;
        host.drag({start, y}, {start - distance, y}, steps);
    }
    static std::string title(const std::shared_ptr<TitledPager>& pager) {
        return pager->navigationItem()->title.value_or("(none)");
    }

    cw::test::AppEnvironment environment{"cw-pager"};
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
};

TEST_F(BabyPager, WithoutBabiesOneEmptyPageAndNoDots) {
    AuthenticationContext::shared().setSelectedBabyId(7);
    store({});
    auto pager = show();
    ASSERT_EQ(pager->viewControllers.size(), 1u);
    EXPECT_EQ(pager->pageIndex, 0);
    EXPECT_TRUE(pager->babies && pager->babies->empty());
    EXPECT_EQ(title(pager), "Nobody");
    EXPECT_TRUE(pager->pageControl->isHidden());
    EXPECT_FALSE(pager->titleLabel()->text());
    auto& pages = *pager->pageViewController;
    EXPECT_FALSE(pager->viewControllerBefore(pages, pager->viewControllers[0]));
    EXPECT_FALSE(pager->viewControllerAfter(pages, pager->viewControllers[0]));
    // A page the pager does not hold has no neighbours either.
    EXPECT_FALSE(pager->viewControllerAfter(pages, std::make_shared<UIViewController>()));

    // One baby: one page, still no dots.
    store({baby(1, "Olivia Hart")});
    pager->fetchData();
    EXPECT_EQ(pager->viewControllers.size(), 1u);
    EXPECT_EQ(title(pager), "Page of Olivia Hart");
    EXPECT_TRUE(pager->pageControl->isHidden());
}

TEST_F(BabyPager, OpensOnTheSelectedBabyAndSwipesWithoutWrapping) {
    store({baby(1, "Ada"), baby(2, "Ben"), baby(3, "Cleo")});
    AuthenticationContext::shared().setSelectedBabyId(2);
    auto pager = show();
    EXPECT_EQ(pager->pageIndex, 1);
    EXPECT_EQ(pager->pageControl->numberOfPages(), 3);
    EXPECT_EQ(pager->pageControl->currentPage(), 1);
    EXPECT_FALSE(pager->pageControl->isHidden());
    EXPECT_EQ(title(pager), "Page of Ben");
    ASSERT_EQ(pager->navigationItem()->rightBarButtonItems().size(), 1u);
    EXPECT_EQ(pager->navigationItem()->rightBarButtonItem()->title(), "Ben");
    EXPECT_EQ(pager->titleLabel()->text(), "Ben");
    EXPECT_TRUE(host.isShowing("Page of Ben"));
    EXPECT_TRUE(host.isShowing("Ben")) << "the page's item stands in the pager's bar";
    // The baby swiped to becomes the member's selected baby.
    swipe(200);
    EXPECT_EQ(pager->pageIndex, 2);
    EXPECT_EQ(pager->pageControl->currentPage(), 2);
    EXPECT_EQ(title(pager), "Page of Cleo");
    EXPECT_TRUE(host.isShowing("Cleo"));
    EXPECT_EQ(AuthenticationContext::shared().selectedBabyId(), 3);
    swipe(200);
    EXPECT_EQ(pager->pageIndex, 2) << "no page after the last";
    swipe(-200);
    swipe(-200);
    swipe(-200);
    EXPECT_EQ(pager->pageIndex, 0) << "no page before the first";
    EXPECT_EQ(title(pager), "Page of Ada");

    // A swipe given up half way changes nothing.
    swipe(60, 40);
    EXPECT_EQ(pager->pageIndex, 0);
    EXPECT_EQ(title(pager), "Page of Ada");
    EXPECT_EQ(pager->navigationItem()->rightBarButtonItem()->title(), "Ada");
    EXPECT_EQ(pager->pageControl->currentPage(), 0);
}

TEST_F(BabyPager, AReloadKeepsAValidPageUnlessTheSelectionDecides) {
    store({baby(1, "Ada"), baby(2, "Ben"), baby(3, "Cleo")});
    auto pager = show();
    EXPECT_EQ(pager->pageIndex, 0);
    swipe(200);
    swipe(200);
    ASSERT_EQ(pager->pageIndex, 2);
    // A selection that names nobody, and two babies left: the index no longer exists.
    AuthenticationContext::shared().setSelectedBabyId(99);
    store({baby(1, "Ada"), baby(2, "Ben")});
    pager->fetchData();
    EXPECT_EQ(pager->pageIndex, 0);
    EXPECT_EQ(title(pager), "Page of Ada");
    EXPECT_EQ(pager->pageControl->numberOfPages(), 2);
    // A baby without an id is never the selected one.
    auto unnamed = std::make_shared<BabyData>("Dee", "2026-03-01", "2026-05-10", Gender::Male);
    swipe(200);
    store({baby(1, "Ada"), unnamed});
    pager->fetchData();
    EXPECT_EQ(pager->pageIndex, 1) << "a valid index stays";
    AuthenticationContext::shared().setSelectedBabyId(1);
    pager->fetchData();
    EXPECT_EQ(pager->pageIndex, 0);
}

TEST_F(BabyPager, TheTitleLabelFadesInFromTheRight) {
    store({baby(1, "Ada")});
    auto pager = show();
    const auto fade = std::dynamic_pointer_cast<const CATransition>(pager->titleLabel()->layer()->animation("fadeText"));
    // Added once, when the dots were set up; it may have run out by now.
    if (fade) {
        EXPECT_EQ(fade->type, CATransitionType::fade);
        EXPECT_EQ(fade->subtype, CATransitionSubtype::fromRight);
        EXPECT_EQ(fade->duration, 0.4);
    }
    auto fresh = std::make_shared<TitledPager>();
    fresh->addTitleAnimation();
    const auto added = std::dynamic_pointer_cast<const CATransition>(fresh->titleLabel()->layer()->animation("fadeText"));
    ASSERT_TRUE(added);
    EXPECT_EQ(added->type, CATransitionType::fade);
    EXPECT_EQ(added->subtype, CATransitionSubtype::fromRight);
    EXPECT_EQ(added->duration, 0.4);
    EXPECT_EQ(fresh->titleLabel()->font(), UIFont::boldSystemFont(20));
    EXPECT_EQ(fresh->titleLabel()->textAlignment(), NSTextAlignment::center);
    EXPECT_FALSE(fresh->titleLabel()->superview());
}

TEST_F(BabyPager, AJourneyPagerMadeInCodeHasNoTabItemOfItsOwn) {
    registerAppStoryboards();
    store({baby(1, "Ada"), baby(2, "Ben")});
    auto pager = std::make_shared<JourneyPageViewController>();
    auto navigation = std::make_shared<UINavigationController>(pager);
    host.window()->setRootViewController(navigation);
    host.settle();
    EXPECT_EQ(pager->viewControllers.size(), 2u);
    EXPECT_EQ(pager->navigationItem()->title, "NICU Journey");
    EXPECT_FALSE(pager->tabBarItem()->image());
    EXPECT_NE(pager->tabBarItem()->title(), std::optional<std::string>("Journey"));
}

} // namespace
