#pragma once

// What the two milestone forms (adding one, editing one) share: the dates they exchange with the
// server and show, their date picker and its Done bar, the rows of their form, the Cancel item, and
// the photo that the member picks and crops square.
//
// Dates. The server writes a milestone's date "MMM d, yyyy" ("Mar 7, 2019") and takes dates
// "yyyy-MM-dd"; both are read and written in en_US_POSIX and the Gregorian calendar, in the
// device's time zone, so that a device set to Thai (Buddhist years) or French (other month names)
// still sends 2019 and reads "Mar 7, 2019". What the form shows after a pick is the device's own
// medium date ("7 mars 2019").

#include "Extensions/CroppedPhotoPicking.h"
#include "Models/BabyData.h"
#include "Services/ActionKey.h"
#include "foundation/time/Date.h"
#include "foundation/time/DateFormatter.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controllers/UIViewController.h"
#include "Views/CardView.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UITextField.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::journey {

// "yyyy-MM-dd", as dates are sent.
DateFormatter postDateFormatter();
// "MMM d, yyyy", as the server writes a milestone's date.
DateFormatter serverDateFormatter();
// The device's medium date without a time, as the forms show a picked date.
DateFormatter shownDateFormatter();

// A date-only picker whose dates run from the baby's birth date (no lower bound when the baby has
// none that reads) to now, 260 points high. The caller attaches its action.
std::shared_ptr<UIDatePicker> makeDatePicker(const std::shared_ptr<BabyData>& baby);
// The bar above a picker: a flexible space and the system Done item, which runs `done`. Laid out
// by constraints.
std::shared_ptr<UIToolbar> makeInputToolbar(std::function<void()> done);

// One row of a form: a stack of a grey header over a white card that holds a text field with a
// small button at its right end (the chevron that opens the kinds, the calendar that opens the
// dates). Hiding the stack takes the whole row away.
struct FormRow {
    std::shared_ptr<UIStackView> view;
    std::shared_ptr<UILabel> headerLabel;
    std::shared_ptr<UITextField> field;
    std::shared_ptr<UIButton> button; // none when the row has no button
};
// `image` names the button's picture; the empty name makes no button.
FormRow makeFormRow(const std::string& header, const std::string& placeholder, const std::string& image);
// The form's body: a scroll view filling `root` that holds the rows in a column, 16 points in from
// the sides, each row as wide as the column. The field being edited is kept above the keyboard.
struct FormColumn {
    std::shared_ptr<UIScrollView> scrollView;
    std::shared_ptr<UIStackView> column;
};
FormColumn makeFormColumn(UIView& root, const std::vector<std::shared_ptr<UIView>>& rows);
// The form's Save button (white on the mint green, its ends rounded) on its shadow card, 48 points
// high. Returns the card; the button is handed out.
std::shared_ptr<CardView> makeSaveButton(std::shared_ptr<UIButton>& button);

// The milestone's photo, 200 points high: aspect-filled, clipped, on the form's grey, with the camera button in its
// lower right corner. Returns the container; the image view and the button are handed out.
std::shared_ptr<UIView> makePhotoArea(std::shared_ptr<UIImageView>& imageView, std::shared_ptr<UIButton>& cameraButton);

// The photo of a milestone form: the camera button asks for a source (image-source sheet), the
// picked picture, as taken, goes to a square cropper over the picker, and the cropped picture
// becomes the form's photo (CroppedPhotoPicking). The crop square is measured on the form's own
// view: 20 points in from the left, as wide as the view less 40 points, centred vertically.
class JourneyPhotoForm : public CroppedPhotoPicking, public RSKImageCropViewControllerDataSource {
public:
    // `didTapCameraButton:`.
    void didTapCameraButton(UIButton* sender);

    CGRect customMaskRect(RSKImageCropViewController& cropper) override;
    UIBezierPath customMaskPath(RSKImageCropViewController& cropper) override;
    CGRect customMovementRect(RSKImageCropViewController& cropper) override;

protected:
    ~JourneyPhotoForm() override = default;
    // The photo area (makePhotoArea) whose camera button runs didTapCameraButton for as long as the
    // form lives. Made once the form is owned (from loadView on); the image view is handed out.
    std::shared_ptr<UIView> makePhotoAreaWithCamera(std::shared_ptr<UIImageView>& imageView);
    RSKImageCropMode photoCropMode() const override { return RSKImageCropMode::custom; }
};

// The rest of what the two forms do alike: the date picker that fills the date field, the date
// formats, the Done bar over the pickers, and the Cancel item. Main thread only; the picker, the bar
// and the item hold the form weakly.
class JourneyForm : public JourneyPhotoForm {
public:
    // Set by the presenter before the view loads: the baby whose birth is the picker's first date.
    std::shared_ptr<BabyData> baby;
    // The outlets both forms have, connected when the scene is built.
    std::weak_ptr<UIImageView> imageView;
    std::weak_ptr<UITextField> milestoneField;
    std::weak_ptr<UITextField> dateField;

    // Made on first use and kept. The picker's date runs from the baby's birth to now (makeDatePicker)
    // and every turn of it runs datePickerDidChange: the wheels send value-changed, not a primary
    // action, so both are taken and the date the member turns to is the one shown and saved.
    const std::shared_ptr<UIDatePicker>& datePicker();
    const DateFormatter& dateFormatter();     // shownDateFormatter
    const DateFormatter& postDateFormatter(); // as dates are sent
    const std::shared_ptr<UIToolbar>& inputAccessoryToolbar();
    // The date a save sends.
    std::optional<Date> selectedDate;

    // The picker's date becomes the selected date, shown in the date field.
    void datePickerDidChange();
    // The date field shows the selected date in the device's medium style, or nothing without one.
    void updateDateField();
    // Done on the bar ends editing: the keyboard or picker goes.
    void didTapInputDone();
    // Cancel on the navigation bar.
    virtual void didTapCancel() = 0;
    // A cropped photo is a change of the form.
    void didCropImage(RSKImageCropViewController& cropper, const std::shared_ptr<UIImage>& croppedImage,
                      CGRect cropRect, CGFloat rotationAngle) override;

protected:
    ~JourneyForm() override = default;
    // The save of the form as it stands (Save again sends the same key); its date and photo report
    // their changes here, each form its typing and its other fields.
    FormAction action;
    // Puts Cancel at the left of the form's navigation bar.
    void setCancelItem();
    std::shared_ptr<UIImageView> photoView() override { return imageView.lock(); }

private:
    std::shared_ptr<UIDatePicker> datePicker_;
    std::optional<DateFormatter> dateFormatter_;
    std::optional<DateFormatter> postDateFormatter_;
    std::shared_ptr<UIToolbar> inputAccessoryToolbar_;
};

} // namespace cw::journey
