#include "Views/BottomBorderView.h"

#include "Extensions/UIColor+Palette.h"

BottomBorderView::BottomBorderView() : BottomBorderView(CGRect::zero()) {}

BottomBorderView::BottomBorderView(const CGRect& frame)
    : UIView(frame), borderColor_(UIColorPalette::bottomBorderBlue()) {
    bottomBorder_->backgroundColor = UIColorPalette::bottomBorderBlue();
    layer()->addSublayer(bottomBorder_);
}

void BottomBorderView::setBorderColor(const UIColor& color) {
    borderColor_ = color;
    bottomBorder_->backgroundColor = color;
}

void BottomBorderView::layoutSubviews() {
    UIView::layoutSubviews();
    updateBorderFrame(showing_);
}

void BottomBorderView::animateBorder(bool showing) {
    UIView::animate(0.18, [this, showing] { updateBorderFrame(showing); });
}

void BottomBorderView::updateBorderFrame(bool showing) {
    showing_ = showing;
    const CGRect f = frame();
    bottomBorder_->setFrame(CGRect(0, f.height() - 1, f.width(), showing ? 1 : 0));
}
