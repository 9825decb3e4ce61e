#include "Controllers/SignIn/PasswordResetViewController.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/MemberService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIEvent.h"

#include <iostream>

namespace {

constexpr const char* kResetDescription =
    "Type the e-mail address you sign in with. We will send you a temporary password to sign in "
    "with, which you can then change under My Account.";

std::optional<std::string> messageOf(const JSON::dictionary_t& object) {
    auto message = object.find("message");
    if (message == object.end()) return std::nullopt;
    return message->second.string();
}

} // namespace

void PasswordResetViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    descriptionLabel = SignInForm::makeDescription(kResetDescription);

    emailTextField = SignInForm::makeField("Email", "emailTextField");
    emailTextField->keyboardType = UIKeyboardType::emailAddress;
    emailTextField->returnKeyType = UIReturnKeyType::done;
    emailTextField->setDelegate(this);

    resetPasswordButton = SignInForm::makeButton("Reset", "resetPasswordButton");
    resetPasswordButton->addTarget(this, &PasswordResetViewController::resetPasswordTapped,
                                   UIControlEventTouchUpInside);

    for (const auto& v : std::vector<UIViewPtr>{descriptionLabel, emailTextField, resetPasswordButton})
        root->addSubview(v);
    lyt_layoutHorizontalWithMargin(*descriptionLabel, SignInForm::kMargin);
    lyt_layoutHorizontalWithMargin(*emailTextField, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*resetPasswordButton);
    NSLayoutConstraint::activate({
        descriptionLabel->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 40),
        emailTextField->topAnchor().constraintEqualTo(descriptionLabel->bottomAnchor(), 32),
        resetPasswordButton->topAnchor().constraintEqualTo(emailTextField->bottomAnchor(), 32),
    });
}

void PasswordResetViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("Reset Password"));
    descriptionLabel->setTextColor(UIColorPalette::contentColor1());
    view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        [weak = weak_from_this()](UIGestureRecognizer&) {
            if (auto self = std::static_pointer_cast<PasswordResetViewController>(weak.lock()))
                self->dismissKeyboard();
        }));
    keyboardShift_ = KeyboardShift::observe(*this, kKeyboardShift);
}

void PasswordResetViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void PasswordResetViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    resetPasswordButton->setEnabled(false);
    resetPasswordButton->setAlpha(0.5);
}

bool PasswordResetViewController::textFieldShouldBeginEditing(UITextField*) {
    resetPasswordButton->setEnabled(true);
    resetPasswordButton->setAlpha(1.0);
    return true;
}

bool PasswordResetViewController::textFieldShouldReturn(UITextField* field) {
    if (field == emailTextField.get()) field->resignFirstResponder();
    return true;
}

void PasswordResetViewController::dismissPasswordView() {
    if (auto navigation = navigationController()) navigation->popViewController(true);
}

void PasswordResetViewController::dismissKeyboard() {
    view()->endEditing(true);
}

void PasswordResetViewController::dismissPicker() {
    emailTextField->resignFirstResponder();
}

void PasswordResetViewController::resetPasswordTapped() {
    const auto email = emailTextField->text();
    if (!email || email->empty()) {
        showMessage(*this, kEmailFieldEmpty, GSMessageType::error);
        return;
    }
    std::weak_ptr<UIViewController> weak = weak_from_this();
    MemberService("member/password/reset")
        .resetPassword(
            *email,
            [weak, email = *email](const JSON& reply) {
                auto self = std::static_pointer_cast<PasswordResetViewController>(weak.lock());
                if (!self) return;
                // A reply without its message changes nothing: the member may try again.
                auto message = reply["message"].string();
                if (!message) return;
                if (auto d = self->delegate.lock()) d->passwordSuccessfullReset(*message);
                AnalyticsService().send(kScreenName, rawValue(ScreenAction::ServerRequest),
                                        {{"passwordResetSuccess", JSON("User password reset successful")},
                                         {"passwordResetEmail", JSON(email)}});
                self->dismissPasswordView();
            },
            [weak, email = *email](const RequestError& error) {
                auto self = std::static_pointer_cast<PasswordResetViewController>(weak.lock());
                if (!self) return;
                const bool replied = error.kind() == RequestError::Kind::erroResponse;
                std::cout << "Password reset failed: "
                          << (replied ? JSON(error.object()).serialize() : std::string(error.what()))
                          << std::endl;
                AnalyticsService().send(kScreenName, rawValue(ScreenAction::ServerRequest),
                                        {{"passwordResetFailure", JSON("User password reset failed")},
                                         {"passwordResetEmail", JSON(email)}});
                if (!replied) {
                    showMessage(*self, kErrorOccured, GSMessageType::error);
                    return;
                }
                showMessage(*self, messageOf(error.object()).value_or(SignInMessages::kUnexpectedError),
                            GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
            });
}
