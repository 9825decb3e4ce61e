#include "Views/DottedVertical.h"

#include "uikit/graphics/UIGraphics.h"

DottedVertical::DottedVertical() : DottedVertical(CGRect::zero()) {}

DottedVertical::DottedVertical(const CGRect& frame) : UIView(frame) {}

void DottedVertical::draw(const CGRect&) {
    const CGFloat w = bounds().width(), h = bounds().height();
    UIBezierPath line;
    line.move({w * 0.5, 0});
    line.addLine({w * 0.5, h});
    line.lineWidth = w;
    line.setLineDash({h / 15, h / 15}, 0);
    dotColor.setStroke();
    line.stroke();
}
