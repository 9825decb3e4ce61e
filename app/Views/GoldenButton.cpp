#include "Views/GoldenButton.h"

#include "Extensions/UIColor+Palette.h"

GoldenButton::GoldenButton()
    : UIButton(CGRect::zero()), colorTop_(UIColorWithHex("#D4CA5E", 1.0)),
      colorBottom_(UIColorWithHex("#D4C229", 1.0)) {
    setBackgroundColor(UIColorWithHex("#D4CA5E", 1.0));
    layer()->cornerRadius = 4;
    setContentEdgeInsets({12, 30, 12, 30});
    titleLabel()->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
    setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    setTranslatesAutoresizingMaskIntoConstraints(false);
}

void GoldenButton::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    const bool pressed = isHighlighted();
    setBackgroundColor(UIColorWithHex(pressed ? "#C6AF28" : "#D4CA5E", 1.0));
    titleLabel()->setTextColor(UIColorWithHex(pressed ? "#E4EAE7" : "#FCFCFC", 1.0));
}
