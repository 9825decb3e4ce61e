#include "Controllers/Posts/FeedDetailWebViewController.h"

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/ContentDetailItems.h"
#include "Extensions/UIBarButtonItem+Badge.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "Services/CommentService.h"
#include "Services/ContentService.h"
#include "Services/EducationContentService.h"
#include "Services/NotificationService.h"
#include "kits/banners/GSMessage.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIPopoverPresentationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <charconv>

namespace {

using Detail = FeedEventDetail;
using namespace contentdetail;

constexpr Detail kShareTapped{"shareContentTapped", "User tried to share education content"};
constexpr Detail kRelatedTapped{"relatedContentViewTapped", "User tapped on a related education content"};


// The last "/"-separated component of a URL's path, trailing separators aside (as a URL names it).
std::string lastPathComponent(const URL& url) {
    std::string path = url.path();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FeedDetailWebViewController::FeedDetailWebViewController() = default;

FeedDetailWebViewController::~FeedDetailWebViewController() = default;

const std::shared_ptr<WKWebView>& FeedDetailWebViewController::webView() {
    if (!webView_) {
        webView_ = std::make_shared<WKWebView>();
        webView_->setNavigationDelegate(cw::DelegateRef<WKNavigationDelegate>(this));
        webView_->scrollView()->setDelegate(cw::DelegateRef<UIScrollViewDelegate>(this));
        webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    return webView_;
}

void FeedDetailWebViewController::setIsContentBookmarked(bool bookmarked) {
    isContentBookmarked_ = bookmarked;
    if (detailsData) detailsData->bookmarked = bookmarked;
}

void FeedDetailWebViewController::setBookmarked(bool bookmarked) {
    setIsContentBookmarked(bookmarked);
    updateBookmarkImage();
}

std::optional<std::int64_t> FeedDetailWebViewController::decimalId(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<std::int64_t> FeedDetailWebViewController::contentId() const {
    if (detailsData && detailsData->cardId) return detailsData->cardId;
    if (!relatedContentUrl) return std::nullopt;
    const auto slash = relatedContentUrl->rfind('/');
    return decimalId(slash == std::string::npos ? *relatedContentUrl : relatedContentUrl->substr(slash + 1));
}

// --- The scene -----------------------------------------------------------------------------------

void FeedDetailWebViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    setView(root);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto item = [weak](const char* image, void (FeedDetailWebViewController::*action)()) {
        return std::make_shared<UIBarButtonItem>(UIImage::named(image), UIBarButtonItemStyle::plain,
                                                 [weak, action](UIBarButtonItem&) {
                                                     if (auto self = std::static_pointer_cast<FeedDetailWebViewController>(weak.lock()))
                                                         ((*self).*action)();
                                                 });
    };
    bookmarkButton = item(kBookmarkImage, &FeedDetailWebViewController::bookmarkButtonPressed);
    bookmarkButton->accessibilityIdentifier = "bookmarkButton";
    commentButton = item(kCommentImage, &FeedDetailWebViewController::commentButtonPressed);
    commentButton->accessibilityIdentifier = "commentButton";
    shareButton = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::action, [weak](UIBarButtonItem&) {
        if (auto self = std::static_pointer_cast<FeedDetailWebViewController>(weak.lock())) self->shareButtonPressed();
    });
    shareButton->accessibilityIdentifier = "shareButton";
    navigationItem()->setRightBarButtonItems({shareButton, bookmarkButton, commentButton});
}

void FeedDetailWebViewController::setupWebView() {
    const auto& web = webView();
    const auto& root = view();
    root->addSubview(web);
    NSLayoutConstraint::activate({
        web->topAnchor().constraintEqualTo(root->topAnchor()),
        web->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        web->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        web->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
    });
}

void FeedDetailWebViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setupWebView();
    if (!detailsData) {
        if (auto id = contentId()) {
            std::weak_ptr<UIViewController> weak = weak_from_this();
            EducationContentService().checkBookmark(*id, [weak](const JSON& reply) {
                if (auto self = std::static_pointer_cast<FeedDetailWebViewController>(weak.lock()))
                    self->handleBookmarkCheck(reply);
            });
        }
    } else {
        isContentBookmarked_ = detailsData->bookmarked;
    }
    updateBookmarkImage();
    if (const auto path = contentPath()) loadContent(*path);
    followArticleChanges();
}

void FeedDetailWebViewController::followArticleChanges() {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto self = [weak] { return std::static_pointer_cast<FeedDetailWebViewController>(weak.lock()); };
    auto isShown = [self](const CardKey& card) {
        auto screen = self();
        return screen && screen->contentId() && card == CardKey{CardKey::Kind::content, *screen->contentId()};
    };
    articleChanges_.push_back(Announcements::listen<Announcements::BookmarkChanged>(
        [self, isShown](const Announcements::BookmarkChanged& change) {
            if (!isShown(change.card)) return;
            self()->setBookmarked(change.bookmarked);
        }));
    articleChanges_.push_back(Announcements::listen<Announcements::CommentsChanged>(
        [self, isShown](const Announcements::CommentsChanged& change) {
            if (!isShown(change.card)) return;
            addOrUpdateBadge(*self()->commentButton, static_cast<long>(change.comments.size()),
                             UIColorPalette::cwy_mountainMeadow());
        }));
}

std::optional<std::string> FeedDetailWebViewController::contentPath() const {
    return detailsData && detailsData->contentURL ? detailsData->contentURL : relatedContentUrl;
}

void FeedDetailWebViewController::loadContent(const std::string& path) {
    if (!AuthenticationContext::shared().user()) return;
    // A path that names another host, or no address at all, opens nothing: the page goes with the
    // member's token.
    const auto address = memberPage_.open(path);
    if (!address) {
        showMessage(*this, kLoadErrorMessage, GSMessageType::error);
        return;
    }
    webView()->load(URLRequest(*address));
}

void FeedDetailWebViewController::handleBookmarkCheck(const JSON& reply) {
    const auto flag = reply["bookmarked"].bool_();
    if (!flag) return;
    setIsContentBookmarked(*flag);
    updateBookmarkImage();
}

void FeedDetailWebViewController::updateBookmarkImage() {
    if (bookmarkButton) bookmarkButton->setImage(UIImage::named(isContentBookmarked_ ? kBookmarkedImage : kBookmarkImage));
}

void FeedDetailWebViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    const auto id = contentId();
    if (!id) return;
    std::weak_ptr<UIViewController> weak = weak_from_this();
    CommentService().getComments(std::nullopt, id, [weak](const JSON& reply) {
        if (auto self = std::static_pointer_cast<FeedDetailWebViewController>(weak.lock())) self->updateCommentBadge(reply);
    });
}

