#include "Controllers/Journey/JourneyAddViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/BabyService.h"
#include "Services/BaseHTTPService.h"
#include "kits/banners/GSMessage.h"
#include "kits/images/Kingfisher.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/NSLayoutConstraint.h"

namespace {

constexpr const char* kSaveTapped = "NicuJourneyItemSave";
constexpr const char* kSaveTappedText = "User tapped on nicu journey item to save a new milestone";

} // namespace

JourneyAddViewController::JourneyAddViewController() = default;

JourneyAddViewController::~JourneyAddViewController() {
    if (animationTask) animationTask->cancel();
}

std::shared_ptr<JourneyAddViewController> JourneyAddViewController::self() {
    return std::static_pointer_cast<JourneyAddViewController>(shared_from_this());
}

// --- Made on first use ---

const std::shared_ptr<UIPickerView>& JourneyAddViewController::milestonePicker() {
    if (!milestonePicker_) {
        milestonePicker_ = std::make_shared<UIPickerView>();
        milestonePicker_->setBackgroundColor(UIColor::whiteColor());
        milestonePicker_->setDataSource(this);
        milestonePicker_->setDelegate(this);
    }
    return milestonePicker_;
}

// --- The scene ---

void JourneyAddViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    setView(root);
    setTitle(std::string("Add Milestone"));

    std::shared_ptr<UIImageView> photo;
    auto photoArea = makePhotoAreaWithCamera(photo);

    auto milestoneRow = cw::journey::makeFormRow("Milestone", "Choose a milestone", "chevron-down-journey");
    milestoneRow.button->addTarget(this, &JourneyAddViewController::didTapMilestoneChevron,
                                   UIControlEventTouchUpInside);
    auto titleRow = cw::journey::makeFormRow(otherHeader, "Type here", "");
    auto dateRow = cw::journey::makeFormRow("Date", "Choose a date", "journey-calendar");
    dateRow.button->addTarget(this, &JourneyAddViewController::didTapCalendarButton, UIControlEventTouchUpInside);

    std::shared_ptr<UIButton> save;
    auto shadow = cw::journey::makeSaveButton(save);
    save->addTarget(this, &JourneyAddViewController::didTapSave, UIControlEventTouchUpInside);
    auto form = cw::journey::makeFormColumn(*root, {photoArea, milestoneRow.view, titleRow.view, dateRow.view, shadow});
    setCancelItem();

    imageView = photo;
    milestoneField = milestoneRow.field;
    dateField = dateRow.field;
    titleField = titleRow.field;
    saveButton = save;
    saveButtonShadowView = shadow;
    titleStackView = titleRow.view;
    titleHeaderLabel = titleRow.headerLabel;
    scrollView = form.scrollView;
}

void JourneyAddViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));

    showActivityOverlay(*this, true);
    fetchOptions();

    if (auto field = dateField.lock()) {
        field->setInputView(datePicker());
        field->setInputAccessoryView(inputAccessoryToolbar());
    }
    if (auto field = milestoneField.lock()) {
        field->setInputView(milestonePicker());
        field->setInputAccessoryView(inputAccessoryToolbar());
    }
    milestonePicker()->showsSelectionIndicator = true;

    if (auto field = titleField.lock()) {
        field->returnKeyType = UIReturnKeyType::done;
        field->setDelegate(this);
    }
    action.watchTyping(root);

    if (auto button = saveButton.lock()) {
        button->layer()->cornerRadius = 24;
        button->setClipsToBounds(true);
    }
    if (auto shadow = saveButtonShadowView.lock()) {
        shadow->setCornerRadius(24);
        shadow->layoutIfNeeded();
    }

    if (auto scroll = scrollView.lock()) scroll->setDelegate(this);
    if (auto stack = titleStackView.lock()) stack->setHidden(true);

    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    navigationItem()->setRightBarButtonItem(
        std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::save,
                                          [weakSelf](UIBarButtonItem&) {
                                              if (auto s = std::static_pointer_cast<JourneyAddViewController>(
                                                      weakSelf.lock()))
                                                  s->didTapSave();
                                          }),
        false);

    root->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weakSelf](UIGestureRecognizer&) {
        if (auto s = std::static_pointer_cast<JourneyAddViewController>(weakSelf.lock())) s->dismissKeyboard();
    }));
}

// --- Kinds ---

void JourneyAddViewController::fetchOptions() {
    const auto babyId = baby ? baby->babyId() : std::nullopt;
    if (!babyId) {
        hideActivityOverlay(*this, true);
        return;
    }
    auto me = self();
    BabyService().fetchJourneyList(
        *babyId, [me](const JSON& reply) { me->didFetchOptions(reply); },
        [me](const RequestError&) { hideActivityOverlay(*me, true); });
}

void JourneyAddViewController::didFetchOptions(const JSON& reply) {
    options.clear();
    for (const auto& element : reply["nicu_journey_list"].arrayValue())
        options.emplace_back(element);
    milestonePicker()->reloadAllComponents();
    if (!options.empty()) {
        selectOption(options.front());
        milestonePicker()->selectRow(0, 0, false);
        selectedDate = Date::now();
        updateDateField();
    }
    hideActivityOverlay(*this, true);
}

