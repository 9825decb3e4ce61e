#include "Controllers/SignIn/RegistrationViewController.h"

#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Controllers/SignIn/SignInText.h"
#include "Controllers/SignIn/SignInWeakly.h"
#include "Extensions/UITextField+Email.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/MemberService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

#include <algorithm>

namespace {

constexpr CGFloat kPictureSide = 150;

void sendRegistrationEvent(ScreenAction action, const JSON::dictionary_t& details) {
    AnalyticsService().send(RegistrationViewController::kScreenName, rawValue(action), details);
}

JSON createAccountFailure() {
    return JSON("User create account failed");
}

} // namespace

const std::shared_ptr<UIImageView>& RegistrationViewController::userImageView() {
    if (!userImageView_) {
        userImageView_ = RegistrationSignUpView::makeMemberPicture();
        userImageView_->addGestureRecognizer(
            std::make_shared<UITapGestureRecognizer>(weakly(*this, &RegistrationViewController::onChoosePhoto)));
    }
    return userImageView_;
}

const std::shared_ptr<UIButton>& RegistrationViewController::cameraButton() {
    if (!cameraButton_) {
        cameraButton_ = RegistrationSignUpView::makeEditPictureButton();
        cameraButton_->addTarget(this, &RegistrationViewController::onChoosePhoto, UIControlEventTouchUpInside);
    }
    return cameraButton_;
}

const std::shared_ptr<UIPickerView>& RegistrationViewController::relationPickerView() {
    if (!relationPickerView_) {
        relationPickerView_ = std::make_shared<UIPickerView>();
        relationPickerView_->showsSelectionIndicator = true;
        relationPickerView_->setBackgroundColor(UIColor::whiteColor());
        relationPickerView_->setDataSource(static_cast<UIPickerViewDataSource*>(this));
        relationPickerView_->setDelegate(static_cast<UIPickerViewDelegate*>(this));
    }
    return relationPickerView_;
}

const std::shared_ptr<UIScrollView>& RegistrationViewController::scrollView() {
    if (!scrollView_) {
        scrollView_ = std::make_shared<UIScrollView>();
        scrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        scrollView_->setAccessibilityIdentifier("accountScrollView");
        scrollView_->alwaysBounceVertical = true;
        scrollView_->keyboardDismissMode = UIScrollViewKeyboardDismissMode::interactive;
        cw::followKeyboard(scrollView_);
        scrollView_->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::automatic);
    }
    return scrollView_;
}

const std::shared_ptr<UIView>& RegistrationViewController::scrollViewContainer() {
    if (!scrollViewContainer_) {
        scrollViewContainer_ = std::make_shared<UIView>();
        scrollViewContainer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return scrollViewContainer_;
}

const std::shared_ptr<RegistrationSignUpView>& RegistrationViewController::formView() {
    if (!formView_) {
        formView_ = RegistrationSignUpView::makeOutlined(this);
    }
    return formView_;
}

const std::shared_ptr<UILabel>& RegistrationViewController::headerLabel() {
    if (!headerLabel_) {
        headerLabel_ = SignInText::makeHeading(kHeader, 17);
        headerLabel_->setAccessibilityIdentifier("headerLabel");
    }
    return headerLabel_;
}

const std::shared_ptr<UILabel>& RegistrationViewController::passwordRulesLabel() {
    if (!passwordRulesLabel_) {
        passwordRulesLabel_ = SignInText::makeHeading(kPasswordRules, 16);
        passwordRulesLabel_->setNumberOfLines(1);
        passwordRulesLabel_->setAccessibilityIdentifier("passwordRulesLabel");
        passwordRulesLabel_->setBackgroundColor(UIColor::clearColor());
        passwordRulesLabel_->setAdjustsFontSizeToFitWidth(true);
        passwordRulesLabel_->setMinimumScaleFactor(0.5);
    }
    return passwordRulesLabel_;
}

const std::shared_ptr<GreenButton>& RegistrationViewController::createAccountButton() {
    if (!createAccountButton_) {
        createAccountButton_ = std::make_shared<GreenButton>();
        createAccountButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        createAccountButton_->setAccessibilityIdentifier("createAccountButton");
        createAccountButton_->setTitle(std::string(kTitle), UIControlStateNormal);
        createAccountButton_->addTarget(this, &RegistrationViewController::createAccountTapped,
                                        UIControlEventTouchUpInside);
    }
    return createAccountButton_;
}

void RegistrationViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorPalette::backgroundColor());
    setTitle(std::string(kTitle));
    view()->addSubview(scrollView());
    scrollView()->addSubview(scrollViewContainer());
    for (const auto& v : std::vector<UIViewPtr>{headerLabel(), userImageView(), cameraButton(), formView(),
                                                passwordRulesLabel(), createAccountButton()})
        scrollViewContainer()->addSubview(v);
    addConstraints();
}

