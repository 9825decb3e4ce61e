#include "Controllers/Journey/JourneyFormSupport.h"

#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/ImageSourcePresenting.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Views/CardView.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <map>

namespace cw::journey {

DateFormatter postDateFormatter() {
    return DateFormatter::serverFormatter("yyyy-MM-dd");
}

DateFormatter serverDateFormatter() {
    return DateFormatter::serverFormatter("MMM d, yyyy");
}

DateFormatter shownDateFormatter() {
    DateFormatter formatter;
    formatter.setDateStyle(DateFormatter::Style::mediumStyle);
    formatter.setTimeStyle(DateFormatter::Style::noStyle);
    return formatter;
}

std::shared_ptr<UIDatePicker> makeDatePicker(const std::shared_ptr<BabyData>& baby) {
    auto picker = std::make_shared<UIDatePicker>();
    picker->datePickerMode = UIDatePickerMode::date;
    picker->setMaximumDate(Date::now());
    picker->setMinimumDate(baby ? baby->birthDate() : std::nullopt);
    CGRect frame = picker->frame();
    frame.size.height = 260;
    picker->setFrame(frame);
    return picker;
}

std::shared_ptr<UIToolbar> makeInputToolbar(std::function<void()> done) {
    auto toolbar = std::make_shared<UIToolbar>();
    toolbar->setTranslatesAutoresizingMaskIntoConstraints(false);
    toolbar->setTintColor(UIColorPalette::cwy_mountainMeadow());
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace),
                       std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done,
                                                         [done = std::move(done)](UIBarButtonItem&) {
                                                             if (done) done();
                                                         })},
                      false);
    return toolbar;
}

FormRow makeFormRow(const std::string& header, const std::string& placeholder, const std::string& image) {
    FormRow row;
    row.headerLabel = std::make_shared<UILabel>();
    row.headerLabel->setText(header);
    row.headerLabel->setFont(cw::avenirFont(14));
    row.headerLabel->setTextColor(UIColorPalette::contentColor1());

    auto card = std::make_shared<CardView>();
    card->setCornerRadius(8);
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setHeight(*card, 48);
    row.field = std::make_shared<UITextField>();
    row.field->setPlaceholder(placeholder);
    row.field->setFont(cw::avenirFont(17));
    row.field->setTextColor(UIColorPalette::textColor());
    row.field->setTranslatesAutoresizingMaskIntoConstraints(false);
    card->addSubview(row.field);
    lyt_layoutVerticalWithMargin(*row.field, 4);
    std::map<std::string, std::shared_ptr<UIView>> views{{"field", row.field}};
    std::string horizontal = "H:|-14-[field]-14-|";
    if (!image.empty()) {
        row.button = std::make_shared<UIButton>(UIButtonType::custom);
        row.button->setImage(UIImage::named(image), UIControlStateNormal);
        row.button->setTranslatesAutoresizingMaskIntoConstraints(false);
        card->addSubview(row.button);
        lyt_layoutVerticalWithMargin(*row.button, 2);
        views["button"] = row.button;
        horizontal = "H:|-14-[field]-2-[button(44)]-4-|";
    }
    card->addConstraints(NSLayoutConstraint::constraints(horizontal, 0, {}, views));

    row.view = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{row.headerLabel, card});
    row.view->setAxis(UILayoutConstraintAxis::vertical);
    row.view->setSpacing(6);
    row.view->setTranslatesAutoresizingMaskIntoConstraints(false);
    // The stack places the card; the card's own constraints need its width as well.
    row.view->addConstraint(card->widthAnchor().constraintEqualTo(row.view->widthAnchor()));
    return row;
}

FormColumn makeFormColumn(UIView& root, const std::vector<std::shared_ptr<UIView>>& rows) {
    FormColumn form;
    form.scrollView = std::make_shared<UIScrollView>();
    form.scrollView->setTranslatesAutoresizingMaskIntoConstraints(false);
    form.scrollView->alwaysBounceVertical = true;
    root.addSubview(form.scrollView);
    // The form starts below the navigation bar around it.
    root.addConstraints(NSLayoutConstraint::constraints("H:|[scroll]|", 0, {}, {{"scroll", form.scrollView}}));
    root.addConstraint(form.scrollView->topAnchor().constraintEqualTo(root.safeAreaLayoutGuide()->topAnchor()));
    root.addConstraint(form.scrollView->bottomAnchor().constraintEqualTo(root.bottomAnchor()));
    form.column = std::make_shared<UIStackView>();
    form.column->setAxis(UILayoutConstraintAxis::vertical);
    form.column->setSpacing(16);
    form.column->setTranslatesAutoresizingMaskIntoConstraints(false);
    form.scrollView->addSubview(form.column);
    lyt_attachToSuperviewWithInsets(*form.column, UIEdgeInsets{16, 16, 24, 16});
    root.addConstraint(form.column->widthAnchor().constraintEqualTo(root.widthAnchor(), 1, -32));
    for (const auto& row : rows) {
        form.column->addArrangedSubview(row);
        // The stack places each row; what is laid out inside a row needs the row's width too.
        form.column->addConstraint(row->widthAnchor().constraintEqualTo(form.column->widthAnchor()));
    }
    // Whichever field is edited, its keys or its wheel never cover it.
    cw::followKeyboard(form.scrollView);
    return form;
}

