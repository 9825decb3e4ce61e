#pragma once

// "My Account", pushed by the side menu: the member's picture (a tap, or the camera button, picks
// and crops a new one), the member form in its My Account use (the full name editable, the
// relationship and e-mail locked, the password field a mask that opens "Change Password"), and
// "Update", which sends the name and a newly cropped picture. The picture goes only when one was
// cropped here: the placeholder, or a picture still on its way from the server, never replaces the
// stored one. The session's member takes what was saved and keeps it across launches.
//
// Built in code. "Update" is disabled (alpha 0.5) when made and each time the screen disappears,
// and enabled when a field is about to be edited or a picture is cropped.

#include "Controllers/Account/PasswordUpdateViewController.h"
#include "Controllers/SignIn/RegistrationSignUpView.h"
#include "Extensions/CroppedPhotoPicking.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Services/ActionKey.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UIImageView.h"

#include <memory>
#include <string>

class MyAccountViewController : public UIViewController,
                                public RegistrationSignUpDelegate,
                                public PasswordUpdateProtocol,
                                public CroppedPhotoPicking,
                                public UIScrollViewDelegate,
                                public ImageSourcePresenting<MyAccountViewController> {
public:
    static constexpr const char* kTitle = "My Account";
    static constexpr const char* kScreenName = "MyAccountScreen";
    static constexpr const char* kNameTooShort = "Full Name cannot be less than 3 characters";
    static constexpr const char* kSaved = "Successfully saved.";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";
    static constexpr std::size_t kMinimumNameLength = 3;

    MyAccountViewController() = default;
    std::string className() const override { return "MyAccountViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void updateViewConstraints() override;

    bool didUpdateConstraints = false;
    // Made on first use; each but the scroll view goes inside the scroll view.
    const std::shared_ptr<UIScrollView>& containerScrollView();
    const std::shared_ptr<UIImageView>& userImageView();
    const std::shared_ptr<UIButton>& cameraButton();
    const std::shared_ptr<RegistrationSignUpView>& formView();
    const std::shared_ptr<UIButton>& editPassword();

    // The form's news.
    void formIsBeingEdited() override;
    void passwordFieldIsBeingEdited() override;
    void returnFromPassword() override;
    // The password screen's news: its message in a success banner.
    void passwordSuccessfullUpdated(const std::string& message) override;

    void pickAnImage();
    void updateMember(UIButton* sender);

    // The picture road (CroppedPhotoPicking) with a square crop; a cropped picture is kept for the
    // update and enables it.
    void didCropImage(RSKImageCropViewController& cropper, const std::shared_ptr<UIImage>& croppedImage,
                      CGRect cropRect, CGFloat rotationAngle) override;

protected:
    UIViewController& photoScreen() override { return *this; }
    std::shared_ptr<UIImageView> photoView() override { return userImageView(); }

private:
    void setUpdateEnabled(bool enabled);
    void sendMember(const std::string& name, const ActionKey& key);

    std::shared_ptr<UIScrollView> containerScrollView_;
    std::shared_ptr<UIImageView> userImageView_;
    std::shared_ptr<UIButton> cameraButton_;
    std::shared_ptr<RegistrationSignUpView> formView_;
    std::shared_ptr<UIButton> editPassword_;
    // The save of the name and picture as they stand: Update again sends the same key, and after a
    // success Update does nothing until she changes them.
    FormAction action_;
};
