#pragma once

// The backdrop of the floating button's open menu: a control over the whole screen, transparent at
// first, that the button dims and that closes the menu when a touch ends inside it. Made in code
// only.

#include "uikit/controls/UIControl.h"

class OverLayView : public UIControl {
public:
    OverLayView();
    OverLayView(const CGRect&) = delete;
    std::string className() const override { return "OverLayView"; }
};
