#include "ControllerTestSupport.h"

#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controls/UIEvent.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using P = UIPopoverPresentationController;

namespace {

class AnsweringDelegate : public UIPopoverPresentationControllerDelegate {
public:
    explicit AnsweringDelegate(std::optional<UIModalPresentationStyle> answer) : answer(answer) {}
    std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController& c) override {
        ++asked;
        EXPECT_TRUE(c.presentedViewController());
        return answer;
    }
    std::optional<UIModalPresentationStyle> answer;
    int asked = 0;
};

class PopoverTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        screen = make("S");
        nav = UINavigationController::withRoot(screen);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        button = std::make_shared<UIView>(CGRect(300, 200, 30, 30));
        screen->view()->addSubview(button);
        settle();
        clearLog();
    }
    std::shared_ptr<RecordingController> popoverContent(const std::string& name, CGSize size,
                                                        const std::shared_ptr<AnsweringDelegate>& delegate) {
        auto c = make(name);
        c->modalPresentationStyle = UIModalPresentationStyle::popover;
        c->setPreferredContentSize(size);
        auto pc = c->popoverPresentationController();
        pc->sourceView = button;
        pc->setDelegate(delegate);
        return c;
    }
    void tapWindow(CGPoint p) {
        cw::tap(window, p);
        settle();
    }

    std::shared_ptr<RecordingController> screen;
    std::shared_ptr<UINavigationController> nav;
    std::shared_ptr<UIView> button;
};

} // namespace

