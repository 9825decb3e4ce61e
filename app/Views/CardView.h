#pragma once

// The card look: a white rounded face with a soft shadow, drawn by one shape layer beneath
// everything the card holds. The layer is made on the first layout pass and kept; later passes
// give it the outline of the new bounds and corner radius (its colour and shadow stay as made).
// Interface files set `cornerRadius` by key; code may change it too (a rounder card behind a
// rounded button).

#include "uikit/view/CALayer.h"
#include "uikit/view/UIView.h"

#include <memory>

class CardView : public UIView {
public:
    CardView();
    explicit CardView(const CGRect& frame);
    std::string className() const override { return "CardView"; }

    // None until the first layout pass.
    const std::shared_ptr<CAShapeLayer>& shadowLayer() const { return shadowLayer_; }
    // The face's colour, applied once, when the layer is made.
    UIColor fillColor = UIColor::whiteColor();
    CGFloat cornerRadius() const { return cornerRadius_; }
    // Takes effect at the next layout pass.
    void setCornerRadius(CGFloat radius);

    void layoutSubviews() override;

private:
    std::shared_ptr<CAShapeLayer> shadowLayer_;
    CGFloat cornerRadius_ = 10;
};

namespace cw::detail {
// A card's layout pass: the face layer of `view` made (the first time) or given the outline of the
// view's bounds with `radius` as it is now.
void layoutCardFace(UIView& view, std::shared_ptr<CAShapeLayer>& face, CGFloat radius, const UIColor& fill);
} // namespace cw::detail
