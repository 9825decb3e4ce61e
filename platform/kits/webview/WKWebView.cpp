#include "kits/webview/WKWebView.h"

WKWebView::WKWebView() : WKWebView(CGRect{}) {}

WKWebView::WKWebView(const CGRect& frame) : WebEngineView(frame) {}

void WKWebView::tell(const std::function<void(WKNavigationDelegate&)>& call) {
    auto self = weak_from_this().lock();
    if (auto d = delegate_.get()) call(*d);
}

void WKWebView::decidePolicy(const URLRequest& request, WKNavigationType type,
                             std::function<void(bool allow)> decide) {
    // Without a delegate every navigation goes ahead.
    if (!delegate_.get()) return decide(true);
    tell([&](WKNavigationDelegate& d) {
        d.decidePolicyFor(this, WKNavigationAction{request, type},
                          [decide = std::move(decide)](WKNavigationActionPolicy policy) {
                              decide(policy == WKNavigationActionPolicy::allow);
                          });
    });
}

void WKWebView::decideResponsePolicy(const std::shared_ptr<const NSHTTPURLResponse>& response,
                                     std::function<void(bool show)> decide) {
    // Without a delegate every page is shown.
    if (!delegate_.get()) return decide(true);
    tell([&](WKNavigationDelegate& d) {
        d.decidePolicyForNavigationResponse(this, WKNavigationResponse{response},
                                            [decide = std::move(decide)](WKNavigationResponsePolicy policy) {
                                                decide(policy == WKNavigationResponsePolicy::allow);
                                            });
    });
}

void WKWebView::didStart(const WKNavigationPtr& n) {
    tell([&](WKNavigationDelegate& d) { d.didStartProvisionalNavigation(this, n); });
}

void WKWebView::didCommit(const WKNavigationPtr& n) {
    tell([&](WKNavigationDelegate& d) { d.didCommit(this, n); });
}

void WKWebView::didFinish(const WKNavigationPtr& n) {
    tell([&](WKNavigationDelegate& d) { d.didFinish(this, n); });
}

void WKWebView::didFailProvisional(const WKNavigationPtr& n, const NSError& error) {
    tell([&](WKNavigationDelegate& d) { d.didFailProvisionalNavigation(this, n, error); });
}

void WKWebView::didFail(const WKNavigationPtr& n, const NSError& error) {
    tell([&](WKNavigationDelegate& d) { d.didFail(this, n, error); });
}

void WKWebView::contentProcessDidTerminate() {
    tell([&](WKNavigationDelegate& d) { d.webViewWebContentProcessDidTerminate(this); });
}
