#pragma once

// The first step of a registration by invitation (scene "SecurityCodeSignUpViewController" of the
// storyboard "SignInSignUp"): the e-mail address the member was invited at and the security code they
// received. The server checks the pair; when it accepts it, the registration form opens filled with
// the invited member's details. "Submit" is disabled while a check runs, whatever its answer. On a
// short screen the view moves up 42 points while the keyboard is up.

#include "Controllers/SignIn/Shared/SignInKeyboardShift.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITextField.h"

#include <memory>

class SecurityCodeSignUpViewController : public UIViewController,
                                         public UITextFieldDelegate,
                                         public StoryboardIdentifiable<SecurityCodeSignUpViewController> {
public:
    static constexpr const char* kScreenName = "SignUpWithInvitationScreen";
    static constexpr const char* kMissingFields = "Please fill in missing fields.";
    static constexpr const char* kInvitationFailed =
        "There was an issue processing your invitation. Please check the information and try again.";
    static constexpr CGFloat kKeyboardShift = 42;

    // The e-mail address the invitation was sent to (sent as the check's "email").
    std::shared_ptr<UITextField> inviterNameTextField;
    std::shared_ptr<UITextField> securityCodeTextField;
    std::shared_ptr<OvalButton> saveButton;

    bool canBecomeFirstResponder() const override { return true; }
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void onSubmit();
    void dismissKeyboard();
    bool textFieldShouldReturn(UITextField* field) override;

private:
    std::shared_ptr<KeyboardShift> keyboardShift_;
};
