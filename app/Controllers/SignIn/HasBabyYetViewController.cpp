#include "Controllers/SignIn/HasBabyYetViewController.h"

#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/SignIn/Shared/SignInMessages.h"
#include "Controllers/SignIn/SignInText.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/SignUpService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIEvent.h"

namespace {

void sendHasBabyYetEvent(ScreenAction action, const JSON::dictionary_t& details) {
    AnalyticsService().send(HasBabyYetViewController::kScreenName, rawValue(action), details);
}

} // namespace

HasBabyYetViewController::HasBabyYetViewController(std::optional<std::string> password,
                                                   std::shared_ptr<UserData> userInfo)
    : password(std::move(password)), userInfo(std::move(userInfo)) {}

const std::shared_ptr<UILabel>& HasBabyYetViewController::descriptionLabel() {
    if (!descriptionLabel_) {
        descriptionLabel_ = SignInText::makeHeading(kQuestion, 17);
        descriptionLabel_->setAccessibilityIdentifier("descriptionLabel");
    }
    return descriptionLabel_;
}

const std::shared_ptr<GreenButton>& HasBabyYetViewController::yesButton() {
    if (!yesButton_) {
        yesButton_ = std::make_shared<GreenButton>();
        yesButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        yesButton_->setTitle(std::string("Yes"), UIControlStateNormal);
        yesButton_->addTarget(this, &HasBabyYetViewController::yesSelected, UIControlEventTouchUpInside);
    }
    return yesButton_;
}

const std::shared_ptr<GoldenButton>& HasBabyYetViewController::noButton() {
    if (!noButton_) {
        noButton_ = std::make_shared<GoldenButton>();
        noButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
        noButton_->setTitle(std::string("No"), UIControlStateNormal);
        noButton_->addTarget(this, &HasBabyYetViewController::noSelected, UIControlEventTouchUpInside);
    }
    return noButton_;
}

void HasBabyYetViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColorPalette::backgroundColor());
    setTitle(std::string(kTitle));
    sendHasBabyYetEvent(ScreenAction::Loaded, {});
    for (const auto& v : std::vector<UIViewPtr>{descriptionLabel(), yesButton(), noButton()}) {
        view()->addSubview(v);
        lyt_layoutHorizontalWithMargin(*v, 20);
    }
    NSLayoutConstraint::activate({
        descriptionLabel()->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 30),
        yesButton()->topAnchor().constraintEqualTo(descriptionLabel()->bottomAnchor(), 20),
        noButton()->topAnchor().constraintEqualTo(yesButton()->bottomAnchor(), 10),
    });
}

void HasBabyYetViewController::yesSelected() {
    sendHasBabyYetEvent(ScreenAction::Tap, {{"babyBornYes", JSON("Baby was born")}});
    createAccountOrNavToBabyScreenWithHasBaby(true);
}

void HasBabyYetViewController::noSelected() {
    sendHasBabyYetEvent(ScreenAction::Tap, {{"babyBornNo", JSON("Baby was not born")}});
    createAccountOrNavToBabyScreenWithHasBaby(false);
}

void HasBabyYetViewController::createAccountOrNavToBabyScreenWithHasBaby(bool hasBaby) {
    if (!password || !userInfo) return;
    if (hasBaby) {
        sendHasBabyYetEvent(ScreenAction::Tap, {{"babyBornDetails", JSON("User going to enter baby details")}});
        show(std::make_shared<MyBabyViewController>(password, userInfo),
             std::any(UIViewControllerPtr(shared_from_this())));
    } else {
        sendHasBabyYetEvent(ScreenAction::Tap, {{"userNewAccount", JSON("User had no baby to enter")}});
        createAccountWithPassword(*password, *userInfo);
    }
}

void HasBabyYetViewController::createAccountWithPassword(const std::string& password, const UserData& userInfo) {
    action_.send([&](const ActionKey& key) { signUp(password, userInfo, key); });
}

void HasBabyYetViewController::signUp(const std::string& password, const UserData& userInfo,
                                      const ActionKey& key) {
    startFullScreenLoadingOverlay(*this);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    SignUpService().signUp(
        userInfo, std::nullopt, password, weak,
        [weak, email = userInfo.email(), password, key](const SignUpService::Task&,
                                                        const std::optional<JSON>& reply) {
            if (auto self = std::static_pointer_cast<HasBabyYetViewController>(weak.lock())) {
                self->action_.succeeded(key);
                stopFullScreenLoadingOverlay(*self);
            }
            if (!reply || reply->type() != JSON::Type::dictionary) return;
            // What Touch ID signs in with is in place before the main interface shows.
            AuthenticationContext::rememberMember(email, password);
            AuthenticationContext::shared().login(reply);
        },
        [weak, key](const RequestError& error) {
            auto self = std::static_pointer_cast<HasBabyYetViewController>(weak.lock());
            if (!self) return;
            self->action_.failed(key);
            stopFullScreenLoadingOverlay(*self);
            if (error.kind() != RequestError::Kind::erroResponse) {
                showMessage(*self, kErrorOccured, GSMessageType::error);
                return;
            }
            if (!self->navigationController()) return;
            std::optional<std::string> status;
            if (auto found = error.object().find("status"); found != error.object().end())
                status = found->second.string();
            showMessage(*self, status.value_or(SignInMessages::kUnexpectedError), GSMessageType::error);
        },
        key);
}
