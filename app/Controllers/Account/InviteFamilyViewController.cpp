#include "Controllers/Account/InviteFamilyViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Models/UserData.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/InviteService.h"
#include "Views/LFloatTextField.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "kits/banners/GSMessage.h"
#include "net/AFURLResponseSerialization.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/graphics/UIImage.h"

#include <iostream>

namespace {

const JSON::dictionary_t kNoDetails{};

void sendInviteEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(InviteFamilyViewController::kScreenName, action, details);
}

// The server's "message" from a refused invitation's reply body; none when there is no body or the
// body holds no such text. A body that is not JSON is printed.
std::optional<std::string> refusalMessage(const NSError& error) {
    const Data* body = cw::failingResponseData(error);
    if (!body) return std::nullopt;
    auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
    if (!parsed) {
        std::cout << parsed.error().localizedDescription() << std::endl;
        return std::nullopt;
    }
    return parsed.value()["message"].string();
}

} // namespace

InviteFamilyViewController::InviteFamilyViewController() {
    for (auto relationship : {FamilyRelationship::Mother, FamilyRelationship::Father, FamilyRelationship::GrandParent,
                              FamilyRelationship::Relative, FamilyRelationship::Friend, FamilyRelationship::Others})
        pickerData_.push_back(rawValue(relationship));
}

void InviteFamilyViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColorPalette::backgroundColor());

    auto scroll = std::make_shared<UIScrollView>();
    scroll->alwaysBounceVertical = true;
    auto form = std::make_shared<UIView>();
    form->setBackgroundColor(UIColor::whiteColor());
    form->layer()->cornerRadius = 5;
    form->layer()->borderColor = UIColorPalette::separatorColor();
    form->layer()->borderWidth = 0.5;

    auto makeField = [](const char* placeholder, const char* identifier) {
        auto field = std::make_shared<LFloatTextField>();
        field->setPlaceholder(std::string(placeholder));
        field->setAccessibilityIdentifier(identifier);
        field->returnKeyType = UIReturnKeyType::next;
        return field;
    };
    auto fullName = makeField("Full Name", "fullNameTextField");
    fullName->autocapitalizationType = UITextAutocapitalizationType::words;
    auto email = makeField("Email", "emailTextField");
    email->keyboardType = UIKeyboardType::emailAddress;
    email->autocapitalizationType = UITextAutocapitalizationType::none;
    auto relationship = makeField("Relationship with baby", "relationshipTextField");
    relationship->returnKeyType = UIReturnKeyType::done;

    auto chevron = std::make_shared<UIButton>(UIButtonType::custom);
    chevron->setImage(UIImage::named("chevron-down-journey"), UIControlStateNormal);
    chevron->setAccessibilityIdentifier("relationshipChevronButton");

    auto send = std::make_shared<OvalButton>(CGRect{0, 0, 335, 48});
    send->setTitle(std::string("Send Invite"), UIControlStateNormal);

    std::map<std::string, std::shared_ptr<UIView>> views{{"fullName", fullName}, {"email", email},
                                                         {"relationship", relationship}, {"chevron", chevron}};
    cw::addSubviewsForConstraints(*form, views);
    for (const char* name : {"line1", "line2"}) {
        auto line = std::make_shared<UIView>();
        line->setBackgroundColor(UIColorPalette::separatorColor());
        line->setTranslatesAutoresizingMaskIntoConstraints(false);
        form->addSubview(line);
        views[name] = line;
    }
    for (const char* format : {"H:|[fullName]|", "H:|[email]|", "H:|[relationship]-4-[chevron(36)]-8-|", "H:|-10-[line1]|",
                               "H:|-10-[line2]|",
                               "V:|-6-[fullName(50)]-6-[line1(1)]-6-[email(50)]-6-[line2(1)]-6-[relationship(50)]-6-|",
                               "V:[chevron(36)]"})
        form->addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));
    form->addConstraint(chevron->centerYAnchor().constraintEqualTo(relationship->centerYAnchor()));

    const std::map<std::string, std::shared_ptr<UIView>> content{{"form", form}, {"send", send}};
    cw::addSubviewsForConstraints(*scroll, content);
    scroll->addConstraints(NSLayoutConstraint::constraints("V:|-24-[form]-32-[send(48)]-24-|", 0, {}, content));
    scroll->addConstraints(NSLayoutConstraint::constraints("H:|-20-[form]-20-|", 0, {}, content));
    // As wide as the form on a narrow screen, 335 points on wider ones.
    scroll->addConstraints(NSLayoutConstraint::constraints("H:[send(<=335)]", 0, {}, content));
    auto sendWidth = send->widthAnchor().constraintEqualTo(form->widthAnchor());
    sendWidth->setPriority(UILayoutPriorityDefaultHigh);
    scroll->addConstraint(sendWidth);
    scroll->addConstraint(send->centerXAnchor().constraintEqualTo(form->centerXAnchor()));

    scroll->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(scroll);
    NSLayoutConstraint::activate({
        scroll->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        scroll->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        scroll->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor()),
        scroll->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        form->widthAnchor().constraintEqualTo(root->widthAnchor(), 1, -40),
    });

    send->addTarget(this, &InviteFamilyViewController::sendInviteTapped, UIControlEventTouchUpInside);

    fullNameTextField_ = fullName;
    emailTextField_ = email;
    relationshipTextField_ = relationship;
    sendInviteButton_ = send;
    scrollView_ = scroll;
    relationshipChevronButton_ = chevron;
    setSendEnabled(false);
}

void InviteFamilyViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    // The form's end and the field being edited stay above the keys or the wheel.
    cw::followKeyboard(scrollView());
    action_.watchTyping(view());

    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(this, &InviteFamilyViewController::dismissKeyboard);
    view()->addGestureRecognizer(tap);

    auto picker = relationPickerView();
    CGRect frame = picker->frame();
    frame.size.height = 260;
    picker->setFrame(frame);
    if (auto relationship = relationshipTextField()) {
        relationship->setInputView(picker);
        relationship->setInputAccessoryView(inputAccessoryToolbar());
    }
    picker->showsSelectionIndicator = true;

    if (auto field = fullNameTextField()) field->setDelegate(this);
    if (auto field = emailTextField()) field->setDelegate(this);
    if (auto chevron = relationshipChevronButton())
        chevron->addTarget(this, &InviteFamilyViewController::relationshipChevronButtonTapped,
                           UIControlEventTouchUpInside);
}

void InviteFamilyViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    sendInviteEvent(rawValue(ScreenAction::Loaded), kNoDetails);
}

void InviteFamilyViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    setSendEnabled(false);
}

void InviteFamilyViewController::setSendEnabled(bool enabled) {
    if (auto button = sendInviteButton()) {
        button->setEnabled(enabled);
        button->setAlpha(enabled ? 1.0 : 0.5);
    }
}

const std::shared_ptr<UIPickerView>& InviteFamilyViewController::relationPickerView() {
    if (!relationPickerView_) {
        relationPickerView_ = std::make_shared<UIPickerView>();
        relationPickerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        relationPickerView_->setDataSource(static_cast<UIPickerViewDataSource*>(this));
        relationPickerView_->setDelegate(static_cast<UIPickerViewDelegate*>(this));
    }
    return relationPickerView_;
}

const std::shared_ptr<UIToolbar>& InviteFamilyViewController::inputAccessoryToolbar() {
    if (!inputAccessoryToolbar_) {
        inputAccessoryToolbar_ = std::make_shared<UIToolbar>();
        inputAccessoryToolbar_->setTranslatesAutoresizingMaskIntoConstraints(false);
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        auto done = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::done, [weakSelf](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<InviteFamilyViewController>(weakSelf.lock())) self->didTapInputDone();
        });
        inputAccessoryToolbar_->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace), done},
                                         false);
        inputAccessoryToolbar_->setTintColor(UIColorPalette::mainColor1());
    }
    return inputAccessoryToolbar_;
}

void InviteFamilyViewController::modalCancelled() {
    dismiss(true);
}

void InviteFamilyViewController::relationshipChevronButtonTapped() {
    if (auto field = relationshipTextField()) field->becomeFirstResponder();
}

void InviteFamilyViewController::dismissKeyboard() {
    if (isViewLoaded()) view()->endEditing(true);
}

void InviteFamilyViewController::didTapInputDone() {
    dismissKeyboard();
}

long InviteFamilyViewController::numberOfRowsInComponent(UIPickerView*, long) {
    return static_cast<long>(pickerData_.size()) + 1;
}

std::optional<std::string> InviteFamilyViewController::titleForRow(UIPickerView*, long row, long) {
    if (row == 0) return std::string(kSelectOne);
    if (row < 0 || row > static_cast<long>(pickerData_.size())) return std::nullopt;
    return pickerData_[static_cast<std::size_t>(row - 1)];
}

