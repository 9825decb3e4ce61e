#pragma once

// The floating button's face: a shape layer whose background colour, cut round by its mask, is the
// visible disc, with a plus sign stroked across it. Both are made from the layer's frame, so every
// new frame draws them again at the new size.

#include "uikit/view/CALayer.h"

class ButtonLayer : public CAShapeLayer {
public:
    // A black plus sign on no background.
    ButtonLayer();
    // The same on a background of `bg`.
    explicit ButtonLayer(const UIColor& bg);

    // The stroke of the plus sign; black at first.
    const UIColor& plusColor() const { return plusColor_; }
    void setPlusColor(const UIColor& color);

    void setFrame(const CGRect& frame) override;

    // Two strokes through the middle, 15 points in from each edge, 3 points wide with round ends.
    virtual void drawPlus();
    // A mask of the frame's size with corners as round as its width: a circle for a square layer.
    virtual void applyMask();

private:
    UIColor plusColor_ = UIColor::blackColor();
};
