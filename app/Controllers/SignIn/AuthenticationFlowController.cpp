#include "Controllers/SignIn/AuthenticationFlowController.h"

#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "Controllers/SignIn/SecurityCodeSignUpViewController.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/SignUpService.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/graphics/UIImage.h"

#include <algorithm>

namespace {

std::shared_ptr<UIStoryboard> signInSignUp() {
    return UIStoryboard::named("SignInSignUp");
}

// An image with nothing in it: the bar's background shows through it, and no hairline is drawn.
std::shared_ptr<UIImage> emptyImage() {
    const std::uint32_t clear = 0;
    return UIImage::fromPixels(1, 1, 1, &clear);
}

// The screen's delegate becomes the flow, for the screens that report to it.
template <class Screen, class Delegate>
bool adopt(const UIViewControllerPtr& screen, const std::shared_ptr<Delegate>& flow) {
    auto typed = std::dynamic_pointer_cast<Screen>(screen);
    if (!typed) return false;
    typed->delegate = flow;
    return true;
}

} // namespace

AuthenticationFlowController::AuthenticationFlowController() {
    setViewControllers({instantiateViewController<LoginViewController>(*signInSignUp())}, false);
}

std::shared_ptr<AuthenticationFlowController> AuthenticationFlowController::self() {
    return std::static_pointer_cast<AuthenticationFlowController>(shared_from_this());
}

void AuthenticationFlowController::viewDidLoad() {
    UINavigationController::viewDidLoad();
    setDelegate(self());
    auto& bar = navigationBar();
    bar->backIndicatorImage = UIImage::named("cwy_back");
    bar->backIndicatorTransitionMaskImage = UIImage::named("cwy_back");
    bar->isTranslucent = false;
    bar->backgroundImage = emptyImage();
    bar->shadowImage = emptyImage();
    bar->titleTextAttributes.font = UIFont::systemFont(17, UIFont::Weight::regular);
    bar->setBackgroundColor(UIColor::whiteColor());
}

void AuthenticationFlowController::willShow(UINavigationController&, const UIViewControllerPtr& screen, bool animated) {
    if (!screen) return;
    // The security-code screen drives its own step; the rest of the road reports to the flow.
    if (!std::dynamic_pointer_cast<SecurityCodeSignUpViewController>(screen)) {
        auto flow = self();
        adopt<RegistrationWithInvitation, RegistrationViewControllerDelegate>(screen, flow) ||
            adopt<TermsAndConditionsController, TermsAndConditionControllerDelegate>(screen, flow) ||
            adopt<NewBabyViewController, NewBabyViewControllerDelegate>(screen, flow) ||
            adopt<MRNLookupViewController, MRNLookupViewControllerDelegate>(screen, flow) ||
            adopt<AddMoreBabiesConfirmationViewController, AddMoreBabiesConfirmationViewControllerDelegate>(screen,
                                                                                                          flow);
    }
    setNavigationBarHidden(std::dynamic_pointer_cast<LoginViewController>(screen) != nullptr, animated);
    // The next screen's back button is the arrow alone.
    screen->navigationItem()->backBarButtonItem =
        std::make_shared<UIBarButtonItem>(std::string(), UIBarButtonItemStyle::plain);
}

void AuthenticationFlowController::showNext(const UIViewControllerPtr& screen) {
    show(screen, std::any(UIViewControllerPtr(shared_from_this())));
}

void AuthenticationFlowController::registrationViewController(RegistrationWithInvitation&,
                                                              const std::shared_ptr<UserData>& userData,
                                                              const std::string& password) {
    registrationInfo = userData;
    registrationPassword = password;
    signUp_.changed();
    // A form submitted again starts the registration afresh: babies gathered for an earlier one
    // (in this process) must not be sent with this member.
    babies.clear();
    showNext(instantiateViewController<TermsAndConditionsController>(*signInSignUp()));
}

