#include "Controllers/SignIn/RegistrationWithInvitation.h"

RegistrationWithInvitation::RegistrationWithInvitation() : PlaceholderViewController("Create Account") {}

void RegistrationWithInvitation::viewDidLoad() {
    PlaceholderViewController::viewDidLoad();
    auto root = view();

    memberLabel = std::make_shared<UILabel>();
    if (userData) memberLabel->setText(userData->fullName() + "\n" + userData->email());
    memberLabel->setNumberOfLines(0);
    memberLabel->setTextAlignment(NSTextAlignment::center);
    memberLabel->setAccessibilityIdentifier("memberLabel");
    memberLabel->setTranslatesAutoresizingMaskIntoConstraints(false);

    passwordTextField = std::make_shared<UITextField>();
    passwordTextField->setPlaceholder(std::string("Password"));
    passwordTextField->isSecureTextEntry = true;
    passwordTextField->setBorderStyle(UITextBorderStyle::roundedRect);
    passwordTextField->setAccessibilityIdentifier("passwordTextField");
    passwordTextField->setTranslatesAutoresizingMaskIntoConstraints(false);

    saveButton = std::make_shared<UIButton>(UIButtonType::system);
    saveButton->setTitle("Continue", UIControlStateNormal);
    saveButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    saveButton->addTarget(this, &RegistrationWithInvitation::createAccountTapped, UIControlEventTouchUpInside);

    for (const auto& v : std::vector<UIViewPtr>{memberLabel, passwordTextField, saveButton})
        root->addSubview(v);
    NSLayoutConstraint::activate({
        memberLabel->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 72),
        memberLabel->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 32),
        memberLabel->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -32),
        passwordTextField->topAnchor().constraintEqualTo(memberLabel->bottomAnchor(), 16),
        passwordTextField->leadingAnchor().constraintEqualTo(memberLabel->leadingAnchor()),
        passwordTextField->trailingAnchor().constraintEqualTo(memberLabel->trailingAnchor()),
        passwordTextField->heightAnchor().constraintEqualToConstant(44),
        saveButton->topAnchor().constraintEqualTo(passwordTextField->bottomAnchor(), 16),
        saveButton->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
    });
}

void RegistrationWithInvitation::createAccountTapped() {
    if (!userData) return;
    if (auto d = delegate.lock())
        d->registrationViewController(*this, userData, passwordTextField->text().value_or(""));
}
