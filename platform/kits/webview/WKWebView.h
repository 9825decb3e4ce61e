#pragma once

// WebKit's web view: loads pages from the network and shows them, telling its navigation delegate
// of each navigation's steps.
//
// Contract (see WebEngine.h for the engine's): the delegate is held weakly (a screen that went
// away hears nothing) and called on the main thread, never inside a call made to the web view.
// Every navigation is first offered to `decidePolicyFor`, also the web view's own loads (type
// `other`) and tapped links (type `linkActivated`, with the link's address resolved against the
// page); a delegate that does not answer it leaves the navigation waiting. Then, for a navigation
// allowed: `didStartProvisionalNavigation`; its HTTP reply is offered to
// `decidePolicyForNavigationResponse` (likewise answered once, now or later); then either
// `didCommit` and `didFinish`, or `didFailProvisionalNavigation` (no reply: an NSURLErrorDomain
// error; a reply of a type that cannot be shown, or one the delegate cancelled: WebKitErrorDomain
// 102), or `didFail` after commit. A stopped or replaced load fails with NSURLErrorCancelled. An
// HTTP error status with a page is shown and finishes, unless the delegate cancels it.
//
// Pages: HTML with body text at 16 points inside 16-point margins, one label per paragraph in the
// scroll view, at the view's width, and pictures no wider than that; other text as it is, in a
// fixed-width face. Links are followed when tapped (the headless host's tapLink taps one by its text).

#include "kits/webview/WebEngineView.h"
#include "uikit/controls/Delegate.h"

#include <functional>
#include <memory>

class WKWebView;

enum class WKNavigationActionPolicy { cancel, allow };
enum class WKNavigationResponsePolicy { cancel, allow };

struct WKNavigationAction {
    URLRequest request;
    WKNavigationType navigationType = WKNavigationType::other;
};

// The HTTP reply of a navigation, before its page is shown.
struct WKNavigationResponse {
    std::shared_ptr<const NSHTTPURLResponse> response;
};

class WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    // Call `decisionHandler` once. Without this operation every navigation is allowed.
    virtual void decidePolicyFor(WKWebView*, const WKNavigationAction&,
                                 std::function<void(WKNavigationActionPolicy)> decisionHandler) {
        decisionHandler(WKNavigationActionPolicy::allow);
    }
    // Call `decisionHandler` once. Without this operation every page is shown.
    virtual void
    decidePolicyForNavigationResponse(WKWebView*, const WKNavigationResponse&,
                                      std::function<void(WKNavigationResponsePolicy)> decisionHandler) {
        decisionHandler(WKNavigationResponsePolicy::allow);
    }
    virtual void didStartProvisionalNavigation(WKWebView*, const WKNavigationPtr&) {}
    virtual void didCommit(WKWebView*, const WKNavigationPtr&) {}
    virtual void didFinish(WKWebView*, const WKNavigationPtr&) {}
    virtual void didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError&) {}
    virtual void didFail(WKWebView*, const WKNavigationPtr&, const NSError&) {}
    virtual void webViewWebContentProcessDidTerminate(WKWebView*) {}
};

class WKWebView : public cw::webview::WebEngineView {
public:
    WKWebView();
    explicit WKWebView(const CGRect& frame);
    std::string className() const override { return "WKWebView"; }

    // The navigation asked for; none, and nothing happens, when the request has no address.
    WKNavigationPtr load(const URLRequest& request) { return engine().load(request); }
    // The address being loaded, else that of the page shown.
    std::optional<URL> url() const { return engine().url(); }
    // isLoading, stopLoading and scrollView as WebEngineView has them.

    cw::DelegateRef<WKNavigationDelegate> navigationDelegate() const { return delegate_; }
    void setNavigationDelegate(cw::DelegateRef<WKNavigationDelegate> delegate) { delegate_ = std::move(delegate); }

    // For tests: the process that shows the page ends, as when the system reclaims it. The page goes
    // blank, a load in progress stops without a word, and the delegate hears
    // webViewWebContentProcessDidTerminate.
    void terminateWebContentProcessForTesting() { engine().terminateContentProcess(); }

private:
    void decidePolicy(const URLRequest& request, WKNavigationType type,
                      std::function<void(bool allow)> decide) override;
    void decideResponsePolicy(const std::shared_ptr<const NSHTTPURLResponse>& response,
                              std::function<void(bool show)> decide) override;
    void didStart(const WKNavigationPtr& navigation) override;
    void didCommit(const WKNavigationPtr& navigation) override;
    void didFinish(const WKNavigationPtr& navigation) override;
    void didFailProvisional(const WKNavigationPtr& navigation, const NSError& error) override;
    void didFail(const WKNavigationPtr& navigation, const NSError& error) override;
    void contentProcessDidTerminate() override;
    // Calls the delegate, if it is still there, with this view kept alive for the call.
    void tell(const std::function<void(WKNavigationDelegate&)>& call);

    cw::DelegateRef<WKNavigationDelegate> delegate_;
};