void AuthenticationFlowController::termsAndConditionControllerDidTapAccept(TermsAndConditionsController&) {
    showNext(instantiateViewController<MRNLookupViewController>(*signInSignUp()));
}

void AuthenticationFlowController::mrnLookupViewController(MRNLookupViewController&,
                                                           const std::shared_ptr<BabyData>& baby) {
    auto details = instantiateViewController<NewBabyViewController>(*signInSignUp());
    details->babyData = baby;
    showNext(details);
}

void AuthenticationFlowController::newBabyViewController(NewBabyViewController&, const std::shared_ptr<BabyData>& baby) {
    if (!baby) return;
    // The member may go back to a baby's details and submit them again: that baby is replaced where it
    // stands rather than sent twice.
    auto same = std::find_if(babies.begin(), babies.end(), [&](const std::shared_ptr<BabyData>& kept) {
        return kept == baby || (kept->babyId() && kept->babyId() == baby->babyId());
    });
    if (same != babies.end())
        *same = baby;
    else
        babies.push_back(baby);
    signUp_.changed();
    showNext(instantiateViewController<AddMoreBabiesConfirmationViewController>(*signInSignUp()));
}

void AuthenticationFlowController::addMoreBabiesConfirmationViewControllerDidTapMore(
    AddMoreBabiesConfirmationViewController&) {
    showNext(instantiateViewController<MRNLookupViewController>(*signInSignUp()));
}

void AuthenticationFlowController::addMoreBabiesConfirmationViewControllerDidTapDone(
    AddMoreBabiesConfirmationViewController& screen) {
    registerMember(screen);
}

void AuthenticationFlowController::registerMember(UIViewController& sender) {
    if (!registrationInfo || !registrationPassword) return;
    signUp_.send([&](const ActionKey& key) { sendSignUp(sender, key); });
}

void AuthenticationFlowController::sendSignUp(UIViewController& sender, const ActionKey& key) {
    showActivityOverlay(sender, true);
    std::weak_ptr<UIViewController> weakSender = sender.weak_from_this();
    std::weak_ptr<AuthenticationFlowController> weak = self();
    SignUpService().signUp(
        *registrationInfo, babies, *registrationPassword, weakSender,
        [weak, weakSender, key](const SignUpService::Task&, const std::optional<JSON>& reply) {
            if (auto screen = weakSender.lock()) hideActivityOverlay(*screen, true);
            auto flow = weak.lock();
            if (flow) flow->signUp_.succeeded(key);
            if (!flow || !flow->registrationInfo || !flow->registrationPassword) return;
            const std::string email = flow->registrationInfo->email();
            const std::string password = *flow->registrationPassword;
            // This registration is over: nothing of it is sent again with a later one.
            flow->registrationInfo = nullptr;
            flow->registrationPassword = std::nullopt;
            flow->babies.clear();
            AuthenticationContext::shared().login(reply);
            AuthenticationContext::rememberMember(email, password);
            // The tutorial opens over whatever root the session's start installed.
            auto window = UIApplication::shared().keyWindow();
            if (auto root = window ? window->rootViewController() : nullptr)
                root->present(std::make_shared<OnboardingViewController>(), false);
        },
        [weak, weakSender, key](const RequestError& error) {
            if (auto flow = weak.lock()) flow->signUp_.failed(key);
            std::optional<std::string> status;
            if (error.kind() == RequestError::Kind::erroResponse) {
                auto found = error.object().find("status");
                if (found != error.object().end()) status = found->second.string();
            }
            auto screen = weakSender.lock();
            if (screen)
                showMessage(*screen, status.value_or(kFailureMessage), GSMessageType::error,
                            {GSMessageOption::textNumberOfLines{0}});
            AnalyticsService().send(kFailureScreenName, ScreenAction::ServerRequest,
                                    {{"errorMessage", JSON(status.value_or(""))}, {"error", JSON(kFailureDescription)}});
            if (screen) hideActivityOverlay(*screen, true);
        },
        key);
}
