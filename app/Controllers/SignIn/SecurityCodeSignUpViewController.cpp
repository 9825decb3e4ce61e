#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"

#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/InviteService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/UILabel.h"

namespace {

constexpr const char* kSecurityCodeDescription =
    "Type the e-mail address your invitation was sent to and the security code in it.";

} // namespace

void SecurityCodeSignUpViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    auto description = SignInForm::makeDescription(kSecurityCodeDescription);

    inviterNameTextField = SignInForm::makeField("Email", "inviterNameTextField");
    inviterNameTextField->keyboardType = UIKeyboardType::emailAddress;
    inviterNameTextField->returnKeyType = UIReturnKeyType::next;
    securityCodeTextField = SignInForm::makeField("Security Code", "securityCodeTextField");
    securityCodeTextField->keyboardType = UIKeyboardType::numberPad;
    securityCodeTextField->returnKeyType = UIReturnKeyType::done;

    saveButton = SignInForm::makeButton("Submit", "saveButton");

    for (const auto& v : std::vector<UIViewPtr>{description, inviterNameTextField, securityCodeTextField, saveButton})
        root->addSubview(v);
    for (const auto& v : std::vector<UIViewPtr>{description, inviterNameTextField, securityCodeTextField})
        lyt_layoutHorizontalWithMargin(*v, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*saveButton);
    NSLayoutConstraint::activate({
        description->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 40),
        inviterNameTextField->topAnchor().constraintEqualTo(description->bottomAnchor(), 32),
        securityCodeTextField->topAnchor().constraintEqualTo(inviterNameTextField->bottomAnchor(), 16),
        saveButton->topAnchor().constraintEqualTo(securityCodeTextField->bottomAnchor(), 32),
    });
}

void SecurityCodeSignUpViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("Sign Up"));
    saveButton->addTarget(this, &SecurityCodeSignUpViewController::onSubmit, UIControlEventTouchUpInside);
    inviterNameTextField->setDelegate(this);
    securityCodeTextField->setDelegate(this);
    view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        [weak = weak_from_this()](UIGestureRecognizer&) {
            if (auto self = std::static_pointer_cast<SecurityCodeSignUpViewController>(weak.lock()))
                self->dismissKeyboard();
        }));
    keyboardShift_ = KeyboardShift::observe(*this, kKeyboardShift);
}

void SecurityCodeSignUpViewController::viewWillAppear(bool animated) {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
    UIViewController::viewWillAppear(animated);
}

void SecurityCodeSignUpViewController::dismissKeyboard() {
    view()->endEditing(true);
}

bool SecurityCodeSignUpViewController::textFieldShouldReturn(UITextField* field) {
    if (field == inviterNameTextField.get())
        securityCodeTextField->becomeFirstResponder();
    else
        field->resignFirstResponder();
    return true;
}

void SecurityCodeSignUpViewController::onSubmit() {
    const auto code = securityCodeTextField->text();
    const auto email = inviterNameTextField->text();
    if (!code || code->empty() || !email || email->empty()) {
        showMessage(*this, kMissingFields, GSMessageType::error);
        return;
    }
    view()->endEditing(true);
    saveButton->setEnabled(false);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    InviteService().check(
        *email, *code,
        [weak](const std::shared_ptr<UserData>& user) {
            auto self = std::static_pointer_cast<SecurityCodeSignUpViewController>(weak.lock());
            if (!self) return;
            auto form = instantiateViewController<RegistrationWithInvitation>(*UIStoryboard::named("SignInSignUp"));
            form->userData = user;
            self->show(form, std::any(UIViewControllerPtr(self)));
            self->saveButton->setEnabled(true);
        },
        [weak](const BaseHTTPService::Task&, const NSError&) {
            auto self = std::static_pointer_cast<SecurityCodeSignUpViewController>(weak.lock());
            if (!self) return;
            showMessage(*self, kInvitationFailed, GSMessageType::error);
            self->saveButton->setEnabled(true);
        });
}
