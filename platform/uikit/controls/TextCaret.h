#pragma once

// The insertion point of a text input being edited: a thin bar in the input's tint, standing after
// the last character (inputs here have no selection; typing always appends). As on the phone it
// is steady while the text changes and then blinks, half a second on and half off, on the run
// loop's display timers: a manual clock blinks it exactly, and a host waiting for the screen to
// settle does not wait on it.

#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <cstdint>

namespace cw {

class TextCaret : public UIView {
public:
    static constexpr CGFloat kWidth = 2;
    static constexpr double kBlinkInterval = 0.5;

    TextCaret();
    ~TextCaret() override;
    std::string className() const override { return "UITextSelectionView"; }

    // Shown steady, blinking from half a second on: editing began or the text changed.
    void restart();
    // Hidden, and the blinking stops: editing ended.
    void stop();
    bool isRunning() const { return running_; }

    // Stands the caret after the text `label` shows (before it when it shows none: where the
    // placeholder starts, at the label's alignment), as tall as a line of `font`, in the
    // coordinates of the caret's superview.
    void placeAfterText(const UILabel& label, const UIFont& font);

private:
    void schedule();

    bool running_ = false;
    std::uint64_t timer_ = 0;
};

} // namespace cw
