#include "Views/CardView.h"

CardView::CardView() : CardView(CGRect::zero()) {}

CardView::CardView(const CGRect& frame) : UIView(frame) {}

void CardView::setCornerRadius(CGFloat radius) {
    cornerRadius_ = radius;
    setNeedsLayout();
}

void CardView::layoutSubviews() {
    UIView::layoutSubviews();
    cw::detail::layoutCardFace(*this, shadowLayer_, cornerRadius_, fillColor);
}

void cw::detail::layoutCardFace(UIView& view, std::shared_ptr<CAShapeLayer>& face, CGFloat radius,
                                const UIColor& fill) {
    const UIBezierPath outline = UIBezierPath::roundedRect(view.bounds(), radius);
    if (face) {
        face->path = outline;
        face->shadowPath = outline;
        return;
    }
    // The layer keeps its empty frame at the view's origin: its outline, in the view's bounds
    // coordinates, draws unclipped.
    face = std::make_shared<CAShapeLayer>();
    face->path = outline;
    face->fillColor = fill;
    face->shadowColor = UIColor::blackColor();
    face->shadowPath = face->path;
    face->shadowOffset = {0, 1};
    face->shadowOpacity = 0.2f;
    face->shadowRadius = 3;
    // Beneath every other sublayer, so beneath all subviews.
    view.layer()->insertSublayer(face, 0);
}
