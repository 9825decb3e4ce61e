#include "KYFloatingActionButton/ButtonLayer.h"

ButtonLayer::ButtonLayer() {
    drawPlus();
    applyMask();
}

ButtonLayer::ButtonLayer(const UIColor& bg) {
    backgroundColor = bg;
    drawPlus();
    applyMask();
}

void ButtonLayer::setPlusColor(const UIColor& color) {
    plusColor_ = color;
    strokeColor = color;
}

void ButtonLayer::setFrame(const CGRect& frame) {
    CAShapeLayer::setFrame(frame);
    drawPlus();
    applyMask();
}

void ButtonLayer::drawPlus() {
    const CGRect f = frame();
    UIBezierPath plus;
    plus.move({f.midX(), 15});
    plus.addLine({f.midX(), f.maxY() - 15});
    plus.move({15, f.midY()});
    plus.addLine({f.maxX() - 15, f.midY()});
    lineWidth = 3.0;
    lineCap = CALineCap::round;
    strokeColor = plusColor_;
    path = plus;
}

void ButtonLayer::applyMask() {
    const CGRect f = frame();
    auto round = std::make_shared<CAShapeLayer>();
    round->path = UIBezierPath::roundedRect(CGRect(0, 0, f.width(), f.height()), f.width());
    round->fillColor = UIColor::blackColor();
    mask = round;
}
