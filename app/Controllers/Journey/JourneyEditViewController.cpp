#include "Controllers/Journey/JourneyEditViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/BabyService.h"
#include "Services/BaseHTTPService.h"
#include "Views/CardView.h"
#include "kits/banners/GSMessage.h"
#include "kits/images/Kingfisher.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIStackView.h"

JourneyEditViewController::JourneyEditViewController() = default;

// --- Made on first use ---

const DateFormatter& JourneyEditViewController::reverseDateFormatter() {
    if (!reverseDateFormatter_) reverseDateFormatter_ = cw::journey::serverDateFormatter();
    return *reverseDateFormatter_;
}

// --- The scene ---

void JourneyEditViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    setView(root);
    setTitle(std::string("Edit Milestone"));

    std::shared_ptr<UIImageView> photo;
    auto photoArea = makePhotoAreaWithCamera(photo);
    auto milestoneRow = cw::journey::makeFormRow("Milestone", "", "");
    auto dateRow = cw::journey::makeFormRow("Date", "Choose a date", "journey-calendar");
    std::weak_ptr<UITextField> weakDateField = dateRow.field;
    dateRow.button->addAction(
        [weakDateField](UIControl*) {
            if (auto field = weakDateField.lock()) field->becomeFirstResponder();
        },
        UIControlEventTouchUpInside);

    std::shared_ptr<UIButton> save;
    auto shadow = cw::journey::makeSaveButton(save);
    save->addTarget(this, &JourneyEditViewController::didTapSave, UIControlEventTouchUpInside);
    cw::journey::makeFormColumn(*root, {photoArea, milestoneRow.view, dateRow.view, shadow});
    setCancelItem();

    imageView = photo;
    milestoneField = milestoneRow.field;
    dateField = dateRow.field;
}

void JourneyEditViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));
    auto picker = datePicker();
    auto date = dateField.lock();
    if (date) {
        date->setInputView(picker);
        date->setInputAccessoryView(inputAccessoryToolbar());
    }
    const auto dateText = milestone ? milestone->dateDescription : std::nullopt;
    if (dateText) selectedDate = reverseDateFormatter().date(*dateText);
    // The wheel opens at the milestone's day, not at today.
    if (selectedDate) picker->setDate(*selectedDate);
    if (date) date->setText(dateText);
    if (auto field = milestoneField.lock()) {
        field->setText(milestone ? milestone->label : std::nullopt);
        field->setEnabled(false);
    }
    if (auto photo = imageView.lock(); photo && milestone && milestone->imageURL) kf(*photo).setImage(BaseHTTPService::serverPictureURL(milestone->imageURL));
}

void JourneyEditViewController::didTapCancel() {
    if (auto d = delegate.lock()) d->journeyEditViewControllerDidCancel(*this);
}

JourneyItem JourneyEditViewController::editedMilestone(const JSON& reply, const std::string& sentDate) const {
    JourneyItem item = milestone.value_or(JourneyItem());
    item.dateDescription = sentDate;
    const JSON edited = reply["nicu_journey_edit"];
    if (edited.dictionary()) {
        const JourneyItem parsed(edited);
        if (parsed.id) item.id = parsed.id;
        if (parsed.label) item.label = parsed.label;
        if (parsed.dateDescription) item.dateDescription = parsed.dateDescription;
        if (parsed.imageURL) item.imageURL = parsed.imageURL;
        // The edited milestone's text comes back as "content".
        if (auto content = edited["content"].string())
            item.overlayText = *content;
        else if (parsed.overlayText)
            item.overlayText = parsed.overlayText;
    }
    item.isEditable = true;
    return item;
}

void JourneyEditViewController::didTapSave() {
    action.send([this](const ActionKey& key) { save(key); });
}

void JourneyEditViewController::save(const ActionKey& key) {
    showActivityOverlay(*this, true, std::nullopt, view());
    std::int64_t babyId = 0, itemId = 0;
    const bool known = baby && baby->babyId() && milestone && milestone->id;
    if (known) {
        babyId = *baby->babyId();
        itemId = *milestone->id;
    }
    if (!known || !selectedDate) {
        action.failed(key);
        hideActivityOverlay(*this, true);
        showMessage(*this, errorMessage, GSMessageType::error);
        return;
    }
    const std::string date = postDateFormatter().string(*selectedDate);
    const std::string sentDate = reverseDateFormatter().string(*selectedDate);
    auto me = std::static_pointer_cast<JourneyEditViewController>(shared_from_this());
    BabyService().editJourneyItem(
        babyId, itemId, date, croppedPhoto(),
        [me, sentDate, key](const JSON& reply) {
            me->action.succeeded(key);
            hideActivityOverlay(*me, true);
            const JourneyItem edited = me->editedMilestone(reply, sentDate);
            if (auto d = me->delegate.lock()) d->journeyEditViewController(*me, edited);
            me->dismiss(true);
        },
        [me, key](const RequestError&) {
            me->action.failed(key);
            hideActivityOverlay(*me, true);
            showMessage(*me, errorMessage, GSMessageType::error);
        },
        key);
}
