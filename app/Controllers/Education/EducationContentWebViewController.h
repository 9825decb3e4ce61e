#pragma once

// One item of the education library as a page the server serves, with a bookmark toggle and a
// share button in the navigation bar. The page is loaded with the member's id and access token in
// its query (the server marks the item read for that member only with the member's own token).
// Links of the application's own scheme ("cradleway://content/education/57") open related items in
// the same page; every other tapped link is handed to the system. While the page is on screen the
// shared audio session is set for playback.
//
// After a related item has loaded and the server has said whether it is bookmarked, the screen
// acts on that item: the star, the toggle and the share link follow the page shown. A loaded item's
// page that the server served with success is announced read (one it refused, a page that is not
// there, shows as the server sends it and is no read); one it refused for the member's ended token
// is asked for again, once, after the tokens are renewed. Its bookmark, changed on another screen,
// shows as it is announced. A screen made without an item id has no page: it loads and checks
// nothing, and its two buttons are disabled.

#include "Services/Announcements.h"
#include "Services/BaseHTTPService.h"
#include "kits/webview/UIWebView.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class EducationContentWebViewController : public UIViewController, public UIWebViewDelegate {
public:
    static constexpr const char* kScreenName = "EducationContentWebViewScreen";
    static constexpr const char* kPagePath = "/content/education/";
    static constexpr const char* kAppScheme = "cradleway";
    static constexpr const char* kBookmarkFailure = "Unexpected error. Please try again.";
    // Shown when a page's path gives no address on the server's own origin.
    static constexpr const char* kLoadFailure = "Unexpected error loading content. Please try again.";

    // `init(itemID:contentURL:isBookmarked:shareTitle:shareImage:)`, the only way to make the screen.
    EducationContentWebViewController(std::optional<std::int64_t> itemID, std::optional<std::string> contentURL,
                                      bool isBookmarked, std::optional<std::string> shareTitle,
                                      std::shared_ptr<UIImage> shareImage);
    std::string className() const override { return "EducationContentWebViewController"; }

    std::optional<std::int64_t> itemID;
    std::optional<std::string> contentURL;
    bool isBookmarked;
    std::optional<std::string> shareTitle;
    std::shared_ptr<UIImage> shareImage;

    // Made on first use.
    const UIBarButtonItemPtr& bookmarkButton();
    const UIBarButtonItemPtr& shareButton();
    const std::shared_ptr<UIWebView>& webView();
    // "bookmarked" or "bookmark".
    std::shared_ptr<UIImage> bookmarkImage() const;

    void viewDidLoad() override;
    void updateViewConstraints() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void bookmarkAction();
    void bookmark(std::int64_t feedId, bool bookmarked);
    void shareCard();

    void webViewDidFinishLoad(UIWebView* webView) override;
    bool shouldStartLoadWith(UIWebView* webView, const URLRequest& request, UIWebViewNavigationType type) override;

    // Loads the page at a path of the server with the member's id and token; nothing without a member.
    // A path that gives no address on the server's origin loads nothing and shows kLoadFailure.
    void loadContent(const std::string& path);
    // Every match of the pattern in the text, in order; none (and a line on the console) when the
    // pattern does not compile.
    static std::vector<std::string> matches(const std::string& pattern, const std::string& text);

private:
    UIBarButtonItemPtr makeBarButton(const std::string& imageName, void (EducationContentWebViewController::*action)());
    void checked(std::int64_t loadedId, const std::string& idText, bool bookmarked);

    UIBarButtonItemPtr bookmarkButton_;
    UIBarButtonItemPtr shareButton_;
    std::shared_ptr<UIWebView> webView_;
    bool didUpdateConstraints_ = false;
    // The path last loaded, asked for again after a renewal.
    std::string loadedPath_;
    MemberPage memberPage_;
    Announcements::Subscription bookmarkChanges_;
};
