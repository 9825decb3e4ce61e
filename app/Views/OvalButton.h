#pragma once

// The pill-shaped button of the storyboard screens: mint green ("#55d6bc") with a white title, all
// four corners rounded with radius 24. The rounding is cut from the frame the button is made with
// (the storyboard's), so make it with its final frame.

#include "uikit/controls/UIButton.h"

#include <memory>
#include <string>

class OvalButton : public UIButton {
public:
    OvalButton();
    explicit OvalButton(const CGRect& frame);
    std::string className() const override { return "OvalButton"; }

    void updateWithBackgroundColor(const UIColor& color);
    // The title colour of the normal state.
    void updateWithTitleColor(const UIColor& color);
};

// An oval button with its title and accessibility identifier, made at `size` and held there by
// constraints (its rounding is cut from that frame); ready to be placed by constraints.
std::shared_ptr<OvalButton> makeOvalButton(const std::string& title, const std::string& identifier, CGSize size);
