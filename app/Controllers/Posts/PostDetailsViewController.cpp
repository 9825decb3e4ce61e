#include "Controllers/Posts/PostDetailsViewController.h"

#include "Controllers/Posts/ContentDetailItems.h"
#include "Controllers/Feed/CardSharing.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIBarButtonItem+Badge.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AnalyticsService.h"
#include "Services/BaseHTTPService.h"
#include "Services/CommentService.h"
#include "Services/ContentService.h"
#include "Services/PostService.h"
#include "kits/banners/GSMessage.h"
#include "kits/images/Kingfisher.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <algorithm>
#include <iostream>

namespace {

using Detail = FeedEventDetail;
using namespace contentdetail;

constexpr Detail kLoaded{"postDetailsViewScreenLoaded", "User navigated to post details screen"};
constexpr Detail kBookmarkPostTapped{"bookmarkContentTapped", "User tried to bookmark a post"};
constexpr Detail kBookmarkSuccess{"bookmarkContentSuccess", "User bookmarked post successfully"};
constexpr Detail kBookmarkFailure{"bookmarkContentFailure", "User bookmarked post failed"};
constexpr Detail kCommentFetchSuccess{"commentFetchSuccess", "Comment fetched successfully"};

constexpr const char* kDefaultIcon = "cwy_card_logo";

} // namespace

PostDetailsViewController::PostDetailsViewController() = default;

PostDetailsViewController::~PostDetailsViewController() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

std::string PostDetailsViewController::screenName() const {
    return detailsData && detailsData->cardType == CardType::dailyUpdateChange ? kDailyUpdateScreenName : kScreenName;
}

// --- Bar items -----------------------------------------------------------------------------------

std::shared_ptr<UIBarButtonItem> PostDetailsViewController::makeBarButtonItem(const std::string& imageName,
                                                                              void (PostDetailsViewController::*action)()) {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    return std::make_shared<UIBarButtonItem>(UIImage::named(imageName), UIBarButtonItemStyle::plain,
                                             [weak, action](UIBarButtonItem&) {
                                                 if (auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock()))
                                                     ((*self).*action)();
                                             });
}

const std::shared_ptr<UIBarButtonItem>& PostDetailsViewController::bookmarkButton() {
    if (!bookmarkButton_) {
        bookmarkButton_ = makeBarButtonItem(kBookmarkImage, &PostDetailsViewController::bookmarkAction);
        bookmarkButton_->accessibilityIdentifier = "bookmarkButton";
    }
    return bookmarkButton_;
}

const std::shared_ptr<UIBarButtonItem>& PostDetailsViewController::shareButton() {
    if (!shareButton_) {
        std::weak_ptr<UIViewController> weak = weak_from_this();
        shareButton_ = std::make_shared<UIBarButtonItem>(UIBarButtonSystemItem::action, [weak](UIBarButtonItem&) {
            if (auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock())) self->shareCard();
        });
        shareButton_->accessibilityIdentifier = "shareButton";
    }
    return shareButton_;
}

const std::shared_ptr<UIBarButtonItem>& PostDetailsViewController::commentButton() {
    if (!commentButton_) {
        commentButton_ = makeBarButtonItem(kCommentImage, &PostDetailsViewController::commentButtonTapped);
        commentButton_->accessibilityIdentifier = "commentButton";
    }
    return commentButton_;
}

// --- The scene -----------------------------------------------------------------------------------

void PostDetailsViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    setView(root);

    scrollView = std::make_shared<UIScrollView>();
    scrollView->setTranslatesAutoresizingMaskIntoConstraints(false);
    scrollView->alwaysBounceVertical = true;
    root->addSubview(scrollView);

    auto column = std::make_shared<UIStackView>();
    column->setAxis(UILayoutConstraintAxis::vertical);
    column->setSpacing(12);
    column->setTranslatesAutoresizingMaskIntoConstraints(false);
    scrollView->addSubview(column);

    // The head: the author's icon beside the title over the date.
    auto head = std::make_shared<UIView>();
    iconImageView = std::make_shared<UIImageView>();
    iconImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    iconImageView->setClipsToBounds(true);
    iconImageView->layer()->cornerRadius = 20;
    titleLabel = std::make_shared<UILabel>();
    titleLabel->setFont(UIFont::named("Avenir-Heavy", 17).value_or(UIFont::boldSystemFont(17)));
    titleLabel->setTextColor(UIColorPalette::textColor());
    titleLabel->setNumberOfLines(0);
    dateLabel = std::make_shared<UILabel>();
    dateLabel->setFont(UIFont::named("Avenir-Roman", 13).value_or(UIFont::systemFont(13)));
    dateLabel->setTextColor(UIColorPalette::textPlaceholderColor());
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{iconImageView, titleLabel, dateLabel}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        head->addSubview(v);
    }
    NSLayoutConstraint::activate({
        iconImageView->leadingAnchor().constraintEqualTo(head->leadingAnchor(), 16),
        iconImageView->topAnchor().constraintEqualTo(head->topAnchor()),
        iconImageView->widthAnchor().constraintEqualToConstant(40),
        iconImageView->heightAnchor().constraintEqualToConstant(40),
        iconImageView->bottomAnchor().constraintLessThanOrEqualTo(head->bottomAnchor()),
        titleLabel->leadingAnchor().constraintEqualTo(iconImageView->trailingAnchor(), 12),
        titleLabel->trailingAnchor().constraintEqualTo(head->trailingAnchor(), -16),
        titleLabel->topAnchor().constraintEqualTo(head->topAnchor()),
        dateLabel->leadingAnchor().constraintEqualTo(titleLabel->leadingAnchor()),
        dateLabel->trailingAnchor().constraintEqualTo(titleLabel->trailingAnchor()),
        dateLabel->topAnchor().constraintEqualTo(titleLabel->bottomAnchor(), 2),
        dateLabel->bottomAnchor().constraintLessThanOrEqualTo(head->bottomAnchor()),
    });

    textLabel = std::make_shared<UILabel>();
    textLabel->setNumberOfLines(0);
    auto textBox = std::make_shared<UIView>();
    textLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    textBox->addSubview(textLabel);
    NSLayoutConstraint::activate({
        textLabel->leadingAnchor().constraintEqualTo(textBox->leadingAnchor(), 16),
        textLabel->trailingAnchor().constraintEqualTo(textBox->trailingAnchor(), -16),
        textLabel->topAnchor().constraintEqualTo(textBox->topAnchor()),
        textLabel->bottomAnchor().constraintEqualTo(textBox->bottomAnchor()),
    });

    dailyUpdateImageView = std::make_shared<UIImageView>();
    dailyUpdateImageView->setContentMode(UIViewContentMode::scaleAspectFill);
    dailyUpdateImageView->setClipsToBounds(true);
    dailyUpdateImageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    dailyUpdateImageView->heightAnchor().constraintEqualToConstant(200)->setActive(true);

    imageViewStackView = std::make_shared<UIStackView>();
    imageViewStackView->setAxis(UILayoutConstraintAxis::vertical);
    imageViewStackView->setSpacing(8);
    // Every picture keeps its height; room to spare stays between them.
    imageViewStackView->setDistribution(UIStackViewDistribution::equalSpacing);

    // The link area of a daily update: its control plays the NICU video.
    journeyLinkView = std::make_shared<UIView>();
    journeyLinkView->setBackgroundColor(UIColorPalette::tableViewBackground());
    journeyLinkButton = std::make_shared<UIButton>(UIButtonType::custom);
    journeyLinkButton->setTitle(kJourneyLinkTitle, UIControlStateNormal);
    journeyLinkButton->setTitleColor(UIColorPalette::cwy_mountainMeadow(), UIControlStateNormal);
    journeyLinkButton->titleLabel()->setFont(UIFont::named("Avenir-Medium", 15).value_or(UIFont::systemFont(15)));
    journeyLinkButton->setAccessibilityIdentifier("journeyLinkButton");
    journeyLinkButton->addTarget(this, &PostDetailsViewController::handleTap, UIControlEventTouchUpInside);
    journeyLinkButton->setTranslatesAutoresizingMaskIntoConstraints(false);
    journeyLinkView->addSubview(journeyLinkButton);
    NSLayoutConstraint::activate({
        journeyLinkButton->leadingAnchor().constraintEqualTo(journeyLinkView->leadingAnchor(), 16),
        journeyLinkButton->trailingAnchor().constraintLessThanOrEqualTo(journeyLinkView->trailingAnchor(), -16),
        journeyLinkButton->topAnchor().constraintEqualTo(journeyLinkView->topAnchor(), 12),
        journeyLinkButton->bottomAnchor().constraintEqualTo(journeyLinkView->bottomAnchor(), -12),
    });

    for (const auto& v : std::vector<std::shared_ptr<UIView>>{head, textBox, dailyUpdateImageView, imageViewStackView,
                                                              journeyLinkView}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        // Room to spare goes below the text, never into the pictures.
        if (v != textBox) v->setContentHuggingPriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
        column->addArrangedSubview(v);
    }

    unavailableLabel = std::make_shared<UILabel>();
    unavailableLabel->setText(kUnavailableMessage);
    unavailableLabel->setNumberOfLines(0);
    unavailableLabel->setTextAlignment(NSTextAlignment::center);
    unavailableLabel->setFont(UIFont::named("Avenir-Medium", 17).value_or(UIFont::systemFont(17)));
    unavailableLabel->setTextColor(UIColorPalette::textPlaceholderColor());
    unavailableLabel->setHidden(true);
    unavailableLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(unavailableLabel);

    NSLayoutConstraint::activate({
        unavailableLabel->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 24),
        unavailableLabel->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -24),
        unavailableLabel->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
        scrollView->topAnchor().constraintEqualTo(root->topAnchor()),
        scrollView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        scrollView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        scrollView->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        column->topAnchor().constraintEqualTo(scrollView->topAnchor(), 16),
        column->leadingAnchor().constraintEqualTo(scrollView->leadingAnchor()),
        column->trailingAnchor().constraintEqualTo(scrollView->trailingAnchor()),
        column->bottomAnchor().constraintEqualTo(scrollView->bottomAnchor(), -16),
        column->widthAnchor().constraintEqualTo(scrollView->widthAnchor()),
    });
}

void PostDetailsViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    navigationItem()->setRightBarButtonItems({shareButton(), bookmarkButton(), commentButton()}, true);
    enableBarButtons();
    if (detailsData)
        populateDetails(detailsData);
    else if (postId)
        loadPost(*postId);
    followCardChanges();
}

void PostDetailsViewController::followCardChanges() {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto self = [weak] { return std::static_pointer_cast<PostDetailsViewController>(weak.lock()); };
    cardChanges_ = Announcements::listenForCardChanges(
        [self] {
            auto screen = self();
            return screen && screen->detailsData ? std::vector<FeedResponse::Card>{screen->detailsData}
                                                 : std::vector<FeedResponse::Card>{};
        },
        [self](bool changed) {
            auto screen = self();
            if (!screen || !changed) return;
            screen->updateBookmarkImage();
            screen->titleLabel->setText(screen->detailsData->cardTitle);
            screen->populateIconImage();
            if (const auto count = screen->detailsData->commentsCount)
                addOrUpdateBadge(*screen->commentButton(), static_cast<long>(*count),
                                 UIColorPalette::cwy_mountainMeadow());
        });
}

void PostDetailsViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    // The bar hidden for the video comes back with the screen.
    if (auto navigation = hiddenBarNavigation_.lock()) {
        navigation->setNavigationBarHidden(false, animated);
        hiddenBarNavigation_.reset();
    }
    if (detailsData && detailsData->cardType == CardType::dailyUpdateChange) {
        if (auto picture = BaseHTTPService::serverPictureURL(detailsData->imageURL)) {
            dailyUpdateImageView->setHidden(false);
            setImageWithURL(*dailyUpdateImageView, *picture);
        } else {
            dailyUpdateImageView->setHidden(true);
        }
        journeyLinkView->setHidden(false);
    } else {
        dailyUpdateImageView->setHidden(true);
        journeyLinkView->setHidden(true);
    }
}

void PostDetailsViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    sendEvent(kScreenName, "Loaded", kLoaded.dictionary());
}

void PostDetailsViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    NotificationCenter::defaultCenter().removeObserver(this);
}

void PostDetailsViewController::sendEvent(const std::string& screen, const std::string& action,
                                          const JSON::dictionary_t& details) {
    AnalyticsService().send(screen, action, details);
}

// --- Loading -------------------------------------------------------------------------------------

void PostDetailsViewController::loadPost(std::int64_t id) {
    showActivityOverlay(*this, true);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    // Exactly one of the two runs; each takes the overlay away, whatever the answer was.
    PostService().getPost(
        id,
        [weak](const JSON& reply) {
            auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock());
            if (!self) return;
            self->handlePostResponse(reply);
            hideActivityOverlay(*self, true);
        },
        [weak](const RequestError& error) {
            auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock());
            if (!self) return;
            // Refused by the server: not hers to see, or gone. Asking again would not show it.
            if (error.kind() == RequestError::Kind::erroResponse)
                self->showUnavailable();
            else
                showMessage(*self, kLoadErrorMessage, GSMessageType::error);
            hideActivityOverlay(*self, true);
        });
}

void PostDetailsViewController::showUnavailable() {
    scrollView->setHidden(true);
    unavailableLabel->setHidden(false);
}

void PostDetailsViewController::enableBarButtons() {
    for (const auto& item : {shareButton(), bookmarkButton(), commentButton()})
        item->setEnabled(detailsData != nullptr);
}

void PostDetailsViewController::handlePostResponse(const JSON& reply) {
    const JSON data = reply["data"];
    const auto posts = data["posts"].asArray();
    if (data.asDictionary() && posts && !posts->empty() && posts->front().asDictionary())
        detailsData = FeedResponse::fromPostDictionary(posts->front(), data["users"]);
    // A reply that names no post it can show is the server having none for her.
    if (detailsData)
        populateDetails(detailsData);
    else
        showUnavailable();
}

void PostDetailsViewController::populateDetails(const FeedResponse::Card& card) {
    enableBarButtons();
    populateImages(card);
    fetchCommentCount(card);
    populateTexts(card);
    updateBookmarkImage();
    populateIconImage();
}

void PostDetailsViewController::updateBookmarkImage() {
    bookmarkButton()->setImage(UIImage::named(detailsData && detailsData->bookmarked ? kBookmarkedImage : kBookmarkImage));
}

std::optional<std::vector<URL>> PostDetailsViewController::cardImageURLs(const FeedResponse& card) {
    if (card.cardMediaType != MediaType::png && card.cardMediaType != MediaType::jpeg) return std::nullopt;
    std::vector<URL> urls;
    for (const auto& path : card.cardMedia)
        if (auto url = BaseHTTPService::imageURL(path)) urls.push_back(*url);
    return urls;
}

void PostDetailsViewController::populateImages(const FeedResponse::Card& card) {
    imageURLs = cardImageURLs(*card);
    if (!imageURLs) return;
    // The column shows as many as a card does; the gallery opened from them pages through all.
    const std::size_t shown = std::min(imageURLs->size(), FeedResponse::kShownPicturesLimit);
    for (std::size_t i = 0; i < shown; ++i)
        imageViewStackView->addArrangedSubview(makeGalleryImageView(static_cast<int>(i), (*imageURLs)[i]));
}

