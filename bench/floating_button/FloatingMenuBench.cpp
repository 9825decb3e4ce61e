// One frame of the floating menu opening over a feed-like screen, 375 x 667 points drawn at scale 2:
// the animation step for the frame's time, the layout pass and the drawing of the whole screen.
// A frame at 60 per second leaves 16.7 ms; half of that (8.3 ms) is what this may take. The menu
// opens over 0.6 s (the button turns, the screen dims, three items pop one after another); each
// iteration moves the clock one frame and the menu opens again once it is fully open.

#include "Extensions/UIColor+Palette.h"
#include "KYFloatingActionButton/KYButton.h"
#include "Views/CardView.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"

#include <benchmark/benchmark.h>

namespace {

std::shared_ptr<UILabel> label(const std::string& text, const UIFont& font, CGRect frame, long lines) {
    auto l = std::make_shared<UILabel>(frame);
    l->setText(text);
    l->setFont(font);
    l->setNumberOfLines(lines);
    return l;
}

std::shared_ptr<UIImage> icon(const UIColor& color) {
    UIGraphicsImageRenderer r({60, 60}, {2, false});
    return r.image([&](UIGraphicsImageRendererContext& ctx) {
        ctx.cgContext().setFillColor(color);
        ctx.cgContext().fillEllipse(CGRect(8, 8, 44, 44));
    });
}

void BM_FloatingMenuOpeningFrame(benchmark::State& state) {
    ManualClock clock;
    auto screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    screen->setBackgroundColor(UIColorPalette::tableViewBackground());
    for (int i = 0; i < 5; ++i) {
        auto card = std::make_shared<CardView>(CGRect(12, 20 + 128.0 * i, 351, 116));
        card->addSubview(label("Daily update " + std::to_string(i + 1), UIFont::boldSystemFont(17),
                               CGRect(16, 12, 319, 22), 1));
        card->addSubview(label("A calm night with every feed taken; the care team will weigh her again "
                               "tomorrow and talk with you about the next step.",
                               UIFont::systemFont(14), CGRect(16, 40, 319, 60), 3));
        screen->addSubview(card);
    }
    auto button = std::make_shared<KYButton>();
    button->setFrame(CGRect(300, 580, 55, 55));
    button->setPlusColor(UIColor::whiteColor());
    button->fabTitleColor = UIColor::whiteColor();
    const UIColor colors[] = {UIColor(0.24, 0.7, 0.54), UIColor(0.34, 0.58, 1), UIColor(0.88, 0.65, 0.18)};
    const char* titles[] = {"POST", "CALL", "FEEDBACK"};
    for (int i = 0; i < 3; ++i)
        button->add(UIColor::clearColor(), std::string(titles[i]), icon(colors[i]), [](KYButtonCells&) {});
    screen->addSubview(button);
    screen->layoutIfNeeded();

    UIGraphicsBeginImageContextWithOptions(screen->bounds().size, true, 2);
    CGContext& context = *UIGraphicsGetCurrentContext();
    const double frame = 1.0 / 60.0;
    int frameInOpening = 0;
    for (auto _ : state) {
        if (frameInOpening == 0) {
            state.PauseTiming();
            cw::Animator::shared().finishAll();
            RunLoop::main().runUntilIdle();
            button->isHide = true;
            if (button->overLayView) button->overLayView->removeFromSuperview();
            button->openButton();
            state.ResumeTiming();
        }
        clock.advance(frame);
        RunLoop::main().runUntilIdle();
        cw::Animator::shared().tick();
        screen->layoutIfNeeded();
        screen->layer()->render(context);
        frameInOpening = (frameInOpening + 1) % 36;
    }
    UIGraphicsEndImageContext();
    cw::Animator::shared().finishAll();
    RunLoop::main().reset();
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_FloatingMenuOpeningFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
