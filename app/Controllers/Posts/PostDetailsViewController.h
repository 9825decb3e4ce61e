#pragma once

// The details of a family post or a daily update (scene "PostDetailsViewController" of the
// storyboard "Feed"): the author's icon, the title, the date, the text, the post's pictures (each
// opens the full-screen gallery at its place) and, for a daily update, the picture of the day and a
// link area that plays the NICU video. Its bar carries share, bookmark and comments (with a badge
// of the comment count).
//
// Opened from the feed with the feed's own card in `detailsData` (a bookmark change is written into
// that card, so the feed shows it without a reload), or from a push with only `postId`, when the
// screen loads the post itself, under the loading overlay, once per view load; the overlay goes with
// the answer, whatever it is. With neither it shows an empty scene. Its bar's buttons take taps only
// while it shows a card: a post the server refuses her (not hers to see, or no longer there), or a
// reply that names none, says so on the page and leaves nothing to tap; a request that failed shows
// the load error's banner.
//
// Replies arrive on the main thread; the comment count and the bookmark hold the screen weakly (the
// bookmark's failure banner is still shown, on the screen that asked). What other screens change of
// the card (a bookmark, a comment, the author's name and picture) is shown as it is announced. Main
// thread only.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/FeedResponse.h"
#include "Services/Announcements.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/json/JSON.h"
#include "kits/gallery/GalleryViewController.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIScrollView.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSCoder;

class PostDetailsViewController : public UIViewController,
                                  public StoryboardIdentifiable<PostDetailsViewController>,
                                  public GalleryItemsDataSource {
public:
    static inline const std::string kScreenName = "PostDetailsViewScreen";
    static inline const std::string kDailyUpdateScreenName = "DailyUpdateDetailsViewScreen";
    static inline const std::string kLoadErrorMessage = "Unexpected Error. Please try again.";
    static inline const std::string kBookmarkErrorMessage = "Unexpected error. Please try again.";
    static inline const std::string kUnavailableMessage = "This post is no longer available.";
    // The video the daily update's link plays.
    static inline const std::string kVideoIdentifier = "cwDemoCpr01";
    static inline const std::string kJourneyLinkTitle = "Watch: Holding your baby in the NICU";
    static constexpr CGFloat kGalleryImageHeight = 220.0;

    PostDetailsViewController();
    explicit PostDetailsViewController(NSCoder&) : PostDetailsViewController() {}
    ~PostDetailsViewController() override;
    std::string className() const override { return "PostDetailsViewController"; }

    // --- Bar items, made on first use ---
    const std::shared_ptr<UIBarButtonItem>& bookmarkButton();
    const std::shared_ptr<UIBarButtonItem>& shareButton();
    const std::shared_ptr<UIBarButtonItem>& commentButton();

    // --- Outlets ---
    std::shared_ptr<UIImageView> iconImageView;
    std::shared_ptr<UIImageView> dailyUpdateImageView;
    std::shared_ptr<UILabel> titleLabel;
    std::shared_ptr<UILabel> dateLabel;
    std::shared_ptr<UILabel> textLabel;
    std::shared_ptr<UIStackView> imageViewStackView;
    std::shared_ptr<UIView> journeyLinkView;
    // The control in the link area that plays the video.
    std::shared_ptr<UIButton> journeyLinkButton;
    std::shared_ptr<UIScrollView> scrollView;
    // What the page says of a post it cannot show.
    std::shared_ptr<UILabel> unavailableLabel;

    FeedResponse::Card detailsData;
    std::optional<std::int64_t> postId;
    std::optional<std::vector<URL>> imageURLs;

    // "DailyUpdateDetailsViewScreen" for a daily update, else "PostDetailsViewScreen".
    std::string screenName() const;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // --- Actions ---
    void bookmarkAction();
    // The feed's share sheet for the card shown.
    void shareCard();
    void commentButtonTapped();
    void handleTap();
    void onGalleryImageTap(UIGestureRecognizer* recognizer);
    void moviePlayerPlaybackDidFinish(const Notification& notification);
    void populateIconImage();

    // --- Gallery data source ---
    int itemCount() override;
    GalleryItem provideGalleryItem(int index) override;

    // --- Steps ---
    void loadPost(std::int64_t id);
    void handlePostResponse(const JSON& reply);
    void populateDetails(const FeedResponse::Card& card);
    void populateImages(const FeedResponse::Card& card);
    void populateTexts(const FeedResponse::Card& card);
    void fetchCommentCount(const FeedResponse::Card& card);
    void updateCommentBadge(const JSON& reply);
    void bookmarkPost(std::int64_t id, bool bookmarked);
    void showComments();
    void playVideo();

    // The absolute addresses of a card's pictures: none unless its media are PNG or JPEG pictures;
    // a path that gives no address is skipped.
    static std::optional<std::vector<URL>> cardImageURLs(const FeedResponse& card);
    std::shared_ptr<UIImageView> makeGalleryImageView(int index, const URL& url);

private:
    // Listens for changes to the card shown (see the top of the file).
    void followCardChanges();
    std::shared_ptr<UIBarButtonItem> makeBarButtonItem(const std::string& imageName, void (PostDetailsViewController::*action)());
    void updateBookmarkImage();
    // The bar's buttons work on the card shown: without one they take no tap.
    void enableBarButtons();
    void showUnavailable();
    void sendEvent(const std::string& screen, const std::string& action, const JSON::dictionary_t& details);

    std::shared_ptr<UIBarButtonItem> bookmarkButton_;
    std::shared_ptr<UIBarButtonItem> shareButton_;
    std::shared_ptr<UIBarButtonItem> commentButton_;
    // The navigation bar this screen hid for the video, shown again when the screen comes back.
    std::weak_ptr<UINavigationController> hiddenBarNavigation_;
    std::vector<Announcements::Subscription> cardChanges_;
};