std::shared_ptr<UIImageView> PostDetailsViewController::makeGalleryImageView(int index, const URL& url) {
    auto imageView = std::make_shared<UIImageView>();
    imageView->setContentMode(UIViewContentMode::scaleAspectFill);
    imageView->setClipsToBounds(true);
    kf(*imageView).setImage(url);
    imageView->setTranslatesAutoresizingMaskIntoConstraints(false);
    imageView->heightAnchor().constraintEqualToConstant(kGalleryImageHeight)->setActive(true);
    imageView->setTag(index);
    imageView->setUserInteractionEnabled(true);
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(this, &PostDetailsViewController::onGalleryImageTap);
    imageView->addGestureRecognizer(tap);
    return imageView;
}

void PostDetailsViewController::populateTexts(const FeedResponse::Card& card) {
    titleLabel->setText(card->cardTitle);
    dateLabel->setText(card->dateText());
    const auto description = card->computeAttributedDescription();
    textLabel->setAttributedText(description ? std::optional<NSAttributedString>(*description) : std::nullopt);
}

void PostDetailsViewController::populateIconImage() {
    if (detailsData && detailsData->contextImageURL)
        updateImageWith(*iconImageView, *detailsData->contextImageURL);
    else
        iconImageView->setImage(UIImage::named(kDefaultIcon));
}

void PostDetailsViewController::fetchCommentCount(const FeedResponse::Card& card) {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    const auto id = card->cardId;
    const bool education = card->cardType == CardType::educationContent;
    CommentService().getComments(id, std::nullopt, [weak, id, education](const JSON& reply) {
        auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock());
        if (!self) return;
        self->updateCommentBadge(reply);
        auto details = kCommentFetchSuccess.dictionary();
        details[education ? "educationContentID" : "postID"] = id ? JSON(*id) : JSON();
        self->sendEvent(kScreenName, "ServerRequest", details);
    });
}

void PostDetailsViewController::updateCommentBadge(const JSON& reply) {
    const auto comments = reply["data"]["comments"].asArray();
    if (!reply["data"].asDictionary() || !comments) return;
    for (const auto& c : *comments)
        if (!c.asDictionary()) return;
    addOrUpdateBadge(*commentButton(), static_cast<long>(comments->size()), UIColorPalette::cwy_mountainMeadow());
}

// --- Actions -------------------------------------------------------------------------------------

void PostDetailsViewController::bookmarkAction() {
    if (detailsData && detailsData->cardId) bookmarkPost(*detailsData->cardId, detailsData->bookmarked);
    AnalyticsService().send(screenName(), ScreenAction::Tap, kBookmarkTapped.dictionary());
}

void PostDetailsViewController::bookmarkPost(std::int64_t id, bool bookmarked) {
    auto tapped = kBookmarkPostTapped.dictionary();
    tapped["postID"] = JSON(id);
    sendEvent(kScreenName, "Tap", tapped);
    UIApplication::shared().setNetworkActivityIndicatorVisible(true);
    std::weak_ptr<UIViewController> weak = weak_from_this();
    auto strong = shared_from_this();
    ContentService().bookmark(
        id, "post_id", bookmarked,
        [weak, id, bookmarked](const BookmarkResponse& response) {
            UIApplication::shared().setNetworkActivityIndicatorVisible(false);
            if (!response.postID) return;
            auto self = std::static_pointer_cast<PostDetailsViewController>(weak.lock());
            if (self && self->detailsData) self->detailsData->bookmarked = !bookmarked;
            if (self) self->updateBookmarkImage();
            auto details = kBookmarkSuccess.dictionary();
            details["postID"] = JSON(id);
            details["bookmarkStatus"] = JSON(!bookmarked);
            AnalyticsService().send(kScreenName, "ServerRequest", details);
        },
        [strong, id, bookmarked](const BaseHTTPService::Task&, const NSError&) {
            UIApplication::shared().setNetworkActivityIndicatorVisible(false);
            showMessage(*strong, kBookmarkErrorMessage, GSMessageType::error);
            auto details = kBookmarkFailure.dictionary();
            details["postID"] = JSON(id);
            details["bookmarkStatus"] = JSON(!bookmarked);
            AnalyticsService().send(kScreenName, "ServerRequest", details);
        });
}

