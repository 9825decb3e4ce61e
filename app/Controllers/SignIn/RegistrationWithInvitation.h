#pragma once

// The "Create Account" form of an invited member (scene "RegistrationWithInvitation" of the storyboard
// "SignInSignUp"): the screen that checked the invitation sets `userData` to the invited member and
// shows it; the authentication flow makes itself its `delegate` and hears the member and the chosen
// password when the form is submitted.
//
// For now it shows the invited member and a password field, and "Continue" hands both to the
// delegate; the form itself (name, photo, locked e-mail and relationship, validation) comes with the
// registration screens' own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/UserData.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class RegistrationWithInvitation;

class RegistrationViewControllerDelegate {
public:
    virtual ~RegistrationViewControllerDelegate() = default;
    virtual void registrationViewController(RegistrationWithInvitation& screen,
                                            const std::shared_ptr<UserData>& userData,
                                            const std::string& password) = 0;
};

class RegistrationWithInvitation : public PlaceholderViewController,
                                   public StoryboardIdentifiable<RegistrationWithInvitation> {
public:
    RegistrationWithInvitation();
    void viewDidLoad() override;

    std::weak_ptr<RegistrationViewControllerDelegate> delegate;
    std::shared_ptr<UserData> userData;

    // Hands the member and the typed password to the delegate (nothing without a member).
    void createAccountTapped();

    std::shared_ptr<UILabel> memberLabel;
    std::shared_ptr<UITextField> passwordTextField;
    std::shared_ptr<UIButton> saveButton;
};
