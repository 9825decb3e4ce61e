#pragma once

// The first screen of a registration without an invitation: an e-mail address, and "Send" asks the
// server to mail a verification code to it. The server's answer opens the e-mail verification screen
// with the address and the server's status text; a failure shows "Could not send verification
// code". The verification failure screen comes back here (with the address kept, or emptied).
//
// Opened by the sign-up choice's "No, I don't". Built in code; sends no usage events. Main thread
// only.

#include "Views/GreenButton.h"
#include "Views/LFloatTextField.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>

class RegistrationEmailViewController : public UIViewController, public UITextFieldDelegate {
public:
    static constexpr const char* kTitle = "Sign Up";
    static constexpr const char* kDescription = "Enter your email address. Verification codes will be sent.";
    static constexpr const char* kSendFailed = "Could not send verification code";

    // Made on first use and kept.
    const std::shared_ptr<UILabel>& descriptionLabel();
    // Read and emptied by the verification failure screen.
    const std::shared_ptr<LFloatTextField>& emailTextField();
    const std::shared_ptr<GreenButton>& submitButton();

    void viewDidLoad() override;

    // Sends the field's text, as it stands, for a verification code.
    void onSubmit();
    // The keyboard's Done key puts the keyboard away, so that "Send" shows.
    bool textFieldShouldReturn(UITextField* field) override;

private:
    std::shared_ptr<UILabel> descriptionLabel_;
    std::shared_ptr<LFloatTextField> emailTextField_;
    std::shared_ptr<GreenButton> submitButton_;
};
