#include "Controllers/SignIn/LoginViewController.h"

#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+Extensions.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/KeychainConfiguration.h"
#include "Services/KeychainPasswordItem.h"
#include "Services/SignInService.h"
#include "Services/TouchIDAuth.h"
#include "foundation/defaults/UserDefaults.h"
#include "kits/banners/GSMessage.h"
#include "net/AFURLResponseSerialization.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIImage.h"

#include <iostream>

namespace {

const CGSize kTouchIDButtonSize{44, 44};

std::shared_ptr<UIButton> makeTextButton(const std::string& title, const std::string& identifier) {
    auto button = std::make_shared<UIButton>(UIButtonType::system);
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(UIColorPalette::cwy_mountainMeadow(), UIControlStateNormal);
    button->setAccessibilityIdentifier(identifier);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    return button;
}

KeychainPasswordItem passwordItem(const std::string& email) {
    return KeychainPasswordItem(KeychainConfiguration::serviceName, email, KeychainConfiguration::accessGroup);
}

} // namespace

LoginViewController::LoginViewController() = default;

void LoginViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    auto logo = std::make_shared<UIImageView>(UIImage::named("cwy_menulogo"));
    logo->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto heading = std::make_shared<UILabel>();
    heading->setText(std::string("Log In"));
    heading->setFont(UIFont::systemFont(24, UIFont::Weight::semibold));
    heading->setTextColor(UIColorPalette::textColor());
    heading->setTranslatesAutoresizingMaskIntoConstraints(false);

    emailTextField = SignInForm::makeField("Email", "emailTextField");
    emailTextField->keyboardType = UIKeyboardType::emailAddress;
    emailTextField->returnKeyType = UIReturnKeyType::next;
    emailTextField->textContentType = "username";
    passwordField = SignInForm::makeField("Password", "passwordField");
    passwordField->isSecureTextEntry = true;
    passwordField->returnKeyType = UIReturnKeyType::done;
    passwordField->textContentType = "password";

    forgotPassword = makeTextButton("Forgot Password?", "forgotPassword");
    createAccountButton = makeTextButton("Create Account", "createAccountButton");

    loginButton = std::make_shared<UIButton>(UIButtonType::custom);
    loginButton->setFrame({{0, 0}, SignInForm::kButtonSize});
    loginButton->setTitle("Sign In", UIControlStateNormal);
    loginButton->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    loginButton->setAccessibilityIdentifier("loginButton");
    loginButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setSize(*loginButton, SignInForm::kButtonSize);

    biometricLoginButton = std::make_shared<UIButton>(UIButtonType::custom);
    biometricLoginButton->setFrame({{0, 0}, kTouchIDButtonSize});
    biometricLoginButton->setAccessibilityIdentifier("biometricLoginButton");
    biometricLoginButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setSize(*biometricLoginButton, kTouchIDButtonSize);

    touchIDSwitch = std::make_shared<UISwitch>();
    touchIDSwitch->onTintColor = UIColorPalette::mainColor1();
    touchIDSwitch->setAccessibilityIdentifier("touchIDSwitch");
    touchIDSwitch->setTranslatesAutoresizingMaskIntoConstraints(false);
    touchIDSwitch->addTarget(this, &LoginViewController::switchChanged, UIControlEventValueChanged);
    auto touchIDLabel = std::make_shared<UILabel>();
    touchIDLabel->setText(std::string("Use Touch ID"));
    touchIDLabel->setFont(UIFont::systemFont(15));
    touchIDLabel->setTextColor(UIColorPalette::contentColor1());
    touchIDLabel->setTranslatesAutoresizingMaskIntoConstraints(false);

    for (const auto& v : std::vector<UIViewPtr>{logo, heading, emailTextField, passwordField, forgotPassword, loginButton,
                                                biometricLoginButton, touchIDSwitch, touchIDLabel, createAccountButton})
        root->addSubview(v);
    lyt_horizontalCenterInSuperView(*logo);
    lyt_horizontalCenterInSuperView(*heading);
    lyt_layoutHorizontalWithMargin(*emailTextField, SignInForm::kMargin);
    lyt_layoutHorizontalWithMargin(*passwordField, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*loginButton);
    lyt_horizontalCenterInSuperView(*createAccountButton);
    NSLayoutConstraint::activate({
        logo->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 36),
        heading->topAnchor().constraintEqualTo(logo->bottomAnchor(), 20),
        emailTextField->topAnchor().constraintEqualTo(heading->bottomAnchor(), 20),
        passwordField->topAnchor().constraintEqualTo(emailTextField->bottomAnchor(), 12),
        forgotPassword->topAnchor().constraintEqualTo(passwordField->bottomAnchor(), 4),
        forgotPassword->trailingAnchor().constraintEqualTo(passwordField->trailingAnchor()),
        loginButton->topAnchor().constraintEqualTo(forgotPassword->bottomAnchor(), 16),
        // The switch and its label sit side by side under the button, the fingerprint beside them.
        touchIDSwitch->topAnchor().constraintEqualTo(loginButton->bottomAnchor(), 24),
        touchIDSwitch->leadingAnchor().constraintEqualTo(loginButton->leadingAnchor()),
        touchIDLabel->centerYAnchor().constraintEqualTo(touchIDSwitch->centerYAnchor()),
        touchIDLabel->leadingAnchor().constraintEqualTo(touchIDSwitch->trailingAnchor(), 10),
        biometricLoginButton->centerYAnchor().constraintEqualTo(touchIDSwitch->centerYAnchor()),
        biometricLoginButton->trailingAnchor().constraintEqualTo(loginButton->trailingAnchor()),
        createAccountButton->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor(), -20),
    });
}

void LoginViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("Log In"));

    biometricLoginButton->setHidden(true);
    LAContext context;
    if (context.canEvaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics) &&
        context.biometryType() == LABiometryType::touchID) {
        biometricLoginButton->setHidden(false);
        biometricLoginButton->setImage(UIImage::named("touchid-re"), UIControlStateNormal);
        biometricLoginButton->addTarget(this, &LoginViewController::tryTouchID, UIControlEventTouchUpInside);
        tryTouchID();
    }

    loginButton->addTarget(this, &LoginViewController::signInTapped, UIControlEventTouchUpInside);
    forgotPassword->addTarget(this, &LoginViewController::forgotPasswordTapped, UIControlEventTouchUpInside);
    createAccountButton->addTarget(this, &LoginViewController::signUpTapped, UIControlEventTouchUpInside);

    loginButton->setBackgroundColor(UIColorPalette::mainColor1());
    roundCorners(*loginButton, UIRectCornerAllCorners, 24);

    emailTextField->setDelegate(this);
    passwordField->setDelegate(this);
    touchIDSwitch->setOn(UserDefaults::standard().boolForKey(kTouchIDKey));

    view()->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weak = weak_from_this()](UIGestureRecognizer&) {
        if (auto self = std::static_pointer_cast<LoginViewController>(weak.lock())) self->dismissKeyboard();
    }));
    std::weak_ptr<UITextField> password = passwordField;
    keyboardShift_ = KeyboardShift::observe(*this, kKeyboardShift, [password] {
        auto field = password.lock();
        return field && field->isEditing();
    });
}

void LoginViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void LoginViewController::dismissKeyboard() {
    view()->endEditing(true);
}

bool LoginViewController::textFieldShouldReturn(UITextField* field) {
    if (field == emailTextField.get())
        passwordField->becomeFirstResponder();
    else
        field->resignFirstResponder();
    return true;
}

void LoginViewController::textFieldDidBeginEditing(UITextField*) {
    if (keyboardShift_) keyboardShift_->update();
}

void LoginViewController::textFieldDidEndEditing(UITextField*) {
    if (keyboardShift_) keyboardShift_->update();
}