TEST_F(PopoverTest, KeptByItsDelegateItStandsBelowItsSourceAndATapOutsideClosesIt) {
    auto keep = std::make_shared<AnsweringDelegate>(UIModalPresentationStyle::none);
    auto info = popoverContent("I", {300, 57}, keep);
    auto pc = info->popoverPresentationController();
    EXPECT_EQ(pc->arrowDirection(), UIPopoverArrowDirectionUnknown);
    screen->present(info, true);
    settle();
    EXPECT_EQ(keep->asked, 1);
    EXPECT_EQ(info->presentingViewController(), nav);
    EXPECT_THAT(*log, ElementsAre("I.viewDidLoad", "I.viewWillAppear", "I.viewDidAppear"))
        << "the screen beneath stays shown";
    EXPECT_TRUE(screen->isAppeared());
    EXPECT_FALSE(nav->view()->isHidden());

    // Below the button (its bounds, as no rectangle was set), as wide as asked, kept on screen.
    EXPECT_EQ(pc->arrowDirection(), UIPopoverArrowDirectionUp);
    const CGRect frame = *pc->popoverFrame();
    EXPECT_EQ(frame, CGRect(375 - 10 - 300, 230 + P::kArrowHeight, 300, 57));
    EXPECT_EQ(info->view()->bounds().size, (CGSize{300, 57}));
    EXPECT_EQ(info->view()->convert(info->view()->bounds(), window.get()), frame);

    // A tap inside is the content's; a tap on the screen beside it closes it.
    clearLog();
    tapWindow({frame.midX(), frame.midY()});
    EXPECT_EQ(nav->presentedViewController(), info);
    tapWindow({40, 500});
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_THAT(*log, ElementsAre("I.viewWillDisappear", "I.viewDidDisappear"));
    EXPECT_FALSE(info->view()->superview());
    EXPECT_FALSE(pc->popoverFrame());
    EXPECT_EQ(window->subviews().back()->className(), "UIInputSetHostView")
        << "nothing of the popover is left";
    EXPECT_TRUE(screen->isAppeared());

    // It can be shown again, and closed from code.
    screen->present(info, false);
    EXPECT_TRUE(pc->popoverFrame());
    screen->dismiss(true);
    settle();
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(PopoverTest, AnchoredToABarButtonItemANavigationControllerOpensBelowTheBar) {
    auto item = std::make_shared<UIBarButtonItem>(std::string("Calendar"), UIBarButtonItemStyle::plain);
    screen->navigationItem()->setRightBarButtonItem(item);
    window->layoutIfNeeded();
    const CGRect itemFrame = cw::findBarButtonItemView(*window, *item)
                                 ->convert(cw::findBarButtonItemView(*window, *item)->bounds(), window.get());

    auto keep = std::make_shared<AnsweringDelegate>(UIModalPresentationStyle::none);
    auto calendar = make("Calendar");
    auto inner = UINavigationController::withRoot(calendar);
    inner->modalPresentationStyle = UIModalPresentationStyle::popover;
    inner->setPreferredContentSize({320, 340});
    auto pc = inner->popoverPresentationController();
    pc->barButtonItem = item;
    pc->permittedArrowDirections = UIPopoverArrowDirectionAny;
    pc->setDelegate(keep);
    screen->present(inner, true);
    settle();

    EXPECT_EQ(itemFrame.maxY(), 64);
    EXPECT_EQ(*pc->popoverFrame(), CGRect(375 - 10 - 320, 64 + P::kArrowHeight, 320, 340));
    EXPECT_TRUE(calendar->isAppeared());
    EXPECT_EQ(inner->navigationBar()->frame(), CGRect(0, 0, 320, 44)) << "no status bar inside a popover";

    // A new preferred size lays it out again.
    inner->setPreferredContentSize({320, 200});
    window->layoutIfNeeded();
    EXPECT_EQ(pc->popoverFrame()->size, (CGSize{320, 200}));
}

TEST_F(PopoverTest, WithoutADelegateThatKeepsItThePopoverCoversThePhoneScreen) {
    for (auto answer :
         {std::optional<UIModalPresentationStyle>(), std::optional(UIModalPresentationStyle::fullScreen),
          std::optional(UIModalPresentationStyle::formSheet)}) {
        auto delegate = std::make_shared<AnsweringDelegate>(answer);
        auto sheet = popoverContent("F", {300, 100}, delegate);
        screen->present(sheet, false);
        EXPECT_EQ(delegate->asked, 1);
        EXPECT_EQ(sheet->view()->frame(), window->bounds());
        EXPECT_FALSE(screen->isAppeared()) << "covered";
        EXPECT_FALSE(sheet->popoverPresentationController()->popoverFrame());
        EXPECT_EQ(sheet->popoverPresentationController()->arrowDirection(), UIPopoverArrowDirectionUnknown);
        screen->dismiss(false);
        EXPECT_TRUE(screen->isAppeared());
    }
    // A delegate that asks for over-full-screen gets it: the screen stays beneath.
    auto over = std::make_shared<AnsweringDelegate>(UIModalPresentationStyle::overFullScreen);
    auto sheet = popoverContent("O", {300, 100}, over);
    screen->present(sheet, false);
    EXPECT_EQ(sheet->view()->frame(), window->bounds());
    EXPECT_TRUE(screen->isAppeared());
    screen->dismiss(false);

    // Other styles have no popover controller.
    EXPECT_EQ(make("N")->popoverPresentationController(), nullptr);
}

TEST_F(PopoverTest, WithoutAnAnchorThePlatformSaysSoAndCentresIt) {
    auto keep = std::make_shared<AnsweringDelegate>(UIModalPresentationStyle::none);
    auto info = popoverContent("I", {200, 100}, keep);
    info->popoverPresentationController()->sourceView = nullptr;
    testing::internal::CaptureStderr();
    screen->present(info, false);
    EXPECT_THAT(
        testing::internal::GetCapturedStderr(),
        HasSubstr("should have a non-nil sourceView or barButtonItem set before the presentation occurs."));
    const CGRect f = *info->popoverPresentationController()->popoverFrame();
    EXPECT_EQ(f.size, (CGSize{200, 100}));
    EXPECT_NEAR(f.midX(), 375.0 / 2, 1e-9);
    EXPECT_EQ(info->popoverPresentationController()->arrowDirection(), UIPopoverArrowDirectionUnknown);
}

TEST(PopoverPlacement, TheArrowTakesTheFirstSideWithRoomAndStaysClearOfTheCorners) {
    const CGRect area{10, 20, 355, 637};
    // Room below: the arrow points up at the source's middle.
    auto p = P::place({100, 100, 40, 40}, {200, 150}, area, UIPopoverArrowDirectionAny);
    EXPECT_EQ(p.arrow, UIPopoverArrowDirectionUp);
    EXPECT_EQ(p.content, CGRect(20, 153, 200, 150));
    EXPECT_EQ(p.tip, (CGPoint{120, 140}));
    // Near the bottom: above it.
    p = P::place({100, 600, 40, 40}, {200, 150}, area, UIPopoverArrowDirectionAny);
    EXPECT_EQ(p.arrow, UIPopoverArrowDirectionDown);
    EXPECT_EQ(p.content.maxY(), 600 - P::kArrowHeight);
    // Only sideways permitted: to the right of a source on the left.
    p = P::place({20, 300, 40, 40}, {200, 150}, area,
                 UIPopoverArrowDirectionLeft | UIPopoverArrowDirectionRight);
    EXPECT_EQ(p.arrow, UIPopoverArrowDirectionLeft);
    EXPECT_EQ(p.content.minX(), 60 + P::kArrowHeight);
    EXPECT_EQ(p.content.midY(), 320);
    // Too tall for either side: the roomier one, shortened to fit.
    p = P::place({100, 200, 40, 40}, {200, 900}, area,
                 UIPopoverArrowDirectionUp | UIPopoverArrowDirectionDown);
    EXPECT_EQ(p.arrow, UIPopoverArrowDirectionUp);
    EXPECT_EQ(p.content, CGRect(20, 253, 200, 657 - 253));
    // A source at the screen's edge: the popover stays inside, the arrow clear of its rounded corner.
    p = P::place({355, 100, 20, 20}, {300, 100}, area, UIPopoverArrowDirectionAny);
    EXPECT_EQ(p.content.maxX(), 365);
    EXPECT_EQ(p.tip.x, 365 - P::kCornerRadius - P::kArrowWidth / 2);
}
