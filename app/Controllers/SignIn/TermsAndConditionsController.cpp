#include "Controllers/SignIn/TermsAndConditionsController.h"

#include "Controllers/SignIn/Shared/SignInFormPieces.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/BaseHTTPService.h"

void TermsAndConditionsController::loadView() {
    UIViewController::loadView();
    auto root = view();

    webView = std::make_shared<WKWebView>();
    webView->setTranslatesAutoresizingMaskIntoConstraints(false);
    acceptTermsButton = SignInForm::makeButton("I Accept", "acceptTermsButton");

    root->addSubview(webView);
    root->addSubview(acceptTermsButton);
    lyt_layoutHorizontalWithMargin(*webView, 0);
    lyt_horizontalCenterInSuperView(*acceptTermsButton);
    NSLayoutConstraint::activate({
        webView->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor()),
        acceptTermsButton->topAnchor().constraintEqualTo(webView->bottomAnchor(), 12),
        acceptTermsButton->bottomAnchor().constraintEqualTo(bottomLayoutGuide()->topAnchor(), -16),
    });
}

void TermsAndConditionsController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string("Terms of Use"));
    view()->setBackgroundColor(UIColor::whiteColor());
    webView->setNavigationDelegate(this);
    if (auto url = URL::fromString(BaseHTTPService::serverURL() + kPagePath)) {
        // Over the page only: "I Accept" stays in reach while the page loads.
        showActivityOverlay(*this, true, std::nullopt, webView);
        webView->load(URLRequest(*url));
    }
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
    acceptTermsButton->addTarget(this, &TermsAndConditionsController::acceptTerms, UIControlEventTouchUpInside);
}

void TermsAndConditionsController::acceptTerms() {
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap),
                            {{"accepted", JSON("User accepted terms and conditions")}});
    if (auto d = delegate.lock()) d->termsAndConditionControllerDidTapAccept(*this);
}

void TermsAndConditionsController::didFinish(WKWebView*, const WKNavigationPtr&) {
    hideActivityOverlay(*this, true);
}

void TermsAndConditionsController::didFail(WKWebView*, const WKNavigationPtr&, const NSError&) {
    hideActivityOverlay(*this, true);
}

void TermsAndConditionsController::didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError&) {
    hideActivityOverlay(*this, true);
}

void TermsAndConditionsController::webViewWebContentProcessDidTerminate(WKWebView*) {
    hideActivityOverlay(*this, true);
}
