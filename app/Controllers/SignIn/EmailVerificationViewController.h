#pragma once

// The second screen of the registration by e-mail: the four-digit code the server mailed. The person
// types into a hidden field that takes the keyboard as soon as the screen shows; four boxes show its
// first four characters. As soon as four stand there, those four are sent with the address to be
// verified: the account screen follows on success, the verification failure screen on failure (this
// screen's boxes are emptied). A code that is no decimal number, or a screen without an address,
// sends nothing; one verification runs at a time, and the field never holds more than four
// characters once a change has been handled.
//
// The opener sets `email` and `status` (the server's text of the code request), which shows once as
// a success banner. Built in code; sends no usage events. Main thread only.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class EmailVerificationViewController : public UIViewController {
public:
    static constexpr const char* kTitle = "Sign Up";
    static constexpr const char* kInstruction = "Enter your verification code.";
    static constexpr std::size_t kCodeLength = 4;

    std::optional<std::string> email;
    std::optional<std::string> status;

    // Made on first use and kept.
    const std::shared_ptr<UIStackView>& pinInputView();
    const std::vector<std::shared_ptr<UIButton>>& inputButtons();
    const std::shared_ptr<UITextField>& textField();
    const std::shared_ptr<UILabel>& instructionLabel();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    // After every change of the field's text: the boxes, then the send rule.
    void didChangeText(UITextField* sender);

    bool isVerifying() const { return verifying_; }

private:
    void showInBoxes(const std::vector<std::string>& characters);
    void verify(const std::string& code);

    std::shared_ptr<UIStackView> pinInputView_;
    std::vector<std::shared_ptr<UIButton>> inputButtons_;
    std::shared_ptr<UITextField> textField_;
    std::shared_ptr<UILabel> instructionLabel_;
    bool verifying_ = false;
};
