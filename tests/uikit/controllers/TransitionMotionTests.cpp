// What the window draws while a screen transition runs: the motion, frame by frame, on the run
// loop's clock.

#include "ControllerTestSupport.h"

#include "uikit/controllers/UIAlertController.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/ViewRendering.h"

namespace {

const UIColor kWhite = UIColor::whiteColor();
const UIColor kBlue(0, 0, 1, 1);
const UIColor kRed(1, 0, 0, 1);

bool near(const UIColor& a, const UIColor& b) {
    return std::abs(a.red() - b.red()) < 0.05 && std::abs(a.green() - b.green()) < 0.05 &&
           std::abs(a.blue() - b.blue()) < 0.05;
}

} // namespace

class TransitionMotionTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        a = make("A");
        a->view()->setBackgroundColor(kWhite);
        nav = UINavigationController::withRoot(a);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        settle();
    }
    // The window as drawn now, one pixel a point.
    UIColor drawnAt(CGFloat x, CGFloat y) const {
        window->layoutIfNeeded();
        return cw::renderView(*window, 1)->pixelColor(static_cast<int>(x), static_cast<int>(y));
    }
    // Moves the clock by `seconds` a frame at a time, running what falls due.
    void advance(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 1.0 / 60) {
            clock.advance(std::min(1.0 / 60, seconds - t));
            RunLoop::main().runUntilIdle();
        }
    }
    std::shared_ptr<RecordingController> a;
    std::shared_ptr<UINavigationController> nav;
};

TEST_F(TransitionMotionTest, APushedScreenSlidesInFromTheRightAndSlidesBackOutWhenPopped) {
    const CGFloat width = window->bounds().size.width, y = 300;
    auto b = make("B");
    b->view()->setBackgroundColor(kBlue);
    nav->pushViewController(b, true);
    // Its left edge crosses the screen: at each moment, blue to the right of it, white to the left.
    CGFloat lastEdge = width;
    for (int step = 1; step <= 3; ++step) {
        advance(cw::kTransitionDuration / 4);
        SCOPED_TRACE(step);
        CGFloat edge = width;
        for (CGFloat x = 2; x < width; x += 4)
            if (near(drawnAt(x, y), kBlue)) {
                edge = x;
                break;
            }
        EXPECT_GT(edge, 4) << "the pushed screen is not over the whole screen yet";
        EXPECT_LT(edge, lastEdge) << "the pushed screen moves from one frame to the next";
        EXPECT_TRUE(near(drawnAt(width - 2, y), kBlue));
        lastEdge = edge;
    }
    settle();
    EXPECT_TRUE(near(drawnAt(2, y), kBlue));

    nav->popViewController(true);
    advance(cw::kTransitionDuration / 2);
    EXPECT_FALSE(near(drawnAt(2, y), kBlue)) << "the screen below shows on the left";
    EXPECT_TRUE(near(drawnAt(width - 2, y), kBlue)) << "the popped screen is still leaving on the right";
    settle();
    EXPECT_TRUE(near(drawnAt(width - 2, y), kWhite));
}

TEST_F(TransitionMotionTest, AClosedAlertFadesAwayAndAClosedModalScreenSinksOutOfSight) {
    const CGFloat x = 5, y = 400;
    auto alert = UIAlertController::make("Question", "Is it?", UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::default_, nullptr));
    a->present(alert, true);
    settle();
    const UIColor dimmed = drawnAt(x, y);
    ASSERT_LT(dimmed.red(), 0.9) << "the alert dims the screen";
    alert->tapAction(alert->actionTitled("OK"));
    advance(cw::kTransitionDuration / 2);
    const UIColor halfway = drawnAt(x, y);
    EXPECT_GT(halfway.red(), dimmed.red() + 0.05) << "the dimming lifts as the alert fades";
    EXPECT_LT(halfway.red(), 0.98);
    settle();
    EXPECT_TRUE(near(drawnAt(x, y), kWhite));

    auto m = make("M");
    m->view()->setBackgroundColor(kRed);
    a->present(m, true);
    advance(cw::kTransitionDuration / 2);
    EXPECT_TRUE(near(drawnAt(x, 100), kWhite)) << "a presented screen rises from the bottom edge";
    EXPECT_TRUE(near(drawnAt(x, window->bounds().size.height - 2), kRed));
    settle();
    EXPECT_TRUE(near(drawnAt(x, 100), kRed));
    m->dismiss(true);
    advance(cw::kTransitionDuration / 2);
    EXPECT_TRUE(near(drawnAt(x, 100), kWhite)) << "it sinks back out of sight";
    EXPECT_TRUE(near(drawnAt(x, window->bounds().size.height - 2), kRed));
    settle();
    EXPECT_TRUE(near(drawnAt(x, window->bounds().size.height - 2), kWhite));
}
