#pragma once

// The pill-shaped button of the storyboard screens: mint green ("#55d6bc") with a white title, all
// four corners rounded with radius 24. The rounding is cut again whenever the button's size
// changes: one that constraints make narrower than it was made (Send Invite on a 320-point phone)
// keeps both ends round instead of being cut square at its old right end.

#include "uikit/controls/UIButton.h"

#include <memory>
#include <string>

class OvalButton : public UIButton {
public:
    OvalButton();
    explicit OvalButton(const CGRect& frame);
    std::string className() const override { return "OvalButton"; }

    void layoutSubviews() override;

    void updateWithBackgroundColor(const UIColor& color);
    // The title colour of the normal state.
    void updateWithTitleColor(const UIColor& color);

private:
    // The size the rounding was last cut for.
    CGSize roundedFor_;
};

// An oval button with its title and accessibility identifier, made at `size` and held there by
// constraints; ready to be placed by constraints.
std::shared_ptr<OvalButton> makeOvalButton(const std::string& title, const std::string& identifier, CGSize size);
