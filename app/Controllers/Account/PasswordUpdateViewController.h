#pragma once

// "Change Password", pushed by My Account: the current password, the new one and the new one again,
// then "Save Password". The texts are checked in order ("Password field is empty", "Password should
// be minimum 8 characters" for the new or retyped one, "Password mismatch"), then sent; on success
// the delegate hears the server's message and the screen goes back. A keychain item that already
// holds the member's password (for Touch ID) takes the new one, so that sign-in keeps working.
//
// While the change is on its way the screen waits under the loading overlay, and neither Save nor
// the back arrow takes a tap: she learns whether her password changed before she can leave or send
// it again. Sent again unchanged after a failure it carries the same key (FormAction), so that the
// server changes it once; after a success Save does nothing until a field changes.
//
// Built in code. The Save button is disabled (alpha 0.5) when made and each time the screen
// disappears, and enabled as soon as a field is about to be edited.

#include "Services/ActionKey.h"
#include "Services/TextLimits.h"
#include "Views/LFloatTextField.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

// Told, before the password screen goes back, of a successful change with the server's message.
class PasswordUpdateProtocol {
public:
    virtual ~PasswordUpdateProtocol() = default;
    virtual void passwordSuccessfullUpdated(const std::string& message) = 0;
};

class PasswordUpdateViewController : public UIViewController, public UITextFieldDelegate {
public:
    static constexpr const char* kTitle = "Change Password";
    static constexpr const char* kScreenName = "PasswordUpdateScreen";
    static constexpr const char* kEmptyField = "Password field is empty";
    static constexpr const char* kTooShort = "Password should be minimum 8 characters";
    static constexpr const char* kMismatch = "Password mismatch";
    static constexpr const char* kErrorOccured = "Error Occured";
    static constexpr std::size_t kMinimumLength = cw::kShortestPassword;

    PasswordUpdateViewController() = default;
    std::string className() const override { return "PasswordUpdateViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void updateViewConstraints() override;

    std::shared_ptr<PasswordUpdateProtocol> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PasswordUpdateProtocol>& delegate) { delegate_ = delegate; }
    bool didUpdateConstraints = false;

    // Checks the three texts and sends them.
    void savePasswordTapped(UIButton* sender);
    // Goes back to the screen below.
    void dismissPasswordView();

    bool textFieldShouldBeginEditing(UITextField* textField) override;
    bool textFieldShouldReturn(UITextField* textField) override;

    // Made on first use.
    const std::shared_ptr<LFloatTextField>& currentPasswordTextField();
    const std::shared_ptr<LFloatTextField>& newPasswordTextField();
    const std::shared_ptr<LFloatTextField>& retypeNewPasswordTextField();
    const std::shared_ptr<UIView>& border1();
    const std::shared_ptr<UIView>& border2();
    const std::shared_ptr<UIView>& border3();
    const std::shared_ptr<UIView>& formView();
    const std::shared_ptr<UILabel>& descriptionLabel();
    const std::shared_ptr<UIView>& containerView();
    const std::shared_ptr<UIButton>& savePasswordButton();

private:
    const std::shared_ptr<LFloatTextField>& passwordField(std::shared_ptr<LFloatTextField>& slot, const char* placeholder,
                                                          UIReturnKeyType returnKey, UIKeyboardType keyboard);
    const std::shared_ptr<UIView>& border(std::shared_ptr<UIView>& slot);
    void setSaveEnabled(bool enabled);
    void sendPassword(const std::string& current, const std::string& next, const ActionKey& key);
    // The failing check's message, if one fails.
    std::optional<std::string> validationFailure(const std::string& current, const std::string& next,
                                                 const std::string& retyped) const;
    // A keychain item already holding the member's password takes the new one; none is made.
    static void updateStoredPassword(const std::string& email, const std::string& password);

    std::weak_ptr<PasswordUpdateProtocol> delegate_;
    std::shared_ptr<LFloatTextField> currentPasswordTextField_, newPasswordTextField_, retypeNewPasswordTextField_;
    std::shared_ptr<UIView> border1_, border2_, border3_;
    std::shared_ptr<UIView> formView_;
    std::shared_ptr<UILabel> descriptionLabel_;
    std::shared_ptr<UIView> containerView_;
    std::shared_ptr<UIButton> savePasswordButton_;
    FormAction action_;
};
