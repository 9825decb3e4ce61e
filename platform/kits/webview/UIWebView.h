#pragma once

// UIKit's older web view, over the same engine as WKWebView (see WebEngine.h for what a load does
// and when the delegate hears of it). Its delegate, held weakly, is asked `shouldStartLoadWith`
// for every load (the view's own with type `other`, a tapped link with `linkClicked` and its
// address resolved against the page), then hears `webViewDidStartLoad` and either
// `webViewDidFinishLoad` or `didFailLoadWithError` (also for a stopped or replaced load, with
// NSURLErrorCancelled). `request` is the request of the page shown: none until a first page
// arrives, and after redirects the address the page came from; `response` is its HTTP reply (an
// error status shows its page too).

#include "kits/webview/WebEngineView.h"
#include "uikit/controls/Delegate.h"

#include <functional>
#include <memory>
#include <optional>

class UIWebView;

enum class UIWebViewNavigationType { linkClicked, formSubmitted, backForward, reload, formResubmitted, other };

class UIWebViewDelegate {
public:
    virtual ~UIWebViewDelegate() = default;
    virtual bool shouldStartLoadWith(UIWebView*, const URLRequest&, UIWebViewNavigationType) { return true; }
    virtual void webViewDidStartLoad(UIWebView*) {}
    virtual void webViewDidFinishLoad(UIWebView*) {}
    virtual void didFailLoadWithError(UIWebView*, const NSError&) {}
};

class UIWebView : public cw::webview::WebEngineView {
public:
    UIWebView();
    explicit UIWebView(const CGRect& frame);
    std::string className() const override { return "UIWebView"; }

    // A request without an address loads nothing.
    void loadRequest(const URLRequest& request) { engine().load(request); }
    const std::optional<URLRequest>& request() const { return engine().committedRequest(); }
    const std::shared_ptr<const NSHTTPURLResponse>& response() const { return engine().committedResponse(); }
    // isLoading, stopLoading and scrollView as WebEngineView has them.

    cw::DelegateRef<UIWebViewDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UIWebViewDelegate> delegate) { delegate_ = std::move(delegate); }

private:
    void decidePolicy(const URLRequest& request, WKNavigationType type,
                      std::function<void(bool allow)> decide) override;
    void didStart(const WKNavigationPtr& navigation) override;
    void didCommit(const WKNavigationPtr&) override {}
    void didFinish(const WKNavigationPtr& navigation) override;
    void didFailProvisional(const WKNavigationPtr& navigation, const NSError& error) override;
    void didFail(const WKNavigationPtr& navigation, const NSError& error) override;
    // The older view shows its pages in the application's own process: nothing to hear of.
    void contentProcessDidTerminate() override {}
    void tell(const std::function<void(UIWebViewDelegate&)>& call);

    cw::DelegateRef<UIWebViewDelegate> delegate_;
};
