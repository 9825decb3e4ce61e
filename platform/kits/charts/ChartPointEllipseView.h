#pragma once

// A round marker centred on a point: filled, with a border, growing from a tenth of its size to
// its full size over `animDuration` (after `animDelay`) once it is put on screen. The fill is the
// oval inset by the border's width; the border shows as a ring half its width wide round it, so
// the outermost half border of the frame stays clear.

#include "uikit/view/UIView.h"

class ChartPointEllipseView : public UIView {
public:
    ChartPointEllipseView(CGPoint center, CGFloat diameter);
    ChartPointEllipseView(CGPoint center, CGSize size);
    std::string className() const override { return "ChartPointEllipseView"; }

    UIColor fillColor = UIColor::grayColor();
    UIColor borderColor = UIColor::blackColor();
    CGFloat borderWidth = 0;
    double animDelay = 0;
    double animDuration = 0;

    void draw(const CGRect& rect) override;
    void didMoveToSuperview() override;

private:
    bool appeared_ = false;
};
