#include "Extensions/UIView+Extensions.h"

#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIGraphics.h"

void roundCorners(UIView& view, unsigned corners, CGFloat radius) {
    auto mask = std::make_shared<CAShapeLayer>();
    mask->path = UIBezierPath::roundedRect(view.bounds(), corners, CGSize{radius, radius});
    view.layer()->mask = mask;
}

void removeAllSubviews(UIView& view) {
    const auto subviews = view.subviews();
    for (const auto& subview : subviews)
        subview->removeFromSuperview();
}

std::shared_ptr<UIImage> pb_takeSnapshot(UIView& view) {
    const CGRect bounds = view.bounds();
    if (!(bounds.size.width > 0 && bounds.size.height > 0)) return nullptr;
    UIGraphicsBeginImageContextWithOptions(bounds.size, false, UIScreen::main().scale());
    view.drawHierarchy(CGRect(0, 0, bounds.size.width, bounds.size.height), true);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

namespace {

void addBorder(UIView& view, const UIColor& color, const CGRect& frame) {
    auto line = std::make_shared<CALayer>();
    line->backgroundColor = color;
    line->setFrame(frame);
    view.layer()->addSublayer(line);
}

} // namespace

void addTopBorderWithColor(UIView& view, const UIColor& color, CGFloat width) {
    const CGSize s = view.frame().size;
    addBorder(view, color, CGRect(0, 0, s.width, width));
}

void addRightBorderWithColor(UIView& view, const UIColor& color, CGFloat width) {
    const CGSize s = view.frame().size;
    addBorder(view, color, CGRect(s.width - width, 0, width, s.height));
}

void addBottomBorderWithColor(UIView& view, const UIColor& color, CGFloat width) {
    const CGSize s = view.frame().size;
    addBorder(view, color, CGRect(0, s.height - width, s.width, width));
}

void addLeftBorderWithColor(UIView& view, const UIColor& color, CGFloat width) {
    const CGSize s = view.frame().size;
    addBorder(view, color, CGRect(0, 0, width, s.height));
}
