#include "Views/CardViewSide.h"

CardViewSide::CardViewSide() : CardViewSide(CGRect::zero()) {}

CardViewSide::CardViewSide(const CGRect& frame) : UIView(frame) {}

void CardViewSide::layoutSubviews() {
    UIView::layoutSubviews();
    cw::detail::layoutCardFace(*this, shadowLayer_, cornerRadius_, fillColor);
}
