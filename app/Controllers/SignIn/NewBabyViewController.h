#pragma once

// The baby found by its medical record number, for the member to check before the account is made
// (scene "NewBabyViewController" of the storyboard "SignInSignUp"): the authentication flow sets
// `babyData` before the view loads, makes itself the `delegate`, and hears the same record back when
// the member taps "Continue". The screen sends nothing to the server itself.
//
// The form shows the baby's picture, name, date of birth ("MMM, dd yyyy", as the lookup gave it and
// as the date wheel turns it; the wheel opens at the day the field shows), gender and record
// number. The member may change the name, the date (through the date picker only) and the picture
// (cropped to a 2:1 band); the gender wheel changes what the field shows, but the record keeps the
// lookup's gender. A baby the lookup says is not hers to describe (a family's she joins on
// invitation: the server keeps its record) is shown read-only, without the wheels or the camera.
// The submit writes name, birthday and picture into the very record it was given (the picture only
// when the member chose one: the lookup's is the server's already): the birthday as "yyyy-MM-dd",
// the picked date when the wheel was turned, else the day the field shows, else the lookup's text
// unchanged.
//
// The activity overlay covers the screen from the submit until the member comes back to it. The form
// scrolls so that the field being edited stands 12 points above the keyboard. Main thread only.

#include "Extensions/CroppedPhotoPicking.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Views/LFloatTextField.h"
#include "Views/OvalButton.h"
#include "foundation/time/DateFormatter.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UIImageView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class NewBabyViewController;

class NewBabyViewControllerDelegate {
public:
    virtual ~NewBabyViewControllerDelegate() = default;
    virtual void newBabyViewController(NewBabyViewController& screen, const std::shared_ptr<BabyData>& baby) = 0;
};

class NewBabyViewController : public UIViewController,
                              public UITextFieldDelegate,
                              public UIPickerViewDataSource,
                              public UIPickerViewDelegate,
                              public CroppedPhotoPicking,
                              public WideBandCropMask,
                              public ImageSourcePresenting<NewBabyViewController>,
                              public StoryboardIdentifiable<NewBabyViewController> {
public:
    static constexpr const char* kTitle = "Create Account";
    static constexpr const char* kScreenName = "MyBabyScreen";
    // How a birthday from the lookup is shown, and how the server writes and reads it.
    static constexpr const char* kShownDateFormat = "MMM, dd yyyy";
    static constexpr const char* kServerDateFormat = "yyyy-MM-dd";
    static constexpr CGFloat kPickerHeight = 260;

    std::shared_ptr<BabyData> babyData;
    std::weak_ptr<NewBabyViewControllerDelegate> delegate;
    const std::vector<std::string> genderPickerOptions{"Select", "Female", "Male"};
    std::shared_ptr<UIImageView> babyImageView;
    std::shared_ptr<UIImageView> cameraImageView;
    std::shared_ptr<LFloatTextField> nameTextField;
    std::shared_ptr<LFloatTextField> dobTextField;
    std::shared_ptr<LFloatTextField> genderTextField;
    std::shared_ptr<LFloatTextField> mrnTextField;
    std::shared_ptr<UIScrollView> scrollView;
    std::shared_ptr<OvalButton> submitButton;

    // Made on first use.
    const std::shared_ptr<UIDatePicker>& datePicker();
    const std::shared_ptr<UIPickerView>& genderPicker();
    // The locale's medium date, no time.
    DateFormatter& dateFormatter();
    // The Done bar above the date and gender wheels.
    const std::shared_ptr<UIToolbar>& inputAccessoryToolbar();

    // The last date taken from the date wheel; setting it writes it into the date field.
    const std::optional<Date>& selectedDate() const { return selectedDate_; }
    void setSelectedDate(const std::optional<Date>& date);

    // The name and date fields' texts (empty when none), and the picture shown.
    std::string babyFullName() const;
    std::string babyBirthday() const;
    std::shared_ptr<UIImage> babyImage() const;

    bool canBecomeFirstResponder() const override { return true; }
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void didTapSubmit();
    void saveButtonPressed();
    // The picture road, then its usage event.
    void cameraButtonTapped();
    void didTapCameraButton();
    void didTapGenderChevron();
    void didTapCalendarButton();
    void didTapInputDone();
    void dismissKeyboard();
    void datePickerDidChange();

    bool textFieldShouldBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;

    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override;
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

protected:
    // The picked picture is cropped (CroppedPhotoPicking) to the baby's band (WideBandCropMask).
    UIViewController& photoScreen() override { return *this; }
    std::shared_ptr<UIImageView> photoView() override { return babyImageView; }
    RSKImageCropMode photoCropMode() const override { return RSKImageCropMode::custom; }

private:
    void fillForm();
    // A baby whose record the server keeps (a family's she joins on invitation) is shown for her to
    // check, with no field, wheel or picture offered.
    void showReadOnly();
    void pictureRoad();

    std::shared_ptr<UIDatePicker> datePicker_;
    std::shared_ptr<UIPickerView> genderPicker_;
    std::unique_ptr<DateFormatter> dateFormatter_;
    std::shared_ptr<UIToolbar> inputAccessoryToolbar_;
    std::optional<Date> selectedDate_;
    // The day the date field shows, whichever way it got there; none while it shows none.
    std::optional<Date> shownDate_;
    std::shared_ptr<UIView> contentView_;
    // The calendar and the chevron that open the date and gender wheels.
    std::vector<std::shared_ptr<UIButton>> wheelButtons_;
};
