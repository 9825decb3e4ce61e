#include "Controllers/SignIn/NewBabyViewController.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Controllers/SignIn/SignInWeakly.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

namespace {

constexpr CGFloat kBadgeSide = 32;
constexpr CGFloat kAccessorySide = 32;

// A formatter of one fixed pattern in the device's locale and time zone.
DateFormatter patternFormatter(const char* pattern) {
    DateFormatter formatter;
    formatter.setDateFormat(pattern);
    return formatter;
}

std::shared_ptr<UIButton> makeAccessoryButton(const char* image, const std::string& identifier) {
    auto button = std::make_shared<UIButton>(UIButtonType::custom);
    button->setImage(UIImage::named(image), UIControlStateNormal);
    button->setAccessibilityIdentifier(identifier);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setSize(*button, {kAccessorySide, kAccessorySide});
    return button;
}

} // namespace

const std::shared_ptr<UIDatePicker>& NewBabyViewController::datePicker() {
    if (!datePicker_) {
        datePicker_ = std::make_shared<UIDatePicker>();
        datePicker_->datePickerMode = UIDatePickerMode::date;
        datePicker_->addTarget(this, &NewBabyViewController::datePickerDidChange, UIControlEventValueChanged);
    }
    return datePicker_;
}

const std::shared_ptr<UIPickerView>& NewBabyViewController::genderPicker() {
    if (!genderPicker_) {
        genderPicker_ = std::make_shared<UIPickerView>();
        genderPicker_->setDataSource(static_cast<UIPickerViewDataSource*>(this));
        genderPicker_->setDelegate(static_cast<UIPickerViewDelegate*>(this));
    }
    return genderPicker_;
}

DateFormatter& NewBabyViewController::dateFormatter() {
    if (!dateFormatter_) {
        // The field reads one way whether the lookup filled it or the wheel turned it.
        dateFormatter_ = std::make_unique<DateFormatter>(patternFormatter(kShownDateFormat));
    }
    return *dateFormatter_;
}

const std::shared_ptr<UIToolbar>& NewBabyViewController::inputAccessoryToolbar() {
    if (!inputAccessoryToolbar_) {
        inputAccessoryToolbar_ = std::make_shared<UIToolbar>();
        inputAccessoryToolbar_->setTintColor(UIColorPalette::mainColor1());
        inputAccessoryToolbar_->setItems(
            {std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace),
             std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done,
                                               weakly(*this, &NewBabyViewController::didTapInputDone))},
            false);
        inputAccessoryToolbar_->sizeToFit();
    }
    return inputAccessoryToolbar_;
}

void NewBabyViewController::setSelectedDate(const std::optional<Date>& date) {
    selectedDate_ = date;
    shownDate_ = date;
    dobTextField->setText(date ? std::optional<std::string>(dateFormatter().string(*date)) : std::nullopt);
}

std::string NewBabyViewController::babyFullName() const {
    return nameTextField ? nameTextField->text().value_or("") : std::string();
}

std::string NewBabyViewController::babyBirthday() const {
    return dobTextField ? dobTextField->text().value_or("") : std::string();
}

std::shared_ptr<UIImage> NewBabyViewController::babyImage() const {
    return babyImageView ? babyImageView->image() : nullptr;
}

void NewBabyViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    contentView_ = SignInForm::makeScrollingColumn(*root, "newBabyScrollView", scrollView);

    // The baby's picture: a band twice as wide as high, as the cropper cuts it.
    babyImageView = std::make_shared<UIImageView>();
    babyImageView->setAccessibilityIdentifier("babyImageView");
    babyImageView->setBackgroundColor(UIColorPalette::backgroundColor());
    babyImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    babyImageView->setClipsToBounds(true);
    babyImageView->setTranslatesAutoresizingMaskIntoConstraints(false);

    cameraImageView = std::make_shared<UIImageView>(UIImage::named("camera-re"));
    cameraImageView->setAccessibilityIdentifier("cameraImageView");
    cameraImageView->setUserInteractionEnabled(true);
    cameraImageView->setTranslatesAutoresizingMaskIntoConstraints(false);

    nameTextField = SignInForm::makeField("Full Name", "nameTextField");
    nameTextField->autocapitalizationType = UITextAutocapitalizationType::words;
    nameTextField->returnKeyType = UIReturnKeyType::next;
    dobTextField = SignInForm::makeField("Date of Birth", "dobTextField");
    dobTextField->returnKeyType = UIReturnKeyType::next;
    genderTextField = SignInForm::makeField("Gender", "genderTextField");
    genderTextField->returnKeyType = UIReturnKeyType::next;
    mrnTextField = SignInForm::makeField("MRN", "mrnTextField");
    mrnTextField->returnKeyType = UIReturnKeyType::done;

    auto calendarButton = makeAccessoryButton("tab-calendar", "calendarButton");
    calendarButton->addTarget(this, &NewBabyViewController::didTapCalendarButton, UIControlEventTouchUpInside);
    auto chevronButton = makeAccessoryButton("chevron-down-journey", "genderChevronButton");
    chevronButton->addTarget(this, &NewBabyViewController::didTapGenderChevron, UIControlEventTouchUpInside);
    wheelButtons_ = {calendarButton, chevronButton};

    submitButton = SignInForm::makeButton("Continue", "submitButton");
    submitButton->addTarget(this, &NewBabyViewController::didTapSubmit, UIControlEventTouchUpInside);

    for (const auto& v : std::vector<UIViewPtr>{babyImageView, cameraImageView, nameTextField, dobTextField,
                                                genderTextField, mrnTextField, calendarButton, chevronButton,
                                                submitButton})
        contentView_->addSubview(v);
    lyt_layoutHorizontalWithMargin(*babyImageView, 0);
    for (const auto& v : std::vector<UIViewPtr>{nameTextField, dobTextField, genderTextField, mrnTextField})
        lyt_layoutHorizontalWithMargin(*v, SignInForm::kMargin);
    lyt_horizontalCenterInSuperView(*submitButton);
    lyt_setSize(*cameraImageView, {kBadgeSide, kBadgeSide});
    NSLayoutConstraint::activate({
        babyImageView->topAnchor().constraintEqualTo(contentView_->topAnchor()),
        babyImageView->heightAnchor().constraintEqualTo(babyImageView->widthAnchor(), 0.5, 0),
        cameraImageView->trailingAnchor().constraintEqualTo(babyImageView->trailingAnchor(), -12),
        cameraImageView->bottomAnchor().constraintEqualTo(babyImageView->bottomAnchor(), -12),
        nameTextField->topAnchor().constraintEqualTo(babyImageView->bottomAnchor(), 16),
        dobTextField->topAnchor().constraintEqualTo(nameTextField->bottomAnchor(), 8),
        genderTextField->topAnchor().constraintEqualTo(dobTextField->bottomAnchor(), 8),
        mrnTextField->topAnchor().constraintEqualTo(genderTextField->bottomAnchor(), 8),
        calendarButton->trailingAnchor().constraintEqualTo(dobTextField->trailingAnchor()),
        calendarButton->centerYAnchor().constraintEqualTo(dobTextField->centerYAnchor()),
        chevronButton->trailingAnchor().constraintEqualTo(genderTextField->trailingAnchor()),
        chevronButton->centerYAnchor().constraintEqualTo(genderTextField->centerYAnchor()),
        submitButton->topAnchor().constraintEqualTo(mrnTextField->bottomAnchor(), 32),
        submitButton->bottomAnchor().constraintEqualTo(contentView_->bottomAnchor(), -32),
    });
}

void NewBabyViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    fillForm();

    auto& dates = datePicker();
    CGRect frame = dates->frame();
    frame.size.height = kPickerHeight;
    dates->setFrame(frame);
    dobTextField->setInputView(dates);
    dobTextField->setInputAccessoryView(inputAccessoryToolbar());

    auto& genders = genderPicker();
    frame = genders->frame();
    frame.size.height = kPickerHeight;
    genders->setFrame(frame);
    genderTextField->setInputView(genders);
    genderTextField->setInputAccessoryView(inputAccessoryToolbar());
    genders->showsSelectionIndicator = true;

    cameraImageView->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(weakly(*this, &NewBabyViewController::cameraButtonTapped)));
    view()->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(weakly(*this, &NewBabyViewController::dismissKeyboard)));
}

