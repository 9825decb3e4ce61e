#include "Controllers/SignIn/BasicHTMLViewController.h"

#include "Extensions/UIView+Autolayout.h"
#include "Services/BaseHTTPService.h"

BasicHTMLViewController::BasicHTMLViewController(std::string urlEndpoint, std::string title)
    : urlEndpoint_(std::move(urlEndpoint)) {
    setTitle(std::move(title));
}

const std::shared_ptr<UIWebView>& BasicHTMLViewController::webView() {
    if (!webView_) {
        webView_ = std::make_shared<UIWebView>();
        webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(webView_);
        lyt_attachToSuperview(*webView_);
    }
    return webView_;
}

void BasicHTMLViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setupWebView();
}

void BasicHTMLViewController::setupWebView() {
    auto& web = webView();
    if (auto url = URL::fromString(BaseHTTPService::serverURL() + urlEndpoint_)) web->loadRequest(URLRequest(*url));
}
