#include "Controllers/Account/MyAccountViewController.h"

#include "Controllers/Account/AccountFormButton.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "foundation/text/Graphemes.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

#include <iostream>

namespace {

using MyAccount = MyAccountViewController;

UIColor hex(const char* text) {
    return UIColorWithHex(text, 1);
}

void sendAccountEvent(const std::string& action, const JSON::dictionary_t& details) {
    AnalyticsService().send(MyAccount::kScreenName, action, details);
}

} // namespace

void MyAccountViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(hex("#EAE6E4"));
    // The picture starts below the navigation bar, never under it.
    edgesForExtendedLayout = UIRectEdge::none;
    setTitle(std::string(kTitle));
    updateViewConstraints();
    auto user = AuthenticationContext::shared().user();
    if (!user) return;
    formView()->configure(*user, RegistrationSignUpViewType::MyAccount);
    action_.watchTyping(formView());
    if (user->pictureFile()) updateImageWith(*userImageView(), *user->pictureFile());
}

void MyAccountViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    sendAccountEvent(rawValue(ScreenAction::Loaded), {});
}

void MyAccountViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    setUpdateEnabled(false);
}

const std::shared_ptr<UIScrollView>& MyAccountViewController::containerScrollView() {
    if (!containerScrollView_) {
        containerScrollView_ = std::make_shared<UIScrollView>();
        containerScrollView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        containerScrollView_->setDelegate(static_cast<UIScrollViewDelegate*>(this));
        containerScrollView_->alwaysBounceVertical = true;
        // The form's end and the field being edited stay above the keys.
        cw::followKeyboard(containerScrollView_);
        view()->addSubview(containerScrollView_);
    }
    return containerScrollView_;
}

const std::shared_ptr<UIImageView>& MyAccountViewController::userImageView() {
    if (!userImageView_) {
        userImageView_ = RegistrationSignUpView::makeMemberPicture();
        auto tap = std::make_shared<UITapGestureRecognizer>();
        tap->addTarget(this, &MyAccount::pickAnImage);
        userImageView_->addGestureRecognizer(tap);
        containerScrollView()->addSubview(userImageView_);
    }
    return userImageView_;
}

const std::shared_ptr<UIButton>& MyAccountViewController::cameraButton() {
    if (!cameraButton_) {
        cameraButton_ = RegistrationSignUpView::makeEditPictureButton();
        cameraButton_->addTarget(this, &MyAccount::pickAnImage, UIControlEventTouchUpInside);
        containerScrollView()->addSubview(cameraButton_);
    }
    return cameraButton_;
}

const std::shared_ptr<RegistrationSignUpView>& MyAccountViewController::formView() {
    if (!formView_) {
        formView_ = RegistrationSignUpView::makeOutlined(this);
        containerScrollView()->addSubview(formView_);
    }
    return formView_;
}

const std::shared_ptr<UIButton>& MyAccountViewController::editPassword() {
    if (!editPassword_) {
        editPassword_ = makeAccountFormButton("Update");
        editPassword_->addTarget(this, &MyAccount::updateMember, UIControlEventTouchUpInside);
        containerScrollView()->addSubview(editPassword_);
        setUpdateEnabled(false);
    }
    return editPassword_;
}

void MyAccountViewController::setUpdateEnabled(bool enabled) {
    auto& button = editPassword();
    button->setUserInteractionEnabled(enabled);
    button->setAlpha(enabled ? 1.0 : 0.5);
}

