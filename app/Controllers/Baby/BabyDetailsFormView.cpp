#include "Controllers/Baby/BabyDetailsFormView.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "foundation/time/Locale.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <iostream>

namespace {

const UIColor kBorderColor = UIColorWithHex("#CCCCCC", 1.0);
const char* const kToolbarButtonTint = "#7EC5AC";

// The display pattern in the device's locale, as the pickers write it.
DateFormatter displayFormatter() {
    DateFormatter formatter;
    formatter.setDateFormat(BabyDetailsFormView::kDisplayPattern);
    return formatter;
}

} // namespace

const std::vector<BabyDetailsFormView::Section>& BabyDetailsFormView::allSections() {
    static const std::vector<Section> sections{Section::fullName, Section::dob, Section::expectedDOB,
                                               Section::gender, Section::mrn};
    return sections;
}

BabyDetailsFormView::BabyDetailsFormView() : editableSections_(allSections()) {
    build();
}

BabyDetailsFormView::BabyDetailsFormView(std::int64_t babyNumber) : BabyDetailsFormView() {
    babyNumber_ = babyNumber;
}

BabyDetailsFormView::~BabyDetailsFormView() = default;

void BabyDetailsFormView::build() {
    // The views that add themselves to their parents are made now, in the order they stack.
    babyImageView();
    cameraButton();
    formView();
    babyfullNameTextField();
    birthdayField();
    genderField();
    mrnField();
    border1();
    border2();
    border3();
}

void BabyDetailsFormView::setEditableSections(std::vector<Section> sections) {
    editableSections_ = std::move(sections);
    if (isFormEnabled)
        enableForm();
    else
        disableForm();
}

// --- Subviews ----------------------------------------------------------------------------------------

const std::shared_ptr<UIImageView>& BabyDetailsFormView::babyImageView() {
    if (!babyImageView_) {
        auto view = std::make_shared<UIImageView>(UIImage::named("scaled-down-baby-card"));
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        lyt_setWidth(*view, UIScreen::main().bounds().size.width - 40);
        view->setBackgroundColor(UIColor::clearColor());
        view->setClipsToBounds(true);
        view->layer()->borderWidth = 0.5;
        view->layer()->borderColor = kBorderColor;
        view->setContentMode(UIViewContentMode::scaleAspectFill);
        view->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer&) {
            cameraButtonClicked();
        }));
        view->setUserInteractionEnabled(true);
        view->setAccessibilityIdentifier("babyImageView");
        babyImageView_ = view;
        addSubview(view);
    }
    return babyImageView_;
}

const std::shared_ptr<UIButton>& BabyDetailsFormView::cameraButton() {
    if (!cameraButton_) {
        auto button = std::make_shared<UIButton>();
        button->setTranslatesAutoresizingMaskIntoConstraints(false);
        button->setBackgroundImage(UIImage::named("editpic"), UIControlStateNormal);
        button->setBackgroundImage(UIImage::named("editpicp"), UIControlStateHighlighted);
        button->setBackgroundImage(UIImage::named("editpicp"), UIControlStateSelected);
        button->addTarget(this, &BabyDetailsFormView::cameraButtonClicked, UIControlEventTouchUpInside);
        button->setAccessibilityIdentifier("cameraButton");
        cameraButton_ = button;
        addSubview(button);
    }
    return cameraButton_;
}

const std::shared_ptr<UIView>& BabyDetailsFormView::formView() {
    if (!formView_) {
        auto card = std::make_shared<UIView>();
        card->setTranslatesAutoresizingMaskIntoConstraints(false);
        card->setBackgroundColor(UIColor::whiteColor());
        card->layer()->borderWidth = 0.5;
        card->layer()->borderColor = kBorderColor;
        formView_ = card;
        addSubview(card);
    }
    return formView_;
}

std::shared_ptr<LFloatTextField> BabyDetailsFormView::makeField(const std::string& placeholder) {
    auto field = std::make_shared<LFloatTextField>();
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    field->setPlaceholder(placeholder);
    field->setDelegate(this);
    return field;
}

