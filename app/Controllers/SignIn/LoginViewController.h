#pragma once

// The sign-in screen (scene "LoginViewController" of the storyboard "SignInSignUp"): e-mail,
// password and "Sign In", which signs in with the sign-in service and hands the reply to the
// session; the session's delegate then shows the main interface. A refused sign-in shows the
// server's reason under the button.
//
// For now this is all of it: Touch ID, the keychain, registration and the password reset come
// with the screen's own work.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <memory>

class LoginViewController : public UIViewController, public StoryboardIdentifiable<LoginViewController> {
public:
    LoginViewController();
    void viewDidLoad() override;

    void signInTapped();

    std::shared_ptr<UITextField> emailTextField;
    std::shared_ptr<UITextField> passwordField;
    std::shared_ptr<UIButton> loginButton;
    std::shared_ptr<UILabel> messageLabel;
};
