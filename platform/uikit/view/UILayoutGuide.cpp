#include "uikit/view/UILayoutGuide.h"

#include "uikit/view/UIView.h"

void UILayoutGuide::setOwningView(UIView* view) {
    owningView_ = cw::EarlyWeakPtr<UIView>(view);
}

std::shared_ptr<UIView> UILayoutGuide::owningView() const {
    return owningView_.lockOrBorrow();
}

void UILayoutGuide::setLength(CGFloat length) {
    if (length == length_) return;
    length_ = length;
    if (UIView* v = owningView_.get()) {
        v->engineInputsChanged();
        v->setNeedsLayout();
    }
}

UIView* UILayoutGuide::layoutOwningView() {
    return owningView_.get();
}

UILayoutGuide::Edges UILayoutGuide::derivedEdges() const {
    Edges e;
    const UIView* v = owningView_.get();
    if (!v) return e;
    switch (kind_) {
    case Kind::custom:
        break;
    case Kind::layoutMargins:
    case Kind::safeArea: {
        const UIEdgeInsets i = kind_ == Kind::layoutMargins ? v->marginsFromBounds() : v->safeAreaInsets();
        e.left = i.left;
        e.right = -i.right;
        e.top = i.top;
        e.bottom = -i.bottom;
        break;
    }
    case Kind::topLayoutGuide:
        e.bottomFrom = 0;
        e.bottom = length_;
        break;
    case Kind::bottomLayoutGuide:
        e.topFrom = 1;
        e.top = -length_;
        break;
    }
    return e;
}

CGRect UILayoutGuide::layoutFrame() const {
    if (kind_ == Kind::custom) return solvedFrame_;
    const UIView* v = owningView_.get();
    if (!v) return {};
    const CGRect b = v->bounds();
    const Edges e = derivedEdges();
    const CGFloat w = b.size.width, h = b.size.height;
    const CGFloat x0 = e.leftFrom * w + e.left, x1 = e.rightFrom * w + e.right;
    const CGFloat y0 = e.topFrom * h + e.top, y1 = e.bottomFrom * h + e.bottom;
    return {b.origin.x + x0, b.origin.y + y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0)};
}

std::string UILayoutGuide::layoutDescription() const {
    std::string owner;
    if (const UIView* v = owningView_.get()) owner = " of " + v->layoutDescription();
    return "UILayoutGuide:" + (identifier_.empty() ? std::string("guide") : identifier_) + owner;
}