void MyAccountViewController::updateViewConstraints() {
    if (!didUpdateConstraints) {
        didUpdateConstraints = true;
        auto root = view();
        lyt_layoutHorizontalWithMargin(*formView(), 20);
        root->addConstraint(formView()->widthAnchor().constraintEqualTo(root->widthAnchor(), 1, -40));
        lyt_layoutHorizontalWithMargin(*editPassword(), 20);
        lyt_horizontalCenterInSuperView(*userImageView());
        const std::map<std::string, std::shared_ptr<UIView>> views{{"userImage", userImageView()},
                                                                   {"formView", formView()},
                                                                   {"editPassword", editPassword()},
                                                                   {"containerScrollView", containerScrollView()}};
        for (const char* format : {"H:|[containerScrollView]|", "V:|[containerScrollView]|",
                                   "V:|-20-[userImage(200)]-20-[formView]->=20-[editPassword]-20-|",
                                   "H:[userImage(200)]"})
            root->addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));
        // At the picture's lower right corner, reaching 20 points beyond it.
        root->addConstraint(NSLayoutConstraint::make(cameraButton(), NSLayoutAttribute::trailing,
                                                     NSLayoutRelation::equal, userImageView(),
                                                     NSLayoutAttribute::trailing, 1, 20));
        root->addConstraint(NSLayoutConstraint::make(cameraButton(), NSLayoutAttribute::lastBaseline,
                                                     NSLayoutRelation::equal, userImageView(),
                                                     NSLayoutAttribute::lastBaseline, 1, 10));
    }
    UIViewController::updateViewConstraints();
}

void MyAccountViewController::formIsBeingEdited() {
    setUpdateEnabled(true);
}

void MyAccountViewController::passwordFieldIsBeingEdited() {
    auto password = std::make_shared<PasswordUpdateViewController>();
    password->setDelegate(std::static_pointer_cast<MyAccount>(shared_from_this()));
    if (auto navigation = navigationController()) navigation->pushViewController(password, true);
}

void MyAccountViewController::returnFromPassword() {
    std::cout << "return from passwd" << std::endl;
}

void MyAccountViewController::passwordSuccessfullUpdated(const std::string& message) {
    showMessage(*this, message, GSMessageType::success);
}

void MyAccountViewController::pickAnImage() {
    presentImageSourceOptions();
    sendAccountEvent(rawValue(ScreenAction::Tap), {{"myAccountPicturePickerTapped", JSON("User trying to pick a picture")}});
}

void MyAccountViewController::didCropImage(RSKImageCropViewController& cropper,
                                           const std::shared_ptr<UIImage>& croppedImage, CGRect cropRect,
                                           CGFloat rotationAngle) {
    setUpdateEnabled(true);
    action_.changed();
    CroppedPhotoPicking::didCropImage(cropper, croppedImage, cropRect, rotationAngle);
}

void MyAccountViewController::updateMember(UIButton*) {
    const std::string name = formView()->fullNameTextField()->text().value_or("");
    // Characters as a reader counts them, spaces included, nothing trimmed.
    if (cw::userPerceivedCharacterCount(name) < kMinimumNameLength) {
        showMessage(*this, kNameTooShort, GSMessageType::error);
        return;
    }
    // Nobody signed in: nothing could be sent, so nothing waits for an answer.
    if (!AuthenticationContext::shared().user()) return;
    action_.send([&](const ActionKey& key) { sendMember(name, key); });
}

void MyAccountViewController::sendMember(const std::string& name, const ActionKey& key) {
    sendAccountEvent(rawValue(ScreenAction::Tap), {{"myAccountSaveDetailsTapped", JSON("User trying to save details")}});
    startFullScreenLoadingOverlay(*this);
    auto self = std::static_pointer_cast<MyAccount>(shared_from_this());
    MemberService("member/update")
        .updateMember(
            name, croppedPhoto(),
            [self, name, key](const JSON& reply) {
                self->action_.succeeded(key);
                stopFullScreenLoadingOverlay(*self);
                auto user = AuthenticationContext::shared().user();
                if (!user) {
                    self->dismiss(true);
                    return;
                }
                if (auto file = reply["file_name"].string()) user->setPictureFile(*file);
                user->setFullName(name);
                AuthenticationContext::shared().save(user);
                showMessage(*self, kSaved, GSMessageType::success);
                sendAccountEvent(rawValue(ScreenAction::ServerRequest),
                          {{"myAccountSaveDetailsSuccess", JSON("User details saved succesfully")}});
                self->dismiss(true);
            },
            [self, key](const RequestError&) {
                self->action_.failed(key);
                stopFullScreenLoadingOverlay(*self);
                showMessage(*self, kUnexpectedError, GSMessageType::error);
                sendAccountEvent(rawValue(ScreenAction::ServerRequest),
                          {{"myAccountSaveDetailsFailure", JSON("User details saved failed")}});
            },
            key);
}