void FeedDetailWebViewController::updateCommentBadge(const JSON& reply) {
    if (!reply["data"].asDictionary()) return;
    const auto comments = reply["data"]["comments"].asArray();
    if (!comments) return;
    for (const auto& c : *comments)
        if (!c.asDictionary()) return;
    addOrUpdateBadge(*commentButton, static_cast<long>(comments->size()), UIColorPalette::cwy_mountainMeadow());
}

// --- Web view ------------------------------------------------------------------------------------

std::string FeedDetailWebViewController::relatedPath(const URL& link) {
    std::string text = link.absoluteString();
    for (auto at = text.find(kAppScheme); at != std::string::npos; at = text.find(kAppScheme, at))
        text.erase(at, kAppScheme.size());
    // A relative link the page resolved against its own address is a whole web address: the path
    // alone is the server's.
    if (text.starts_with("http://") || text.starts_with("https://"))
        if (auto absolute = URL::fromString(text)) return absolute->percentEncodedPath();
    // "cradleway://content/education/6" names its path from the first segment on: with both slashes
    // left, "//content" would be read as a host.
    if (text.starts_with("//")) text.erase(0, 1);
    return text;
}

void FeedDetailWebViewController::decidePolicyFor(WKWebView*, const WKNavigationAction& action,
                                                  std::function<void(WKNavigationActionPolicy)> decisionHandler) {
    const auto& url = action.request.url;
    const auto relatedId = url ? decimalId(lastPathComponent(*url)) : std::nullopt;
    if (url && relatedId && url->absoluteString().find("/content/education") != std::string::npos &&
        action.navigationType == WKNavigationType::linkActivated) {
        auto page = std::dynamic_pointer_cast<FeedDetailWebViewController>(
            UIStoryboard::named("Feed")->instantiateViewController("FeedDetailWebViewController"));
        if (page) {
            if (auto card = FeedDataStore::shared().cachedCard({CardKey::Kind::content, *relatedId}))
                page->detailsData = card;
            else
                page->relatedContentUrl = relatedPath(*url);
        }
        auto details = kRelatedTapped.dictionary();
        details["educationContentID"] = JSON(*relatedId);
        details["cardType"] = JSON("EducationContent");
        sendEvent(details);
        if (page && navigationController()) show(page, nullptr);
        decisionHandler(WKNavigationActionPolicy::cancel);
        return;
    }
    startFullScreenLoadingOverlay(*this);
    // Read only once the server has served it.
    pageServed_ = false;
    decisionHandler(WKNavigationActionPolicy::allow);
}

