#include "Views/HeaderLabel.h"

#include "Extensions/UIColor+Palette.h"

HeaderLabel::HeaderLabel() : UILabel(CGRect::zero()) {
    setBackgroundColor(UIColorWithHex("#A3DBC6", 1));
    if (auto font = UIFont::named("Avenir-Medium", 20)) setFont(*font);
    setTextColor(UIColor::whiteColor());
}

void HeaderLabel::setTextInsets(const UIEdgeInsets& insets) {
    textInsets_ = insets;
    invalidateIntrinsicContentSize();
}

CGRect HeaderLabel::textRect(const CGRect& bounds, long numberOfLines) const {
    const UIEdgeInsets i = textInsets_;
    const CGRect inset(bounds.minX() + i.left, bounds.minY() + i.top, bounds.width() - i.left - i.right,
                       bounds.height() - i.top - i.bottom);
    const CGRect r = UILabel::textRect(inset, numberOfLines);
    return CGRect(r.minX() - i.left, r.minY() - i.top, r.width() + i.left + i.right,
                  r.height() + i.top + i.bottom);
}

void HeaderLabel::drawText(const CGRect& rect) {
    const UIEdgeInsets i = textInsets_;
    UILabel::drawText(CGRect(rect.minX() + i.left, rect.minY() + i.top, rect.width() - i.left - i.right,
                             rect.height() - i.top - i.bottom));
}