void RegistrationViewController::addConstraints() {
    if (didUpdateConstraints) return;
    auto& scroll = scrollView();
    auto& content = scrollViewContainer();
    lyt_attachToSuperview(*scroll);
    lyt_attachToSuperview(*content);
    lyt_setCenterX(*content, 0);
    for (const auto& v : std::vector<UIViewPtr>{headerLabel(), formView(), passwordRulesLabel(), createAccountButton()})
        lyt_layoutHorizontalWithMargin(*v, 20);
    lyt_horizontalCenterInSuperView(*userImageView());
    lyt_setSize(*userImageView(), {kPictureSide, kPictureSide});
    content->addConstraints(NSLayoutConstraint::constraints(
        "V:|-20-[headerLabel]-12-[userImageView]-12-[formView]-20-[passwordRules]-20-[createAccountButton]", {}, {},
        std::map<std::string, std::shared_ptr<UIView>>{{"headerLabel", headerLabel()},
                                                       {"userImageView", userImageView()},
                                                       {"formView", formView()},
                                                       {"passwordRules", passwordRulesLabel()},
                                                       {"createAccountButton", createAccountButton()}}));
    NSLayoutConstraint::activate({
        cameraButton()->rightAnchor().constraintEqualTo(userImageView()->rightAnchor()),
        cameraButton()->bottomAnchor().constraintEqualTo(userImageView()->bottomAnchor()),
        // Room below the button: what makes the content as tall as it is.
        content->lastBaselineAnchor().constraintEqualTo(createAccountButton()->lastBaselineAnchor(), 50),
    });
    didUpdateConstraints = true;
}

void RegistrationViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    sendRegistrationEvent(ScreenAction::Loaded, {});
    if (email) {
        auto& field = formView()->emailTextField();
        field->setText(email);
        field->setEnabled(false);
        field->setTextColor(UIColor::grayColor());
    }
}

void RegistrationViewController::didSelect(UITextField& textField) {
    focusedTextField = &textField;
}

void RegistrationViewController::tappedRelationShip(UITextField& relationshipField) {
    auto toolbar = std::make_shared<UIToolbar>();
    toolbar->setBarStyle(UIBarStyle::default_);
    toolbar->setItems({std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::flexibleSpace),
                       std::make_shared<UIBarButtonItem>(std::string("Done"), UIBarButtonItemStyle::done,
                                                         weakly(*this, &RegistrationViewController::dismissPicker))});
    toolbar->sizeToFit();
    relationshipField.setInputView(relationPickerView());
    relationshipField.setInputAccessoryView(toolbar);
}

void RegistrationViewController::dismissPicker() {
    formView()->relationshipField()->resignFirstResponder();
}

long RegistrationViewController::numberOfRowsInComponent(UIPickerView*, long) {
    return static_cast<long>(pickerData.size()) + 1;
}

