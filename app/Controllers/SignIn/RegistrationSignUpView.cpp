#include "Controllers/SignIn/RegistrationSignUpView.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIImage.h"

RegistrationSignUpView::RegistrationSignUpView() : RegistrationSignUpView(CGRect::zero()) {}

RegistrationSignUpView::RegistrationSignUpView(const CGRect& frame) : UIView(frame) {}

// No archive holds this view's settings: it is built in code either way.
RegistrationSignUpView::RegistrationSignUpView(NSCoder&) : RegistrationSignUpView(CGRect::zero()) {}

const std::shared_ptr<UIView>& RegistrationSignUpView::formView() {
    if (!formView_) {
        formView_ = SignInForm::makeFormBox(UIColorPalette::separatorColor());
        formView_->setAccessibilityIdentifier("registrationFormView");
        addSubview(formView_);
    }
    return formView_;
}

std::shared_ptr<LFloatTextField> RegistrationSignUpView::makeField(const std::string& placeholder,
                                                                  const std::string& identifier) {
    return SignInForm::makeBoxedField(*formView(), placeholder, identifier, this);
}

const std::shared_ptr<LFloatTextField>& RegistrationSignUpView::fullNameTextField() {
    if (!fullNameTextField_) {
        fullNameTextField_ = makeField("Full Name", "fullNameTextField");
        fullNameTextField_->autocapitalizationType = UITextAutocapitalizationType::words;
        fullNameTextField_->returnKeyType = UIReturnKeyType::next;
    }
    return fullNameTextField_;
}

const std::shared_ptr<LFloatTextField>& RegistrationSignUpView::relationshipField() {
    if (!relationshipField_) {
        relationshipField_ = makeField("Relationship with baby", "relationshipField");
        // No keyboard until the embedding screen gives the field an input view of its own.
        relationshipField_->setInputView(std::make_shared<UIView>());
        relationshipField_->returnKeyType = UIReturnKeyType::next;
        relationshipField_->addTarget(this, &RegistrationSignUpView::tappedRelationShip, UIControlEventTouchDown);
    }
    return relationshipField_;
}

const std::shared_ptr<LFloatTextField>& RegistrationSignUpView::emailTextField() {
    if (!emailTextField_) {
        emailTextField_ = makeField("Email", "emailTextField");
        emailTextField_->keyboardType = UIKeyboardType::emailAddress;
        emailTextField_->textContentType = "emailAddress";
        emailTextField_->autocapitalizationType = UITextAutocapitalizationType::none;
        emailTextField_->returnKeyType = UIReturnKeyType::next;
    }
    return emailTextField_;
}

const std::shared_ptr<LFloatTextField>& RegistrationSignUpView::passwordField() {
    if (!passwordField_) {
        passwordField_ = makeField("Password", "passwordField");
        passwordField_->setText(std::string());
        passwordField_->autocorrectionType = UITextAutocorrectionType::no;
        passwordField_->autocapitalizationType = UITextAutocapitalizationType::none;
        passwordField_->keyboardType = UIKeyboardType::asciiCapable;
        passwordField_->textContentType = "password";
        passwordField_->isSecureTextEntry = true;
        passwordField_->returnKeyType = UIReturnKeyType::done;
        auto toolbar = std::make_shared<UIToolbar>();
        auto done = std::make_shared<UIBarButtonItem>(
            std::string("Done"), UIBarButtonItemStyle::done, [weak = weak_from_this()](UIBarButtonItem&) {
                if (auto self = std::static_pointer_cast<RegistrationSignUpView>(weak.lock())) self->doneClicked();
            });
        toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), done});
        toolbar->sizeToFit();
        passwordField_->setInputAccessoryView(toolbar);
    }
    return passwordField_;
}

std::shared_ptr<UIView> RegistrationSignUpView::makeBorder() {
    auto border = std::make_shared<UIView>();
    border->setBackgroundColor(UIColorPalette::separatorColor());
    border->setTranslatesAutoresizingMaskIntoConstraints(false);
    return border;
}

std::shared_ptr<RegistrationSignUpView> RegistrationSignUpView::makeOutlined(RegistrationSignUpDelegate* delegate) {
    auto form = std::make_shared<RegistrationSignUpView>();
    form->setTranslatesAutoresizingMaskIntoConstraints(false);
    form->delegate = delegate;
    form->setBackgroundColor(UIColor::whiteColor());
    form->layer()->cornerRadius = 5;
    form->layer()->borderColor = UIColorWithHex("#EAE6EF", 1);
    form->layer()->borderWidth = 0.5;
    return form;
}

std::shared_ptr<UIImageView> RegistrationSignUpView::makeMemberPicture() {
    auto picture = std::make_shared<UIImageView>(UIImage::named("card_default_n"));
    picture->setTranslatesAutoresizingMaskIntoConstraints(false);
    picture->setAccessibilityIdentifier("userImageView");
    picture->layer()->cornerRadius = 5;
    picture->setBackgroundColor(UIColor::clearColor());
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    picture->setClipsToBounds(true);
    picture->setUserInteractionEnabled(true);
    return picture;
}