std::shared_ptr<CardView> makeSaveButton(std::shared_ptr<UIButton>& button) {
    auto shadow = std::make_shared<CardView>();
    shadow->setCornerRadius(24);
    shadow->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setHeight(*shadow, 48);
    button = std::make_shared<UIButton>(UIButtonType::custom);
    button->setTitle(std::string("Save"), UIControlStateNormal);
    button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    if (auto font = UIFontNamed::avenirHeavy(17)) button->titleLabel()->setFont(*font);
    button->setBackgroundColor(UIColorPalette::mainColor1());
    button->layer()->cornerRadius = 24;
    button->setClipsToBounds(true);
    button->setTranslatesAutoresizingMaskIntoConstraints(false);
    shadow->addSubview(button);
    lyt_attachToSuperview(*button);
    return shadow;
}

std::shared_ptr<UIView> makePhotoArea(std::shared_ptr<UIImageView>& imageView, std::shared_ptr<UIButton>& cameraButton) {
    auto area = std::make_shared<UIView>();
    area->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setHeight(*area, 200);
    imageView = makePictureView(8);
    imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    area->addSubview(imageView);
    lyt_attachToSuperview(*imageView);
    cameraButton = std::make_shared<UIButton>(UIButtonType::custom);
    cameraButton->setImage(UIImage::named("journey-camera"), UIControlStateNormal);
    cameraButton->setAccessibilityIdentifier("cameraButton");
    cameraButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    area->addSubview(cameraButton);
    lyt_setWidth(*cameraButton, 44);
    lyt_setHeight(*cameraButton, 44);
    lyt_setRight(*cameraButton, 8);
    lyt_setBottom(*cameraButton, 8);
    return area;
}

std::shared_ptr<UIView> JourneyPhotoForm::makePhotoAreaWithCamera(std::shared_ptr<UIImageView>& imageView) {
    std::shared_ptr<UIButton> camera;
    auto area = makePhotoArea(imageView, camera);
    std::weak_ptr<JourneyPhotoForm> weakForm = std::static_pointer_cast<JourneyPhotoForm>(sharedPicking());
    camera->addAction(
        [weakForm](UIControl* sender) {
            if (auto form = weakForm.lock()) form->didTapCameraButton(dynamic_cast<UIButton*>(sender));
        },
        UIControlEventTouchUpInside);
    return area;
}

void JourneyPhotoForm::didTapCameraButton(UIButton*) {
    presentImageSourceSheet(photoScreen().shared_from_this(), sharedPicking());
}

CGRect JourneyPhotoForm::customMaskRect(RSKImageCropViewController&) {
    const CGRect frame = photoScreen().view()->frame();
    const CGFloat side = frame.size.width - 40;
    return CGRect(20, frame.size.height / 2 - side / 2, side, side);
}

UIBezierPath JourneyPhotoForm::customMaskPath(RSKImageCropViewController& cropper) {
    return UIBezierPath::rect(cropper.maskRect());
}

CGRect JourneyPhotoForm::customMovementRect(RSKImageCropViewController& cropper) {
    return cropper.maskRect();
}

const std::shared_ptr<UIDatePicker>& JourneyForm::datePicker() {
    if (!datePicker_) {
        datePicker_ = makeDatePicker(baby);
        datePicker_->addTarget(this, &JourneyForm::datePickerDidChange,
                               UIControlEventPrimaryActionTriggered | UIControlEventValueChanged);
    }
    return datePicker_;
}

const DateFormatter& JourneyForm::dateFormatter() {
    if (!dateFormatter_) dateFormatter_ = shownDateFormatter();
    return *dateFormatter_;
}

const DateFormatter& JourneyForm::postDateFormatter() {
    if (!postDateFormatter_) postDateFormatter_ = cw::journey::postDateFormatter();
    return *postDateFormatter_;
}

const std::shared_ptr<UIToolbar>& JourneyForm::inputAccessoryToolbar() {
    if (!inputAccessoryToolbar_) {
        std::weak_ptr<JourneyForm> weakForm = std::static_pointer_cast<JourneyForm>(sharedPicking());
        inputAccessoryToolbar_ = makeInputToolbar([weakForm] {
            if (auto form = weakForm.lock()) form->didTapInputDone();
        });
    }
    return inputAccessoryToolbar_;
}

void JourneyForm::datePickerDidChange() {
    selectedDate = datePicker()->date();
    updateDateField();
    action.changed();
}

void JourneyForm::didCropImage(RSKImageCropViewController& cropper,
                               const std::shared_ptr<UIImage>& croppedImage, CGRect cropRect,
                               CGFloat rotationAngle) {
    action.changed();
    JourneyPhotoForm::didCropImage(cropper, croppedImage, cropRect, rotationAngle);
}

void JourneyForm::updateDateField() {
    auto field = dateField.lock();
    if (!field) return;
    if (selectedDate)
        field->setText(dateFormatter().string(*selectedDate));
    else
        field->setText(std::string());
}

void JourneyForm::didTapInputDone() {
    photoScreen().view()->endEditing(true);
}

void JourneyForm::setCancelItem() {
    std::weak_ptr<JourneyForm> weakForm = std::static_pointer_cast<JourneyForm>(sharedPicking());
    photoScreen().navigationItem()->setLeftBarButtonItem(std::make_shared<UIBarButtonItem>(
        std::string("Cancel"), UIBarButtonItemStyle::plain, [weakForm](UIBarButtonItem&) {
            if (auto form = weakForm.lock()) form->didTapCancel();
        }));
}

} // namespace cw::journey
