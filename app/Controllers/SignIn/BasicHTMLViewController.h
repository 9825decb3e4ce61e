#pragma once

// One page of the application's server, given by its path below the API prefix, full screen under
// a title (the settings screen shows the terms of use with it: "tandc", "Terms of Use"). No loading
// indicator, no message, no usage event: a path that makes no valid address shows an empty page.

#include "kits/webview/UIWebView.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <string>

class BasicHTMLViewController : public UIViewController {
public:
    BasicHTMLViewController(std::string urlEndpoint, std::string title);
    BasicHTMLViewController() = delete;

    void viewDidLoad() override;

    // Makes the web view (once), edge to edge in the screen's view, and loads the page into it.
    void setupWebView();

    const std::string& urlEndpoint() const { return urlEndpoint_; }
    // Made on first use.
    const std::shared_ptr<UIWebView>& webView();

private:
    std::string urlEndpoint_;
    std::shared_ptr<UIWebView> webView_;
};
