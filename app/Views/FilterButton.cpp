#include "Views/FilterButton.h"

#include "Extensions/UIColor+Palette.h"

FilterButton::FilterButton() : UIButton(CGRect::zero()) {
    setTitleEdgeInsets({5, 10, 5, 10});
    setClipsToBounds(true);
    layer()->cornerRadius = 7.5;
    titleLabel()->setAdjustsFontSizeToFitWidth(true);
    layer()->borderColor = UIColorWithHex("#81C7B1", 1.0);
    setTitleColor(UIColor::whiteColor(), UIControlStateFocused);
    setTitleColor(UIColor::whiteColor(), UIControlStateHighlighted);
    setTitleColor(UIColor::whiteColor(), UIControlStateSelected);
    setTitleColor(UIColorWithHex("#7EC2AD", 1.0), UIControlStateNormal);
    layer()->borderWidth = 0.5;
}

void FilterButton::setSelected(bool selected) {
    UIButton::setSelected(selected);
    setBackgroundColor(isSelected() ? UIColorWithHex("#7EC2AD", 1.0) : UIColor::whiteColor());
}
