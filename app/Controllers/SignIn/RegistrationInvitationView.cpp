#include "Controllers/SignIn/RegistrationInvitationView.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "uikit/controllers/UIToolbar.h"

namespace {

// The lines and the box's outline: a lighter grey with a touch of violet.
UIColor lineColor() {
    return UIColorWithHex("#EAE6EF", 1);
}

} // namespace

RegistrationInvitationView::RegistrationInvitationView() : RegistrationInvitationView(CGRect::zero()) {}

RegistrationInvitationView::RegistrationInvitationView(const CGRect& frame) : UIView(frame) {}

// No archive holds this view's settings: it is built in code either way.
RegistrationInvitationView::RegistrationInvitationView(NSCoder&) : RegistrationInvitationView(CGRect::zero()) {}

const std::shared_ptr<UIView>& RegistrationInvitationView::firstFormView() {
    if (!firstFormView_) {
        firstFormView_ = SignInForm::makeFormBox(lineColor());
        addSubview(firstFormView_);
    }
    return firstFormView_;
}

std::shared_ptr<LFloatTextField> RegistrationInvitationView::makeField(const std::string& placeholder,
                                                                      const std::string& identifier) {
    return SignInForm::makeBoxedField(*firstFormView(), placeholder, identifier, this);
}

const std::shared_ptr<LFloatTextField>& RegistrationInvitationView::inviterNameTextField() {
    if (!inviterNameTextField_) {
        inviterNameTextField_ = makeField("Inviter Name", "inviterNameTextField");
        inviterNameTextField_->returnKeyType = UIReturnKeyType::next;
        inviterNameTextField_->autocapitalizationType = UITextAutocapitalizationType::words;
    }
    return inviterNameTextField_;
}

const std::shared_ptr<LFloatTextField>& RegistrationInvitationView::inviterEmailTextField() {
    if (!inviterEmailTextField_) {
        inviterEmailTextField_ = makeField("Inviter Email", "inviterEmailTextField");
        inviterEmailTextField_->returnKeyType = UIReturnKeyType::next;
        inviterEmailTextField_->keyboardType = UIKeyboardType::emailAddress;
        inviterEmailTextField_->autocapitalizationType = UITextAutocapitalizationType::none;
    }
    return inviterEmailTextField_;
}

const std::shared_ptr<LFloatTextField>& RegistrationInvitationView::securityCodeTextField() {
    if (!securityCodeTextField_) {
        securityCodeTextField_ = makeField("Security Code", "securityCodeTextField");
        securityCodeTextField_->returnKeyType = UIReturnKeyType::done;
        securityCodeTextField_->keyboardType = UIKeyboardType::numberPad;
        // The number pad has no return key: Done above it lets the keyboard go.
        auto coder = NSCoder::empty();
        auto toolbar = std::make_shared<UIToolbar>(coder);
        toolbar->sizeToFit();
        toolbar->setItems({std::make_shared<UIBarButtonItem>(
                              std::string("Done"), UIBarButtonItemStyle::plain,
                              [weak = weak_from_this()](UIBarButtonItem&) {
                                  if (auto self = std::static_pointer_cast<RegistrationInvitationView>(weak.lock()))
                                      self->doneClicked();
                              })},
                          true);
        securityCodeTextField_->setInputAccessoryView(toolbar);
    }
    return securityCodeTextField_;
}

const std::shared_ptr<UIView>& RegistrationInvitationView::border(std::shared_ptr<UIView>& slot) {
    if (!slot) {
        slot = std::make_shared<UIView>();
        slot->setBackgroundColor(lineColor());
        slot->setTranslatesAutoresizingMaskIntoConstraints(false);
        firstFormView()->addSubview(slot);
    }
    return slot;
}

const std::shared_ptr<UIView>& RegistrationInvitationView::border1() {
    return border(border1_);
}

const std::shared_ptr<UIView>& RegistrationInvitationView::border2() {
    return border(border2_);
}

const std::shared_ptr<UIView>& RegistrationInvitationView::border3() {
    return border(border3_);
}

void RegistrationInvitationView::updateConstraints() {
    if (!didUpdateConstraints) {
        auto& container = firstFormView();
        lyt_layoutHorizontalWithMargin(*container, 0);
        lyt_layoutVerticalWithMargin(*container, 0);
        const std::map<std::string, std::shared_ptr<UIView>> views{
            {"fullName", inviterNameTextField()}, {"email", inviterEmailTextField()},
            {"securityCode", securityCodeTextField()}, {"border1", border1()},
            {"border2", border2()},               {"border3", border3()}};
        for (const auto& [name, view] : views)
            lyt_layoutHorizontalWithMargin(*view, 0);
        container->addConstraints(NSLayoutConstraint::constraints(
            "V:|-10-[fullName]-10-[border1(1)]-10-[email]-10-[border2(1)]-10-[securityCode]-10-[border3(1)]|", {}, {},
            views));
        didUpdateConstraints = true;
    }
    UIView::updateConstraints();
}

std::optional<InvitationInfo> RegistrationInvitationView::gatherInvitationInfo() {
    const auto name = inviterNameTextField()->text();
    const auto email = inviterEmailTextField()->text();
    const auto code = securityCodeTextField()->text();
    if (!name || !email || !code || name->empty() || email->empty() || code->empty()) return std::nullopt;
    return InvitationInfo{*name, *email, *code};
}

void RegistrationInvitationView::doneClicked() {
    securityCodeTextField()->resignFirstResponder();
}

bool RegistrationInvitationView::textFieldShouldBeginEditing(UITextField* field) {
    textFieldBeingEditted = field;
    return true;
}

bool RegistrationInvitationView::textFieldShouldReturn(UITextField* field) {
    if (field == inviterNameTextField_.get())
        inviterEmailTextField()->becomeFirstResponder();
    else if (field == inviterEmailTextField_.get())
        securityCodeTextField()->becomeFirstResponder();
    else if (field == securityCodeTextField_.get())
        field->resignFirstResponder();
    return true;
}
