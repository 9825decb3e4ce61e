#pragma once

// A plain view with a one-point line along its bottom edge, shown or hidden (by the line's height)
// with a short animation: the education library puts one under each page button and shows the
// line under the selected one. The view remembers whether the line is shown, so a later layout
// pass keeps a hidden line hidden.

#include "uikit/view/CALayer.h"
#include "uikit/view/UIView.h"

#include <memory>

class BottomBorderView : public UIView {
public:
    BottomBorderView();
    explicit BottomBorderView(const CGRect& frame);
    std::string className() const override { return "BottomBorderView"; }

    // Made with the view and never replaced.
    const std::shared_ptr<CALayer>& bottomBorder() const { return bottomBorder_; }
    const UIColor& borderColor() const { return borderColor_; }
    // Recolours the line at once.
    void setBorderColor(const UIColor& color);

    void layoutSubviews() override;
    // Over 0.18 seconds to `updateBorderFrame(showing)`.
    void animateBorder(bool showing);
    // The line at the bottom edge of the view's present frame, 1 point high when shown, 0 when not.
    void updateBorderFrame(bool showing);

private:
    std::shared_ptr<CALayer> bottomBorder_ = std::make_shared<CALayer>();
    UIColor borderColor_;
    bool showing_ = true;
};
