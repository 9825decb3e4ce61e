#include "Views/GreenButton.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIImage+Color.h"

GreenButton::GreenButton() : GreenButton(CGRect::zero()) {}

GreenButton::GreenButton(const CGRect& frame) : UIButton(frame) {
    style();
}

void GreenButton::awakeFromNib() {
    UIButton::awakeFromNib();
    style();
}

void GreenButton::style() {
    setBackgroundColor(UIColorPalette::defaultButtonFill());
    setContentEdgeInsets({12, 30, 12, 30});
    setClipsToBounds(true);
    layer()->cornerRadius = 4;
    setTranslatesAutoresizingMaskIntoConstraints(false);
    setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    setTitleColor(UIColor::whiteColor().withAlphaComponent(0.5), UIControlStateDisabled);
    // Each state's fill is a small stretched image, so the state's colour covers the whole button;
    // the view's own background ends as the last (disabled) colour.
    const std::pair<UIControlState, UIColor> fills[] = {
        {UIControlStateNormal, UIColorPalette::defaultButtonFill()},
        {UIControlStateHighlighted, UIColorWithHex("#43A87D", 1.0)},
        {UIControlStateDisabled, UIColorPalette::disabledButtonFill()},
    };
    for (const auto& [state, color] : fills) {
        setBackgroundImage(makeImageWithColorAndSize(color, {2, 2}), state);
        setBackgroundColor(color);
    }
    titleLabel()->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
}
