#pragma once

// The "Create Account" form of an invited member (scene "RegistrationWithInvitation" of the
// storyboard "SignInSignUp", or made by its plain constructor: the same complete form). The screen
// that checked the invitation sets `userData` to the invited member and shows it; the authentication
// flow makes itself the `delegate` as the screen is about to show.
//
// It shows the invited person's name, relationship and e-mail (the last two locked), lets the member
// correct the name, choose a photo (cropped square) and type a password, and hands the member, the
// photo attached, and the password to the delegate. An empty name or password is refused here
// ("All fields are required."), and so is a password shorter than the server takes, in the words
// the form's explanation already uses ("Choose a password of at least 8 characters."), rather than
// at the end of the road. Only a photo she chose goes with her: without one the form shows the
// placeholder "card_default_n" and the account is made without a picture.
//
// The form follows the keyboard (cw::followKeyboard): the field being edited stands 12 points above
// it, and the form's end can be scrolled above it. Sends no
// request of its own but its usage event. Main thread only.

#include "Extensions/CroppedPhotoPicking.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/UserData.h"
#include "Views/LFloatTextField.h"
#include "Views/OvalButton.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UIImageView.h"
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

class RegistrationWithInvitation : public UIViewController,
                                   public UITextFieldDelegate,
                                   public CroppedPhotoPicking,
                                   public UINavigationControllerDelegate,
                                   public ImageSourcePresenting<RegistrationWithInvitation>,
                                   public StoryboardIdentifiable<RegistrationWithInvitation> {
public:
    static constexpr const char* kTitle = "Create Account";
    static constexpr const char* kScreenName = "SignUpWithInvitationScreen";
    static constexpr const char* kAllFieldsRequired = "All fields are required.";
    // In the words of the form's own explanation.
    static constexpr const char* kPasswordTooShort = "Choose a password of at least 8 characters.";
    static constexpr const char* kPlaceholderPicture = "card_default_n";
    static constexpr const char* kCameraBadge = "camera-re";

    std::shared_ptr<UIImageView> userImageView;
    std::shared_ptr<LFloatTextField> nameTextField;
    std::shared_ptr<LFloatTextField> relationshipTextField;
    std::shared_ptr<LFloatTextField> emailTextField;
    std::shared_ptr<LFloatTextField> passwordTextField;
    std::shared_ptr<OvalButton> saveButton;
    std::shared_ptr<UIImageView> cameraImageView;
    std::shared_ptr<UILabel> infoLabel;
    std::shared_ptr<UIScrollView> scrollView;
    std::weak_ptr<RegistrationViewControllerDelegate> delegate;
    // The invited member; set before the screen is shown.
    std::shared_ptr<UserData> userData;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Title, the invited member's details, the pictures and the button's action.
    void prepareView();
    void createAccountTapped();
    // The same as createAccountTapped.
    void validateCreateAccount();
    bool validateName();
    bool validatePassword();
    // The member from the fields (see RegistrationSignUpView::gatherUserInfo for the same rules).
    std::shared_ptr<UserData> gatherUserInfo();
    void onChoosePhoto();
    void dismissKeyboard();

    bool textFieldShouldReturn(UITextField* field) override;

protected:
    // The picked picture, cropped square, becomes the member's picture.
    UIViewController& photoScreen() override { return *this; }
    std::shared_ptr<UIImageView> photoView() override { return userImageView; }

private:
    void submitRegistration();
    std::shared_ptr<UIView> contentView_;
};
