#pragma once

// Asks the server to reset the password of an e-mail address (scene "PasswordResetViewController" of
// the storyboard "SignInSignUp"); pushed by the sign-in screen, which is its delegate. The server's
// message goes to the delegate, and the screen pops back to it.
//
// "Reset" is enabled when the e-mail field starts editing and disabled (half transparent) when the
// screen disappears. Nothing guards against a second tap while a reset runs: two taps send two.

#include "Controllers/SignIn/Shared/SignInKeyboardShift.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/OvalButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

class PasswordResetProtocol {
public:
    virtual ~PasswordResetProtocol() = default;
    // The server's message about the reset.
    virtual void passwordSuccessfullReset(const std::string& message) = 0;
};

class PasswordResetViewController : public UIViewController,
                                    public UITextFieldDelegate,
                                    public StoryboardIdentifiable<PasswordResetViewController> {
public:
    static constexpr const char* kScreenName = "PasswordResetScreen";
    static constexpr const char* kEmailFieldEmpty = "Email field is empty";
    static constexpr const char* kErrorOccured = "Error Occured";
    static constexpr CGFloat kKeyboardShift = 56;

    std::weak_ptr<PasswordResetProtocol> delegate;
    std::shared_ptr<UITextField> emailTextField;
    std::shared_ptr<OvalButton> resetPasswordButton;
    std::shared_ptr<UILabel> descriptionLabel;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void resetPasswordTapped();
    void dismissPasswordView();
    void dismissKeyboard();
    void dismissPicker();

    bool textFieldShouldBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;

private:
    std::shared_ptr<KeyboardShift> keyboardShift_;
};
