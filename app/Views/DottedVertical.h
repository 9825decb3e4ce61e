#pragma once

// A vertical dotted line down the middle of the view, as wide as the view: its height is cut into
// 15 equal bands, painted and blank by turns from the top, so 8 dots whatever the height.
// Interface files set `dotColor` and `lowerHalfOnly` by key; neither asks for a redraw, and the
// line always runs the full height.

#include "uikit/view/UIView.h"

class DottedVertical : public UIView {
public:
    DottedVertical();
    explicit DottedVertical(const CGRect& frame);
    std::string className() const override { return "DottedVertical"; }

    UIColor dotColor = UIColor::lightGrayColor();
    bool lowerHalfOnly = false;

    void draw(const CGRect& rect) override;
};
