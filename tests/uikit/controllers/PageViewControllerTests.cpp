#include "ControllerTestSupport.h"

#include "uikit/controllers/UIPageViewController.h"
#include "uikit/controls/UIEvent.h"

using ::testing::ElementsAre;

namespace {

class Pages : public UIPageViewControllerDataSource, public UIPageViewControllerDelegate {
public:
    std::vector<UIViewControllerPtr> pages;
    std::vector<std::string> calls;

    UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& c) override {
        auto i = index(c);
        return i > 0 ? pages[static_cast<std::size_t>(i - 1)] : nullptr;
    }
    UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& c) override {
        auto i = index(c);
        return i >= 0 && i + 1 < static_cast<long>(pages.size()) ? pages[static_cast<std::size_t>(i + 1)]
                                                                 : nullptr;
    }
    void willTransitionTo(UIPageViewController&, const std::vector<UIViewControllerPtr>& pending) override {
        calls.push_back("willTransitionTo " + name(pending.at(0)));
    }
    void didFinishAnimating(UIPageViewController&, bool, const std::vector<UIViewControllerPtr>& previous,
                            bool completed) override {
        calls.push_back("didFinish from " + name(previous.at(0)) + (completed ? " completed" : " cancelled"));
    }
    long index(const UIViewControllerPtr& c) const {
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (pages[i] == c) return static_cast<long>(i);
        return -1;
    }
    static std::string name(const UIViewControllerPtr& c) {
        return std::static_pointer_cast<RecordingController>(c)->name;
    }
};

} // namespace

class PageViewControllerTest : public ControllerTest {
protected:
    void drag(CGFloat fromX, CGFloat toX) {
        cw::TouchDelivery touches(window);
        touches.send(UITouchPhase::began, {fromX, 300});
        for (int i = 1; i <= 10; ++i) {
            clock.advance(0.016);
            touches.send(UITouchPhase::moved, {fromX + (toX - fromX) * i / 10, 300});
        }
        touches.send(UITouchPhase::ended, {toX, 300});
        settle();
        for (int i = 0; i < 10; ++i) {
            clock.advance(0.1);
            RunLoop::main().runUntilIdle();
        }
    }
};

TEST_F(PageViewControllerTest, ADragAcrossMostOfThePageTurnsItAndAShortOneSpringsBack) {
    auto pages = std::make_shared<Pages>();
    pages->pages = {make("P0"), make("P1"), make("P2")};
    auto pager = std::make_shared<UIPageViewController>();
    pager->setDataSource(pages);
    pager->setDelegate(pages);
    pager->setViewControllers({pages->pages[0]}, UIPageViewControllerNavigationDirection::forward, false);
    window->setRootViewController(pager);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    EXPECT_TRUE(pages->pages[0]->isAppeared());
    EXPECT_FALSE(pages->pages[1]->isAppeared());
    clearLog();

    drag(320, 40);
    ASSERT_EQ(pager->viewControllers().size(), 1u);
    EXPECT_EQ(pager->viewControllers()[0], pages->pages[1]);
    EXPECT_THAT(pages->calls, ElementsAre("willTransitionTo P1", "didFinish from P0 completed"));
    EXPECT_THAT(*log, ElementsAre("P0.viewWillDisappear", "P1.viewWillAppear", "P0.viewDidDisappear",
                                  "P1.viewDidAppear", "P2.willMoveToParent", "P2.didMoveToParent",
                                  "P2.viewDidLoad"))
        << "the neighbour is made and laid beside the new page once the turn is over";
    EXPECT_TRUE(pages->pages[1]->isAppeared());

    pages->calls.clear();
    drag(200, 170);
    EXPECT_EQ(pager->viewControllers()[0], pages->pages[1]) << "a short drag leaves the page where it was";
    EXPECT_THAT(pages->calls, ElementsAre("willTransitionTo P2", "didFinish from P1 cancelled"));
    EXPECT_TRUE(pages->pages[1]->isAppeared());
    EXPECT_FALSE(pages->pages[2]->isAppeared());

    pages->calls.clear();
    drag(40, 330);
    EXPECT_EQ(pager->viewControllers()[0], pages->pages[0]) << "dragging the other way goes back";
    drag(40, 330);
    EXPECT_EQ(pager->viewControllers()[0], pages->pages[0]) << "nothing before the first page";

    // An embedded pager that is resized lays its pages out at the new size.
    pager->view()->setFrame({0, 0, 300, 400});
    window->layoutIfNeeded();
    EXPECT_EQ(pages->pages[0]->view()->frame(), (CGRect{0, 0, 300, 400}));
    EXPECT_EQ(pages->pages[1]->view()->frame(), (CGRect{300, 0, 300, 400}));
}
