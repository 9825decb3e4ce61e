#include "Controllers/SignIn/RegistrationWithInvitation.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Controllers/SignIn/SignInWeakly.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

namespace {

constexpr const char* kInfo =
    "These are the details of your invitation. Check your name, add a photo if you like, and choose a "
    "password of at least 8 characters.";
static_assert(SignInForm::kMinimumPasswordLength == 8, "the form's texts name the server's rule");
constexpr CGFloat kPhotoSide = 112;
constexpr CGFloat kBadgeSide = 32;

} // namespace

void RegistrationWithInvitation::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    contentView_ = SignInForm::makeScrollingColumn(*root, "registrationScrollView", scrollView);

    userImageView = std::make_shared<UIImageView>();
    userImageView->setAccessibilityIdentifier("userImageView");
    cameraImageView = std::make_shared<UIImageView>();
    cameraImageView->setAccessibilityIdentifier("cameraImageView");
    cameraImageView->setTranslatesAutoresizingMaskIntoConstraints(false);

    infoLabel = SignInForm::makeDescription(kInfo);

    nameTextField = SignInForm::makeField("Full Name", "nameTextField");
    nameTextField->autocapitalizationType = UITextAutocapitalizationType::words;
    nameTextField->returnKeyType = UIReturnKeyType::next;
    relationshipTextField = SignInForm::makeField("Relationship with baby", "relationshipTextField");
    emailTextField = SignInForm::makeField("Email", "emailTextField");
    emailTextField->keyboardType = UIKeyboardType::emailAddress;
    passwordTextField = SignInForm::makeField("Password", "passwordTextField");
    passwordTextField->isSecureTextEntry = true;
    passwordTextField->autocorrectionType = UITextAutocorrectionType::no;
    passwordTextField->returnKeyType = UIReturnKeyType::done;

    saveButton = SignInForm::makeButton("Continue", "saveButton");

    for (const auto& v : std::vector<UIViewPtr>{userImageView, cameraImageView, infoLabel, nameTextField,
                                                relationshipTextField, emailTextField, passwordTextField,
                                                saveButton})
        contentView_->addSubview(v);
    for (const auto& v : std::vector<UIViewPtr>{infoLabel, nameTextField, relationshipTextField, emailTextField,
                                                passwordTextField})
        lyt_layoutHorizontalWithMargin(*v, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*userImageView);
    lyt_horizontalCenterInSuperView(*saveButton);
    lyt_setSize(*userImageView, {kPhotoSide, kPhotoSide});
    lyt_setSize(*cameraImageView, {kBadgeSide, kBadgeSide});
    NSLayoutConstraint::activate({
        userImageView->topAnchor().constraintEqualTo(contentView_->topAnchor(), 24),
        // The badge sits on the photo's lower right, over its edge.
        cameraImageView->trailingAnchor().constraintEqualTo(userImageView->trailingAnchor(), 4),
        cameraImageView->bottomAnchor().constraintEqualTo(userImageView->bottomAnchor()),
        infoLabel->topAnchor().constraintEqualTo(userImageView->bottomAnchor(), 16),
        nameTextField->topAnchor().constraintEqualTo(infoLabel->bottomAnchor(), 16),
        relationshipTextField->topAnchor().constraintEqualTo(nameTextField->bottomAnchor(), 8),
        emailTextField->topAnchor().constraintEqualTo(relationshipTextField->bottomAnchor(), 8),
        passwordTextField->topAnchor().constraintEqualTo(emailTextField->bottomAnchor(), 8),
        saveButton->topAnchor().constraintEqualTo(passwordTextField->bottomAnchor(), 32),
        saveButton->bottomAnchor().constraintEqualTo(contentView_->bottomAnchor(), -32),
    });
}

void RegistrationWithInvitation::viewDidLoad() {
    UIViewController::viewDidLoad();
    prepareView();
    view()->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(weakly(*this, &RegistrationWithInvitation::dismissKeyboard)));
    nameTextField->setDelegate(this);
    passwordTextField->setDelegate(this);
}

void RegistrationWithInvitation::prepareView() {
    setTitle(std::string(kTitle));
    if (userData) {
        nameTextField->setText(userData->fullName());
        emailTextField->setText(userData->email());
        emailTextField->setEnabled(false);
        relationshipTextField->setText(rawValue(userData->relationship()));
        relationshipTextField->setEnabled(false);
    }
    infoLabel->setTextColor(UIColorPalette::contentColor1());
    cameraImageView->setImage(UIImage::named(kCameraBadge));

    userImageView->setImage(UIImage::named(kPlaceholderPicture));
    userImageView->layer()->cornerRadius = kPhotoSide / 2;
    userImageView->setBackgroundColor(UIColor::clearColor());
    userImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    userImageView->setClipsToBounds(true);
    userImageView->setUserInteractionEnabled(true);
    userImageView->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(weakly(*this, &RegistrationWithInvitation::onChoosePhoto)));
    userImageView->setTranslatesAutoresizingMaskIntoConstraints(false);

    saveButton->addTarget(this, &RegistrationWithInvitation::createAccountTapped, UIControlEventTouchUpInside);
}

void RegistrationWithInvitation::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void RegistrationWithInvitation::dismissKeyboard() {
    view()->endEditing(true);
}

bool RegistrationWithInvitation::validateName() {
    return !nameTextField->text().value_or("").empty();
}

bool RegistrationWithInvitation::validatePassword() {
    return !passwordTextField->text().value_or("").empty();
}

void RegistrationWithInvitation::createAccountTapped() {
    const bool password = validatePassword();
    const bool name = validateName();
    if (!password || !name) {
        showMessage(*this, kAllFieldsRequired, GSMessageType::error);
        return;
    }
    // The server would refuse it only at the end of the road, after the terms and the baby.
    if (!SignInForm::isLongEnoughPassword(passwordTextField->text().value_or(""))) {
        showMessage(*this, kPasswordTooShort, GSMessageType::error);
        return;
    }
    submitRegistration();
}

void RegistrationWithInvitation::validateCreateAccount() {
    createAccountTapped();
}

std::shared_ptr<UserData> RegistrationWithInvitation::gatherUserInfo() {
    const auto password = passwordTextField->text();
    const auto name = nameTextField->text();
    const auto relationship = relationshipTextField->text();
    const auto email = emailTextField->text();
    if (!password || !name || !relationship || !email) return nullptr;
    if (name->empty() || email->empty() || password->empty()) return nullptr;
    return std::make_shared<UserData>(
        *name, FamilyRelationshipFromRawValue(*relationship).value_or(FamilyRelationship::Others), *email);
}

void RegistrationWithInvitation::submitRegistration() {
    auto user = gatherUserInfo();
    if (!user) return;
    const auto password = passwordTextField->text();
    if (!password) return;
    // Only a photo she chose goes: without one the account has no picture, not the placeholder.
    user->setRequestImage(croppedPhoto());
    if (auto d = delegate.lock()) d->registrationViewController(*this, user, *password);
}

bool RegistrationWithInvitation::textFieldShouldReturn(UITextField* field) {
    if (field == nameTextField.get()) {
        field->resignFirstResponder();
        passwordTextField->becomeFirstResponder();
    } else {
        field->resignFirstResponder();
    }
    return true;
}

void RegistrationWithInvitation::onChoosePhoto() {
    presentImageSourceOptions();
}