std::shared_ptr<UIToolbar> BabyDetailsFormView::makeToolbar(const std::string& title,
                                                             void (BabyDetailsFormView::*action)()) {
    auto toolbar = std::make_shared<UIToolbar>();
    toolbar->setBarStyle(UIBarStyle::default_);
    auto button = std::make_shared<UIBarButtonItem>(title, UIBarButtonItemStyle::done,
                                                    [this, action](UIBarButtonItem&) { (this->*action)(); });
    button->tintColor = UIColorWithHex(kToolbarButtonTint, 1.0);
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), button});
    toolbar->sizeToFit();
    return toolbar;
}

const std::shared_ptr<LFloatTextField>& BabyDetailsFormView::babyfullNameTextField() {
    if (!babyfullNameTextField_) {
        auto field = makeField("Full Name");
        field->autocapitalizationType = UITextAutocapitalizationType::words;
        field->returnKeyType = UIReturnKeyType::next;
        field->setTag(1);
        auto toolbar = makeToolbar("Next", &BabyDetailsFormView::doneButtonAction);
        toolbar->setBackgroundColor(UIColorWithHex("#EAE6E4", 1.0));
        field->setInputAccessoryView(toolbar);
        babyfullNameTextField_ = field;
        formView()->addSubview(field);
    }
    return babyfullNameTextField_;
}

const std::shared_ptr<LFloatTextField>& BabyDetailsFormView::birthdayField() {
    if (!birthdayField_) {
        auto field = makeField("Date of Birth");
        field->returnKeyType = UIReturnKeyType::next;
        field->setInputView(birthdayDatePicker());
        field->setInputAccessoryView(datePickerToolbar());
        birthdayField_ = field;
        formView()->addSubview(field);
    }
    return birthdayField_;
}

const std::shared_ptr<LFloatTextField>& BabyDetailsFormView::birthdayExpectedField() {
    if (!birthdayExpectedField_) {
        auto field = makeField("Expected DOB");
        field->returnKeyType = UIReturnKeyType::next;
        field->setInputView(expectedBirthdayDatePicker());
        field->setInputAccessoryView(datePickerToolbar());
        // Kept for its text only: it is put in no view.
        birthdayExpectedField_ = field;
    }
    return birthdayExpectedField_;
}

const std::shared_ptr<LFloatTextField>& BabyDetailsFormView::genderField() {
    if (!genderField_) {
        auto field = makeField("Gender");
        field->setInputView(genderPickerView());
        field->setInputAccessoryView(genderPickerToolBar());
        genderField_ = field;
        formView()->addSubview(field);
    }
    return genderField_;
}

const std::shared_ptr<LFloatTextField>& BabyDetailsFormView::mrnField() {
    if (!mrnField_) {
        mrnField_ = makeField("MRN");
        formView()->addSubview(mrnField_);
    }
    return mrnField_;
}

namespace {
std::shared_ptr<UIView> makeBorder() {
    auto border = std::make_shared<UIView>();
    border->setTranslatesAutoresizingMaskIntoConstraints(false);
    border->setBackgroundColor(UIColorWithHex("#EAE6EF", 1.0));
    return border;
}
} // namespace

const std::shared_ptr<UIView>& BabyDetailsFormView::border1() {
    if (!border1_) formView()->addSubview(border1_ = makeBorder());
    return border1_;
}

const std::shared_ptr<UIView>& BabyDetailsFormView::border2() {
    if (!border2_) formView()->addSubview(border2_ = makeBorder());
    return border2_;
}

const std::shared_ptr<UIView>& BabyDetailsFormView::border3() {
    if (!border3_) formView()->addSubview(border3_ = makeBorder());
    return border3_;
}

const std::shared_ptr<UIToolbar>& BabyDetailsFormView::datePickerToolbar() {
    if (!datePickerToolbar_) datePickerToolbar_ = makeToolbar("Next", &BabyDetailsFormView::onDatePickerDone);
    return datePickerToolbar_;
}

const std::shared_ptr<UIToolbar>& BabyDetailsFormView::genderPickerToolBar() {
    if (!genderPickerToolBar_)
        genderPickerToolBar_ = makeToolbar("Done", &BabyDetailsFormView::onGenderSelected);
    return genderPickerToolBar_;
}

