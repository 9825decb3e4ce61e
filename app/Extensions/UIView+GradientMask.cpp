#include "Extensions/UIView+GradientMask.h"

namespace UIViewGradientMask {

void addGradientMaskWithStartPoint(UIView& view, CGPoint startPoint, CGPoint endPoint) {
    auto gradient = std::make_shared<CAGradientLayer>();
    gradient->setFrame(view.bounds());
    gradient->colors = {UIColor::clearColor(), UIColor::whiteColor()};
    gradient->startPoint = startPoint;
    gradient->endPoint = endPoint;
    view.layer()->mask = gradient;
}

} // namespace UIViewGradientMask
