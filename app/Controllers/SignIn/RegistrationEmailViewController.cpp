#include "Controllers/SignIn/RegistrationEmailViewController.h"

#include "Controllers/SignIn/EmailVerificationViewController.h"
#include "Controllers/SignIn/SignInText.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/BaseHTTPService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UIEvent.h"

const std::shared_ptr<UILabel>& RegistrationEmailViewController::descriptionLabel() {
    if (!descriptionLabel_) {
        descriptionLabel_ = SignInText::makeHeading(kDescription, 17);
        descriptionLabel_->setAccessibilityIdentifier("descriptionLabel");
    }
    return descriptionLabel_;
}

const std::shared_ptr<LFloatTextField>& RegistrationEmailViewController::emailTextField() {
    if (!emailTextField_) {
        emailTextField_ = std::make_shared<LFloatTextField>();
        emailTextField_->setTranslatesAutoresizingMaskIntoConstraints(false);
        emailTextField_->setAccessibilityIdentifier("emailTextField");
        emailTextField_->setPlaceholder(std::string("Email"));
        emailTextField_->keyboardType = UIKeyboardType::emailAddress;
        emailTextField_->textContentType = "emailAddress";
        emailTextField_->autocapitalizationType = UITextAutocapitalizationType::none;
        emailTextField_->returnKeyType = UIReturnKeyType::done;
        emailTextField_->setDelegate(this);
        emailTextField_->setBackgroundColor(UIColor::whiteColor());
        emailTextField_->layer()->cornerRadius = 5;
        emailTextField_->layer()->borderColor = UIColorPalette::separatorColor();
        emailTextField_->layer()->borderWidth = 0.5;
    }
    return emailTextField_;
}

const std::shared_ptr<GreenButton>& RegistrationEmailViewController::submitButton() {
    if (!submitButton_) {
        submitButton_ = std::make_shared<GreenButton>();
        submitButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        submitButton_->setTitle(std::string("Send"), UIControlStateNormal);
        submitButton_->addTarget(this, &RegistrationEmailViewController::onSubmit, UIControlEventTouchUpInside);
    }
    return submitButton_;
}

void RegistrationEmailViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    auto root = view();
    root->setBackgroundColor(UIColorPalette::backgroundColor());
    for (const auto& v : std::vector<UIViewPtr>{descriptionLabel(), emailTextField(), submitButton()})
        root->addSubview(v);
    auto margins = root->layoutMarginsGuide();
    NSLayoutConstraints constraints{
        descriptionLabel()->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 20),
        emailTextField()->topAnchor().constraintEqualTo(descriptionLabel()->bottomAnchor(), 20),
        submitButton()->topAnchor().constraintEqualTo(emailTextField()->bottomAnchor(), 20),
    };
    for (const auto& v : std::vector<UIViewPtr>{descriptionLabel(), emailTextField(), submitButton()}) {
        constraints.push_back(v->leadingAnchor().constraintEqualTo(margins->leadingAnchor(), 4));
        constraints.push_back(v->trailingAnchor().constraintEqualTo(margins->trailingAnchor(), -4));
    }
    NSLayoutConstraint::activate(constraints);
}

bool RegistrationEmailViewController::textFieldShouldReturn(UITextField* field) {
    field->resignFirstResponder();
    return true;
}

void RegistrationEmailViewController::onSubmit() {
    const auto email = emailTextField()->text();
    if (!email) return;
    showActivityOverlay(*this, true);
    JSON body = JSON(JSON::dictionary_t{});
    body.set("email", *email);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    BaseHTTPService("validate").post(
        "email", body,
        [weak, sent = *email](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
            auto self = weak.lock();
            if (!self) return;
            if (reply && reply->type() == JSON::Type::dictionary) {
                if (auto status = (*reply)["status"].string()) {
                    auto verification = std::make_shared<EmailVerificationViewController>();
                    verification->status = *status;
                    verification->email = sent;
                    self->show(verification, std::any(UIViewControllerPtr(self)));
                }
            }
            hideActivityOverlay(*self, true);
        },
        [weak](const BaseHTTPService::Task&, const NSError&) {
            auto self = weak.lock();
            if (!self) return;
            showMessage(*self, kSendFailed, GSMessageType::error);
            hideActivityOverlay(*self, true);
        });
}
