#include "Controllers/Account/FAQViewController.h"

#include "Extensions/UIFont+Avenir.h"
#include "uikit/view/UILabel.h"

void FAQViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("FAQ"));
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    auto label = std::make_shared<UILabel>();
    label->setText(std::string("Coming soon"));
    label->setFont(cw::avenirFont(18));
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(label);
    NSLayoutConstraint::activate({
        label->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 10),
        label->leftAnchor().constraintEqualTo(root->leftAnchor(), 10),
    });
}