void InviteFamilyViewController::didSelectRow(UIPickerView*, long row, long) {
    if (row < 1 || row > static_cast<long>(pickerData_.size())) return;
    if (auto field = relationshipTextField()) field->setText(pickerData_[static_cast<std::size_t>(row - 1)]);
    action_.changed();
}

bool InviteFamilyViewController::textFieldShouldBeginEditing(UITextField*) {
    setSendEnabled(true);
    return true;
}

bool InviteFamilyViewController::textFieldShouldReturn(UITextField* textField) {
    auto fullName = fullNameTextField();
    auto email = emailTextField();
    if (fullName && textField == fullName.get()) {
        if (email) email->becomeFirstResponder();
    } else if (email && textField == email.get()) {
        if (auto relationship = relationshipTextField()) relationship->becomeFirstResponder();
    }
    return true;
}

void InviteFamilyViewController::sendInviteTapped(UIButton*) {
    auto textOf = [](const std::shared_ptr<UITextField>& field) {
        return field ? field->text().value_or("") : std::string();
    };
    const std::string fullName = textOf(fullNameTextField());
    const std::string email = textOf(emailTextField());
    const std::string relationship = textOf(relationshipTextField());
    // The empty fields are marked and a banner says so, as the other forms do; the marks go once
    // each field holds a text.
    bool missing = false;
    for (const auto& field : {fullNameTextField(), emailTextField(), relationshipTextField()}) {
        auto floating = std::dynamic_pointer_cast<LFloatTextField>(field);
        if (!floating) continue;
        const bool empty = textOf(field).empty();
        missing = missing || empty;
        floating->placeholderColor =
            empty ? UIColorPalette::errorColor() : UIColorPalette::textPlaceholderColor();
        // Set again so that the placeholder and the floating label redraw in the new colour.
        floating->setPlaceholder(floating->placeholder());
    }
    if (fullName.empty() || email.empty() || relationship.empty()) {
        if (missing) showMessage(*this, kAllFieldsRequired, GSMessageType::error);
        return;
    }

    sendInviteEvent(rawValue(ScreenAction::Tap),
              {{"inviteFamilyViewInviteTapped", JSON("User is trying to invite a family member")}});
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    action_.send([&](const ActionKey& key) { sendInvite(fullName, relationship, email, user->id(), key); });
}

void InviteFamilyViewController::sendInvite(const std::string& fullName, const std::string& relationship,
                                            const std::string& email, std::int64_t memberId,
                                            const ActionKey& key) {
    startFullScreenLoadingOverlay(*this);
    auto self = std::static_pointer_cast<InviteFamilyViewController>(shared_from_this());
    InviteService().invite(
        fullName, relationship, email, memberId,
        [self, relationship, key](const BaseHTTPService::Task&, const std::optional<JSON>&) {
            self->action_.succeeded(key);
            stopFullScreenLoadingOverlay(*self);
            if (auto button = self->sendInviteButton())
                button->setTitle(std::string(kSendInviteAgain), UIControlStateNormal);
            sendInviteEvent(rawValue(ScreenAction::ServerRequest),
                      {{"inviteFamilySuccess", JSON("User invited family member successfully")},
                       {"relationShip", JSON(relationship)}});
            self->dismiss(true);
            if (auto delegate = self->delegate()) delegate->inviteFamilyViewControllerDidSendInvite(*self);
        },
        [self, relationship, key](const BaseHTTPService::Task&, const NSError& error) {
            self->action_.failed(key);
            stopFullScreenLoadingOverlay(*self);
            self->inviteFailed(refusalMessage(error), relationship);
        },
        key);
}

void InviteFamilyViewController::inviteFailed(const std::optional<std::string>& message,
                                              const std::string& relationship) {
    // A refusal without a readable message (no connection, a body that is not the server's error
    // object) still tells the member that nothing was sent.
    const std::string shown = message.value_or(kUnexpectedError);
    JSON::dictionary_t details{{"inviteFamilySuccess", JSON("User invited family member failed")},
                               {"relation", JSON(relationship)}};
    if (message) details["errorMessage"] = JSON(*message);
    sendInviteEvent(rawValue(ScreenAction::ServerRequest), details);
    showMessage(*this, shown, GSMessageType::error);
}
