#include "Controllers/SignIn/EmailVerificationViewController.h"

#include "App/Notifications/RemoteNotificationPayload.h"
#include "Controllers/SignIn/EmailVerificationFailureViewController.h"
#include "Controllers/SignIn/RegistrationViewController.h"
#include "Controllers/SignIn/SignInText.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/BaseHTTPService.h"
#include "foundation/text/CaseMapping.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr CGFloat kBoxWidth = 70;
constexpr CGFloat kBoxSpacing = 12;
constexpr CGFloat kBoxAspect = 1.3;

// A digit box is sized by its width (70 points, less on a narrow screen) rather than by its title:
// the stack lays its boxes out at their natural size, so that size is the box's own.
class DigitBox : public UIButton {
public:
    DigitBox() : UIButton(UIButtonType::custom) {}
    CGSize intrinsicContentSize() const override {
        CGFloat width = kBoxWidth;
        if (const UIView* stack = superviewPointer(); stack && stack->bounds().width() > 0) {
            const CGFloat room = (stack->bounds().width() - kBoxSpacing * (kCodeLength - 1)) / kCodeLength;
            width = std::max<CGFloat>(0, std::min(width, room));
        }
        return {width, width * kBoxAspect};
    }

private:
    static constexpr std::size_t kCodeLength = EmailVerificationViewController::kCodeLength;
};

} // namespace

const std::vector<std::shared_ptr<UIButton>>& EmailVerificationViewController::inputButtons() {
    if (inputButtons_.empty()) {
        for (std::size_t i = 0; i < kCodeLength; ++i) {
            auto box = std::make_shared<DigitBox>();
            box->setTranslatesAutoresizingMaskIntoConstraints(false);
            box->setAccessibilityIdentifier("codeBox" + std::to_string(i + 1));
            box->setBackgroundColor(UIColor::whiteColor());
            box->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
            box->titleLabel()->setFont(UIFont::systemFont(30, UIFont::Weight::regular));
            box->titleLabel()->setAdjustsFontSizeToFitWidth(true);
            box->contentHorizontalAlignment = UIControlContentHorizontalAlignment::center;
            box->layer()->cornerRadius = 4;
            // Narrow screens squeeze the boxes rather than the margins.
            auto width = box->widthAnchor().constraintEqualToConstant(kBoxWidth);
            width->setPriority(750);
            NSLayoutConstraint::activate({width, box->heightAnchor().constraintEqualTo(box->widthAnchor(), kBoxAspect, 0)});
            inputButtons_.push_back(box);
        }
    }
    return inputButtons_;
}

const std::shared_ptr<UIStackView>& EmailVerificationViewController::pinInputView() {
    if (!pinInputView_) {
        std::vector<std::shared_ptr<UIView>> boxes(inputButtons().begin(), inputButtons().end());
        pinInputView_ = std::make_shared<UIStackView>(boxes);
        pinInputView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        pinInputView_->setAxis(UILayoutConstraintAxis::horizontal);
        pinInputView_->setAlignment(UIStackViewAlignment::fill);
        pinInputView_->setDistribution(UIStackViewDistribution::equalSpacing);
        pinInputView_->setSpacing(kBoxSpacing);
        pinInputView_->setAccessibilityIdentifier("pinInputView");
    }
    return pinInputView_;
}

const std::shared_ptr<UITextField>& EmailVerificationViewController::textField() {
    if (!textField_) {
        textField_ = std::make_shared<UITextField>();
        textField_->setHidden(true);
        textField_->keyboardType = UIKeyboardType::numberPad;
        textField_->setAccessibilityIdentifier("codeTextField");
        textField_->addTarget(this, &EmailVerificationViewController::didChangeText, UIControlEventEditingChanged);
    }
    return textField_;
}

const std::shared_ptr<UILabel>& EmailVerificationViewController::instructionLabel() {
    if (!instructionLabel_) {
        instructionLabel_ = SignInText::makeHeading(kInstruction, 17);
        instructionLabel_->setAccessibilityIdentifier("instructionLabel");
    }
    return instructionLabel_;
}

void EmailVerificationViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    auto root = view();
    root->setBackgroundColor(UIColorWithHex("#EAE6E4", 1));
    root->addSubview(instructionLabel());
    root->addSubview(pinInputView());
    // Takes the typing only: it is never shown and never laid out.
    root->addSubview(textField());
    NSLayoutConstraint::activate({
        instructionLabel()->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 20),
        instructionLabel()->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20),
        instructionLabel()->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20),
        pinInputView()->topAnchor().constraintEqualTo(instructionLabel()->bottomAnchor(), 20),
        pinInputView()->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20),
        pinInputView()->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20),
    });
}

void EmailVerificationViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    // The boxes' height follows their width, known only once the row has its width: the row asks
    // for its height again when it changed.
    auto& row = *pinInputView();
    if (std::abs(row.bounds().height() - row.intrinsicContentSize().height) > 0.5) {
        row.invalidateIntrinsicContentSize();
        view()->setNeedsLayout();
    }
}

void EmailVerificationViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    textField()->becomeFirstResponder();
    if (status) {
        showMessage(*this, *status, GSMessageType::success, {GSMessageOption::textNumberOfLines{0}});
        status = std::nullopt;
    }
}

void EmailVerificationViewController::showInBoxes(const std::vector<std::string>& characters) {
    const auto& boxes = inputButtons();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setTitle(i < characters.size() ? std::optional<std::string>(characters[i]) : std::nullopt,
                           UIControlStateNormal);
}

void EmailVerificationViewController::didChangeText(UITextField*) {
    const std::string text = textField()->text().value_or("");
    // Only what the boxes show is read, however long a paste.
    std::vector<std::string> characters;
    cw::forEachCharacter(text, [&characters](std::string_view character) {
        characters.emplace_back(character);
        return characters.size() < kCodeLength;
    });
    showInBoxes(characters);
    if (characters.size() >= kCodeLength) {
        // The code is what the boxes show: a longer paste would otherwise send digits nobody sees,
        // and never match.
        std::string code;
        for (const auto& character : characters)
            code += character;
        verify(code);
        // Setting the text from code sends no editing change.
        textField()->setText(code);
    }
}

void EmailVerificationViewController::verify(const std::string& code) {
    // One check at a time: a key pressed while it runs must not send the code again.
    if (verifying_ || !email) return;
    const auto number = RemoteNotificationPayload::integerFromDecimalText(code);
    if (!number) return;
    verifying_ = true;
    showActivityOverlay(*this, true);
    JSON body = JSON(JSON::dictionary_t{});
    body.set("email", *email);
    body.set("code", *number);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    BaseHTTPService("verify").post(
        "email", body,
        [weak](const BaseHTTPService::Task&, const std::optional<JSON>&) {
            auto self = std::static_pointer_cast<EmailVerificationViewController>(weak.lock());
            if (!self) return;
            self->verifying_ = false;
            hideActivityOverlay(*self, true);
            auto account = std::make_shared<RegistrationViewController>();
            account->email = self->email;
            self->show(account, std::any(UIViewControllerPtr(self)));
        },
        [weak](const BaseHTTPService::Task&, const NSError&) {
            auto self = std::static_pointer_cast<EmailVerificationViewController>(weak.lock());
            if (!self) return;
            self->verifying_ = false;
            self->show(std::make_shared<EmailVerificationFailureViewController>(),
                       std::any(UIViewControllerPtr(self)));
            self->textField()->setText(std::nullopt);
            self->didChangeText(self->textField().get());
            hideActivityOverlay(*self, true);
        });
}
