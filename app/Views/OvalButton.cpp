#include "Views/OvalButton.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+Extensions.h"

namespace {

constexpr CGFloat kOvalCornerRadius = 24;

} // namespace

OvalButton::OvalButton() : OvalButton(CGRect::zero()) {}

OvalButton::OvalButton(const CGRect& frame) : UIButton(frame) {
    setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    roundCorners(*this, UIRectCornerAllCorners, kOvalCornerRadius);
    roundedFor_ = bounds().size;
    setBackgroundColor(UIColorPalette::mainColor1());
    setNeedsLayout();
}

void OvalButton::layoutSubviews() {
    UIButton::layoutSubviews();
    if (bounds().size == roundedFor_) return;
    roundCorners(*this, UIRectCornerAllCorners, kOvalCornerRadius);
    roundedFor_ = bounds().size;
}

void OvalButton::updateWithBackgroundColor(const UIColor& color) {
    setBackgroundColor(color);
}

void OvalButton::updateWithTitleColor(const UIColor& color) {
    setTitleColor(color, UIControlStateNormal);
}

std::shared_ptr<OvalButton> makeOvalButton(const std::string& title, const std::string& identifier, CGSize size) {
    auto button = std::make_shared<OvalButton>(CGRect{{0, 0}, size});
    button->setTitle(title, UIControlStateNormal);
    button->setAccessibilityIdentifier(identifier);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setSize(*button, size);
    return button;
}
