#pragma once

// The sign-in screen, first of the signed-out flow (scene "LoginViewController" of the storyboard
// "SignInSignUp", shown without a navigation bar): e-mail and password, or Touch ID, which reads the
// password of the last member who signed in ("usernameKey") back from the keychain and signs in
// with it. From here the member also starts a registration by invitation and the password reset,
// whose message this screen shows when the reset screen comes back.
//
// A successful sign-in starts the session (its delegate then shows the main interface), writes the
// e-mail to "usernameKey" and the password to the keychain, whether Touch ID is on or not, and
// empties both fields. Every failure of the sign-in shows a banner: the server's "status", the fixed
// server-trouble texts, or "Unexpected error. Please try again." when there is no reason to show,
// or when a reply that says success holds no session (no member, or not both tokens): then nothing
// is stored and the fields keep what was typed.
// Touch ID that fails or is cancelled shows nothing. On a short screen the view moves up 42 points
// while the password is edited.

#include "Controllers/SignIn/PasswordResetViewController.h"
#include "Controllers/SignIn/Shared/SignInKeyboardShift.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "foundation/json/NSError.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class LoginViewController : public UIViewController,
                            public UITextFieldDelegate,
                            public PasswordResetProtocol,
                            public StoryboardIdentifiable<LoginViewController> {
public:
    static constexpr const char* kScreenName = "LoginScreen";
    static constexpr const char* kTouchIDKey = "touchIDKey";
    static constexpr const char* kEnterCredentials = "Enter your credentials to login";
    static constexpr const char* kServerErrorNotJSON = "Server error, please try in sometime. 102.12";
    static constexpr const char* kServerErrorNotObject = "Server error, please try in sometime. 102.11";
    static constexpr CGFloat kKeyboardShift = 42;
    // How long the password reset's message stays.
    static constexpr double kResetMessageSeconds = 5;

    LoginViewController();

    std::shared_ptr<UIButton> loginButton;
    std::shared_ptr<UIButton> forgotPassword;
    std::shared_ptr<UIButton> createAccountButton;
    std::shared_ptr<UITextField> emailTextField;
    std::shared_ptr<UITextField> passwordField;
    std::shared_ptr<UIButton> biometricLoginButton;
    // The scene's switch that turns Touch ID sign-in on and off.
    std::shared_ptr<UISwitch> touchIDSwitch;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void signInTapped();
    void tryTouchID();
    void signUpTapped();
    void forgotPasswordTapped();
    void switchChanged(UISwitch* sender);
    void biometricsDidSucceedWithUsername(const std::string& username);
    void passwordSuccessfullReset(const std::string& message) override;
    void dismissKeyboard();

    bool textFieldShouldReturn(UITextField* field) override;
    // The keyboard shift follows the field being edited.
    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;

private:
    void showSignInFailure(const NSError& error);

    std::shared_ptr<KeyboardShift> keyboardShift_;
};