void PostDetailsViewController::shareCard() {
    ::shareCard(*this, detailsData);
}

void PostDetailsViewController::commentButtonTapped() {
    showComments();
    auto details = kCommentViewTapped.dictionary();
    if (detailsData && detailsData->cardId) details["postID"] = JSON(*detailsData->cardId);
    if (detailsData && detailsData->cardType) details["cardType"] = JSON(std::string(rawValue(*detailsData->cardType)));
    AnalyticsService().send(screenName(), ScreenAction::Tap, details);
}

void PostDetailsViewController::showComments() {
    // Without a card the list would have no post to ask for: the button takes no tap then.
    if (!detailsData || !detailsData->cardId) return;
    auto comments = std::make_shared<CommentTableViewController>();
    comments->cardId = detailsData->cardId;
    comments->cardType = detailsData->cardType;
    if (navigationController()) show(comments, nullptr);
}

void PostDetailsViewController::onGalleryImageTap(UIGestureRecognizer* recognizer) {
    UIView* view = recognizer ? recognizer->view() : nullptr;
    if (!view) return;
    auto source = std::static_pointer_cast<PostDetailsViewController>(shared_from_this());
    auto gallery = std::make_shared<GalleryViewController>(
        static_cast<int>(view->tag()), cw::DelegateRef<GalleryItemsDataSource>(source),
        GalleryConfiguration{GalleryConfigurationItem::closeButtonMode(ButtonMode::builtIn),
                             GalleryConfigurationItem::overlayColor(UIColor::blackColor())});
    presentImageGallery(*this, gallery);
}

int PostDetailsViewController::itemCount() {
    return imageURLs ? static_cast<int>(imageURLs->size()) : 0;
}

GalleryItem PostDetailsViewController::provideGalleryItem(int index) {
    std::optional<URL> url;
    if (imageURLs && index >= 0 && index < static_cast<int>(imageURLs->size())) url = (*imageURLs)[index];
    return GalleryItem::image([url](std::function<void(std::shared_ptr<UIImage>)> completion) {
        if (!url) {
            completion(nullptr);
            return;
        }
        KingfisherManager::shared().retrieveImage(
            *url, [completion](std::shared_ptr<UIImage> image, const std::optional<NSError>&, CacheType,
                               const std::optional<URL>&) { completion(std::move(image)); });
    });
}

// --- The video -----------------------------------------------------------------------------------

void PostDetailsViewController::handleTap() {
    playVideo();
}

void PostDetailsViewController::playVideo() {
    auto player = std::make_shared<XCDYouTubeVideoPlayerViewController>(kVideoIdentifier);
    auto self = std::static_pointer_cast<PostDetailsViewController>(shared_from_this());
    std::weak_ptr<PostDetailsViewController> weak = self;
    NotificationCenter::defaultCenter().addObserver(
        self, MPMoviePlayerPlaybackDidFinishNotification,
        [weak](const Notification& notification) {
            if (auto screen = weak.lock()) screen->moviePlayerPlaybackDidFinish(notification);
        },
        player->moviePlayer().get());
    auto window = UIApplication::shared().keyWindow();
    auto navigation = window ? std::dynamic_pointer_cast<UINavigationController>(window->rootViewController()) : nullptr;
    if (!navigation) return;
    navigation->setNavigationBarHidden(true);
    hiddenBarNavigation_ = navigation;
    presentMoviePlayerViewControllerAnimated(*navigation, player);
}

void PostDetailsViewController::moviePlayerPlaybackDidFinish(const Notification& notification) {
    NotificationCenter::defaultCenter().removeObserver(this, MPMoviePlayerPlaybackDidFinishNotification,
                                                       notification.object);
    if (auto reason = notification.value<long>(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey))
        std::cout << *reason << std::endl;
}
