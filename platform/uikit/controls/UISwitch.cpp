#include "uikit/controls/UISwitch.h"

#include "uikit/graphics/UIBezierPath.h"

UISwitch::UISwitch() : UISwitch(CGRect(0, 0, 51, 31)) {}

UISwitch::UISwitch(const CGRect& frame) : UIControl(CGRect(frame.origin, CGSize{51, 31})) {
    setOpaque(false);
}

void UISwitch::setOn(bool on, bool) {
    if (on_ == on) return;
    on_ = on;
    setNeedsDisplay();
}

void UISwitch::endTracking(UITouch* touch, const UIEvent*) {
    if (!touch || !touchIsInside(*touch)) return;
    setOn(!on_, true);
    sendActions(UIControlEventValueChanged);
}

void UISwitch::draw(const CGRect&) {
    const CGRect b = bounds();
    const UIColor track =
        on_ ? onTintColor.value_or(UIColor(0.3, 0.85, 0.39, 1)) : UIColor(0.9, 0.9, 0.92, 1);
    track.setFill();
    UIBezierPath::roundedRect(b, b.size.height / 2).fill();
    const CGFloat d = b.size.height - 4;
    const CGRect thumb(on_ ? b.maxX() - 2 - d : b.minX() + 2, b.minY() + 2, d, d);
    thumbTintColor.value_or(UIColor::whiteColor()).setFill();
    UIBezierPath::ovalIn(thumb).fill();
}
