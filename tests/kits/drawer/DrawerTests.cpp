#include "kits/drawer/MMDrawerController.h"

#include "host/HeadlessHost.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UIViewAnimation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using CallLog = std::vector<std::string>;

class Screen : public UIViewController {
public:
    Screen(std::string name, std::shared_ptr<CallLog> log) : name(std::move(name)), log(std::move(log)) {}
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    void note(const std::string& what) { log->push_back(name + "." + what); }
    std::string name;
    std::shared_ptr<CallLog> log;
};

class WindowDelegate : public UIApplicationDelegate {
public:
    explicit WindowDelegate(UIViewControllerPtr root) : root_(std::move(root)) {}
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }

private:
    UIViewControllerPtr root_;
    std::shared_ptr<UIWindow> window_;
};

class DrawerTest : public ::testing::Test {
protected:
    void SetUp() override {
        centre = std::make_shared<Screen>("centre", log);
        menu = std::make_shared<Screen>("menu", log);
        drawer = std::make_shared<MMDrawerController>(centre, menu);
        drawer->setMaximumLeftDrawerWidth(250, false);
        host.launch(std::make_shared<WindowDelegate>(drawer));
        log->clear();
    }

    CGFloat centreX() const { return centre->view()->superview()->frame().origin.x; }
    bool menuShows() const { return cw::isVisibleOnScreen(*menu->view()); }

    cw::HeadlessHost host;
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::shared_ptr<Screen> centre;
    std::shared_ptr<Screen> menu;
    std::shared_ptr<MMDrawerController> drawer;
};

TEST_F(DrawerTest, OpensAtAFixedSpeedAndTellsTheMenuAsItAppearsAndGoes) {
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_FALSE(menuShows()) << "a closed drawer's view can be neither seen nor touched";
    EXPECT_EQ(centre->parentViewController(), drawer);
    EXPECT_EQ(menu->parentViewController(), drawer);

    std::vector<bool> completions;
    cw::Animator::shared().clearHistory();
    drawer->openDrawerSide(MMDrawerSide::left, true, [&](bool finished) { completions.push_back(finished); });
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 250.0);
    EXPECT_THAT(*log, ElementsAre("menu.willAppear"));
    ASSERT_EQ(cw::Animator::shared().history().size(), 1u);
    EXPECT_NEAR(cw::Animator::shared().history()[0]->duration, 250.0 / 840.0, 1e-9);
    EXPECT_THAT(completions, IsEmpty());

    host.advance(0.3);
    EXPECT_THAT(*log, ElementsAre("menu.willAppear", "menu.didAppear"));
    EXPECT_THAT(completions, ElementsAre(true));
    EXPECT_EQ(drawer->openSide(), MMDrawerSide::left);
    EXPECT_EQ(centreX(), 250.0) << "the centre slides right by the open width";
    EXPECT_TRUE(menuShows());
    EXPECT_FALSE(centre->view()->isUserInteractionEnabled()) << "an open drawer keeps touches off the centre";

    // Opening an open drawer completes at once and moves nothing.
    drawer->openDrawerSide(MMDrawerSide::left, true, [&](bool finished) { completions.push_back(finished); });
    EXPECT_THAT(completions, ElementsAre(true, true));
    log->clear();

    drawer->closeDrawerAnimated(true, [&](bool finished) { completions.push_back(finished); });
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0) << "a closing drawer reads as closed at once";
    EXPECT_THAT(*log, ElementsAre("menu.willDisappear"));
    host.advance(0.3);
    EXPECT_THAT(*log, ElementsAre("menu.willDisappear", "menu.didDisappear"));
    EXPECT_THAT(completions, ElementsAre(true, true, true));
    EXPECT_FALSE(menuShows());
    EXPECT_TRUE(centre->view()->isUserInteractionEnabled());

    // A right side does not exist here; closing a closed drawer completes at once.
    drawer->openDrawerSide(MMDrawerSide::right, true, [&](bool finished) { completions.push_back(finished); });
    drawer->closeDrawerAnimated(true, [&](bool finished) { completions.push_back(finished); });
    EXPECT_THAT(completions, ElementsAre(true, true, true, false, true));
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
}

