#pragma once

// The member form of four float-label fields in a white rounded box: full name, relationship to the
// baby, e-mail and password, one under the other with a thin line under each. Two screens embed it:
// the account screen of the registration by e-mail (RegistrationViewController) and My Account.
//
// The form fills itself from a member for one of three uses (configure): e-mail and relationship are
// then locked, the full name stays editable; a registration by invitation empties the password and
// puts the keyboard on it; My Account shows a fixed mask in the password field and never lets it be
// edited (the password is changed on a screen of its own, which the embedding screen opens when it
// hears passwordFieldIsBeingEdited).
//
// What is invalid is for the embedding screen to decide: it reads the fields, marks them here (their
// placeholders turn red until cleared) and shows its own banner. The form only refuses to make a
// member record while a required text is empty.
//
// The fields, their container and the constraints are made on first use; the constraints once, in
// the first constraint pass. The delegate is never owned. Main thread only.

#include "Models/UserData.h"
#include "Views/LFloatTextField.h"
#include "uikit/controls/Delegate.h"
#include "uikit/controls/UIButton.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <optional>
#include <string>

class NSCoder;

enum class RegistrationSignUpViewType { SignUpFirstTime, SignUpWithInvite, MyAccount };

// What the form tells the screen that embeds it. Only returnFromPassword must be answered.
class RegistrationSignUpDelegate {
public:
    virtual ~RegistrationSignUpDelegate() = default;
    // Return in the password field (after the field has let the keyboard go).
    virtual void returnFromPassword() = 0;
    // Any field is about to begin editing.
    virtual void formIsBeingEdited() {}
    virtual void didSelect(UITextField& /*textField*/) {}
    // The relationship field is about to begin editing: the moment to give it an input view.
    virtual void tappedRelationShip(UITextField& /*relationshipField*/) {}
    // A finger came down on the relationship field, or Return moved on to it from the full name.
    virtual void tappedRelationShip() {}
    // The password field is about to begin editing (in My Account it then refuses to).
    virtual void passwordFieldIsBeingEdited() {}
};

class RegistrationSignUpView : public UIView, public UITextFieldDelegate {
public:
    // What My Account's password field shows in place of the password.
    static constexpr const char* kPasswordMask = "****************";

    RegistrationSignUpView();
    explicit RegistrationSignUpView(const CGRect& frame);
    explicit RegistrationSignUpView(NSCoder& coder);
    std::string className() const override { return "RegistrationSignUpView"; }

    bool didUpdateConstraints = false;
    cw::DelegateRef<RegistrationSignUpDelegate> delegate;
    std::optional<RegistrationSignUpViewType> viewType;

    // Each made (inside formView) the first time it is asked for.
    const std::shared_ptr<LFloatTextField>& fullNameTextField();
    const std::shared_ptr<LFloatTextField>& relationshipField();
    const std::shared_ptr<LFloatTextField>& emailTextField();
    const std::shared_ptr<LFloatTextField>& passwordField();
    // The rounded white box the fields stand in, pinned to this view's edges.
    const std::shared_ptr<UIView>& formView();

    // Name, e-mail and relationship from the member (e-mail and relationship locked), then what
    // the use adds.
    void configure(const UserData& user, RegistrationSignUpViewType type);
    // An empty password field with the keyboard on it.
    void configureForSignUp();
    // The password mask in the password field.
    void configureForResetPassword();
    // The relationship field's text, when one is given.
    void updateRelation(const std::optional<std::string>& relation);

    // The field's placeholder and floating label in the error colour; clearInvalidFields puts all four
    // back to grey. Texts stay as they are.
    void showInvalidName();
    void showInvalidEmail();
    void showInvalidPassword();
    void clearInvalidFields();

    // A member from the name, relationship and e-mail (a relationship that is none of the six names
    // counts as Others); none when any field has no text or the name, e-mail or password is empty.
    // Texts are taken as typed. The password is not part of the record.
    std::shared_ptr<UserData> gatherUserInfo();

    // Targets of the relationship field's touch-down and of the password keyboard's Done.
    void tappedRelationShip(UIControl* sender);
    void tappedPassword(UIControl* sender);
    void doneClicked();

    // A separator line in the separator colour, ready for constraints.
    static std::shared_ptr<UIView> makeBorder();

    // What the two screens that embed the form show alike, ready for constraints: the form itself in
    // its outline, telling `delegate`; the member's picture (the placeholder card until one is
    // chosen, rounded, filled, taking taps for the screen to answer); the small edit button over
    // the picture's corner.
    static std::shared_ptr<RegistrationSignUpView> makeOutlined(RegistrationSignUpDelegate* delegate);
    static std::shared_ptr<UIImageView> makeMemberPicture();
    static std::shared_ptr<UIButton> makeEditPictureButton();

    bool textFieldShouldBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    void updateConstraints() override;

private:
    std::shared_ptr<LFloatTextField> makeField(const std::string& placeholder, const std::string& identifier);

    std::shared_ptr<LFloatTextField> fullNameTextField_;
    std::shared_ptr<LFloatTextField> relationshipField_;
    std::shared_ptr<LFloatTextField> emailTextField_;
    std::shared_ptr<LFloatTextField> passwordField_;
    std::shared_ptr<UIView> formView_;
};