void JourneyAddViewController::selectOptionAtRow(long row) {
    if (row < 0 || row >= static_cast<long>(options.size())) return;
    selectOption(options[static_cast<std::size_t>(row)]);
    milestonePicker()->selectRow(row, 0, false);
}

void JourneyAddViewController::selectOption(const JourneyMilestoneType& option) {
    // Taken before the picture loads: setting `selected` must not see a changed option.
    const JourneyMilestoneType kind = option;
    // A kind without a picture leaves the photo empty: the picture of another kind must not be
    // saved with this one.
    if (auto photo = imageView.lock()) kf(*photo).setImage(BaseHTTPService::serverPictureURL(kind.imageURL));
    if (auto field = milestoneField.lock()) field->setText(kind.dropdownText);
    setSelected(kind);
}

void JourneyAddViewController::setSelected(std::optional<JourneyMilestoneType> kind) {
    const bool changed = kind != selected_;
    selected_ = std::move(kind);
    if (changed) {
        if (auto field = titleField.lock()) field->setText(std::string());
    }
    const std::string type = selected_ ? selected_->type : std::string();
    auto header = titleHeaderLabel.lock();
    if (type == otherType) {
        if (header) header->setText(std::string(otherHeader));
        setTitleRowHidden(false);
    } else if (type == specialVisitType) {
        if (header) header->setText(std::string(specialVisitHeader));
        setTitleRowHidden(false);
    } else {
        setTitleRowHidden(true);
    }
}

void JourneyAddViewController::setTitleRowHidden(bool hidden) {
    if (animationTask) animationTask->cancel();
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    animationTask = std::make_shared<DispatchWorkItem>([weakSelf, hidden] {
        auto s = std::static_pointer_cast<JourneyAddViewController>(weakSelf.lock());
        if (!s) return;
        UIView::animate(titleRowAnimationDuration, [s, hidden] {
            if (auto stack = s->titleStackView.lock()) stack->setHidden(hidden);
            if (auto scroll = s->scrollView.lock()) scroll->layoutIfNeeded();
            s->view()->layoutIfNeeded();
        });
    });
    DispatchQueue::main().asyncAfter(DispatchTime::now() + titleRowDelay, animationTask);
}

// --- Picker and fields ---

long JourneyAddViewController::numberOfRowsInComponent(UIPickerView*, long) {
    return static_cast<long>(options.size());
}

std::optional<std::string> JourneyAddViewController::titleForRow(UIPickerView*, long row, long) {
    if (row < 0 || row >= static_cast<long>(options.size())) return std::nullopt;
    return options[static_cast<std::size_t>(row)].dropdownText;
}

void JourneyAddViewController::didSelectRow(UIPickerView*, long row, long) {
    if (row < 0 || row >= static_cast<long>(options.size())) return;
    const JourneyMilestoneType option = options[static_cast<std::size_t>(row)];
    setSelected(option);
    selectOption(option);
    action.changed();
}

bool JourneyAddViewController::textFieldShouldReturn(UITextField* textField) {
    if (textField) textField->resignFirstResponder();
    return true;
}

void JourneyAddViewController::didTapMilestoneChevron(UIButton*) {
    if (auto field = milestoneField.lock()) field->becomeFirstResponder();
}

void JourneyAddViewController::didTapCalendarButton(UIButton*) {
    if (auto field = dateField.lock()) field->becomeFirstResponder();
}

void JourneyAddViewController::dismissKeyboard() {
    view()->endEditing(true);
}

void JourneyAddViewController::didTapCancel() {
    if (auto d = delegate.lock()) d->journeyAddViewControllerDidCancel(*this);
}

void JourneyAddViewController::didTapSave() {
    save();
}

// --- Saving ---

void JourneyAddViewController::save() {
    action.send([this](const ActionKey& key) { save(key); });
}

void JourneyAddViewController::save(const ActionKey& key) {
    showActivityOverlay(*this, true);
    AnalyticsService().send(screenName, ScreenAction::Tap,
                            {{kSaveTapped, JSON(kSaveTappedText)},
                             {"milestone_type", JSON(selected_ ? selected_->type : std::string("N/A"))}});
    const auto babyId = baby ? baby->babyId() : std::nullopt;
    if (!babyId || !selectedDate || !selected_) {
        action.failed(key);
        hideActivityOverlay(*this, true);
        showMessage(*this, errorMessage, GSMessageType::error);
        return;
    }
    const std::string date = postDateFormatter().string(*selectedDate);
    auto field = titleField.lock();
    const std::string text = field ? field->text().value_or("") : std::string();
    auto me = self();
    BabyService().addJourneyItem(
        *babyId, date, selected_->type, text, croppedPhoto(),
        [me, key](const JSON&) {
            me->action.succeeded(key);
            hideActivityOverlay(*me, true);
            me->dismiss(true);
            if (auto d = me->delegate.lock()) d->journeyAddViewControllerDidAddMilestone(*me);
        },
        [me, key](const RequestError&) {
            me->action.failed(key);
            hideActivityOverlay(*me, true);
            showMessage(*me, errorMessage, GSMessageType::error);
        },
        key);
}
