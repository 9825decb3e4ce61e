#pragma once

// The My Baby screen: one baby details form per baby on horizontally paged pages, built in code.
//
// Made with its plain constructor it edits the signed-in member's stored babies (the side menu
// shows it, the feed pushes it); Save sends them to the server's baby update, stores the server's
// list and closes the screen. Made with a password and a new member it is the end of a
// registration: Save creates the account with the babies, signs the member in and opens the
// tutorial over the main interface.
//
// Parents (mothers and fathers) edit the names and add babies through the add-a-baby flow; other
// members see the forms read-only. The pages are rebuilt from the stored babies at every
// appearance, except the one that follows the photo choice, so unsaved edits survive a crop.
// Everything runs on the main thread; requests answer on the main queue.

#include "Controllers/Baby/BabyDetailsFormView.h"
#include "Controllers/Baby/NewBabyFlowController.h"
#include "Extensions/CroppedPhotoPicking.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Models/UserData.h"
#include "Services/ActionKey.h"
#include "Services/BaseHTTPService.h"
#include "Views/GreenButton.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MyBabyViewController : public UIViewController,
                             public BabyDetailsFormViewDelegate,
                             public NewBabyFlowControllerDelegate,
                             public UIScrollViewDelegate,
                             public CroppedPhotoPicking,
                             public WideBandCropMask,
                             public ImageSourcePresenting<MyBabyViewController> {
public:
    static constexpr const char* kScreenName = "MyBabyScreen";
    static constexpr const char* kTitle = "My Baby";
    static constexpr const char* kAddBabyText =
        "We found your baby. Please review the information below and confirm. You can change the name and "
        "even attach a photo too! Tap \"Save\" when you're done.";
    static constexpr const char* kSave = "Save";
    static constexpr const char* kAllFieldsRequired = "All fields are required.";
    static constexpr const char* kTooSmall = "The difference between Actual DOB and Expected DOB is too small";
    static constexpr const char* kQuiteLarge = "The difference between Actual DOB and Expected DOB is quite large";
    static constexpr const char* kSaved = "Successfully saved.";
    static constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";
    static constexpr const char* kSignUpFailed = "An error occured";
    static constexpr const char* kSignUpError = "Error Occured";

    // Edit mode.
    MyBabyViewController();
    // Create-account mode: `initWithPassword:newUserData:`.
    MyBabyViewController(std::optional<std::string> password, std::shared_ptr<UserData> newUserData);
    ~MyBabyViewController() override;
    std::string className() const override { return "MyBabyViewController"; }

    std::optional<std::string> password;
    std::shared_ptr<UserData> user;
    bool isCreateAccount = false;
    bool didUpateConstraints = false;
    // One place per page: the baby's form once it is made (the pages near the one shown, and any
    // the member changed), else empty. A server may name thousands of babies; each form is a
    // screenful of views.
    std::vector<BabyDetailsFormViewPtr> babyFormViewArray;
    long currentBabyNumber = 0;
    long maximumBabies = 4;
    std::int64_t newBabyId = -1;
    std::weak_ptr<UITextField> currentFocussedTextField;
    bool openedImagePickerView = false;

    // --- Views, made on first use ---
    const std::shared_ptr<UIScrollView>& babyVerticalScrollView();
    const std::shared_ptr<UIScrollView>& babyHorizontalScrollView();
    const std::shared_ptr<UIView>& babyFormContainerView();
    const std::shared_ptr<UILabel>& welcomeLabel();
    const std::shared_ptr<UILabel>& addBabyLabel();
    const std::shared_ptr<UIPageControl>& pageControl();
    const std::shared_ptr<GreenButton>& saveBabyDetails();

    // Mothers and fathers.
    bool isParent() const;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateViewConstraints() override;
    void viewDidLayoutSubviews() override;

    // --- Pages ---
    void reloadBabyForms();
    void setupForNoBabies();
    void addExistingBabyFormViewsWithBabyDataArray(const std::vector<std::shared_ptr<BabyData>>& babies);
    void addBabyFormViewWithBaby(const BabyData& baby);
    // The form of `page`, made now if it was not (none past the ends).
    const BabyDetailsFormViewPtr& formAt(long page);
    // What Save sends: each page's form as it reads, or, for a page whose form was never made, the
    // baby's record as its form would send it untouched.
    std::vector<std::shared_ptr<BabyData>> babiesToSend() const;
    void scrollViewDidScroll(UIScrollView* scrollView) override;
    void scrollToPage(long page);
    void scrollToSelectedBaby();

    // --- Adding a baby ---
    void showActionOptions();
    void didTapAddBaby();
    void addBaby();
    void removeCurrentBabyFromView();
    void newBabyFlowControllerDidCancel(NewBabyFlowController& flow) override;
    void newBabyFlowControllerDidSaveBaby(NewBabyFlowController& flow) override;
    void newBabyFlowControllerDidFailWithErrorMessage(NewBabyFlowController& flow,
                                                      const std::string& message) override;

    // --- The form's delegate ---
    void cameraButtonTapped() override;
    void isEditingWithTextField(UITextField& textField) override;
    void formDidChange() override;
    void babyfullNameFieldTappedWithTextField(UITextField& textField);
    void enableSaveButton();

    // --- Picture ---
    // Cropped to the baby's band (CroppedPhotoPicking, WideBandCropMask); the current page's form
    // takes the picture and Save is enabled.
    void didCropImage(RSKImageCropViewController& cropper, const std::shared_ptr<UIImage>& croppedImage,
                      CGRect cropRect, CGFloat rotationAngle) override;

    // --- Keyboard ---
    void dismissPicker();

    // --- Save ---
    void createOrUpdateBabyDetails();
    bool validateInputs();
    bool validateName();
    bool validateActualDOB();
    bool validateExpectedDOB();
    bool validateGender() { return true; }
    bool validateActualDOBAndExpectedDOB();
    void updateBabyDetails(const std::vector<std::shared_ptr<BabyData>>& babies, const ActionKey& key);
    void createAccount(const std::vector<std::shared_ptr<BabyData>>& babies, const ActionKey& key);

    // The babies of an update reply's "response" list: entries without the four texts are
    // skipped, a gender other than male or female is Unknown.
    static std::vector<std::shared_ptr<BabyData>> babiesOfUpdateReply(const JSON& reply);

protected:
    UIViewController& photoScreen() override { return *this; }
    // None: the page's form shows the picture it keeps (didCropImage).
    std::shared_ptr<UIImageView> photoView() override { return nullptr; }
    RSKImageCropMode photoCropMode() const override { return RSKImageCropMode::custom; }

private:
    BabyDetailsFormViewPtr makeForm(std::int64_t babyNumber);
    // Makes the container `pages` screens wide and puts the made forms on their pages.
    void layOutForms(long pages);
    void placeForms();
    void placeForm(const BabyDetailsFormViewPtr& form, long page);
    // Makes the forms within `kFormsMade` of `page`; lets go of unchanged ones further than
    // `kFormsKept` (a family's few babies keep all theirs).
    void makeFormsNear(long page);
    bool formIsUnchanged(long page) const;
    static std::shared_ptr<BabyData> sentRecord(const BabyData& baby);

    static constexpr long kFormsMade = 2;
    static constexpr long kFormsKept = 4;
    // The stored record of each page; empty for a page of a baby being added.
    std::vector<std::shared_ptr<BabyData>> pageBabies_;
    // Each made form's distance from the container's leading edge.
    std::vector<NSLayoutConstraintPtr> formLeadings_;
    NSLayoutConstraintPtr containerWidth_;
    bool validateField(const std::shared_ptr<LFloatTextField>& (BabyDetailsFormView::*field)());
    void handleUpdateSuccess(const JSON& reply);
    void handleUpdateFailure(const RequestError& error);
    void handleSignUpSuccess(const std::optional<JSON>& reply);
    void handleSignUpFailure(const RequestError& error);
    // Pops the screen when pushed, dismisses it when presented.
    void close();
    void sendEvent(const std::string& action, const JSON::dictionary_t& details);

    std::shared_ptr<UIScrollView> babyVerticalScrollView_;
    std::shared_ptr<UIScrollView> babyHorizontalScrollView_;
    std::shared_ptr<UIView> babyFormContainerView_;
    std::shared_ptr<UILabel> welcomeLabel_;
    std::shared_ptr<UILabel> addBabyLabel_;
    std::shared_ptr<UIPageControl> pageControl_;
    std::shared_ptr<GreenButton> saveBabyDetails_;
    // The save of the pages as they stand (the babies, or the new account with them): Save again
    // sends the same key; any edit, picture, page added or removed, or rebuild makes a new action.
    FormAction action_;
};
