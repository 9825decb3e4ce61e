#include "Controllers/Account/PasswordUpdateViewController.h"

#include "Controllers/Account/AccountFormButton.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/KeychainConfiguration.h"
#include "Services/KeychainPasswordItem.h"
#include "Services/MemberService.h"
#include "Services/TextLimits.h"
#include "foundation/text/CanonicalEquivalence.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"

#include <iostream>

namespace {

using PasswordUpdate = PasswordUpdateViewController;

// Every colour of this screen is one of these, opaque.
UIColor hex(const char* text) {
    return UIColorWithHex(text, 1);
}

void sendPasswordEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(PasswordUpdate::kScreenName, action, details);
}

std::string textOf(const std::shared_ptr<LFloatTextField>& field) {
    return field->text().value_or("");
}

} // namespace

void PasswordUpdateViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    edgesForExtendedLayout = UIRectEdge::none;
    setTitle(std::string(kTitle));
    view()->setBackgroundColor(hex("#EAE6E4"));

    auto back = std::make_shared<UIImageView>(UIImage::named("cwy_backp"));
    back->setUserInteractionEnabled(true);
    back->setAccessibilityIdentifier("cwy_backp");
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(this, &PasswordUpdate::dismissPasswordView);
    back->addGestureRecognizer(tap);
    navigationItem()->setLeftBarButtonItem(std::make_shared<UIBarButtonItem>(back), true);

    updateViewConstraints();
    action_.watchTyping(formView());
}

void PasswordUpdateViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    sendPasswordEvent(rawValue(ScreenAction::Loaded), {});
}

void PasswordUpdateViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    setSaveEnabled(false);
}

const std::shared_ptr<LFloatTextField>& PasswordUpdateViewController::passwordField(
    std::shared_ptr<LFloatTextField>& slot, const char* placeholder, UIReturnKeyType returnKey,
    UIKeyboardType keyboard) {
    if (!slot) {
        slot = std::make_shared<LFloatTextField>();
        slot->setTranslatesAutoresizingMaskIntoConstraints(false);
        slot->setPlaceholder(std::string(placeholder));
        slot->isSecureTextEntry = true;
        slot->autocorrectionType = UITextAutocorrectionType::no;
        slot->autocapitalizationType = UITextAutocapitalizationType::none;
        slot->returnKeyType = returnKey;
        slot->keyboardType = keyboard;
        slot->setDelegate(static_cast<UITextFieldDelegate*>(this));
        formView()->addSubview(slot);
    }
    return slot;
}

const std::shared_ptr<LFloatTextField>& PasswordUpdateViewController::currentPasswordTextField() {
    return passwordField(currentPasswordTextField_, "Current Password", UIReturnKeyType::next,
                         UIKeyboardType::asciiCapable);
}

const std::shared_ptr<LFloatTextField>& PasswordUpdateViewController::newPasswordTextField() {
    return passwordField(newPasswordTextField_, "New Password", UIReturnKeyType::next, UIKeyboardType::emailAddress);
}

const std::shared_ptr<LFloatTextField>& PasswordUpdateViewController::retypeNewPasswordTextField() {
    return passwordField(retypeNewPasswordTextField_, "Retype New Password", UIReturnKeyType::done,
                         UIKeyboardType::emailAddress);
}

const std::shared_ptr<UIView>& PasswordUpdateViewController::border(std::shared_ptr<UIView>& slot) {
    if (!slot) {
        slot = std::make_shared<UIView>();
        slot->setTranslatesAutoresizingMaskIntoConstraints(false);
        slot->setBackgroundColor(hex("#EAE6EF"));
        formView()->addSubview(slot);
    }
    return slot;
}

const std::shared_ptr<UIView>& PasswordUpdateViewController::border1() {
    return border(border1_);
}
const std::shared_ptr<UIView>& PasswordUpdateViewController::border2() {
    return border(border2_);
}
const std::shared_ptr<UIView>& PasswordUpdateViewController::border3() {
    return border(border3_);
}

