#include "Views/BlackButton.h"

#include "Extensions/UIColor+Palette.h"

BlackButton::BlackButton()
    : UIButton(CGRect::zero()), colorTop_(UIColorWithHex("#0000AA", 1.0)),
      colorBottom_(UIColorWithHex("#000000", 1.0)) {
    setBackgroundColor(UIColorWithHex("#000000", 1.0));
    auto gradient = std::make_shared<CAGradientLayer>();
    gradient->colors = {colorTop_, colorBottom_};
    gradient->locations = {0.0, 1.0};
    gradient->setFrame(bounds());
    layer()->insertSublayer(gradient, 0);
    setContentEdgeInsets({10, 30, 10, 30});
    layer()->cornerRadius = 2;
    setTranslatesAutoresizingMaskIntoConstraints(false);
    if (auto font = UIFont::named("Avenir-Black", 22)) titleLabel()->setFont(*font);
    titleLabel()->setTextColor(UIColorWithHex("#FFFFFF", 1.0));
}
