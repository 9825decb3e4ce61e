#pragma once

// The invitation's form: the inviter's name, the inviter's e-mail and the security code of the
// invitation, three float-label fields in a white rounded box, a thin line under each. The
// invitation validation screen embeds it and asks it for the three texts when the member submits;
// the screen, not the form, calls the server and shows messages.
//
// The fields, lines and box are made on first use; the constraints once, in the first constraint
// pass. Main thread only.

#include "Views/LFloatTextField.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <optional>
#include <string>

class NSCoder;

struct InvitationInfo {
    std::string inviterName;
    std::string inviterEmail;
    std::string securityCode;
};

class RegistrationInvitationView : public UIView, public UITextFieldDelegate {
public:
    RegistrationInvitationView();
    explicit RegistrationInvitationView(const CGRect& frame);
    explicit RegistrationInvitationView(NSCoder& coder);
    std::string className() const override { return "RegistrationInvitationView"; }

    bool didUpdateConstraints = false;
    // The field that last began editing.
    UITextField* textFieldBeingEditted = nullptr;

    const std::shared_ptr<LFloatTextField>& inviterNameTextField();
    const std::shared_ptr<LFloatTextField>& inviterEmailTextField();
    const std::shared_ptr<LFloatTextField>& securityCodeTextField();
    const std::shared_ptr<UIView>& border1();
    const std::shared_ptr<UIView>& border2();
    const std::shared_ptr<UIView>& border3();
    const std::shared_ptr<UIView>& firstFormView();

    // The three texts, as typed, when none is empty; otherwise none.
    std::optional<InvitationInfo> gatherInvitationInfo();

    // The security code keyboard's Done.
    void doneClicked();

    bool textFieldShouldBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;
    void updateConstraints() override;

private:
    std::shared_ptr<LFloatTextField> makeField(const std::string& placeholder, const std::string& identifier);
    const std::shared_ptr<UIView>& border(std::shared_ptr<UIView>& slot);

    std::shared_ptr<LFloatTextField> inviterNameTextField_;
    std::shared_ptr<LFloatTextField> inviterEmailTextField_;
    std::shared_ptr<LFloatTextField> securityCodeTextField_;
    std::shared_ptr<UIView> border1_;
    std::shared_ptr<UIView> border2_;
    std::shared_ptr<UIView> border3_;
    std::shared_ptr<UIView> firstFormView_;
};