const std::shared_ptr<UIView>& PasswordUpdateViewController::formView() {
    if (!formView_) {
        formView_ = std::make_shared<UIView>();
        formView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        formView_->setBackgroundColor(UIColor::whiteColor());
        formView_->layer()->cornerRadius = 5;
        formView_->layer()->borderColor = hex("#EAE6EF");
        formView_->layer()->borderWidth = 0.5;
        containerView()->addSubview(formView_);
    }
    return formView_;
}

const std::shared_ptr<UILabel>& PasswordUpdateViewController::descriptionLabel() {
    if (!descriptionLabel_) {
        descriptionLabel_ = std::make_shared<UILabel>();
        descriptionLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
        descriptionLabel_->setText(std::string("Passwords are case-sensitive and must be at least 8 characters."));
        descriptionLabel_->setNumberOfLines(0);
        descriptionLabel_->setLineBreakMode(NSLineBreakMode::byWordWrapping);
        descriptionLabel_->setTextColor(hex("#353535"));
        if (auto font = UIFont::named("Avenir-Medium", 17)) descriptionLabel_->setFont(*font);
        containerView()->addSubview(descriptionLabel_);
    }
    return descriptionLabel_;
}

const std::shared_ptr<UIView>& PasswordUpdateViewController::containerView() {
    if (!containerView_) {
        containerView_ = std::make_shared<UIView>();
        containerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(containerView_);
    }
    return containerView_;
}

const std::shared_ptr<UIButton>& PasswordUpdateViewController::savePasswordButton() {
    if (!savePasswordButton_) {
        savePasswordButton_ = makeAccountFormButton("Save Password");
        savePasswordButton_->addTarget(this, &PasswordUpdate::savePasswordTapped, UIControlEventTouchUpInside);
        view()->addSubview(savePasswordButton_);
        setSaveEnabled(false);
    }
    return savePasswordButton_;
}

void PasswordUpdateViewController::setSaveEnabled(bool enabled) {
    auto& button = savePasswordButton();
    button->setEnabled(enabled);
    button->setAlpha(enabled ? 1.0 : 0.5);
}

void PasswordUpdateViewController::updateViewConstraints() {
    if (!didUpdateConstraints) {
        didUpdateConstraints = true;
        auto root = view();
        lyt_layoutHorizontalWithMargin(*savePasswordButton(), 20);
        root->addConstraint(NSLayoutConstraint::make(savePasswordButton(), NSLayoutAttribute::lastBaseline,
                                                     NSLayoutRelation::equal, root, NSLayoutAttribute::lastBaseline, 1,
                                                     -50));
        for (const auto& v : std::vector<std::shared_ptr<UIView>>{formView(), currentPasswordTextField(),
                                                                  newPasswordTextField(), retypeNewPasswordTextField(),
                                                                  border1(), border2(), border3(), descriptionLabel()})
            lyt_layoutHorizontalWithMargin(*v, 0);
        lyt_layoutHorizontalWithMargin(*containerView(), 20);

        const std::map<std::string, std::shared_ptr<UIView>> views{
            {"formView", formView()},
            {"currentPasswordTextField", currentPasswordTextField()},
            {"newPasswordTextField", newPasswordTextField()},
            {"retypeNewPasswordTextField", retypeNewPasswordTextField()},
            {"border1", border1()},
            {"border2", border2()},
            {"border3", border3()},
            {"sendInvite", savePasswordButton()},
            {"descriptionLabel", descriptionLabel()},
            {"containerView", containerView()}};
        containerView()->addConstraints(
            NSLayoutConstraint::constraints("V:|-10-[descriptionLabel]-20-[formView]|", 0, {}, views));
        root->addConstraints(NSLayoutConstraint::constraints("V:|-10-[containerView]", 0, {}, views));
        formView()->addConstraints(NSLayoutConstraint::constraints(
            "V:|[currentPasswordTextField]-10-[border1(1)]-10-[newPasswordTextField]-10-[border2(1)]-10-"
            "[retypeNewPasswordTextField]-10-[border3(1)]|",
            0, {}, views));
    }
    UIViewController::updateViewConstraints();
}

bool PasswordUpdateViewController::textFieldShouldBeginEditing(UITextField*) {
    setSaveEnabled(true);
    return true;
}

