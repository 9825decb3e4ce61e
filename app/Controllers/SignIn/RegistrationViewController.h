#pragma once

// The last screen of the registration by e-mail: a picture, the member form (name, relationship
// chosen on a wheel, the verified address shown grey and locked, a password of at least 8
// characters) and "Create Account". The form is checked here first: every invalid field is marked
// and one banner says "All fields are required.". Then the server is asked whether the address can
// be used (the member check); its answer is the end of this road: an empty "message" is recorded as
// a success and the person stays on the screen, a message or a failure shows in a banner. No account
// is made here, and the picture is only shown, never sent.
//
// Opened by the e-mail verification screen, which sets `email`. Built in code; the scroll view
// follows the keyboard (cw::followKeyboard): its insets cover what the keyboard covers and the edited
// field is scrolled into view above it. Main thread only.

#include "Controllers/SignIn/RegistrationSignUpView.h"
#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/CroppedPhotoPicking.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Views/GreenButton.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class RegistrationViewController : public UIViewController,
                                   public RegistrationSignUpDelegate,
                                   public UIPickerViewDataSource,
                                   public UIPickerViewDelegate,
                                   public CroppedPhotoPicking,
                                   public ImageSourcePresenting<RegistrationViewController> {
public:
    static constexpr const char* kTitle = "Create Account";
    static constexpr const char* kScreenName = "CreateAccountScreen";
    static constexpr const char* kHeader =
        "Ok. Then, let's create your own account. Please type your information and choose a password";
    static constexpr const char* kPasswordRules = "* Password must be at least 8 characters.";
    static constexpr const char* kAllFieldsRequired = "All fields are required.";
    static constexpr const char* kErrorOccured = "Error Occured";
    static constexpr const char* kSelectOne = "Select One";

    bool didUpdateConstraints = false;
    // The form field that last began editing.
    UITextField* focusedTextField = nullptr;
    // The verified address; set before the screen is shown.
    std::optional<std::string> email;
    const std::vector<std::string> pickerData{"Mother", "Father", "Grand Parent", "Relative", "Friend", "Others"};

    // Made on first use and kept.
    const std::shared_ptr<UIImageView>& userImageView();
    const std::shared_ptr<UIButton>& cameraButton();
    const std::shared_ptr<UIPickerView>& relationPickerView();
    const std::shared_ptr<UIScrollView>& scrollView();
    const std::shared_ptr<UIView>& scrollViewContainer();
    const std::shared_ptr<RegistrationSignUpView>& formView();
    const std::shared_ptr<UILabel>& headerLabel();
    const std::shared_ptr<UILabel>& passwordRulesLabel();
    const std::shared_ptr<GreenButton>& createAccountButton();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void createAccountTapped();
    void onChoosePhoto();

    // Each marks its own field when it fails.
    bool validatePassword();
    bool validateRelationship();
    bool validateName();
    bool validateEmail();
    // All four, each run, then the outcome.
    bool validateInputs();
    // The member check of the form's address.
    void validateRegistration();

    void dismissPicker();

    // The form's delegate.
    void returnFromPassword() override;
    void didSelect(UITextField& textField) override;
    void tappedRelationShip(UITextField& relationshipField) override;

    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override;
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

protected:
    // The picked picture, cropped square, becomes the member's picture.
    UIViewController& photoScreen() override { return *this; }
    std::shared_ptr<UIImageView> photoView() override { return userImageView(); }

private:
    void addConstraints();

    std::shared_ptr<UIImageView> userImageView_;
    std::shared_ptr<UIButton> cameraButton_;
    std::shared_ptr<UIPickerView> relationPickerView_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<UIView> scrollViewContainer_;
    std::shared_ptr<RegistrationSignUpView> formView_;
    std::shared_ptr<UILabel> headerLabel_;
    std::shared_ptr<UILabel> passwordRulesLabel_;
    std::shared_ptr<GreenButton> createAccountButton_;
};
