#pragma once

// The card face and shadow of CardView with square corners.

#include "Views/CardView.h"

class CardViewSide : public UIView {
public:
    CardViewSide();
    explicit CardViewSide(const CGRect& frame);
    std::string className() const override { return "CardViewSide"; }

    const std::shared_ptr<CAShapeLayer>& shadowLayer() const { return shadowLayer_; }
    CGFloat cornerRadius() const { return cornerRadius_; }
    UIColor fillColor = UIColor::whiteColor();

    void layoutSubviews() override;

private:
    std::shared_ptr<CAShapeLayer> shadowLayer_;
    CGFloat cornerRadius_ = 0;
};
