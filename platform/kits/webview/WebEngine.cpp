#include "kits/webview/WebEngine.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "kits/images/ImageLoader.h"
#include "net/AFURLResponseSerialization.h"

#include <algorithm>
#include <cctype>

namespace cw::webview {

namespace {

// The page's scroll view tells the engine when the bars around it move its insets, so that a page
// that has not been scrolled stays at its top.
class WebScrollView : public UIScrollView {
public:
    std::function<void()> onInsetsChange;
    std::function<void()> onScroll;
    void adjustedContentInsetDidChange() override {
        if (onInsetsChange) onInsetsChange();
    }

protected:
    void contentOffsetDidChange() override {
        UIScrollView::contentOffsetDidChange();
        if (onScroll) onScroll();
    }
};

bool isWebScheme(const URL& url) {
    std::string scheme = url.scheme().value_or("");
    for (auto& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme == "http" || scheme == "https";
}

// Within a screen above and below what is shown: what scrolls into view next is there already.
CGRect nearby(const UIScrollView& scroll) {
    const CGRect shown = scroll.bounds();
    return {shown.minX(), shown.minY() - shown.height(), shown.width(), shown.height() * 3};
}

NSError cannotShow(const URL& url) {
    return NSError(std::string(WebKitErrorDomain), WebKitErrorFrameLoadInterruptedByPolicyChange,
                   {{std::string(NSLocalizedDescriptionKey), std::string("Frame load interrupted")},
                    {std::string(NSURLErrorFailingURLStringErrorKey), url.absoluteString()}});
}

} // namespace

struct WebEngine::Navigation {
    WKNavigationPtr handle;
    URLRequest request;
    WKNavigationType type = WKNavigationType::other;
    bool decided = false;
    bool committed = false;
    std::shared_ptr<const NSHTTPURLResponse> response;
    std::shared_ptr<NSURLSessionDataTask> task;
    std::vector<std::shared_ptr<images::ImageLoader::Request>> pictures;
    std::size_t picturesPending = 0;
};

WebEngine::WebEngine(WebEngineClient& client)
    : client_(&client), document_(std::make_shared<WebDocumentView>()) {
    auto scroll = std::make_shared<WebScrollView>();
    scroll->onInsetsChange = [this] { relayout(); };
    scroll->onScroll = [this] { holdNearbyPictures(); };
    scrollView_ = scroll;
    scrollView_->setBackgroundColor(UIColor::whiteColor());
    // A page scrolls (and bounces) up and down even when it is short, as a browser's does.
    scrollView_->alwaysBounceVertical = true;
    scrollView_->addSubview(document_);
    document_->onLinkTapped = [this](const std::string& href) { linkTapped(href); };
}

WebEngine::~WebEngine() {
    detach();
}

void WebEngine::detach() {
    client_ = nullptr;
    deciding_ = nullptr;
    halt();
    // The views may outlive the engine in someone's hands: they must not call back into it.
    static_cast<WebScrollView&>(*scrollView_).onInsetsChange = nullptr;
    static_cast<WebScrollView&>(*scrollView_).onScroll = nullptr;
    document_->onLinkTapped = nullptr;
    dropPictures();
}

void WebEngine::post(std::function<void(WebEngine&)> work) {
    DispatchQueue::main().async([weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

WKNavigationPtr WebEngine::load(const URLRequest& request, WKNavigationType type) {
    if (!request.url) return nullptr;
    auto navigation = std::make_shared<Navigation>();
    navigation->handle = std::make_shared<WKNavigation>(nextIdentifier_++);
    navigation->request = request;
    navigation->type = type;
    deciding_ = navigation;
    post([navigation](WebEngine& engine) {
        if (engine.deciding_ != navigation || !engine.client_) return;
        engine.client_->decidePolicy(
            navigation->request, navigation->type,
            [weak = engine.weak_from_this(), navigation](bool allow) {
                auto self = weak.lock();
                if (!self || navigation->decided || self->deciding_ != navigation) return;
                navigation->decided = true;
                if (!allow) {
                    self->deciding_ = nullptr;
                    return;
                }
                // Started on a turn of its own, never inside the client's decision.
                self->post([navigation](WebEngine& e) {
                    if (e.deciding_ == navigation) e.begin(navigation);
                });
            });
    });
    return navigation->handle;
}

void WebEngine::begin(const NavigationPtr& navigation) {
    deciding_ = nullptr;
    const URL url = *navigation->request.url;
    if (auto older = halt()) report(older, makeURLError(NSURLErrorCancelled, older->request.url->absoluteString()));
    if (!client_) return;
    current_ = navigation;
    client_->didStart(navigation->handle);
    if (current_ != navigation) return;
    if (!isWebScheme(url)) {
        fail(navigation, makeURLError(NSURLErrorUnsupportedURL, url.absoluteString()));
        return;
    }
    manager_.requestSerializer()->setTimeoutInterval(navigation->request.timeoutInterval);
    const std::weak_ptr<WebEngine> weakEngine = weak_from_this();
    const std::weak_ptr<Navigation> weakNavigation = navigation;
    // The callbacks hold the navigation weakly: it holds the task, and the task them.
    navigation->task = manager_.GETData(
        url.absoluteString(), nullptr,
        [weakEngine, weakNavigation](const AFHTTPSessionManager::Task& task, const Data& body) {
            auto self = weakEngine.lock();
            auto navigation = weakNavigation.lock();
            if (!self || !navigation || self->current_ != navigation) return;
            self->received(navigation, task ? task->response() : nullptr, body);
        },
        [weakEngine, weakNavigation](const AFHTTPSessionManager::Task&, const NSError& error) {
            auto self = weakEngine.lock();
            auto navigation = weakNavigation.lock();
            if (!self || !navigation || self->current_ != navigation) return;
            // An error status came with a page of its own: it is shown like any other.
            if (auto response = cw::failingResponse(error)) {
                const Data* body = cw::failingResponseData(error);
                self->received(navigation, std::move(response), body ? *body : Data{});
                return;
            }
            self->fail(navigation, error);
        });
}

void WebEngine::received(const NavigationPtr& navigation, std::shared_ptr<const NSHTTPURLResponse> response,
                         const Data& body) {
    std::string text(reinterpret_cast<const char*>(body.data()), body.size());
    if (!response || !client_) {
        read(navigation, response, std::move(text));
        return;
    }
    client_->decideResponsePolicy(
        response, [weak = weak_from_this(), navigation, response,
                   text = std::make_shared<std::string>(std::move(text))](bool show) mutable {
            auto self = weak.lock();
            if (!self || navigation->response) return;
            navigation->response = response;
            // Carried on on a turn of its own, never inside the client's decision.
            self->post([navigation, show, text = std::move(text)](WebEngine& engine) {
                if (engine.current_ != navigation) return;
                if (!show) {
                    engine.fail(navigation, cannotShow(*navigation->request.url));
                    return;
                }
                engine.read(navigation, navigation->response, std::move(*text));
            });
        });
}

void WebEngine::read(const NavigationPtr& navigation,
                     const std::shared_ptr<const NSHTTPURLResponse>& response, std::string body) {
    navigation->response = response;
    const URL requested = *navigation->request.url;
    const std::string_view text(body);
    const WebContentKind kind = webContentKind(response ? response->MIMEType() : std::nullopt, text);
    if (kind == WebContentKind::unsupported) {
        fail(navigation, cannotShow(requested));
        return;
    }
    // After redirects the page is the one the last reply came from.
    const std::optional<URL> shown = response ? URL::fromString(response->url()) : std::nullopt;
    // The page is read and measured on a queue (a long article takes a good part of a frame), at
    // the width it will most likely be shown at; the main thread only puts it up.
    const CGFloat width = scrollView_->bounds().size.width;
    DispatchQueue::global(DispatchQoS::userInitiated)
        .async([weakEngine = weak_from_this(), weakNavigation = std::weak_ptr<Navigation>(navigation),
                body = std::move(body), kind, width, page = shown.value_or(requested)]() mutable {
            WebDocument document =
                kind == WebContentKind::html ? WebDocument::fromHTML(body) : WebDocument::fromPlainText(body);
            body = {};
            if (width > 2 * kPageMargin) document.measure(WebDocumentView::textWidth(width));
            DispatchQueue::main().async([weakEngine, weakNavigation, document = std::move(document),
                                         page = std::move(page)]() mutable {
                auto self = weakEngine.lock();
                auto navigation = weakNavigation.lock();
                if (!self || !navigation || self->current_ != navigation) return;
                // More than a page may lay out: it fails as a page past the phone's memory would.
                if (document.tooLong) {
                    self->fail(navigation,
                               makeURLError(NSURLErrorDataLengthExceedsMaximum, page.absoluteString()));
                    return;
                }
                self->commit(navigation, std::move(document), std::move(page));
            });
        });
}

void WebEngine::commit(const NavigationPtr& navigation, WebDocument document, URL page) {
    navigation->committed = true;
    committed_ = URLRequest(std::move(page), navigation->request.timeoutInterval);
    committedResponse_ = navigation->response;
    dropPictures();
    document_->show(std::move(document));
    scrollToTop_ = true;
    relayout();
    if (client_) client_->didCommit(navigation->handle);
    if (current_ != navigation) return;
    loadPictures(navigation);
}

// As in a browser, the page has finished once its pictures have come (or failed to).
void WebEngine::loadPictures(const NavigationPtr& navigation) {
    const std::vector<std::string> sources = document_->pictureSources();
    pictures_.assign(sources.size(), {});
    std::vector<std::pair<std::size_t, URL>> wanted;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        auto url = URL::fromString(sources[i], *committed_->url);
        if (!url || !isWebScheme(*url)) continue;
        pictures_[i].url = url;
        wanted.emplace_back(i, std::move(*url));
    }
    navigation->picturesPending = wanted.size();
    for (const auto& [index, url] : wanted) {
        auto request = images::ImageLoader::shared().retrieve(
            url, [weakEngine = weak_from_this(), weakNavigation = std::weak_ptr<Navigation>(navigation),
                  index = index](std::shared_ptr<UIImage> image, const std::optional<NSError>&, images::ImageCacheType) {
                auto self = weakEngine.lock();
                auto navigation = weakNavigation.lock();
                if (!self || !navigation || self->current_ != navigation) return;
                if (image) self->pictureArrived(index, image);
                if (--navigation->picturesPending == 0) self->finish(navigation);
            });
        // Pictures the memory cache holds arrive at once: the last one may have finished the page.
        if (current_ != navigation) return;
        if (request) navigation->pictures.push_back(std::move(request));
    }
    if (navigation->picturesPending == 0) finish(navigation);
}

// The page keeps the picture's place at its size; it holds the picture only near the screen, and
// otherwise leaves it to the loader's cache.
void WebEngine::pictureArrived(std::size_t index, const std::shared_ptr<UIImage>& image) {
    pictures_[index].arrived = true;
    document_->setPictureSize(index, image->size());
    document_->setPicture(index, image);
    relayout();
}

void WebEngine::holdNearbyPictures() {
    const CGRect near = nearby(*scrollView_);
    for (std::size_t index = 0; index < pictures_.size(); ++index) {
        PagePicture& picture = pictures_[index];
        if (!picture.arrived) continue;
        if (!document_->pictureFrame(index).intersects(near)) {
            if (picture.fetch) picture.fetch->cancel();
            picture.fetch = nullptr;
            document_->setPicture(index, nullptr);
            continue;
        }
        if (picture.fetch || document_->showsPicture(index)) continue;
        auto fetch = images::ImageLoader::shared().retrieve(
            *picture.url, [weak = weak_from_this(), page = page_, index](std::shared_ptr<UIImage> image,
                                                                          const std::optional<NSError>&,
                                                                          images::ImageCacheType) {
                auto self = weak.lock();
                if (!self || self->page_ != page) return;
                self->pictures_[index].fetch = nullptr;
                if (image && self->document_->pictureFrame(index).intersects(nearby(*self->scrollView_)))
                    self->document_->setPicture(index, std::move(image));
            });
        // A picture in the memory cache is back already.
        if (!document_->showsPicture(index)) picture.fetch = std::move(fetch);
    }
}

void WebEngine::dropPictures() {
    ++page_;
    for (auto& picture : pictures_)
        if (picture.fetch) picture.fetch->cancel();
    pictures_.clear();
}

void WebEngine::finish(const NavigationPtr& navigation) {
    current_ = nullptr;
    if (client_) client_->didFinish(navigation->handle);
}

void WebEngine::fail(const NavigationPtr& navigation, const NSError& error) {
    if (current_ == navigation) halt();
    report(navigation, error);
}

WebEngine::NavigationPtr WebEngine::halt() {
    NavigationPtr navigation = std::move(current_);
    current_ = nullptr;
    if (navigation && navigation->task) navigation->task->cancel();
    if (navigation)
        for (const auto& picture : navigation->pictures)
            picture->cancel();
    return navigation;
}

void WebEngine::report(const NavigationPtr& halted, const NSError& error) {
    if (!client_) return;
    if (halted->committed)
        client_->didFail(halted->handle, error);
    else
        client_->didFailProvisional(halted->handle, error);
}

void WebEngine::stopLoading() {
    deciding_ = nullptr;
    auto halted = halt();
    if (!halted) return;
    const NSError error = makeURLError(NSURLErrorCancelled, halted->request.url->absoluteString());
    post([halted, error](WebEngine& engine) { engine.report(halted, error); });
}

std::optional<URL> WebEngine::url() const {
    if (current_ && !current_->committed) return current_->request.url;
    return committed_ ? committed_->url : std::nullopt;
}

void WebEngine::terminateContentProcess() {
    deciding_ = nullptr;
    halt();
    dropPictures();
    document_->show({});
    relayout();
    post([](WebEngine& engine) {
        if (engine.client_) engine.client_->contentProcessDidTerminate();
    });
}

void WebEngine::linkTapped(const std::string& href) {
    const std::optional<URL> base = committed_ ? committed_->url : std::nullopt;
    auto url = base ? URL::fromString(href, *base) : URL::fromString(href);
    if (!url) return; // an address the page wrote wrongly goes nowhere, as in a browser
    load(URLRequest(std::move(url)), WKNavigationType::linkActivated);
}

void WebEngine::layout(const CGRect& bounds) {
    scrollView_->setFrame({0, 0, bounds.size.width, bounds.size.height});
    relayout();
}

void WebEngine::relayout() {
    const CGFloat width = scrollView_->bounds().size.width;
    const CGFloat height = document_->layoutForWidth(width);
    document_->setFrame({0, 0, width, height});
    scrollView_->setContentSize({width, height});
    const CGPoint top = scrollView_->minimumContentOffset();
    if (scrollToTop_ || scrollView_->contentOffset() == lastTopOffset_) scrollView_->setContentOffset(top);
    scrollToTop_ = false;
    lastTopOffset_ = top;
    holdNearbyPictures();
}

} // namespace cw::webview
