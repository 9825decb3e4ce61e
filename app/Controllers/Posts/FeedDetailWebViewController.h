#pragma once

// The article page of an education card (scene "FeedDetailWebViewController" of the storyboard
// "Feed"): the server's page of the content in a web view, with bookmark, comments (a badge with
// their number) and share in the bar. Set before it is shown: the card itself (`detailsData`, the
// feed's own object: a bookmark change is written into it), or the server path of the content
// (`relatedContentUrl`, "/content/education/<id>"), and the notification that opened it, if any,
// which every finished page marks as seen.
//
// The page is the path resolved against SERVER_URL followed by "?user_id=<member>&access_token=
// <session token>", so that the server marks the member's own read; a path that resolves to another
// origin opens nothing. A tapped link to other education content opens a new page of this screen
// instead of navigating in place. A page that fails to load, that cannot be opened, or that the
// server answers with an error status (an article it does not have) ends with "Unexpected error
// loading content. Please try again." rather than show the server's answer; one it refused for the
// member's ended token is asked for again, once, after the tokens are renewed. The page only scrolls
// vertically. Its comments are always the article's.
//
// The bookmark is shown changed at once and put back, with a banner, when the server does not
// confirm it. A bookmark or comments of the article announced by other screens show as they come,
// and a page the server served with success, once it has finished loading, is announced read.
// Replies arrive on the main thread, and no request holds the screen: one that left (the member went
// back, or logged out) hears nothing more. A page opened in a session that has ended is nobody's read
// when it finishes (MemberPage). Main thread only.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/FeedResponse.h"
#include "Services/Announcements.h"
#include "Services/BaseHTTPService.h"
#include "foundation/json/JSON.h"
#include "kits/webview/WKWebView.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIScrollView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class NSCoder;

class FeedDetailWebViewController : public UIViewController,
                                    public StoryboardIdentifiable<FeedDetailWebViewController>,
                                    public WKNavigationDelegate,
                                    public UIScrollViewDelegate {
public:
    static inline const std::string kScreenName = "FeedDetailsWebViewScreen";
    static inline const std::string kCommentSegueId = "showCommentsVC";
    static inline const std::string kLoadErrorMessage = "Unexpected error loading content. Please try again.";
    static inline const std::string kBookmarkErrorMessage = "Unexpected error bookmarking content. Please try again.";
    static inline const std::string kBookmarkRevertMessage =
        "Unexpected error bookmarking content. Please try again later.";
    static inline const std::string kCommentsErrorMessage = "Unexpected error finding comments. Please try again.";
    static inline const std::string kShareText = " wants to share content from Cradleway.";
    static inline const std::string kAppScheme = "cradleway:";

    FeedDetailWebViewController();
    explicit FeedDetailWebViewController(NSCoder&) : FeedDetailWebViewController() {}
    ~FeedDetailWebViewController() override;
    std::string className() const override { return "FeedDetailWebViewController"; }

    // --- Outlets (the bar's items) ---
    std::shared_ptr<UIBarButtonItem> bookmarkButton;
    std::shared_ptr<UIBarButtonItem> commentButton;
    std::shared_ptr<UIBarButtonItem> shareButton;

    const std::string commentSegueId = kCommentSegueId;
    // Made on first use.
    const std::shared_ptr<WKWebView>& webView();
    FeedResponse::Card detailsData;
    std::optional<std::string> relatedContentUrl;
    std::optional<std::int64_t> notificationId;

    bool isContentBookmarked() const { return isContentBookmarked_; }
    // Also the card's flag, when there is a card.
    void setIsContentBookmarked(bool bookmarked);
    // The same, then the button's image.
    void setBookmarked(bool bookmarked);

    // The card's id, else the last component of `relatedContentUrl` read as a decimal integer.
    std::optional<std::int64_t> contentId() const;
    // The card's `contentURL`, else `relatedContentUrl`.
    std::optional<std::string> contentPath() const;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;

    // --- Actions ---
    void bookmarkButtonPressed();
    void commentButtonPressed();
    void shareButtonPressed();

    // --- Web view ---
    void decidePolicyFor(WKWebView* webView, const WKNavigationAction& action,
                         std::function<void(WKNavigationActionPolicy)> decisionHandler) override;
    void decidePolicyForNavigationResponse(
        WKWebView* webView, const WKNavigationResponse& response,
        std::function<void(WKNavigationResponsePolicy)> decisionHandler) override;
    void didFinish(WKWebView* webView, const WKNavigationPtr& navigation) override;
    void didFailProvisionalNavigation(WKWebView* webView, const WKNavigationPtr& navigation,
                                      const NSError& error) override;
    void didFail(WKWebView* webView, const WKNavigationPtr& navigation, const NSError& error) override;
    void scrollViewDidScroll(UIScrollView* scrollView) override;

    // --- Steps ---
    void setupWebView();
    // Opens the server's page at `path` as the member (nothing without one).
    void loadContent(const std::string& path);
    void handleBookmarkCheck(const JSON& reply);
    void updateBookmarkImage();
    void updateCommentBadge(const JSON& reply);
    void toggleBookmark(std::int64_t contentId, bool bookmarked);
    void revertBookmark(bool bookmarked);

    // The path a related link opens with: the link's address without the application's scheme (and
    // with one slash of two leading ones); when that is still an absolute web address (a relative
    // link the page resolved), its path.
    static std::string relatedPath(const URL& link);
    // The decimal integer a text is made of, if it is one.
    static std::optional<std::int64_t> decimalId(const std::string& text);

private:
    // Listens for the article's bookmark and comments (see the top of the file).
    void followArticleChanges();
    void loadFailed(const NSError& error);
    void sendEvent(const JSON::dictionary_t& details);

    std::shared_ptr<WKWebView> webView_;
    bool isContentBookmarked_ = false;
    // The page loading now was served by the server with success: once finished, it is read.
    bool pageServed_ = false;
    MemberPage memberPage_;
    std::vector<Announcements::Subscription> articleChanges_;
};