void FeedDetailWebViewController::decidePolicyForNavigationResponse(
    WKWebView*, const WKNavigationResponse& response,
    std::function<void(WKNavigationResponsePolicy)> decisionHandler) {
    const auto reply = response.response ? BaseHTTPService::pageReply(*response.response)
                                         : BaseHTTPService::PageReply::elsewhere;
    pageServed_ = reply == BaseHTTPService::PageReply::served;
    // Asked for in a session that has ended: not renewed, nor asked for again, with the tokens of
    // whoever is signed in by now.
    if (!memberPage_.isCurrent()) {
        decisionHandler(WKNavigationResponsePolicy::cancel);
        return;
    }
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto screen = [weak] { return std::static_pointer_cast<FeedDetailWebViewController>(weak.lock()); };
    const bool renewing = memberPage_.renew(
        reply,
        [screen] {
            auto self = screen();
            if (const auto path = self ? self->contentPath() : std::nullopt) self->loadContent(*path);
        },
        [screen] {
            if (auto self = screen()) showMessage(*self, kLoadErrorMessage, GSMessageType::error);
        });
    if (renewing) {
        decisionHandler(WKNavigationResponsePolicy::cancel);
        return;
    }
    // The server's own answer to a page it does not have, or cannot give, is no article: the page
    // says it failed instead. Another site's page is shown as it comes.
    const bool show =
        reply == BaseHTTPService::PageReply::served || reply == BaseHTTPService::PageReply::elsewhere;
    decisionHandler(show ? WKNavigationResponsePolicy::allow : WKNavigationResponsePolicy::cancel);
}

void FeedDetailWebViewController::didFinish(WKWebView*, const WKNavigationPtr&) {
    stopFullScreenLoadingOverlay(*this);
    // Opened in a session that has ended: it is no read of hers, and its notification is not marked
    // seen for whoever is signed in by now.
    if (!memberPage_.isCurrent()) return;
    // Served with the member's token: the server has marked the article read. A page it refused,
    // or another site's, is no read of it.
    if (const auto id = contentId(); id && pageServed_)
        Announcements::announce(Announcements::ContentRead{*id});
    std::optional<std::int64_t> toMark = notificationId;
    if (!toMark && detailsData) toMark = detailsData->notificationID;
    if (!toMark) return;
    if (auto member = AuthenticationContext::shared().user())
        NotificationService("notification").markSeen(member->id(), *toMark);
}

void FeedDetailWebViewController::loadFailed(const NSError& error) {
    stopFullScreenLoadingOverlay(*this);
    // A load stopped for a newer one is no fault of the page, nor one refused for the tokens being
    // renewed: it is asked for again.
    if (error.code == NSURLErrorCancelled || memberPage_.isRenewing()) return;
    showMessage(*this, kLoadErrorMessage, GSMessageType::error);
}

void FeedDetailWebViewController::didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError& error) {
    loadFailed(error);
}

