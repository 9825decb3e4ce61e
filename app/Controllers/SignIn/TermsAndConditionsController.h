#pragma once

// The terms of use on the registration road (scene "TermsAndConditionsController" of the storyboard
// "SignInSignUp"): the server's page "tandc" in a web view, under the loading overlay until the page
// has finished or failed (or the process showing it has ended), and "I Accept", which reports to the
// delegate (the authentication flow) at any time, also while the page still loads: the overlay
// covers the page, not the button. The screen keeps
// no acceptance; a page that fails to load stays empty without a message.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Views/OvalButton.h"
#include "kits/webview/WKWebView.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>

class TermsAndConditionsController;

class TermsAndConditionControllerDelegate {
public:
    virtual ~TermsAndConditionControllerDelegate() = default;
    virtual void termsAndConditionControllerDidTapAccept(TermsAndConditionsController& screen) = 0;
};

class TermsAndConditionsController : public UIViewController,
                                     public WKNavigationDelegate,
                                     public StoryboardIdentifiable<TermsAndConditionsController> {
public:
    static constexpr const char* kScreenName = "TermsAndConditionsScreen";
    // The page's path below the API prefix.
    static constexpr const char* kPagePath = "tandc";

    std::weak_ptr<TermsAndConditionControllerDelegate> delegate;
    std::shared_ptr<OvalButton> acceptTermsButton;
    std::shared_ptr<WKWebView> webView;

    void loadView() override;
    void viewDidLoad() override;

    void acceptTerms();

    void didFinish(WKWebView*, const WKNavigationPtr&) override;
    void didFail(WKWebView*, const WKNavigationPtr&, const NSError&) override;
    // No reply at all (the server is out of reach): the page never commits, so the overlay goes here too.
    void didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError&) override;
    void webViewWebContentProcessDidTerminate(WKWebView*) override;
};
