#include "ControllerTestSupport.h"

#include "uikit/controllers/UIAlertController.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/ViewRendering.h"

using ::testing::ElementsAre;

TEST_F(ControllerTest, NavigationDelegateHearsOfTheRootWhenTheStackFirstAppears) {
    auto a = make("A");
    auto nav = UINavigationController::withRoot(a);
    auto delegate = std::make_shared<RecordingNavigationDelegate>(log);
    nav->setDelegate(delegate);
    clearLog();
    window->setRootViewController(nav);
    EXPECT_THAT(*log, ElementsAre("A.viewDidLoad")) << "installing the stack loads its top";
    clearLog();
    window->makeKeyAndVisible();
    settle();
    EXPECT_THAT(*log, ElementsAre("A.viewWillAppear", "nav.willShow A", "A.viewDidAppear", "nav.didShow A"));
    EXPECT_TRUE(a->isAppeared());
}

TEST_F(ControllerTest, PushAndPopCallBothControllersInThePlatformsOrder) {
    auto a = make("A");
    auto nav = UINavigationController::withRoot(a);
    auto delegate = std::make_shared<RecordingNavigationDelegate>(log);
    nav->setDelegate(delegate);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    settle();
    clearLog();

    auto b = make("B");
    nav->pushViewController(b, true);
    EXPECT_THAT(*log, ElementsAre("B.willMoveToParent", "B.viewDidLoad", "A.viewWillDisappear",
                                  "B.viewWillAppear", "nav.willShow B"));
    EXPECT_EQ(b->navigationController(), nav);
    clearLog();
    settle();
    EXPECT_THAT(*log,
                ElementsAre("A.viewDidDisappear", "B.viewDidAppear", "B.didMoveToParent", "nav.didShow B"));
    EXPECT_EQ(nav->topViewController(), b);
    EXPECT_FALSE(a->viewIfLoaded()->superview()) << "the covered screen leaves the hierarchy";

    clearLog();
    EXPECT_EQ(nav->popViewController(true), b);
    settle();
    EXPECT_THAT(*log,
                ElementsAre("B.willMoveToNil", "B.viewWillDisappear", "A.viewWillAppear", "nav.willShow A",
                            "B.viewDidDisappear", "A.viewDidAppear", "B.didMoveToNil", "nav.didShow A"));
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_EQ(nav->popViewController(true), nullptr) << "the root stays";
}

TEST_F(ControllerTest, PopToRootSkipsTheMiddleAndPushesWaitForARunningTransition) {
    auto a = make("A"), b = make("B"), c = make("C");
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    nav->pushViewController(b, true);
    nav->pushViewController(c, true); // waits for the first push
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    settle();
    ASSERT_EQ(nav->viewControllers().size(), 3u);
    clearLog();
    auto popped = nav->popToRootViewController(false);
    EXPECT_EQ(popped.size(), 2u);
    EXPECT_THAT(*log,
                ElementsAre("B.willMoveToNil", "C.willMoveToNil", "C.viewWillDisappear", "A.viewWillAppear",
                            "C.viewDidDisappear", "A.viewDidAppear", "B.didMoveToNil", "C.didMoveToNil"));
}

TEST_F(ControllerTest, BackButtonShowsThePreviousTitleAndPops) {
    auto a = make("A");
    a->setTitle("Inbox");
    auto b = make("B");
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    nav->pushViewController(b, false);
    window->layoutIfNeeded();
    std::shared_ptr<cw::TapTargetView> back;
    for (auto& v : nav->navigationBar()->subviews())
        if (v->accessibilityIdentifier() == "BackButton")
            back = std::dynamic_pointer_cast<cw::TapTargetView>(v);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->titleLabel()->text().value_or(""), "\u2039 Inbox");
    window->setTintColor(UIColor::greenColor());
    window->setNeedsLayout();
    nav->navigationBar()->setNeedsLayout();
    window->layoutIfNeeded();
    back.reset();
    for (auto& v : nav->navigationBar()->subviews())
        if (v->accessibilityIdentifier() == "BackButton")
            back = std::dynamic_pointer_cast<cw::TapTargetView>(v);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->titleLabel()->textColor(), UIColor::greenColor())
        << "the bar's buttons follow the window's tint";
    a->navigationItem()->backBarButtonItem =
        std::make_shared<UIBarButtonItem>("", UIBarButtonItemStyle::plain);
    nav->navigationBar()->reloadItems();
    back.reset();
    for (auto& v : nav->navigationBar()->subviews())
        if (v->accessibilityIdentifier() == "BackButton")
            back = std::dynamic_pointer_cast<cw::TapTargetView>(v);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->titleLabel()->text().value_or(""), "\u2039") << "an empty back title leaves the arrow";
    back->activate();
    settle();
    EXPECT_EQ(nav->topViewController(), a);
}