bool PasswordUpdateViewController::textFieldShouldReturn(UITextField* textField) {
    if (textField == currentPasswordTextField().get())
        newPasswordTextField()->becomeFirstResponder();
    else if (textField == newPasswordTextField().get())
        retypeNewPasswordTextField()->becomeFirstResponder();
    else if (textField == retypeNewPasswordTextField().get())
        textField->resignFirstResponder();
    return true;
}

void PasswordUpdateViewController::dismissPasswordView() {
    // Her change is on its way: she stays to hear whether it was made.
    if (action_.isSending()) return;
    if (auto navigation = navigationController()) navigation->popViewController(true);
}

std::optional<std::string> PasswordUpdateViewController::validationFailure(const std::string& current,
                                                                           const std::string& next,
                                                                           const std::string& retyped) const {
    if (next.empty() || current.empty() || retyped.empty()) return std::string(kEmptyField);
    // Characters as the server counts them (cw::textLength), spaces included, nothing trimmed.
    if (cw::textLength(next) < kMinimumLength || cw::textLength(retyped) < kMinimumLength)
        return std::string(kTooShort);
    if (!cw::canonicallyEquivalent(next, retyped)) return std::string(kMismatch);
    return std::nullopt;
}

void PasswordUpdateViewController::savePasswordTapped(UIButton*) {
    const std::string current = textOf(currentPasswordTextField());
    const std::string next = textOf(newPasswordTextField());
    const std::string retyped = textOf(retypeNewPasswordTextField());
    if (auto failure = validationFailure(current, next, retyped)) {
        showMessage(*this, *failure, GSMessageType::error);
        return;
    }
    action_.send([&](const ActionKey& key) { sendPassword(current, next, key); });
}

void PasswordUpdateViewController::sendPassword(const std::string& current, const std::string& next,
                                                const ActionKey& key) {
    sendPasswordEvent(rawValue(ScreenAction::Tap), {{"passwordUpdateTapped", JSON("User clicked to update password")}});
    startFullScreenLoadingOverlay(*this);
    auto user = AuthenticationContext::shared().user();
    const std::string email = user ? user->email() : std::string();
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    MemberService("member/update_pass")
        .updatePassword(
            {{"current_password", current}, {"new_password", next}},
            [weakSelf, email, next, key](const JSON& reply) {
                // The server holds the new password now, whatever the reply says beside it.
                if (!email.empty()) updateStoredPassword(email, next);
                auto self = std::static_pointer_cast<PasswordUpdate>(weakSelf.lock());
                if (!self) return;
                self->action_.succeeded(key);
                stopFullScreenLoadingOverlay(*self);
                auto message = reply["message"].string();
                if (!message) return;
                if (auto delegate = self->delegate()) delegate->passwordSuccessfullUpdated(*message);
                sendPasswordEvent(rawValue(ScreenAction::ServerRequest),
                          {{"passwordUpdateSuccess", JSON("User updated password successfully")}});
                if (auto navigation = self->navigationController()) navigation->popViewController(true);
            },
            [weakSelf, key](const RequestError& error) {
                std::cout << error.what() << std::endl;
                auto self = std::static_pointer_cast<PasswordUpdate>(weakSelf.lock());
                if (!self) return;
                self->action_.failed(key);
                stopFullScreenLoadingOverlay(*self);
                JSON::dictionary_t details{{"passwordUpdateSuccess", JSON("User updated password failed")}};
                std::string shown = kErrorOccured;
                if (error.kind() == RequestError::Kind::erroResponse) {
                    auto it = error.object().find("message");
                    const JSON message = it == error.object().end() ? JSON() : it->second;
                    details["errorMessage"] = message;
                    // A refusal without a message text still says that nothing changed.
                    if (auto text = message.string()) shown = *text;
                }
                sendPasswordEvent(rawValue(ScreenAction::ServerRequest), details);
                showMessage(*self, shown, GSMessageType::error);
            },
            key);
}

void PasswordUpdateViewController::updateStoredPassword(const std::string& email, const std::string& password) {
    const KeychainPasswordItem item(KeychainConfiguration::serviceName, email, KeychainConfiguration::accessGroup);
    try {
        // Only a member who keeps the password for Touch ID has an item; none is made here.
        (void)item.readPassword();
        item.savePassword(password);
    } catch (const KeychainPasswordItem::KeychainError&) {
    }
}