std::optional<std::string> RegistrationViewController::titleForRow(UIPickerView*, long row, long) {
    if (row == 0) return std::string(kSelectOne);
    if (row < 0 || row > static_cast<long>(pickerData.size())) return std::nullopt;
    return pickerData[static_cast<std::size_t>(row - 1)];
}

void RegistrationViewController::didSelectRow(UIPickerView*, long row, long) {
    // "Select One" is no relationship.
    if (row <= 0 || row > static_cast<long>(pickerData.size())) return;
    formView()->relationshipField()->setText(pickerData[static_cast<std::size_t>(row - 1)]);
}

bool RegistrationViewController::validatePassword() {
    if (SignInForm::isLongEnoughPassword(formView()->passwordField()->text().value_or(""))) return true;
    formView()->showInvalidPassword();
    return false;
}

bool RegistrationViewController::validateRelationship() {
    if (!formView()->relationshipField()->text().value_or("").empty()) return true;
    formView()->relationshipField()->showInvalid();
    return false;
}

bool RegistrationViewController::validateName() {
    if (!formView()->fullNameTextField()->text().value_or("").empty()) return true;
    formView()->showInvalidName();
    return false;
}

bool RegistrationViewController::validateEmail() {
    auto& field = *formView()->emailTextField();
    if (!field.text().value_or("").empty() && validEmailAddress(field)) return true;
    formView()->showInvalidEmail();
    return false;
}

bool RegistrationViewController::validateInputs() {
    const bool password = validatePassword();
    const bool relationship = validateRelationship();
    const bool name = validateName();
    const bool address = validateEmail();
    return password && relationship && name && address;
}

void RegistrationViewController::createAccountTapped() {
    formView()->clearInvalidFields();
    if (!validateInputs()) {
        showMessage(*this, kAllFieldsRequired, GSMessageType::error);
        return;
    }
    sendRegistrationEvent(ScreenAction::Tap, {{"userRegister", JSON("User trying to create an account")}});
    validateRegistration();
}

void RegistrationViewController::returnFromPassword() {
    createAccountTapped();
}

void RegistrationViewController::validateRegistration() {
    showActivityOverlay(*this, true);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    MemberService("member/check")
        .checkEmail(
            formView()->emailTextField()->text().value_or(""),
            [weak](const JSON& reply) {
                auto self = weak.lock();
                if (!self) return;
                if (auto message = reply["message"].string()) {
                    if (message->empty()) {
                        sendRegistrationEvent(ScreenAction::ServerRequest,
                                  {{"createAccountSuccess", JSON("User successfully created account")}});
                    } else {
                        sendRegistrationEvent(ScreenAction::ServerRequest,
                                  {{"createAccountFailure", createAccountFailure()}, {"errorMessage", JSON(*message)}});
                        showMessage(*self, *message, GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
                    }
                }
                hideActivityOverlay(*self, true);
            },
            [weak](const RequestError& error) {
                auto self = weak.lock();
                if (!self) return;
                if (error.kind() == RequestError::Kind::erroResponse) {
                    sendRegistrationEvent(ScreenAction::ServerRequest, {{"createAccountFailure", createAccountFailure()},
                                                            {"errorMessage", JSON(error.object())},
                                                            {"serverError", JSON("")}});
                    auto found = error.object().find("message");
                    std::optional<std::string> message;
                    if (found != error.object().end()) message = found->second.string();
                    showMessage(*self, message.value_or(SignInMessages::kUnexpectedError), GSMessageType::error,
                                {GSMessageOption::textNumberOfLines{0}});
                } else {
                    sendRegistrationEvent(ScreenAction::ServerRequest,
                              {{"createAccountFailure", createAccountFailure()}, {"serverError", JSON("default error")}});
                    showMessage(*self, kErrorOccured, GSMessageType::error);
                }
                hideActivityOverlay(*self, true);
            });
}

void RegistrationViewController::onChoosePhoto() {
    presentImageSourceOptions();
}
