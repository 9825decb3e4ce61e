#include "Controllers/Education/EducationContentWebViewController.h"

#include "Controllers/Education/EducationSupport.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "Services/ContentService.h"
#include "Services/EducationContentService.h"
#include "foundation/text/RegularExpression.h"
#include "kits/audio/AVAudioSession.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIApplication.h"

#include <algorithm>
#include <charconv>
#include <iostream>

using namespace cw::education;

namespace {

void reportContent(const std::string& action, JSON::dictionary_t details = {}) {
    AnalyticsService().send(EducationContentWebViewController::kScreenName, action, details);
}

std::optional<std::int64_t> decimalInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string pagePath(std::int64_t id) {
    return EducationContentWebViewController::kPagePath + std::to_string(id);
}

// The last segment of an address's path ("57" of cradleway://content/education/57).
std::string lastPathComponent(const URL& url) {
    std::string path = url.path();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

EducationContentWebViewController::EducationContentWebViewController(std::optional<std::int64_t> itemID,
                                                                     std::optional<std::string> contentURL,
                                                                     bool isBookmarked,
                                                                     std::optional<std::string> shareTitle,
                                                                     std::shared_ptr<UIImage> shareImage)
    : itemID(itemID),
      contentURL(std::move(contentURL)),
      isBookmarked(isBookmarked),
      shareTitle(std::move(shareTitle)),
      shareImage(std::move(shareImage)) {}

UIBarButtonItemPtr EducationContentWebViewController::makeBarButton(
    const std::string& imageName, void (EducationContentWebViewController::*action)()) {
    auto weakSelf = weakOf(this);
    return std::make_shared<UIBarButtonItem>(UIImage::named(imageName), UIBarButtonItemStyle::plain,
                                             [weakSelf, action](UIBarButtonItem&) {
                                                 if (auto self = weakSelf.lock()) ((*self).*action)();
                                             });
}

const UIBarButtonItemPtr& EducationContentWebViewController::bookmarkButton() {
    if (!bookmarkButton_) {
        bookmarkButton_ = makeBarButton("bookmark", &EducationContentWebViewController::bookmarkAction);
        bookmarkButton_->accessibilityIdentifier = "bookmarkButton";
    }
    return bookmarkButton_;
}

const UIBarButtonItemPtr& EducationContentWebViewController::shareButton() {
    if (!shareButton_) {
        shareButton_ = makeBarButton("share_icon", &EducationContentWebViewController::shareCard);
        shareButton_->accessibilityIdentifier = "shareButton";
    }
    return shareButton_;
}

const std::shared_ptr<UIWebView>& EducationContentWebViewController::webView() {
    if (!webView_) {
        webView_ = std::make_shared<UIWebView>();
        webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(webView_);
        webView_->setDelegate(this);
    }
    return webView_;
}

std::shared_ptr<UIImage> EducationContentWebViewController::bookmarkImage() const {
    return UIImage::named(isBookmarked ? "bookmarked" : "bookmark");
}

void EducationContentWebViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    if (itemID) {
        contentURL = pagePath(*itemID);
        loadContent(*contentURL);
    } else {
        // Nothing to show, bookmark or share: the opener's path is no page of this screen.
        contentURL.reset();
        bookmarkButton()->setEnabled(false);
        shareButton()->setEnabled(false);
    }
    updateViewConstraints();
    navigationItem()->setRightBarButtonItems({shareButton(), bookmarkButton()}, true);
    auto weakSelf = weakOf(this);
    bookmarkChanges_ = Announcements::listen<Announcements::BookmarkChanged>(
        [weakSelf](const Announcements::BookmarkChanged& change) {
            auto self = weakSelf.lock();
            if (!self || !self->itemID || change.card != CardKey{CardKey::Kind::content, *self->itemID}) return;
            self->isBookmarked = change.bookmarked;
            self->bookmarkButton()->setImage(self->bookmarkImage());
        });
}

void EducationContentWebViewController::updateViewConstraints() {
    if (!didUpdateConstraints_) {
        didUpdateConstraints_ = true;
        lyt_attachToSuperview(*webView());
    }
    UIViewController::updateViewConstraints();
}

void EducationContentWebViewController::loadContent(const std::string& path) {
    if (!AuthenticationContext::shared().user()) return;
    // Nothing opens for a path that names another host, the page going with the member's token; the
    // member is told, as a tapped link that does nothing would leave her guessing.
    auto url = memberPage_.open(path);
    if (!url) {
        showMessage(*this, kLoadFailure, GSMessageType::error);
        return;
    }
    loadedPath_ = path;
    webView()->loadRequest(URLRequest(*url));
}

std::vector<std::string> EducationContentWebViewController::matches(const std::string& pattern,
                                                                    const std::string& text) {
    std::string error;
    auto expression = cw::RegularExpression::make(pattern, &error);
    if (!expression) {
        std::cout << "invalid regex: " << error << std::endl;
        return {};
    }
    return expression->matches(text);
}

void EducationContentWebViewController::webViewDidFinishLoad(UIWebView* webView) {
    if (!webView || !webView->request() || !webView->request()->url) return;
    // Opened in a session that has ended: nothing of it is read, checked or reported for anybody.
    if (!memberPage_.isCurrent()) return;
    const auto reply = webView->response() ? BaseHTTPService::pageReply(*webView->response())
                                           : BaseHTTPService::PageReply::elsewhere;
    auto weakSelf = weakOf(this);
    const bool renewing = memberPage_.renew(
        reply,
        [weakSelf] {
            if (auto self = weakSelf.lock()) self->loadContent(self->loadedPath_);
        },
        [weakSelf] {
            if (auto self = weakSelf.lock()) showMessage(*self, kLoadFailure, GSMessageType::error);
        });
    if (renewing) return;
    const auto found = matches("\\d+\\?", webView->request()->url->absoluteString());
    if (found.empty()) return;
    std::string idText = found.front();
    idText.erase(std::remove(idText.begin(), idText.end(), '?'), idText.end());
    const auto loadedId = decimalInteger(idText);
    if (!loadedId) return;
    // Served with the member's token: the server has marked the item read.
    if (reply == BaseHTTPService::PageReply::served)
        Announcements::announce(Announcements::ContentRead{*loadedId});
    EducationContentService().checkBookmark(*loadedId, [weakSelf, loadedId = *loadedId, idText](const JSON& reply) {
        auto answer = reply["bookmarked"].bool_();
        if (!answer) return;
        if (auto self = weakSelf.lock()) self->checked(loadedId, idText, *answer);
    });
}

void EducationContentWebViewController::checked(std::int64_t loadedId, const std::string& idText, bool bookmarked) {
    // A related item's page has loaded: from now on the star, the toggle and the share link are
    // that item's. Its title is not known here, so the share sheet names none.
    if (itemID != loadedId) {
        itemID = loadedId;
        contentURL = pagePath(loadedId);
        shareTitle.reset();
        shareImage.reset();
    }
    isBookmarked = bookmarked;
    bookmarkButton()->setImage(bookmarkImage());
    reportContent("View", {{"contentFetchedSuccess", JSON("User loaded education content")},
                    {"educationContent", JSON(true)},
                    {"educationContentID", JSON(idText)},
                    {"bookmarkStatus", JSON(bookmarked)}});
}

bool EducationContentWebViewController::shouldStartLoadWith(UIWebView*, const URLRequest& request,
                                                            UIWebViewNavigationType type) {
    if (!request.url) return true;
    if (type != UIWebViewNavigationType::linkClicked) return true;
    const URL& link = *request.url;
    const auto scheme = link.scheme();
    if (scheme && scheme->find(kAppScheme) != std::string::npos) {
        if (auto related = decimalInteger(lastPathComponent(link)))
            AnalyticsService().send(kScreenName, ScreenAction::Tap,
                                    {{"relatedContentViewTapped", JSON("User tapped on a related education content")},
                                     {"educationContentID", JSON(*related)},
                                     {"cardType", JSON("EducationContent")}});
        std::string path = link.absoluteString();
        const std::string prefix = std::string(kAppScheme) + ":/";
        for (auto at = path.find(prefix); at != std::string::npos; at = path.find(prefix))
            path.erase(at, prefix.size());
        loadContent(path);
        return false;
    }
    UIApplication::shared().open(link);
    return false;
}

void EducationContentWebViewController::bookmarkAction() {
    if (!itemID) return;
    reportContent("Tap", {{"bookmarkContentTapped", JSON("User tried to bookmark education content")},
                   {"educationContentID", JSON(*itemID)}});
    bookmark(*itemID, isBookmarked);
}

void EducationContentWebViewController::bookmark(std::int64_t feedId, bool bookmarked) {
    setNetworkActivityIndicatorVisible(true);
    auto weakSelf = weakOf(this);
    ContentService().bookmark(
        feedId, "feed_id", bookmarked,
        [weakSelf, feedId, bookmarked](const BookmarkResponse& response) {
            setNetworkActivityIndicatorVisible(false);
            if (!response.feedID) return;
            auto self = weakSelf.lock();
            if (!self) return;
            self->isBookmarked = !bookmarked;
            self->bookmarkButton()->setImage(self->bookmarkImage());
            reportContent("ServerRequest", {{"bookmarkContentSuccess", JSON("User bookmarked education content successfully")},
                                     {"educationContentID", JSON(feedId)},
                                     {"bookmarkStatus", JSON(self->isBookmarked)}});
        },
        [weakSelf, feedId, bookmarked](const BaseHTTPService::Task&, const NSError&) {
            setNetworkActivityIndicatorVisible(false);
            if (auto self = weakSelf.lock()) showMessage(*self, kBookmarkFailure, GSMessageType::error);
            reportContent("ServerRequest", {{"bookmarkContentFailure", JSON("User bookmarked education content failed")},
                                     {"educationContentID", JSON(feedId)},
                                     {"bookmarkStatus", JSON(!bookmarked)}});
        });
}

void EducationContentWebViewController::shareCard() {
    if (!contentURL) return;
    const auto content = makeEducationShare(contentURL, shareTitle);
    presentEducationShare(*this, content);
    reportContent("Tap", {{"shareContentTapped", JSON("User tried to share education content")},
                   {"educationContent", JSON(true)},
                   {"shareContentText", JSON(content.text)}});
}

void EducationContentWebViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    reportContent("Loaded");
    auto& session = AVAudioSession::sharedInstance();
    NSError error;
    if (!session.setCategory(AVAudioSessionCategoryPlayback, &error) || !session.setActive(true, &error))
        std::cout << "Audio session: " << error.localizedDescription() << std::endl;
}

void EducationContentWebViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    NSError error;
    if (!AVAudioSession::sharedInstance().setActive(false, &error))
        std::cout << "Audio session: " << error.localizedDescription() << std::endl;
}
