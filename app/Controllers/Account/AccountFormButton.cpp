#include "Controllers/Account/AccountFormButton.h"

#include "Extensions/UIColor+Palette.h"

std::shared_ptr<UIButton> makeAccountFormButton(const std::string& title) {
    auto button = std::make_shared<UIButton>(UIButtonType::custom);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    button->setTitle(title, UIControlStateNormal);
    if (auto font = UIFont::named("Avenir-Black", 18)) button->titleLabel()->setFont(*font);
    button->setTitleColor(UIColorWithHex("#FCFCFC", 1), UIControlStateNormal);
    button->setBackgroundColor(UIColorWithHex("#7EC5AC", 1));
    button->setContentEdgeInsets({10, 30, 10, 30});
    button->layer()->cornerRadius = 5;
    return button;
}