namespace {
std::shared_ptr<UIDatePicker> makeDatePicker() {
    auto picker = std::make_shared<UIDatePicker>();
    picker->setTranslatesAutoresizingMaskIntoConstraints(false);
    picker->datePickerMode = UIDatePickerMode::date;
    picker->setBackgroundColor(UIColor::whiteColor());
    return picker;
}
} // namespace

const std::shared_ptr<UIDatePicker>& BabyDetailsFormView::birthdayDatePicker() {
    if (!birthdayDatePicker_) {
        birthdayDatePicker_ = makeDatePicker();
        birthdayDatePicker_->addTarget(this, &BabyDetailsFormView::onDatePickerChange, UIControlEventValueChanged);
    }
    return birthdayDatePicker_;
}

const std::shared_ptr<UIDatePicker>& BabyDetailsFormView::expectedBirthdayDatePicker() {
    if (!expectedBirthdayDatePicker_) {
        expectedBirthdayDatePicker_ = makeDatePicker();
        expectedBirthdayDatePicker_->addTarget(this, &BabyDetailsFormView::onDatePickerChange,
                                               UIControlEventValueChanged);
    }
    return expectedBirthdayDatePicker_;
}

const std::shared_ptr<UIPickerView>& BabyDetailsFormView::genderPickerView() {
    if (!genderPickerView_) {
        auto picker = std::make_shared<UIPickerView>();
        picker->setTranslatesAutoresizingMaskIntoConstraints(false);
        picker->setBackgroundColor(UIColor::whiteColor());
        picker->setDataSource(this);
        picker->setDelegate(this);
        picker->showsSelectionIndicator = true;
        genderPickerView_ = picker;
    }
    return genderPickerView_;
}

const DateFormatter& BabyDetailsFormView::pickerDateFormatter() {
    if (!pickerDateFormatter_) pickerDateFormatter_ = std::make_unique<DateFormatter>(displayFormatter());
    return *pickerDateFormatter_;
}

// --- Filling and reading -------------------------------------------------------------------------------

void BabyDetailsFormView::updateBabyWith(const BabyData& baby) {
    babyfullNameTextField()->setText(baby.fullName());
    const DateFormatter display = displayFormatter();
    const DateFormatter& server = birthdayFormatter();
    if (auto date = server.date(baby.birthday())) birthdayField()->setText(display.string(*date));
    if (auto date = server.date(baby.expectedBirthday())) birthdayExpectedField()->setText(display.string(*date));
    mrnField()->setText(baby.mrn());
    genderField()->setText(rawValue(baby.gender()));
    if (baby.imageFile()) updateImageWith(*babyImageView(), *baby.imageFile());
    updateConstraints();
}

std::string BabyDetailsFormView::babyFullName() const {
    return babyfullNameTextField_ ? babyfullNameTextField_->text().value_or("") : "";
}

std::string BabyDetailsFormView::babyBirthday() const {
    return birthdayField_ ? birthdayField_->text().value_or("") : "";
}

std::string BabyDetailsFormView::babyExpectedBirthday() const {
    return birthdayExpectedField_ ? birthdayExpectedField_->text().value_or("") : "";
}

void BabyDetailsFormView::updateBirthdayField(const std::string& text) {
    birthdayField()->setText(text);
}

void BabyDetailsFormView::updateExpectedBirthdayField(const std::string& text) {
    birthdayExpectedField()->setText(text);
}

void BabyDetailsFormView::updateGenderField(const std::string& text) {
    genderField()->setText(text);
}

void BabyDetailsFormView::updateBabyImage(const std::shared_ptr<UIImage>& image) {
    babyImageView()->setImage(image);
}

void BabyDetailsFormView::updateCroppedBabyImage(const std::shared_ptr<UIImage>& image) {
    croppedImage_ = image;
    babyImageView()->setImage(image);
}

void BabyDetailsFormView::setCameraButtonEnabled(bool enabled) {
    cameraButton()->setHidden(!enabled);
}

