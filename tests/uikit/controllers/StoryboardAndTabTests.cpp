#include "ControllerTestSupport.h"

#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/ViewRendering.h"

using ::testing::ElementsAre;

namespace {

class ListScreen : public RecordingController {
public:
    using RecordingController::RecordingController;
    bool shouldPerformSegue(const std::string& id, const std::any&) override {
        note("should " + id);
        return allow;
    }
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override {
        note("prepare " + segue.identifier());
        if (auto detail = std::dynamic_pointer_cast<RecordingController>(segue.destination()))
            if (auto text = std::any_cast<std::string>(&sender)) detail->name = *text;
    }
    void awakeFromNib() override { note("awakeFromNib"); }
    bool allow = true;
};

class TabDelegate : public UITabBarControllerDelegate {
public:
    void didSelect(UITabBarController& tab, const UIViewControllerPtr& c) override {
        selections.push_back(std::dynamic_pointer_cast<RecordingController>(c)->name + "@" +
                             std::to_string(tab.selectedIndex()));
    }
    bool shouldSelect(UITabBarController&, const UIViewControllerPtr& c) override {
        return std::dynamic_pointer_cast<RecordingController>(c)->name != "Locked";
    }
    std::vector<std::string> selections;
};

class ReportingTabs : public UITabBarController {
public:
    void tabBarDidSelect(UITabBar&, const UITabBarItemPtr& item) override {
        reported.push_back(item->title().value_or("N/A"));
    }
    std::vector<std::string> reported;
};

} // namespace

class StoryboardTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        auto l = log;
        UIStoryboard::Definition d;
        d.scene("List", [l] { return std::make_shared<ListScreen>("List", l); })
            .scene("Detail", [l] { return std::make_shared<RecordingController>("Detail", l); })
            .scene("Child", [l] { return std::make_shared<RecordingController>("Child", l); })
            .segue("List", "showDetail", {"Detail", UIStoryboardSegue::Kind::show})
            .segue("List", "presentDetail", {"Detail", UIStoryboardSegue::Kind::presentModally})
            .segue("Detail", "embedChild", {"Child", UIStoryboardSegue::Kind::embed});
        UIStoryboard::registerStoryboard("Sample", d);
    }
};

TEST_F(StoryboardTest, ASegueRunsShouldPerformThenPrepareThenTheTransition) {
    auto board = UIStoryboard::named("Sample");
    auto list = std::static_pointer_cast<ListScreen>(board->instantiateInitialViewController());
    EXPECT_EQ(list->storyboard()->name(), "Sample");
    EXPECT_EQ(list->storyboardSceneIdentifier(), "List");
    auto nav = UINavigationController::withRoot(list);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    clearLog();
    list->performSegue("showDetail", std::string("Detail of card 7"));
    settle();
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    auto detail = std::dynamic_pointer_cast<RecordingController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->name, "Detail of card 7") << "prepare handed the sender's data over before the push";
    EXPECT_EQ((*log)[0], "List.should showDetail");
    EXPECT_EQ((*log)[1], "List.prepare showDetail");
    EXPECT_EQ((*log)[2], "Detail of card 7.willMoveToParent");

    list->allow = false;
    nav->popViewController(false);
    clearLog();
    list->performSegue("presentDetail", std::string("x"));
    settle();
    EXPECT_THAT(*log, ElementsAre("List.should presentDetail"));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(StoryboardTest, EmbedSeguesBringTheirChildBeforeViewDidLoad) {
    auto detail = UIStoryboard::named("Sample")->instantiateViewController("Detail");
    clearLog();
    window->setRootViewController(detail);
    window->makeKeyAndVisible();
    ASSERT_EQ(detail->childViewControllers().size(), 1u);
    EXPECT_EQ((*log)[0], "Child.willMoveToParent");
    EXPECT_EQ(log->back(), "Child.viewDidAppear");
    EXPECT_TRUE(detail->childViewControllers()[0]->view()->isDescendant(detail->view().get()));
}

TEST_F(StoryboardTest, ScenesAwakeFromNib) {
    clearLog();
    UIStoryboard::named("Sample")->instantiateViewController("List");
    EXPECT_THAT(*log, ElementsAre("List.awakeFromNib"));
}

using StoryboardDeathTest = StoryboardTest;

