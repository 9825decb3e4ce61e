// One typed character in a form of 19 float-label fields (every form field the app has), laid out
// and drawn as the screen would show it: 375 x 667 points at scale 2. A frame lasts 8.3 ms at 120 Hz;
// a keystroke should fit in one.

#include "Extensions/UIView+Autolayout.h"
#include "Views/LFloatTextField.h"

#include "foundation/dispatch/RunLoop.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/ViewRendering.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kFields = 19;

struct Form {
    UIViewPtr screen;
    std::vector<std::shared_ptr<LFloatTextField>> fields;
};

Form buildForm() {
    Form form;
    form.screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    form.screen->setBackgroundColor(UIColor::whiteColor());
    std::vector<UIViewPtr> views;
    for (int i = 0; i < kFields; ++i) {
        auto field = std::make_shared<LFloatTextField>();
        field->setTranslatesAutoresizingMaskIntoConstraints(false);
        field->setPlaceholder("Field " + std::to_string(i + 1));
        if (i % 2 == 0) field->setText("Filled in " + std::to_string(i + 1));
        form.fields.push_back(field);
        views.push_back(field);
    }
    // 19 fields of 34 points with 1-point gaps fill the screen's height.
    lyt_layoutOrderedViews(*form.screen, views, 1.5, 1.5, 1, std::nullopt, UIEdgeInsets::zero(), true);
    for (auto& v : views)
        lyt_layoutHorizontalWithMargin(*v, 16);
    for (auto& v : views)
        lyt_setHeight(*v, 34);
    cw::renderView(*form.screen, 2);
    return form;
}

void BM_TypeOneCharacterInAFormOf19Fields(benchmark::State& state) {
    cw::Keyboard::shared().reset();
    RunLoop::main().reset();
    Form form = buildForm();
    auto& field = *form.fields[kFields / 2];
    field.becomeFirstResponder();
    int typed = 0;
    for (auto _ : state) {
        field.insertText("a");
        auto image = cw::renderView(*form.screen, 2);
        benchmark::DoNotOptimize(image);
        // Animation steps that fell due while the frame was drawn.
        RunLoop::main().runUntilIdle();
        if (++typed == 16) {
            // A new word: the field empties, so the next character raises the label again.
            state.PauseTiming();
            field.setText("");
            cw::renderView(*form.screen, 2);
            typed = 0;
            state.ResumeTiming();
        }
    }
    field.resignFirstResponder();
    RunLoop::main().reset();
}
BENCHMARK(BM_TypeOneCharacterInAFormOf19Fields)->Unit(benchmark::kMillisecond);

} // namespace