void NewBabyViewController::fillForm() {
    for (const auto& field : {nameTextField, dobTextField, genderTextField, mrnTextField})
        field->setDelegate(this);
    if (!babyData) return;
    nameTextField->setText(babyData->fullName());
    if (auto birthday = patternFormatter(kServerDateFormat).date(babyData->birthday())) {
        shownDate_ = *birthday;
        dobTextField->setText(patternFormatter(kShownDateFormat).string(*birthday));
    }
    genderTextField->setText(rawValue(babyData->gender()));
    mrnTextField->setText(babyData->mrn().value_or(""));
    if (babyData->imageFile()) updateImageWith(*babyImageView, *babyData->imageFile());
    if (babyData->isEditable() == false) showReadOnly();
}

void NewBabyViewController::showReadOnly() {
    // The family she joins describes its own baby: nothing here is offered that would be dropped.
    for (const auto& field : {nameTextField, dobTextField, genderTextField, mrnTextField}) {
        field->setEnabled(false);
        field->setTextColor(UIColor::lightGrayColor());
    }
    for (const auto& button : wheelButtons_)
        button->setHidden(true);
    cameraImageView->setHidden(true);
    cameraImageView->setUserInteractionEnabled(false);
}

void NewBabyViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // Back from the next step: the submit's overlay would otherwise still cover the form.
    hideActivityOverlay(*this, false);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void NewBabyViewController::didTapSubmit() {
    if (!babyData) return;
    showActivityOverlay(*this, true);
    babyData->setFullName(babyFullName());
    // The server's calendar date of the day shown, never the shown text itself: that text follows the
    // device's language ("31 déc. 2018"), which the server cannot read.
    if (shownDate_) babyData->setBirthday(patternFormatter(kServerDateFormat).string(*shownDate_));
    // Only a picture the member chose goes; the one the lookup showed is the server's own already.
    babyData->setRequestImage(croppedPhoto());
    if (auto d = delegate.lock()) d->newBabyViewController(*this, babyData);
}

void NewBabyViewController::saveButtonPressed() {
    didTapSubmit();
}

void NewBabyViewController::pictureRoad() {
    presentImageSourceOptions();
}

void NewBabyViewController::cameraButtonTapped() {
    pictureRoad();
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap),
                            {{"babyPicturePicker", JSON("User trying to pick a picture")}});
}

void NewBabyViewController::didTapCameraButton() {
    pictureRoad();
}

void NewBabyViewController::didTapGenderChevron() {
    genderTextField->becomeFirstResponder();
}

void NewBabyViewController::didTapCalendarButton() {
    dobTextField->becomeFirstResponder();
}

void NewBabyViewController::didTapInputDone() {
    view()->endEditing(true);
}

void NewBabyViewController::dismissKeyboard() {
    view()->endEditing(true);
}

void NewBabyViewController::datePickerDidChange() {
    setSelectedDate(datePicker()->date());
}

bool NewBabyViewController::textFieldShouldBeginEditing(UITextField* field) {
    if (field == dobTextField.get()) {
        if (dobTextField->text().value_or("").empty()) {
            const Date today;
            shownDate_ = today;
            dobTextField->setText(dateFormatter().string(today));
        }
        // The wheel opens at the day the field shows, and a turn moves from there.
        if (shownDate_) datePicker()->setDate(*shownDate_);
    }
    return true;
}

bool NewBabyViewController::textFieldShouldReturn(UITextField* field) {
    if (field == nameTextField.get())
        dobTextField->becomeFirstResponder();
    else if (field == dobTextField.get())
        genderTextField->becomeFirstResponder();
    else if (field == genderTextField.get())
        mrnTextField->becomeFirstResponder();
    else
        view()->endEditing(true);
    return true;
}

long NewBabyViewController::numberOfRowsInComponent(UIPickerView*, long) {
    return static_cast<long>(genderPickerOptions.size());
}

std::optional<std::string> NewBabyViewController::titleForRow(UIPickerView*, long row, long) {
    if (row < 0 || row >= static_cast<long>(genderPickerOptions.size())) return std::nullopt;
    return genderPickerOptions[static_cast<std::size_t>(row)];
}

void NewBabyViewController::didSelectRow(UIPickerView*, long row, long) {
    // "Select" names no gender.
    if (row <= 0 || row >= static_cast<long>(genderPickerOptions.size())) return;
    genderTextField->setText(genderPickerOptions[static_cast<std::size_t>(row)]);
}