TEST_F(DrawerTest, ATapOnTheSlidOverCentreClosesItWhenTheMaskAllows) {
    auto button = std::make_shared<UIButton>(UIButtonType::system);
    int taps = 0;
    button->setTitle("Centre button", UIControlStateNormal);
    button->setFrame({20, 300, 200, 44});
    button->addAction([&](UIControl*) { ++taps; }, UIControlEventTouchUpInside);
    centre->view()->addSubview(button);

    drawer->openDrawerSide(MMDrawerSide::left, false);
    host.settle();
    // Without the tap bit the open drawer stays open, and the centre's button does not get the tap.
    host.tapPoint({330, 322});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 250.0);
    EXPECT_EQ(taps, 0);

    drawer->setCloseDrawerGestureModeMask(MMCloseDrawerGestureModeTapCenterView);
    host.advance(1); // a second tap at once would be a double tap
    host.tapPoint({330, 322});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_EQ(taps, 0);
    EXPECT_FALSE(menuShows());

    // Closed, the centre takes its own taps again.
    host.advance(1);
    ASSERT_TRUE(host.tapText("Centre button"));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
}

TEST_F(DrawerTest, PansOpenAndClosedAsTheMasksAllow) {
    // No open gesture allowed: a sideways drag moves nothing.
    host.drag({100, 300}, {300, 300});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);

    // The bezel only: a drag from the middle does nothing, one from the left edge opens.
    drawer->setOpenDrawerGestureModeMask(MMOpenDrawerGestureModeBezelPanningCenterView);
    host.drag({100, 300}, {300, 300});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    host.drag({10, 300}, {240, 300});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 250.0);
    EXPECT_EQ(drawer->openSide(), MMDrawerSide::left);
    EXPECT_TRUE(menuShows());
    EXPECT_THAT(*log, ElementsAre("menu.willAppear", "menu.didAppear"));
    log->clear();

    // Panning on the drawer closes it when that is allowed.
    drawer->setCloseDrawerGestureModeMask(MMCloseDrawerGestureModePanningDrawerView);
    host.drag({200, 300}, {20, 300});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_THAT(*log, ElementsAre("menu.willDisappear", "menu.didDisappear"));

    // A short, slow pan from the centre settles back where it began.
    drawer->setOpenDrawerGestureModeMask(MMOpenDrawerGestureModeAll);
    host.drag({100, 300}, {160, 300}, 40);
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_FALSE(menuShows());
}

TEST_F(DrawerTest, AFingerHoldsTheDrawerHalfOpenUntilItLifts) {
    drawer->setOpenDrawerGestureModeMask(MMOpenDrawerGestureModeAll);
    auto window = host.window();
    cw::TouchDelivery finger(window);
    finger.send(UITouchPhase::began, {100, 300});
    finger.send(UITouchPhase::moved, {130, 302});
    finger.send(UITouchPhase::moved, {180, 302});
    EXPECT_GT(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_LT(drawer->visibleLeftDrawerWidth(), 250.0);
    EXPECT_EQ(drawer->openSide(), MMDrawerSide::none);
    EXPECT_TRUE(menuShows());

    // A close asked for meanwhile wins over the finger's last position.
    drawer->closeDrawerAnimated(true);
    host.advance(0.5);
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_FALSE(menuShows());
    finger.cancelAll();
}

TEST_F(DrawerTest, AVerticalDragInTheCentreScrollsInsteadOfOpening) {
    drawer->setOpenDrawerGestureModeMask(MMOpenDrawerGestureModeAll);
    auto scroll = std::make_shared<UIScrollView>(CGRect{0, 0, 375, 667});
    scroll->setContentSize({375, 3000});
    centre->view()->addSubview(scroll);
    host.drag({150, 500}, {160, 200});
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 0.0);
    EXPECT_GT(scroll->contentOffset().y, 100.0);
}

TEST_F(DrawerTest, ANewWidthMovesAnOpenDrawer) {
    drawer->openDrawerSide(MMDrawerSide::left, false);
    bool done = false;
    drawer->setMaximumLeftDrawerWidth(200, true, [&](bool finished) { done = finished; });
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 200.0);
    host.advance(0.2);
    EXPECT_TRUE(done);
    EXPECT_EQ(centreX(), 200.0);
    EXPECT_EQ(menu->view()->superview()->frame().size.width, 200.0);
}

TEST_F(DrawerTest, ControllersFindTheirNearestDrawer) {
    auto nested = std::make_shared<Screen>("nested", log);
    auto nav = UINavigationController::withRoot(nested);
    drawer->setCenterViewController(nav);
    host.settle();
    EXPECT_EQ(mm_drawerController(*nested), drawer);
    EXPECT_EQ(mm_drawerController(*nav), drawer);
    EXPECT_EQ(mm_drawerController(*menu), drawer);
    EXPECT_EQ(mm_drawerController(*drawer), nullptr) << "a drawer is not its own enclosing drawer";
    EXPECT_EQ(centre->parentViewController(), nullptr) << "the replaced centre left the container";
    EXPECT_THAT(*log, ElementsAre("centre.willDisappear", "centre.didDisappear", "nested.willAppear",
                                  "nested.didAppear"));
}

} // namespace
