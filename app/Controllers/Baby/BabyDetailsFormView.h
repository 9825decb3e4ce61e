#pragma once

// The form of one baby: a 2:1 photo with a camera button above a white card of float-label fields
// for the full name, the date of birth, the gender and the medical record number. It also keeps an
// expected date of birth that it fills and reports but never shows (that field is in no window, so
// it can never take the keyboard).
//
// The owner decides which sections may be edited, fills the form from a baby and reads it back
// through BabyDetailsFormContent. The form talks to no server; it tells its delegate of a tap on
// the photo or the camera button, and of the start of editing in any field. Main thread only.

#include "Models/BabyData.h"
#include "Models/BabyDetailsFormContent.h"
#include "Views/LFloatTextField.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UIPickerView.h"
#include "uikit/view/UIImageView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

class UITextField;

class BabyDetailsFormViewDelegate {
public:
    virtual ~BabyDetailsFormViewDelegate() = default;
    // The member tapped the photo or the camera button.
    virtual void cameraButtonTapped() = 0;
    // The member is about to edit `textField` of this form.
    virtual void isEditingWithTextField(UITextField& textField) = 0;
    // A wheel changed what a field of this form holds (typing tells of itself, as text fields do).
    virtual void formDidChange() {}
};

// Declares no members and is never raised: empty fields are only marked.
struct BabyFormValidationError {
    unsigned long rawValue = 0;
    bool operator==(const BabyFormValidationError&) const = default;
    bool isEmpty() const { return rawValue == 0; }
    std::error_code errorCode() const { return {static_cast<int>(rawValue), std::generic_category()}; }
};