TEST_F(ControllerTest, TopLayoutGuideFollowsTheBars) {
    auto a = make("A");
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    EXPECT_EQ(a->topLayoutGuide()->length(), 64);
    EXPECT_EQ(a->view()->safeAreaInsets().top, 64);
    nav->setNavigationBarHidden(true);
    EXPECT_EQ(a->topLayoutGuide()->length(), 20);
    nav->setNavigationBarHidden(false);
    nav->navigationBar()->isTranslucent = false;
    nav->setNavigationBarHidden(true);
    nav->setNavigationBarHidden(false);
    window->layoutIfNeeded();
    EXPECT_EQ(a->topLayoutGuide()->length(), 0) << "an opaque bar puts the content below it";
    EXPECT_EQ(a->view()->frame().origin.y, 64);
}

TEST_F(ControllerTest, AScreenThatDoesNotExtendUnderTheTopBarStartsBelowIt) {
    auto a = make("A");
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    auto b = make("B");
    b->edgesForExtendedLayout = UIRectEdge::none;
    nav->pushViewController(b, false);
    settle();
    window->layoutIfNeeded();
    EXPECT_EQ(b->view()->frame().origin.y, 64);
    EXPECT_EQ(b->view()->frame().size.height, window->bounds().size.height - 64);
    EXPECT_EQ(b->topLayoutGuide()->length(), 0);
    // Its neighbour under the same translucent bar still reaches up under it.
    EXPECT_EQ(a->view()->frame().origin.y, 0);
    EXPECT_EQ(a->topLayoutGuide()->length(), 64);
    // Without the bar, it starts at the top like any screen.
    nav->setNavigationBarHidden(true);
    window->layoutIfNeeded();
    EXPECT_EQ(b->view()->frame().origin.y, 0);
    EXPECT_EQ(b->topLayoutGuide()->length(), 20);
}

TEST_F(ControllerTest, AScreenThatLeavesTheBarAsItsViewLoadsStartsBelowItWithNoInsetLeft) {
    auto a = make("A");
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    // As a screen does it when its view loads, after it was placed.
    auto b = make("B");
    nav->pushViewController(b, false);
    b->edgesForExtendedLayout = UIRectEdge::none;
    window->layoutIfNeeded();
    EXPECT_EQ(b->view()->frame().origin.y, 64);
    EXPECT_EQ(b->topLayoutGuide()->length(), 0);
    EXPECT_EQ(b->view()->safeAreaInsets().top, 0);
}

namespace {

// A flow whose stack is set while it is made and which becomes its own delegate when it loads.
class FlowController : public UINavigationController, public UINavigationControllerDelegate {
public:
    FlowController(std::shared_ptr<RecordingController> first, std::shared_ptr<CallLog> log)
        : log_(std::move(log)) {
        setViewControllers({std::move(first)}, false);
    }
    void viewDidLoad() override {
        UINavigationController::viewDidLoad();
        setDelegate(std::dynamic_pointer_cast<FlowController>(shared_from_this()));
    }
    void willShow(UINavigationController&, const UIViewControllerPtr& c, bool) override {
        log_->push_back("flow.willShow " + RecordingNavigationDelegate::name(c));
    }

private:
    std::shared_ptr<CallLog> log_;
};

} // namespace

