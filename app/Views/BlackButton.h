#pragma once

// A black button with a large heavy white title. Its gradient layer ("#0000AA" to black) keeps the
// size the button had when made (none), so what shows is the black background; no screen uses the
// class yet. Made in code only.

#include "uikit/controls/UIButton.h"

class NSCoder;

class BlackButton : public UIButton {
public:
    BlackButton();
    // Not made with a frame or from an archive (storyboards and nibs cannot hold one).
    BlackButton(const CGRect&) = delete;
    explicit BlackButton(NSCoder&) = delete;
    std::string className() const override { return "BlackButton"; }

    const UIColor& colorTop() const { return colorTop_; }
    const UIColor& colorBottom() const { return colorBottom_; }

private:
    UIColor colorTop_;
    UIColor colorBottom_;
};