std::string BabyDetailsFormView::serverDateText(const std::string& text) {
    // The server reads one fixed form; a text the member's locale wrote goes converted, and one
    // that does not read (typed by hand elsewhere) goes as it stands for the server to judge.
    if (auto date = displayFormatter().date(text)) return birthdayFormatter().string(*date);
    return text;
}

std::string BabyDetailsFormView::birthdayText() const {
    return serverDateText(babyBirthday());
}

std::string BabyDetailsFormView::birthdayExpectedText() const {
    return serverDateText(babyExpectedBirthday());
}

std::string BabyDetailsFormView::genderText() const {
    return genderField_ ? genderField_->text().value_or("") : "";
}

// --- Enabling ----------------------------------------------------------------------------------------

void BabyDetailsFormView::enableForm() {
    const std::pair<const std::shared_ptr<LFloatTextField>*, Section> fields[] = {
        {&babyfullNameTextField(), Section::fullName}, {&birthdayExpectedField(), Section::expectedDOB},
        {&birthdayField(), Section::dob},              {&genderField(), Section::gender},
        {&mrnField(), Section::mrn}};
    for (const auto& [field, section] : fields) {
        const bool editable =
            std::find(editableSections_.begin(), editableSections_.end(), section) != editableSections_.end();
        (*field)->setEnabled(editable);
        (*field)->setTextColor(editable ? UIColor::blackColor() : UIColor::lightGrayColor());
    }
    isFormEnabled = true;
}

void BabyDetailsFormView::disableForm() {
    for (const auto* field :
         {&babyfullNameTextField(), &birthdayField(), &birthdayExpectedField(), &genderField()}) {
        (*field)->setEnabled(false);
        (*field)->setTextColor(UIColor::lightGrayColor());
    }
    babyImageView()->setUserInteractionEnabled(false);
    isFormEnabled = false;
}

// --- Marking -----------------------------------------------------------------------------------------

void BabyDetailsFormView::markField(LFloatTextField& field, const UIColor& color) {
    field.placeholderColor = color;
    // Set again so that the placeholder and the floating label redraw in the new colour.
    field.setPlaceholder(field.placeholder());
}

void BabyDetailsFormView::showInvalidName() {
    markField(*babyfullNameTextField(), UIColorPalette::errorColor());
}

void BabyDetailsFormView::showInvalidBirthday() {
    markField(*birthdayField(), UIColorPalette::errorColor());
}

void BabyDetailsFormView::showInvalidExpectedBirthday() {
    markField(*birthdayExpectedField(), UIColorPalette::errorColor());
}

void BabyDetailsFormView::clearInvalidFields() {
    for (const auto* field : {&babyfullNameTextField(), &birthdayField(), &birthdayExpectedField()})
        markField(**field, UIColorPalette::textPlaceholderColor());
}

bool BabyDetailsFormView::validateAndReturnError(BabyFormValidationError* error) {
    clearInvalidFields();
    if (babyFullName().empty()) showInvalidName();
    if (babyBirthday().empty()) showInvalidBirthday();
    if (babyExpectedBirthday().empty()) showInvalidExpectedBirthday();
    if (error) *error = {};
    return true;
}

// --- Field movement and actions ----------------------------------------------------------------------

void BabyDetailsFormView::moveResponderFrom(UITextField* field) {
    if (!field) return;
    if (field == babyfullNameTextField().get()) {
        auto birthday = birthdayField();
        if (birthday->canBecomeFirstResponder())
            birthday->becomeFirstResponder();
        else
            babyfullNameTextField()->resignFirstResponder();
        if (babyBirthday().empty()) birthday->setText(pickerDateFormatter().string(Date::now()));
    } else if (field == birthdayField().get()) {
        // The expected date's field is in no window: it refuses, and the date of birth keeps the focus.
        birthdayExpectedField()->becomeFirstResponder();
    } else if (field == birthdayExpectedField().get()) {
        genderField()->becomeFirstResponder();
    } else if (field == genderField().get()) {
        genderField()->resignFirstResponder();
    }
}

void BabyDetailsFormView::doneButtonAction() {
    moveResponderFrom(babyfullNameTextField().get());
}