TEST_F(StoryboardDeathTest, UnknownNamesStopTheProgramWithThePlatformsText) {
    auto board = UIStoryboard::named("Sample");
    EXPECT_DEATH(
        board->instantiateViewController("Nope"),
        "reason: 'Storyboard \\(<UIStoryboard: 0x[0-9a-f]+>\\) doesn't contain a view controller with "
        "identifier 'Nope''");
    EXPECT_DEATH(UIStoryboard::named("Missing"), "Could not find a storyboard named 'Missing'");
    auto list = board->instantiateViewController("List");
    EXPECT_DEATH(list->performSegue("nowhere"), "has no segue with identifier 'nowhere'");
}

TEST_F(ControllerTest, TabSwitchingAsksTheDelegateAndReportsTheSelection) {
    auto tabs = std::make_shared<ReportingTabs>();
    auto a = make("A"), b = make("B"), locked = make("Locked");
    a->setTabBarItem(std::make_shared<UITabBarItem>("Home", nullptr));
    b->setTitle("Team");
    tabs->setViewControllers({a, b, locked});
    auto delegate = std::make_shared<TabDelegate>();
    tabs->setDelegate(delegate);
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    EXPECT_TRUE(a->isAppeared());
    EXPECT_FALSE(b->isViewLoaded());
    EXPECT_EQ(a->bottomLayoutGuide()->length(), 49);
    clearLog();

    tabs->tapTab(1);
    EXPECT_THAT(*log, ElementsAre("B.viewDidLoad", "A.viewWillDisappear", "B.viewWillAppear",
                                  "A.viewDidDisappear", "B.viewDidAppear"));
    EXPECT_THAT(delegate->selections, ElementsAre("B@1"));
    EXPECT_THAT(tabs->reported, ElementsAre("Team"));
    tabs->tapTab(2);
    EXPECT_EQ(tabs->selectedIndex(), 1u) << "the delegate refused the locked tab";
    tabs->tapTab(1);
    EXPECT_THAT(delegate->selections, ElementsAre("B@1", "B@1"))
        << "a tap on the shown tab is reported again";
    tabs->setSelectedIndex(0);
    EXPECT_EQ(delegate->selections.size(), 2u) << "selection from code tells no delegate";
    EXPECT_EQ(tabs->tabBar()->items().size(), 3u);
    EXPECT_EQ(tabs->tabBar()->selectedItem(), a->tabBarItem());
}

TEST_F(ControllerTest, ATabHeldDownWhileTheWindowLaysOutStillSwitches) {
    // A click holds the button for frames of its own: the press's highlight is laid out and
    // drawn before the finger lifts, and the item under it must still be the one it lifts from.
    auto tabs = std::make_shared<ReportingTabs>();
    auto a = make("A"), b = make("B"), c = make("C");
    a->setTitle("Home");
    b->setTitle("Update");
    c->setTitle("Team");
    tabs->setViewControllers({a, b, c});
    window->setRootViewController(tabs);
    window->makeKeyAndVisible();
    const auto& bar = tabs->tabBar();
    for (std::size_t index : {1u, 2u, 0u}) {
        window->layoutIfNeeded();
        const CGRect item = bar->subviews().back()->frame();
        const CGPoint finger =
            bar->convert(CGPoint{item.size.width * (static_cast<CGFloat>(index) + 0.5), 20}, window.get());
        const auto before = window->hitTest(finger, nullptr);
        cw::sendTouch(window, finger, UITouchPhase::began);
        window->layoutIfNeeded();
        EXPECT_EQ(window->hitTest(finger, nullptr), before) << "the pressed item was replaced";
        cw::renderView(*window, 1);
        cw::sendTouch(window, finger, UITouchPhase::ended);
        settle();
        EXPECT_EQ(tabs->selectedIndex(), index);
    }
    EXPECT_THAT(tabs->reported, ElementsAre("Update", "Team", "Home"));
}

TEST_F(ControllerTest, ChildrenFollowTheirParentsAppearance) {
    auto parent = make("P");
    auto child = make("C");
    window->setRootViewController(parent);
    window->makeKeyAndVisible();
    clearLog();
    parent->addChildViewController(child);
    parent->view()->addSubview(child->view());
    child->didMoveToParentViewController(parent);
    EXPECT_THAT(*log, ElementsAre("C.willMoveToParent", "C.viewDidLoad", "C.viewWillAppear",
                                  "C.viewDidAppear", "C.didMoveToParent"));
    clearLog();
    window->setRootViewController(make("Other"));
    EXPECT_THAT(*log, ElementsAre("P.viewWillDisappear", "C.viewWillDisappear", "P.viewDidDisappear",
                                  "C.viewDidDisappear", "Other.viewDidLoad", "Other.viewWillAppear",
                                  "Other.viewDidAppear"));
}
