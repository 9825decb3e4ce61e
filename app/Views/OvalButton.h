#pragma once

// The pill-shaped button of the storyboard screens: mint green ("#55d6bc") with a white title, all
// four corners rounded with radius 24. The rounding is cut from the frame the button is made with
// (the storyboard's), so make it with its final frame.

#include "uikit/controls/UIButton.h"

class OvalButton : public UIButton {
public:
    OvalButton();
    explicit OvalButton(const CGRect& frame);
    std::string className() const override { return "OvalButton"; }

    void updateWithBackgroundColor(const UIColor& color);
    // The title colour of the normal state.
    void updateWithTitleColor(const UIColor& color);
};