std::shared_ptr<UIButton> RegistrationSignUpView::makeEditPictureButton() {
    auto button = std::make_shared<UIButton>(UIButtonType::custom);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    button->setAccessibilityIdentifier("cameraButton");
    button->setBackgroundImage(UIImage::named("editpic"), UIControlStateNormal);
    button->setBackgroundImage(UIImage::named("editpicp"), UIControlStateHighlighted);
    button->setBackgroundImage(UIImage::named("editpicp"), UIControlStateSelected);
    return button;
}

void RegistrationSignUpView::updateConstraints() {
    if (!didUpdateConstraints) {
        std::shared_ptr<UIView> borders[4];
        for (auto& border : borders)
            border = makeBorder();
        auto& container = formView();
        for (auto& border : borders) {
            container->addSubview(border);
            lyt_layoutHorizontalWithMargin(*border, 0);
        }
        lyt_attachToSuperview(*container);
        const std::shared_ptr<UIView> fields[] = {fullNameTextField(), relationshipField(), emailTextField(),
                                                  passwordField()};
        for (const auto& field : fields)
            lyt_layoutHorizontalWithMargin(*field, 0);
        container->addConstraints(NSLayoutConstraint::constraints(
            "V:|-10-[fullName]-10-[border1(1)]-10-[relationship]-10-[border2(1)]-10-[email]-10-[border3(1)]-10-"
            "[password]-10-[border4(1)]|",
            {}, {},
            std::map<std::string, std::shared_ptr<UIView>>{{"fullName", fields[0]},
                                                           {"relationship", fields[1]},
                                                           {"email", fields[2]},
                                                           {"password", fields[3]},
                                                           {"border1", borders[0]},
                                                           {"border2", borders[1]},
                                                           {"border3", borders[2]},
                                                           {"border4", borders[3]}}));
        didUpdateConstraints = true;
    }
    UIView::updateConstraints();
}

void RegistrationSignUpView::configure(const UserData& user, RegistrationSignUpViewType type) {
    fullNameTextField()->setText(user.fullName());
    emailTextField()->setText(user.email());
    emailTextField()->setEnabled(false);
    relationshipField()->setText(rawValue(user.relationship()));
    relationshipField()->setEnabled(false);
    viewType = type;
    switch (type) {
    case RegistrationSignUpViewType::SignUpFirstTime:
        break;
    case RegistrationSignUpViewType::SignUpWithInvite:
        configureForSignUp();
        break;
    case RegistrationSignUpViewType::MyAccount:
        configureForResetPassword();
        break;
    }
}

void RegistrationSignUpView::configureForSignUp() {
    passwordField()->setText(std::string());
    passwordField()->becomeFirstResponder();
}

void RegistrationSignUpView::configureForResetPassword() {
    passwordField()->setText(std::string(kPasswordMask));
}

void RegistrationSignUpView::updateRelation(const std::optional<std::string>& relation) {
    if (relation) relationshipField()->setText(relation);
}

void RegistrationSignUpView::showInvalidName() {
    fullNameTextField()->showInvalid();
}

void RegistrationSignUpView::showInvalidEmail() {
    emailTextField()->showInvalid();
}

void RegistrationSignUpView::showInvalidPassword() {
    passwordField()->showInvalid();
}

void RegistrationSignUpView::clearInvalidFields() {
    passwordField()->clearInvalid();
    fullNameTextField()->clearInvalid();
    emailTextField()->clearInvalid();
    relationshipField()->clearInvalid();
}

std::shared_ptr<UserData> RegistrationSignUpView::gatherUserInfo() {
    const auto password = passwordField()->text();
    const auto fullName = fullNameTextField()->text();
    const auto relationship = relationshipField()->text();
    const auto email = emailTextField()->text();
    if (!password || !fullName || !relationship || !email) return nullptr;
    if (fullName->empty() || email->empty() || password->empty()) return nullptr;
    return std::make_shared<UserData>(
        *fullName, FamilyRelationshipFromRawValue(*relationship).value_or(FamilyRelationship::Others), *email);
}

void RegistrationSignUpView::tappedRelationShip(UIControl*) {
    if (auto d = delegate.get()) d->tappedRelationShip();
}

void RegistrationSignUpView::tappedPassword(UIControl*) {
    if (auto d = delegate.get()) d->passwordFieldIsBeingEdited();
}

void RegistrationSignUpView::doneClicked() {
    passwordField()->resignFirstResponder();
}

bool RegistrationSignUpView::textFieldShouldBeginEditing(UITextField* field) {
    auto d = delegate.get();
    if (d) {
        d->formIsBeingEdited();
        d->didSelect(*field);
    }
    if (field == relationshipField_.get()) {
        if (d) d->tappedRelationShip(*field);
        return true;
    }
    if (field == passwordField_.get()) {
        if (d) d->passwordFieldIsBeingEdited();
        // The mask is not a password to edit: My Account changes it on a screen of its own.
        return viewType != RegistrationSignUpViewType::MyAccount;
    }
    return true;
}

bool RegistrationSignUpView::textFieldShouldReturn(UITextField* field) {
    if (field == fullNameTextField_.get()) {
        relationshipField()->becomeFirstResponder();
        if (auto d = delegate.get()) d->tappedRelationShip();
    } else if (field == emailTextField_.get()) {
        passwordField()->becomeFirstResponder();
    } else if (field == passwordField_.get()) {
        passwordField_->resignFirstResponder();
        if (auto d = delegate.get()) d->returnFromPassword();
    }
    return true;
}