TEST_F(ControllerTest, AFlowThatIsItsOwnDelegateHearsOfTheRootItWasMadeWith) {
    auto login = make("Login");
    auto flow = std::make_shared<FlowController>(login, log);
    EXPECT_EQ(flow->viewControllers().size(), 1u);
    window->setRootViewController(flow);
    EXPECT_EQ(login->navigationController(), flow);
    clearLog();
    window->makeKeyAndVisible();
    EXPECT_THAT(*log, ElementsAre("Login.viewWillAppear", "flow.willShow Login", "Login.viewDidAppear"));
    flow->pushViewController(make("Terms"), false);
    EXPECT_EQ(log->back(), "Terms.didMoveToParent");
    flow->popToRootViewController(false);
    EXPECT_EQ(flow->topViewController(), login);
}

TEST_F(ControllerTest, ReplacingTheRootTakesItsPresentationAlong) {
    auto a = make("A");
    window->setRootViewController(a);
    window->makeKeyAndVisible();
    auto m = make("M");
    a->present(m, false);
    ASSERT_TRUE(m->viewIfLoaded()->superview());
    window->setRootViewController(make("B"));
    settle();
    EXPECT_FALSE(m->viewIfLoaded()->superview());
    EXPECT_EQ(a->presentedViewController(), nullptr);
}

namespace {
class TurningController : public UIViewController {
public:
    bool shouldAutorotate() const override { return true; }
};
} // namespace

TEST_F(ControllerTest, OneAnswerForEveryNavigationControllerOverridesTheShownScreen) {
    auto nav = UINavigationController::withRoot(std::make_shared<TurningController>());
    auto other = std::make_shared<UINavigationController>();
    EXPECT_TRUE(nav->shouldAutorotate()) << "without an answer, the shown screen decides";
    UINavigationController::setAutorotationAnswer(false);
    EXPECT_FALSE(nav->shouldAutorotate());
    EXPECT_FALSE(other->shouldAutorotate()) << "also a navigation controller made later or empty";
    nav->pushViewController(std::make_shared<TurningController>(), false);
    EXPECT_FALSE(nav->shouldAutorotate());
    UINavigationController::setAutorotationAnswer(std::nullopt);
    EXPECT_TRUE(nav->shouldAutorotate());
}

TEST_F(ControllerTest, ABarBackgroundImageReplacesTheBarsFillAndLetsItsBackgroundColourShowThrough) {
    UINavigationBar bar;
    bar.setFrame({0, 0, 320, 64});
    bar.layoutIfNeeded();
    const UIColor grey = renderView(bar, 1)->pixelColor(160, 32);
    EXPECT_LT(grey.red(), 0.99) << "the default fill is a light grey";

    const std::uint32_t clear = 0;
    bar.backgroundImage = UIImage::fromPixels(1, 1, 1, &clear);
    bar.setBackgroundColor(UIColor::whiteColor());
    bar.setNeedsLayout();
    bar.layoutIfNeeded();
    const UIColor shown = renderView(bar, 1)->pixelColor(160, 32);
    EXPECT_DOUBLE_EQ(shown.red(), 1);
    EXPECT_DOUBLE_EQ(shown.alpha(), 1);

    bar.backgroundImage = nullptr;
    bar.setNeedsLayout();
    bar.layoutIfNeeded();
    EXPECT_LT(renderView(bar, 1)->pixelColor(160, 32).red(), 0.99) << "without the image the fill comes back";
}

TEST_F(ControllerTest, ABarsBackgroundImageReplacesItsColourAndAnEmptyOneLeavesNone) {
    auto a = make("A");
    a->view()->setBackgroundColor(UIColor(0, 0, 1));
    auto nav = UINavigationController::withRoot(a);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    settle();
    const auto& bar = nav->navigationBar();
    auto colourAt = [&](CGFloat y) { return cw::renderView(*window, 1)->pixelColor(5, static_cast<int>(y)); };
    // The bar's own translucent grey over the blue view.
    EXPECT_NE(colourAt(30), UIColor(0, 0, 1));
    const std::uint32_t red = 0xFFFF0000, clear = 0;
    bar->backgroundImage = UIImage::fromPixels(1, 1, 1, &red);
    bar->setNeedsLayout();
    settle();
    EXPECT_EQ(colourAt(30), UIColor(1, 0, 0));
    bar->backgroundImage = UIImage::fromPixels(1, 1, 1, &clear);
    bar->shadowImage = UIImage::fromPixels(1, 1, 1, &clear);
    bar->setNeedsLayout();
    settle();
    EXPECT_EQ(colourAt(30), UIColor(0, 0, 1));
}
