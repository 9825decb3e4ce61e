#pragma once

// Says that the verification code was not accepted and offers two ways back to the registration
// e-mail screen (the nearest one on the navigation stack): "Resend Verification Code" keeps its
// address, so that "Send" asks for a new code; "New Email Address" empties it. Without such a
// screen on the stack both do nothing. Sets no title, sends no request and no usage event.
//
// Pushed by the e-mail verification screen after a failed check. Main thread only.

#include "Views/GoldenButton.h"
#include "Views/GreenButton.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UILabel.h"

#include <memory>

class EmailVerificationFailureViewController : public UIViewController {
public:
    static constexpr const char* kInfo = "Your email could not be verified";

    // Made on first use and kept.
    const std::shared_ptr<UILabel>& infoLabel();
    const std::shared_ptr<GreenButton>& resendButton();
    const std::shared_ptr<GoldenButton>& changeEmailButton();

    void viewDidLoad() override;
    void prepareView();

    void onResendVerificationCode();
    void onChangeEmail();

private:
    // Back to the e-mail screen, its address emptied first when asked.
    void returnToEmailScreen(bool clearAddress);

    std::shared_ptr<UILabel> infoLabel_;
    std::shared_ptr<GreenButton> resendButton_;
    std::shared_ptr<GoldenButton> changeEmailButton_;
};