void BabyDetailsFormView::onDatePickerDone() {
    if (birthdayField()->isFirstResponder())
        moveResponderFrom(birthdayField().get());
    else if (birthdayExpectedField()->isFirstResponder())
        moveResponderFrom(birthdayExpectedField().get());
}

void BabyDetailsFormView::onDatePickerChange() {
    if (birthdayField()->isFirstResponder()) {
        const Date date = birthdayDatePicker()->date();
        birthdayField()->setText(pickerDateFormatter().string(date));
        expectedBirthdayDatePicker()->setMinimumDate(date);
        expectedBirthdayDatePicker()->setDate(date);
    } else if (birthdayExpectedField()->isFirstResponder()) {
        birthdayExpectedField()->setText(pickerDateFormatter().string(expectedBirthdayDatePicker()->date()));
    } else {
        return;
    }
    if (auto d = delegate.lock()) d->formDidChange();
}

void BabyDetailsFormView::onGenderSelected() {
    genderField()->resignFirstResponder();
}

void BabyDetailsFormView::cameraButtonClicked() {
    std::cout << kCameraTapped << std::endl;
    if (auto d = delegate.lock()) d->cameraButtonTapped();
}

// --- Delegates -----------------------------------------------------------------------------------------

bool BabyDetailsFormView::textFieldShouldBeginEditing(UITextField* field) {
    if ((field == birthdayField().get() || field == birthdayExpectedField().get()) &&
        field->text().value_or("").empty())
        field->setText(pickerDateFormatter().string(Date::now()));
    if (auto d = delegate.lock(); d && field) d->isEditingWithTextField(*field);
    return true;
}

bool BabyDetailsFormView::textFieldShouldReturn(UITextField* field) {
    moveResponderFrom(field);
    return true;
}

std::optional<std::string> BabyDetailsFormView::titleForRow(UIPickerView*, long row, long) {
    if (row < 0 || row >= static_cast<long>(genderPickerOptions.size())) return std::nullopt;
    return genderPickerOptions[static_cast<std::size_t>(row)];
}

void BabyDetailsFormView::didSelectRow(UIPickerView*, long row, long) {
    // "Select" keeps what the field shows.
    if (row <= 0 || row >= static_cast<long>(genderPickerOptions.size())) return;
    genderField()->setText(genderPickerOptions[static_cast<std::size_t>(row)]);
    if (auto d = delegate.lock()) d->formDidChange();
}

// --- Layout --------------------------------------------------------------------------------------------

void BabyDetailsFormView::updateConstraints() {
    if (!didUpdateConstraints) {
        const NSLayoutViews views{{"babyImageView", babyImageView()}, {"formView", formView()},
                                  {"babyFullName", babyfullNameTextField()}, {"birthdayField", birthdayField()},
                                  {"genderField", genderField()},           {"mrnField", mrnField()},
                                  {"border1", border1()},                   {"border2", border2()},
                                  {"border3", border3()}};
        for (const UIViewPtr& v : std::vector<UIViewPtr>{babyImageView(), babyfullNameTextField(), birthdayField(),
                                                         mrnField(), genderField(), border1(), border2(),
                                                         border3(), formView()})
            lyt_layoutHorizontalWithMargin(*v, 0);
        NSLayoutConstraint::activate(
            {babyImageView()->heightAnchor().constraintEqualTo(babyImageView()->widthAnchor(), 0.5, 0)});
        addConstraints(NSLayoutConstraint::constraints("V:|[babyImageView][formView]|", 0, {}, views));
        formView()->addConstraints(NSLayoutConstraint::constraints(
            "V:|-[babyFullName]-[border1(1)]-[birthdayField]-[border2(1)]-[genderField]-[border3(1)]-[mrnField]-|",
            0, {}, views));
        addConstraint(cameraButton()->trailingAnchor().constraintEqualTo(babyImageView()->trailingAnchor(), -3));
        addConstraint(cameraButton()->lastBaselineAnchor().constraintEqualTo(babyImageView()->lastBaselineAnchor(), 0));
        didUpdateConstraints = true;
    }
    UIView::updateConstraints();
}