void LoginViewController::signInTapped() {
    const std::string email = emailTextField->text().value_or("");
    const std::string password = passwordField->text().value_or("");
    if (email.empty() || password.empty()) {
        showMessage(*this, kEnterCredentials, GSMessageType::error);
        return;
    }
    startFullScreenLoadingOverlay(*this);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    SignInService().signin(
        email, password, weak,
        [weak, email, password](const SignInService::Task&, const std::optional<JSON>& reply) {
            auto self = std::static_pointer_cast<LoginViewController>(weak.lock());
            if (self) stopFullScreenLoadingOverlay(*self);
            // A success that starts no session is a failure to the member, and nothing of it is
            // kept: neither the reply's pieces nor what Touch ID would sign in with.
            if (!AuthenticationContext::holdsSession(reply)) {
                if (self) showMessage(*self, SignInMessages::kUnexpectedError, GSMessageType::error);
                return;
            }
            AuthenticationContext::shared().login(reply);
            AuthenticationContext::rememberMember(email, password);
            if (self) {
                self->emailTextField->setText(std::string());
                self->passwordField->setText(std::string());
            }
        },
        [weak](const SignInService::Task&, const NSError& error) {
            auto self = std::static_pointer_cast<LoginViewController>(weak.lock());
            if (!self) return;
            stopFullScreenLoadingOverlay(*self);
            self->showSignInFailure(error);
        });
}

void LoginViewController::showSignInFailure(const NSError& error) {
    // No reply to read (no connection, a time-out): the member must still learn that it failed.
    const Data* body = cw::failingResponseData(error);
    if (!body) {
        showMessage(*this, SignInMessages::kUnexpectedError, GSMessageType::error);
        return;
    }
    const auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
    if (!parsed) {
        std::cout << parsed.error().localizedDescription() << std::endl;
        showMessage(*this, kServerErrorNotJSON, GSMessageType::warning);
        return;
    }
    if (!parsed.value().dictionary()) {
        showMessage(*this, kServerErrorNotObject, GSMessageType::warning);
        return;
    }
    if (auto status = parsed.value()["status"].string()) {
        showMessage(*this, *status, GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
        return;
    }
    showMessage(*this, SignInMessages::kUnexpectedError, GSMessageType::error);
}

void LoginViewController::tryTouchID() {
    auto& defaults = UserDefaults::standard();
    const auto username = defaults.stringForKey(AuthenticationContext::kUsernameKey);
    if (!defaults.boolForKey(kTouchIDKey) || !username) return;
    TouchIDAuth auth;
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auth.authenticateUser([weak, username = *username](std::optional<std::string> message) {
        if (message) {
            std::cout << *message << std::endl;
            return;
        }
        if (auto self = std::static_pointer_cast<LoginViewController>(weak.lock()))
            self->biometricsDidSucceedWithUsername(username);
    });
}

void LoginViewController::biometricsDidSucceedWithUsername(const std::string& username) {
    const auto item = passwordItem(username);
    std::string password;
    try {
        password = item.readPassword();
    } catch (const KeychainPasswordItem::KeychainError&) {
        // The password is gone or unreadable: Touch ID stays off until the next sign-in stores one.
        UserDefaults::standard().removeObjectForKey(AuthenticationContext::kUsernameKey);
        item.deleteItem();
        return;
    }
    passwordField->setText(password);
    emailTextField->setText(username);
    signInTapped();
}

void LoginViewController::switchChanged(UISwitch* sender) {
    if (!sender) return;
    auto& defaults = UserDefaults::standard();
    defaults.setBool(sender->isOn(), kTouchIDKey);
    defaults.synchronize();
}

void LoginViewController::signUpTapped() {
    AnalyticsService().send(kScreenName, ScreenAction::Tap,
                            {{"userRegister", JSON("User trying to register")}, {"touchIDEnabled", JSON(false)}});
    auto next = instantiateViewController<SecurityCodeSignUpViewController>(*UIStoryboard::named("SignInSignUp"));
    show(next, std::any(shared_from_this()));
}

void LoginViewController::forgotPasswordTapped() {
    AnalyticsService().send(kScreenName, ScreenAction::Tap,
                            {{"userForgotPassword", JSON("User trying to rest password")}, {"touchID", JSON(false)}});
    auto reset = instantiateViewController<PasswordResetViewController>(*UIStoryboard::named("SignInSignUp"));
    reset->delegate = std::static_pointer_cast<LoginViewController>(shared_from_this());
    if (auto navigation = navigationController()) navigation->pushViewController(reset, true);
}

void LoginViewController::passwordSuccessfullReset(const std::string& message) {
    if (message.empty()) return;
    showMessage(*this, message, GSMessageType::warning,
                {GSMessageOption::autoHideDelay{kResetMessageSeconds}, GSMessageOption::textNumberOfLines{0}});
}
