#include "Views/OvalButton.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Extensions.h"

OvalButton::OvalButton() : OvalButton(CGRect::zero()) {}

OvalButton::OvalButton(const CGRect& frame) : UIButton(frame) {
    setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    roundCorners(*this, UIRectCornerAllCorners, 24);
    setBackgroundColor(UIColorPalette::mainColor1());
    setNeedsLayout();
}

void OvalButton::updateWithBackgroundColor(const UIColor& color) {
    setBackgroundColor(color);
}

void OvalButton::updateWithTitleColor(const UIColor& color) {
    setTitleColor(color, UIControlStateNormal);
}