class BabyDetailsFormView : public UIView,
                            public BabyDetailsFormContent,
                            public UITextFieldDelegate,
                            public UIPickerViewDataSource,
                            public UIPickerViewDelegate {
public:
    enum class Section { fullName = 0, dob, expectedDOB, gender, mrn };
    static const std::vector<Section>& allSections();

    // "MMM, dd yyyy" in the device's locale: the dates the pickers write and the form shows.
    static constexpr const char* kDisplayPattern = "MMM, dd yyyy";
    static constexpr const char* kCameraTapped = "Camera Button tapped";

    BabyDetailsFormView();
    // Negative numbers mark forms of babies not yet saved.
    explicit BabyDetailsFormView(std::int64_t babyNumber);
    explicit BabyDetailsFormView(const CGRect& frame) = delete;
    ~BabyDetailsFormView() override;
    std::string className() const override { return "BabyDetailsFormView"; }

    std::weak_ptr<BabyDetailsFormViewDelegate> delegate;
    bool didUpdateConstraints = false;
    std::vector<std::string> genderPickerOptions{"Select", "Female", "Male"};
    // Writing it changes no field.
    bool isFormEnabled = true;

    const std::vector<Section>& editableSections() const { return editableSections_; }
    // Re-applies the present state at once (enableForm or disableForm).
    void setEditableSections(std::vector<Section> sections);

    // --- Subviews, made on first use ---
    const std::shared_ptr<UIImageView>& babyImageView();
    const std::shared_ptr<UIButton>& cameraButton();
    const std::shared_ptr<UIView>& formView();
    const std::shared_ptr<LFloatTextField>& babyfullNameTextField();
    const std::shared_ptr<LFloatTextField>& birthdayField();
    const std::shared_ptr<LFloatTextField>& birthdayExpectedField();
    const std::shared_ptr<LFloatTextField>& genderField();
    const std::shared_ptr<LFloatTextField>& mrnField();
    const std::shared_ptr<UIView>& border1();
    const std::shared_ptr<UIView>& border2();
    const std::shared_ptr<UIView>& border3();
    const std::shared_ptr<UIToolbar>& datePickerToolbar();
    void setDatePickerToolbar(std::shared_ptr<UIToolbar> toolbar) { datePickerToolbar_ = std::move(toolbar); }
    const std::shared_ptr<UIToolbar>& genderPickerToolBar();
    void setGenderPickerToolBar(std::shared_ptr<UIToolbar> toolbar) { genderPickerToolBar_ = std::move(toolbar); }
    const std::shared_ptr<UIDatePicker>& birthdayDatePicker();
    const std::shared_ptr<UIDatePicker>& expectedBirthdayDatePicker();
    const std::shared_ptr<UIPickerView>& genderPickerView();
    const DateFormatter& pickerDateFormatter();

    // --- Filling and reading ---
    void updateBabyWith(const BabyData& baby);
    // The texts as shown; the empty text for a field without one.
    std::string babyFullName() const;
    std::string babyBirthday() const;
    std::string babyExpectedBirthday() const;
    void updateBirthdayField(const std::string& text);
    void updateExpectedBirthdayField(const std::string& text);
    void updateGenderField(const std::string& text);
    // Shows the picture; it is not one to send.
    void updateBabyImage(const std::shared_ptr<UIImage>& image);
    // Shows a picture the member cropped here: the one picture the form hands over to send.
    void updateCroppedBabyImage(const std::shared_ptr<UIImage>& image);
    void setCameraButtonEnabled(bool enabled);

    // --- Enabling ---
    void enableForm();
    void disableForm();

    // --- Marking ---
    void showInvalidName();
    void showInvalidBirthday();
    void showInvalidExpectedBirthday();
    void clearInvalidFields();
    // Marks the empty name and date fields; always succeeds.
    bool validateAndReturnError(BabyFormValidationError* error = nullptr);

    // --- Field movement and actions ---
    void moveResponderFrom(UITextField* field);
    void doneButtonAction();
    void onDatePickerDone();
    void onDatePickerChange();
    void onGenderSelected();
    void cameraButtonClicked();

    // --- BabyDetailsFormContent: what is sent ---
    std::optional<std::int64_t> babyNumber() const override { return babyNumber_; }
    std::string babyFullNameText() const override { return babyFullName(); }
    // Dates that read in the display pattern go as "yyyy-MM-dd"; others as they stand.
    std::string birthdayText() const override;
    std::string birthdayExpectedText() const override;
    std::string genderText() const override;
    // The picture cropped on this screen, else none: a downloaded photo or the placeholder is never
    // sent back.
    std::shared_ptr<UIImage> babyImage() const override { return croppedImage_; }

    // --- Delegates of the fields and the gender picker ---
    bool textFieldShouldBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    long numberOfComponents(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override {
        return static_cast<long>(genderPickerOptions.size());
    }
    std::optional<std::string> titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

    void updateConstraints() override;

    // A display-pattern date text as the server writes it, or the text as it stands.
    static std::string serverDateText(const std::string& text);

private:
    void build();
    std::shared_ptr<LFloatTextField> makeField(const std::string& placeholder);
    std::shared_ptr<UIToolbar> makeToolbar(const std::string& title, void (BabyDetailsFormView::*action)());
    void markField(LFloatTextField& field, const UIColor& color);

    std::optional<std::int64_t> babyNumber_;
    std::vector<Section> editableSections_;
    std::shared_ptr<UIImage> croppedImage_;
    std::shared_ptr<UIImageView> babyImageView_;
    std::shared_ptr<UIButton> cameraButton_;
    std::shared_ptr<UIView> formView_;
    std::shared_ptr<LFloatTextField> babyfullNameTextField_;
    std::shared_ptr<LFloatTextField> birthdayField_;
    std::shared_ptr<LFloatTextField> birthdayExpectedField_;
    std::shared_ptr<LFloatTextField> genderField_;
    std::shared_ptr<LFloatTextField> mrnField_;
    std::shared_ptr<UIView> border1_, border2_, border3_;
    std::shared_ptr<UIToolbar> datePickerToolbar_;
    std::shared_ptr<UIToolbar> genderPickerToolBar_;
    std::shared_ptr<UIDatePicker> birthdayDatePicker_;
    std::shared_ptr<UIDatePicker> expectedBirthdayDatePicker_;
    std::shared_ptr<UIPickerView> genderPickerView_;
    std::unique_ptr<DateFormatter> pickerDateFormatter_;
};

using BabyDetailsFormViewPtr = std::shared_ptr<BabyDetailsFormView>;