void FeedDetailWebViewController::didFail(WKWebView*, const WKNavigationPtr&, const NSError& error) {
    loadFailed(error);
}

void FeedDetailWebViewController::scrollViewDidScroll(UIScrollView* scrollView) {
    if (!scrollView) return;
    const CGPoint offset = scrollView->contentOffset();
    if (offset.x != 0) scrollView->setContentOffset({0, offset.y});
}

// --- Actions -------------------------------------------------------------------------------------

void FeedDetailWebViewController::sendEvent(const JSON::dictionary_t& details) {
    AnalyticsService().send(kScreenName, ScreenAction::Tap, details);
}

void FeedDetailWebViewController::bookmarkButtonPressed() {
    if (const auto id = contentId())
        toggleBookmark(*id, !isContentBookmarked_);
    else
        showMessage(*this, kBookmarkErrorMessage, GSMessageType::error);
    sendEvent(kBookmarkTapped.dictionary());
}

void FeedDetailWebViewController::toggleBookmark(std::int64_t id, bool bookmarked) {
    setIsContentBookmarked(bookmarked);
    updateBookmarkImage();
    UIApplication::shared().setNetworkActivityIndicatorVisible(true);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    // The feed's card was changed with the screen: it is put back even when the screen has gone.
    auto revert = [weak, card = detailsData, bookmarked] {
        UIApplication::shared().setNetworkActivityIndicatorVisible(false);
        if (auto self = std::static_pointer_cast<FeedDetailWebViewController>(weak.lock()))
            self->revertBookmark(bookmarked);
        else if (card)
            card->bookmarked = !bookmarked;
    };
    // The endpoint follows the state before the tap: a bookmarked card is released.
    ContentService().bookmark(
        id, "feed_id", !bookmarked,
        [revert](const BookmarkResponse& response) {
            if (response.feedID)
                UIApplication::shared().setNetworkActivityIndicatorVisible(false);
            else
                revert();
        },
        [revert](const BaseHTTPService::Task&, const NSError&) { revert(); });
}

void FeedDetailWebViewController::revertBookmark(bool bookmarked) {
    setIsContentBookmarked(!bookmarked);
    updateBookmarkImage();
    showMessage(*this, kBookmarkRevertMessage, GSMessageType::error);
}

void FeedDetailWebViewController::commentButtonPressed() {
    if (contentId())
        performSegue(commentSegueId);
    else
        showMessage(*this, kCommentsErrorMessage, GSMessageType::error);
    auto details = kCommentViewTapped.dictionary();
    if (detailsData && detailsData->cardId) details["postID"] = JSON(*detailsData->cardId);
    if (detailsData && detailsData->cardType) details["cardType"] = JSON(std::string(rawValue(*detailsData->cardType)));
    sendEvent(details);
}

void FeedDetailWebViewController::prepare(UIStoryboardSegue& segue, const std::any& sender) {
    UIViewController::prepare(segue, sender);
    auto comments = std::dynamic_pointer_cast<CommentTableViewController>(segue.destination());
    if (!comments) return;
    // This page always shows an article, with or without its card: its comments are the article's
    // (asked and written by "feed_id"), never a family post's of the same number.
    comments->cardType = CardType::educationContent;
    if (const auto id = contentId())
        comments->cardId = id;
    else
        showMessage(*this, kCommentsErrorMessage, GSMessageType::error);
}

void FeedDetailWebViewController::shareButtonPressed() {
    std::vector<std::any> items;
    if (auto member = AuthenticationContext::shared().user()) items.emplace_back(member->fullName() + kShareText);
    // The article's own address, without the member's query.
    if (const auto path = contentPath())
        if (const auto address = BaseHTTPService::resolveServerPath(*path)) items.emplace_back(address->absoluteString());
    auto sheet = std::make_shared<UIActivityViewController>(std::move(items));
    sheet->setValue(std::string(detailsData && detailsData->cardTitle ? *detailsData->cardTitle : std::string()), "subject");
    if (auto popover = sheet->popoverPresentationController()) popover->sourceView = view();
    present(sheet, true);
    sendEvent(kShareTapped.dictionary());
}
