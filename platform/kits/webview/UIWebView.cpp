#include "kits/webview/UIWebView.h"

UIWebView::UIWebView() : UIWebView(CGRect{}) {}

UIWebView::UIWebView(const CGRect& frame) : WebEngineView(frame) {}

void UIWebView::tell(const std::function<void(UIWebViewDelegate&)>& call) {
    auto self = weak_from_this().lock();
    if (auto d = delegate_.get()) call(*d);
}

void UIWebView::decidePolicy(const URLRequest& request, WKNavigationType type,
                             std::function<void(bool allow)> decide) {
    bool allow = true;
    // The two kinds of navigation are listed in the same order.
    tell([&](UIWebViewDelegate& d) {
        allow = d.shouldStartLoadWith(this, request, static_cast<UIWebViewNavigationType>(type));
    });
    decide(allow);
}

void UIWebView::didStart(const WKNavigationPtr&) {
    tell([&](UIWebViewDelegate& d) { d.webViewDidStartLoad(this); });
}

void UIWebView::didFinish(const WKNavigationPtr&) {
    tell([&](UIWebViewDelegate& d) { d.webViewDidFinishLoad(this); });
}

void UIWebView::didFailProvisional(const WKNavigationPtr&, const NSError& error) {
    tell([&](UIWebViewDelegate& d) { d.didFailLoadWithError(this, error); });
}

void UIWebView::didFail(const WKNavigationPtr&, const NSError& error) {
    tell([&](UIWebViewDelegate& d) { d.didFailLoadWithError(this, error); });
}
