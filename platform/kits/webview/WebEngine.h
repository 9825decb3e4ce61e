#pragma once

// The engine under both web views: it loads one page at a time with the session manager's plain
// GET (no header fields of the application's own), shows it in a scroll view, and tells its client
// of each navigation's steps, the way WebKit tells a navigation delegate.
//
// A navigation is asked for (a load, or a tapped link), decided by the client, and then runs:
// start → its HTTP reply, which the client may refuse (then a provisional failure, WebKitErrorDomain
// 102) → commit (the reply arrived and can be shown; the page is replaced) → finish (its pictures,
// fetched through the shared image loader, have come or failed); or start → provisional failure
// (no reply, an address or a content type that cannot be shown), or, once committed, failure.
// Contract:
// - The client is called on the main thread only, never inside load, stopLoading or
//   terminateContentProcess: their effects reach it on a later turn of the run loop. A page that
//   arrives is read and measured on a queue before it is committed, so a test waits for the finish
//   (RunLoop::main().runUntil) rather than for an idle run loop.
// - A navigation that is superseded before it starts reports nothing. A newer navigation that
//   starts while one runs stops the older one first, which fails with NSURLErrorCancelled;
//   stopLoading does the same. A stopped load's request is cancelled on the wire, never retried.
// - Once the engine is gone (its web view went), nothing is reported any more.
// - A reply with an error status still shows its body and finishes, as a browser does.
// Memory: a page's pictures stay in the image loader's memory cache, within its budget; the page
// itself holds only those on screen or within a screen of it, and asks the loader again for one that
// scrolls near (they keep their places and sizes meanwhile).

#include "kits/images/ImageLoader.h"
#include "kits/webview/URLRequest.h"
#include "kits/webview/WebDocumentView.h"
#include "net/AFHTTPSessionManager.h"
#include "uikit/controls/UIScrollView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// How a navigation came about (WebKit's `WKNavigationType`).
enum class WKNavigationType { linkActivated, formSubmitted, backForward, reload, formResubmitted, other };

// One navigation (WebKit's `WKNavigation`): an identity that the delegate calls carry.
class WKNavigation {
public:
    explicit WKNavigation(std::uint64_t identifier) : identifier_(identifier) {}
    std::uint64_t identifier() const { return identifier_; }

private:
    std::uint64_t identifier_;
};
using WKNavigationPtr = std::shared_ptr<WKNavigation>;

// The domain and code WebKit gives a load whose reply it cannot show.
inline constexpr std::string_view WebKitErrorDomain = "WebKitErrorDomain";
inline constexpr std::int64_t WebKitErrorFrameLoadInterruptedByPolicyChange = 102;

namespace cw::webview {

class WebEngineClient {
public:
    virtual ~WebEngineClient() = default;
    // Must call `decide` once, now or later, with whether the navigation may go ahead.
    virtual void decidePolicy(const URLRequest& request, WKNavigationType type,
                              std::function<void(bool allow)> decide) = 0;
    // Must call `decide` once, now or later, with whether the page of this HTTP reply (its status
    // and header fields; an error status too) may be shown. Every page is shown unless a client
    // says otherwise.
    virtual void decideResponsePolicy(const std::shared_ptr<const NSHTTPURLResponse>&,
                                      std::function<void(bool show)> decide) {
        decide(true);
    }
    virtual void didStart(const WKNavigationPtr& navigation) = 0;
    virtual void didCommit(const WKNavigationPtr& navigation) = 0;
    virtual void didFinish(const WKNavigationPtr& navigation) = 0;
    virtual void didFailProvisional(const WKNavigationPtr& navigation, const NSError& error) = 0;
    virtual void didFail(const WKNavigationPtr& navigation, const NSError& error) = 0;
    virtual void contentProcessDidTerminate() = 0;
};

class WebEngine : public std::enable_shared_from_this<WebEngine> {
public:
    // The client is the web view that owns the engine; it detaches before it goes.
    explicit WebEngine(WebEngineClient& client);
    ~WebEngine();
    WebEngine(const WebEngine&) = delete;
    WebEngine& operator=(const WebEngine&) = delete;

    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }

    // Asks for a navigation; none (and nothing happens) when the request has no address.
    WKNavigationPtr load(const URLRequest& request, WKNavigationType type = WKNavigationType::other);
    void stopLoading();
    bool isLoading() const { return current_ != nullptr; }
    // The address being loaded, else that of the page shown.
    std::optional<URL> url() const;
    // The request of the page shown (its address after redirects); none before the first commit.
    const std::optional<URLRequest>& committedRequest() const { return committed_; }
    // The HTTP reply of the page shown (its status and header fields); none before the first commit.
    const std::shared_ptr<const NSHTTPURLResponse>& committedResponse() const { return committedResponse_; }

    // The page's content goes away as if the process showing it had ended: the load stops
    // without a word, the page goes blank and the client hears of the termination.
    void terminateContentProcess();

    // Fits the scroll view to `bounds` and lays the page out at its width.
    void layout(const CGRect& bounds);

    // The client is going: the load stops and nothing is reported any more. (Work already under
    // way may still hold the engine for a moment.)
    void detach();

private:
    struct Navigation;
    using NavigationPtr = std::shared_ptr<Navigation>;
    // One picture of the page shown: where it comes from (none: not a web address), whether it has
    // come, and the request bringing it back near the screen.
    struct PagePicture {
        std::optional<URL> url;
        bool arrived = false;
        std::shared_ptr<images::ImageLoader::Request> fetch;
    };

    void post(std::function<void(WebEngine&)> work);
    void begin(const NavigationPtr& navigation);
    void received(const NavigationPtr& navigation, std::shared_ptr<const NSHTTPURLResponse> response,
                  const Data& body);
    void read(const NavigationPtr& navigation, const std::shared_ptr<const NSHTTPURLResponse>& response,
              std::string body);
    void commit(const NavigationPtr& navigation, WebDocument document, URL page);
    void loadPictures(const NavigationPtr& navigation);
    void pictureArrived(std::size_t index, const std::shared_ptr<UIImage>& image);
    // Holds the arrived pictures that stand within a screen of what is shown, and lets go of the rest.
    void holdNearbyPictures();
    void dropPictures();
    void finish(const NavigationPtr& navigation);
    void fail(const NavigationPtr& navigation, const NSError& error);
    // Ends the running navigation without reporting it; gives it for a report.
    NavigationPtr halt();
    void report(const NavigationPtr& halted, const NSError& error);
    void linkTapped(const std::string& href);
    void relayout();

    WebEngineClient* client_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<WebDocumentView> document_;
    AFHTTPSessionManager manager_;
    NavigationPtr deciding_; // asked for, waiting for the client's decision
    NavigationPtr current_;  // started, not yet finished or failed
    std::optional<URLRequest> committed_;
    std::shared_ptr<const NSHTTPURLResponse> committedResponse_;
    std::vector<PagePicture> pictures_; // of the page shown
    std::uint64_t page_ = 0;            // pages shown so far: a late picture of an earlier one is dropped
    std::uint64_t nextIdentifier_ = 1;
    // A new page starts at its top; one that was not scrolled stays there as the insets change.
    bool scrollToTop_ = false;
    CGPoint lastTopOffset_;
};

} // namespace cw::webview
