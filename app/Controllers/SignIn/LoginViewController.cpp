#include "Controllers/SignIn/LoginViewController.h"

#include "Services/AuthenticationContext.h"
#include "Services/SignInService.h"
#include "net/AFURLResponseSerialization.h"

namespace {

constexpr const char* kEnterCredentials = "Enter your credentials to login";
constexpr const char* kSignInFailed = "Sign-in failed. Please try again.";

// The server's reason for a refused sign-in: the "status" text of its JSON reply.
std::string failureMessage(const NSError& error) {
    if (const Data* body = cw::failingResponseData(error)) {
        const auto parsed =
            JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
        if (auto status = parsed.value()["status"].string()) return *status;
    }
    return kSignInFailed;
}

std::shared_ptr<UITextField> makeField(const std::string& placeholder, const std::string& identifier) {
    auto field = std::make_shared<UITextField>();
    field->setPlaceholder(placeholder);
    field->setAccessibilityIdentifier(identifier);
    field->setBorderStyle(UITextBorderStyle::roundedRect);
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    return field;
}

} // namespace

LoginViewController::LoginViewController() {
    setTitle("Log In");
}

void LoginViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    emailTextField = makeField("E-mail", "emailTextField");
    emailTextField->keyboardType = UIKeyboardType::emailAddress;
    emailTextField->autocapitalizationType = UITextAutocapitalizationType::none;
    passwordField = makeField("Password", "passwordField");
    passwordField->isSecureTextEntry = true;

    loginButton = std::make_shared<UIButton>(UIButtonType::system);
    loginButton->setTitle("Sign In", UIControlStateNormal);
    loginButton->setAccessibilityIdentifier("loginButton");
    loginButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    loginButton->addAction(
        [weakSelf](UIControl*) {
            if (auto self = std::static_pointer_cast<LoginViewController>(weakSelf.lock())) self->signInTapped();
        },
        UIControlEventTouchUpInside);

    messageLabel = std::make_shared<UILabel>();
    messageLabel->setTextColor(UIColor::redColor());
    messageLabel->setNumberOfLines(0);
    messageLabel->setTextAlignment(NSTextAlignment::center);
    messageLabel->setTranslatesAutoresizingMaskIntoConstraints(false);

    for (const auto& v : std::vector<std::shared_ptr<UIView>>{emailTextField, passwordField, loginButton, messageLabel})
        root->addSubview(v);
    NSLayoutConstraint::activate({
        emailTextField->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 40),
        emailTextField->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 32),
        emailTextField->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -32),
        emailTextField->heightAnchor().constraintEqualToConstant(44),
        passwordField->topAnchor().constraintEqualTo(emailTextField->bottomAnchor(), 16),
        passwordField->leadingAnchor().constraintEqualTo(emailTextField->leadingAnchor()),
        passwordField->trailingAnchor().constraintEqualTo(emailTextField->trailingAnchor()),
        passwordField->heightAnchor().constraintEqualToConstant(44),
        loginButton->topAnchor().constraintEqualTo(passwordField->bottomAnchor(), 24),
        loginButton->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
        messageLabel->topAnchor().constraintEqualTo(loginButton->bottomAnchor(), 16),
        messageLabel->leadingAnchor().constraintEqualTo(emailTextField->leadingAnchor()),
        messageLabel->trailingAnchor().constraintEqualTo(emailTextField->trailingAnchor()),
    });
}

void LoginViewController::signInTapped() {
    const std::string email = emailTextField->text().value_or("");
    const std::string password = passwordField->text().value_or("");
    if (email.empty() || password.empty()) {
        messageLabel->setText(kEnterCredentials);
        return;
    }
    messageLabel->setText(std::nullopt);
    view()->endEditing(true);
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    SignInService().signin(
        email, password,
        [weakSelf](const SignInService::Task&, const std::optional<JSON>& reply) {
            AuthenticationContext::shared().login(reply);
            if (auto self = std::static_pointer_cast<LoginViewController>(weakSelf.lock())) {
                self->emailTextField->setText(std::string());
                self->passwordField->setText(std::string());
            }
        },
        [weakSelf](const SignInService::Task&, const NSError& error) {
            if (auto self = std::static_pointer_cast<LoginViewController>(weakSelf.lock()))
                self->messageLabel->setText(failureMessage(error));
        });
}
