#include "Controllers/SignIn/NewBabyViewController.h"

NewBabyViewController::NewBabyViewController() : PlaceholderViewController("Baby Details") {}

void NewBabyViewController::viewDidLoad() {
    PlaceholderViewController::viewDidLoad();
    auto root = view();

    nameLabel = std::make_shared<UILabel>();
    if (babyData) nameLabel->setText(babyData->fullName());
    nameLabel->setFont(UIFont::systemFont(18, UIFont::Weight::medium));
    nameLabel->setAccessibilityIdentifier("nameLabel");
    nameLabel->setTranslatesAutoresizingMaskIntoConstraints(false);

    submitButton = std::make_shared<UIButton>(UIButtonType::system);
    submitButton->setTitle("Submit", UIControlStateNormal);
    submitButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    submitButton->addTarget(this, &NewBabyViewController::submitTapped, UIControlEventTouchUpInside);

    root->addSubview(nameLabel);
    root->addSubview(submitButton);
    NSLayoutConstraint::activate({
        nameLabel->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 72),
        nameLabel->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
        submitButton->topAnchor().constraintEqualTo(nameLabel->bottomAnchor(), 16),
        submitButton->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
    });
}

void NewBabyViewController::submitTapped() {
    if (!babyData) return;
    if (auto d = delegate.lock()) d->newBabyViewController(*this, babyData);
}
