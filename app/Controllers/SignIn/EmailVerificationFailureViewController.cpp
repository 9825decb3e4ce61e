#include "Controllers/SignIn/EmailVerificationFailureViewController.h"

#include "Controllers/SignIn/RegistrationEmailViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIView+Autolayout.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIEvent.h"

const std::shared_ptr<UILabel>& EmailVerificationFailureViewController::infoLabel() {
    if (!infoLabel_) {
        infoLabel_ = std::make_shared<UILabel>();
        infoLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
        infoLabel_->setAccessibilityIdentifier("infoLabel");
        infoLabel_->setText(std::string(kInfo));
        infoLabel_->setFont(cw::avenirFont(17));
        infoLabel_->setNumberOfLines(0);
    }
    return infoLabel_;
}

const std::shared_ptr<GreenButton>& EmailVerificationFailureViewController::resendButton() {
    if (!resendButton_) {
        resendButton_ = std::make_shared<GreenButton>();
        resendButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        resendButton_->setTitle(std::string("Resend Verification Code"), UIControlStateNormal);
        resendButton_->addTarget(this, &EmailVerificationFailureViewController::onResendVerificationCode,
                                 UIControlEventTouchUpInside);
    }
    return resendButton_;
}

const std::shared_ptr<GoldenButton>& EmailVerificationFailureViewController::changeEmailButton() {
    if (!changeEmailButton_) {
        changeEmailButton_ = std::make_shared<GoldenButton>();
        changeEmailButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        changeEmailButton_->setTitle(std::string("New Email Address"), UIControlStateNormal);
        changeEmailButton_->addTarget(this, &EmailVerificationFailureViewController::onChangeEmail,
                                      UIControlEventTouchUpInside);
    }
    return changeEmailButton_;
}

void EmailVerificationFailureViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    prepareView();
}

void EmailVerificationFailureViewController::prepareView() {
    auto root = view();
    root->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));
    for (const auto& v : std::vector<UIViewPtr>{infoLabel(), resendButton(), changeEmailButton()})
        root->addSubview(v);
    NSLayoutConstraints constraints{
        infoLabel()->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 20),
        resendButton()->topAnchor().constraintEqualTo(infoLabel()->bottomAnchor(), 20),
        changeEmailButton()->topAnchor().constraintEqualTo(resendButton()->bottomAnchor(), 12),
    };
    for (const auto& v : std::vector<UIViewPtr>{infoLabel(), resendButton(), changeEmailButton()}) {
        constraints.push_back(v->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20));
        constraints.push_back(v->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20));
    }
    NSLayoutConstraint::activate(constraints);
}

void EmailVerificationFailureViewController::onResendVerificationCode() {
    returnToEmailScreen(false);
}

void EmailVerificationFailureViewController::onChangeEmail() {
    returnToEmailScreen(true);
}

void EmailVerificationFailureViewController::returnToEmailScreen(bool clearAddress) {
    auto navigation = navigationController();
    if (!navigation) return;
    std::shared_ptr<RegistrationEmailViewController> target;
    for (const auto& screen : navigation->viewControllers())
        if (auto emailScreen = std::dynamic_pointer_cast<RegistrationEmailViewController>(screen)) target = emailScreen;
    if (!target) return;
    if (clearAddress) target->emailTextField()->setText(std::nullopt);
    navigation->popToViewController(target, true);
}
