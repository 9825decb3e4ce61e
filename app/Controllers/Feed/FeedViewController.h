#pragma once

// The feed screen (scene "FeedViewController" of the storyboard "Feed"), the centre of the main
// drawer: the member's cards newest first, each day's cards followed by that day's separator, under
// a paging header of the babies' photos with a title bar, a search bar, a filter button, a floating
// menu and the menu button that opens the side drawer.
//
// Lists: `responseData` holds the cards of the last delivered fetch (shared with the feed store's
// cache), `filteredData` those the saved filter keeps with the day separators, `searchedData` the
// result of a search (searched again whenever `filteredData` is rebuilt); the table shows
// `currentFeedData`. Every refresh is checkForContent followed by
// the store's fetch with the content and failure handlers; a failed fetch changes no list and shows
// nothing but stopped indicators.
//
// The header pages between the stored babies (the baby on screen becomes the selected baby) and
// its title bar shows that baby's name on its colour. Scrolling the feed up fades the title bar in;
// pulling it down darkens and stretches the header, fades the controls out and, let go 50 points
// down, refreshes.
//
// Around the cards: yes/no questions the server has pending for the member, asked one alert at a
// time and answered back in one request; a red dot on the menu button while recommended content
// waits; a search of the loaded cards, with a row that carries the search on to the education
// library; the cards' bookmark stars and comment links; and a floating menu to write a post, call
// the hospital or send feedback by mail.
//
// The shell makes a new screen for each session; should one still appear for another member than
// the one whose cards it holds, it drops them at once and fetches the new member's.
//
// Everything runs on the main thread. The question check and the recommended-content check two
// seconds after loading are queued on a background queue, as the platform's screen does, and come
// back to the main queue before they read the session or send anything.

#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FilterViewController.h"
#include "Controllers/Feed/HamburgerDelegate.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "KYFloatingActionButton/KYButton.h"
#include "Models/BabyData.h"
#include "Models/FeedResponse.h"
#include "Services/AnalyticsService.h"
#include "Services/Announcements.h"
#include "foundation/dispatch/Timer.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/controls/UISearchBar.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UILayoutGuide.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class NSCoder;

// What the comment screen does on arrival.
namespace SegueInstructions {
struct scrollTo {
    long index;
};
struct none {};
struct writeAComment {};
} // namespace SegueInstructions
using SegueInstruction =
    std::variant<SegueInstructions::scrollTo, SegueInstructions::none, SegueInstructions::writeAComment>;

class FeedViewController : public UIViewController,
                           public StoryboardIdentifiable<FeedViewController>,
                           public UITableViewDataSource,
                           public UITableViewDelegate,
                           public UISearchBarDelegate,
                           public FeedTableViewCellDelegate,
                           public FilterViewDelegate,
                           public CommentTableViewControllerDelegate,
                           public PostViewControllerDelegate,
                           public KYButtonDelegate,
                           public MFMailComposeViewControllerDelegate {
public:
    // --- Fixed texts ---
    static constexpr const char* screenName = "FeedViewScreen";
    static constexpr const char* noBabyTitle = "Coming Soon!";
    static constexpr const char* searchResultsSubtitle =
        "Tap here to see additional search results at Brambury Education Center.";
    static constexpr CGFloat pullToRefreshDistance = 50.0;
    // Questions.
    static constexpr const char* questionAlertTitle = "Question";
    static constexpr const char* thankYouTitle = "Thank You";
    static constexpr const char* questionSendFailure = "Unexpected error. We'll ask again soon.";
    // The user-defaults key that a send of answers removes.
    static constexpr const char* questionDefaultsKey = "question";
    // The red dot's accessibility identifier.
    static constexpr const char* redDotIdentifier = "redDotView";
    // The fewest user-perceived characters a feed search runs with.
    static constexpr std::size_t minimumSearchLength = 3;
    static constexpr const char* bookmarkFailure = "Unexpected error. Please try again.";
    static constexpr const char* feedFailure = "Unexpected error. Please try again.";
    // The floating menu and the feedback mail.
    static constexpr const char* hospitalPhoneURL = "tel://5550100";
    static constexpr const char* feedbackAddress = "feedback@cradleway.test";
    static constexpr const char* feedbackSubject = "Feedback for CRADLEWAY app";
    static constexpr const char* feedbackBody =
        "Please share your comments if you have suggestions to improve our app or the education content";
    static constexpr const char* feedbackWithoutMail = "Please send feedback directly to";

    FeedViewController();
    explicit FeedViewController(NSCoder&) : FeedViewController() {}
    ~FeedViewController() override;

    std::weak_ptr<HamburgerDelegate> delegate;
    SegueInstruction segueInstruction = SegueInstructions::none{};
    const std::string showFeedDetailSegueId = "showFeedDetail";
    const std::string showCommentVCSegueId = "showCommentVCSegueId";
    const std::string showPostDetailsVCSegueId = "showPostDetailsVC";
    const std::string feedTableViewCellID = "FeedTableViewCell";
    bool didComeFromPostDetails = false;
    std::vector<FeedResponse::Card> responseData;
    std::vector<FeedResponse::Card> filteredData;
    std::optional<std::vector<FeedResponse::Card>> searchedData;
    std::shared_ptr<Timer> searchTimer;
    bool moveThePostToTop = false;
    bool checkingForRecommendedContent = false;
    std::map<std::string, std::vector<JSON>> questions;
    std::map<std::string, std::vector<JSON>> questionsResponse;
    std::vector<std::shared_ptr<UIImageView>> headerImageViews;
    std::shared_ptr<UIView> babyHeaderView;

    // --- Views of the scene ---
    std::shared_ptr<UITableView> tableView;
    std::shared_ptr<UISearchBar> searchBar;
    std::shared_ptr<UIButton> filterButton;
    std::shared_ptr<KYButton> floatingActionButton;
    std::shared_ptr<UIActivityIndicatorView> pullRefreshIndicator;
    std::weak_ptr<UIActivityIndicatorView> feedActivityIndicator;
    std::weak_ptr<UIButton> hamburgerButton;
    std::weak_ptr<UIView> titleBarContainer;
    std::shared_ptr<UIView> titleBarBackgroundView;
    std::shared_ptr<UILabel> titleLabel;
    std::shared_ptr<UIView> babyHeaderOverlayView;
    std::shared_ptr<UIPageControl> babyHeaderPageControl;
    std::shared_ptr<UIScrollView> babyHeaderScrollView;
    std::weak_ptr<NSLayoutConstraint> babyHeaderHeightConstraint;
    std::weak_ptr<NSLayoutConstraint> babyHeaderTopConstraint;
    std::weak_ptr<NSLayoutConstraint> activityIndicatorCenterYConstraint;
    // The control that leads to the NICU journey (the storyboard's unnamed segue).
    std::shared_ptr<UIButton> journeyButton;

    // --- Computed ---
    // `searchedData` while the search bar holds text and a search result is held, else `filteredData`.
    const std::vector<FeedResponse::Card>& currentFeedData() const;
    bool isSearchActive() const;
    std::vector<std::shared_ptr<BabyData>> babies() const;
    CGFloat topInset() const;
    UIStatusBarStyle preferredStatusBarStyle() const override { return UIStatusBarStyle::lightContent; }

    // --- Life cycle ---
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;

    // --- Loading ---
    void checkForContent();
    // checkForContent, then the store's fetch with the two handlers (joining one on its way unless
    // the cards must be read from now on).
    void fetchContent(FeedDataStore::Freshness freshness = FeedDataStore::Freshness::onItsWay);
    void feedLoaded(const std::vector<FeedResponse::Card>& cards);
    void feedFailed(const NSError& error);
    // Rebuilds `filteredData` from `responseData` and the saved filter; a held search result is
    // searched again in the new list.
    void filterResponseData();
    void addTimeTag();

    // --- Observers ---
    void applicationWillEnterForeground();
    void applicationDidEnterBackground();
    void applicationWillTerminate();

    // --- Actions ---
    void tappedHamburger(UIButton* sender);
    // Opens the journey pages of the babies.
    void didTapJourney();
    // A rounded rectangle of radius 5 filled with the colour, at the screen's scale.
    static std::shared_ptr<UIImage> searchBarImageWithColor(const UIColor& color, CGSize size);

    // --- Baby header and title bar ---
    void setupBabyHeader();
    void setupBabyHeaderNoBaby();
    void clearHeaderImageViews();
    void addBabiesToHeader(const std::vector<std::shared_ptr<BabyData>>& babies);
    // Makes the pictures of the pages the header's offset can bring into sight and lets go of
    // those far from it; `headerImageViews` holds the made ones in page order.
    void fillHeaderPages();
    // Puts the made pictures a screen's width apart once the width is known or changes.
    void placeHeaderPages();
    void tableViewDidScroll(UIScrollView* scrollView);
    void scrollViewDidScroll(UIScrollView* scrollView) override;
    void scrollViewDidEndDecelerating(UIScrollView* scrollView) override;
    void scrollViewWillBeginDecelerating(UIScrollView* scrollView) override;

    // --- Table ---
    long numberOfSections(UITableView*) override;
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return UITableViewAutomaticDimension; }
    std::optional<IndexPath> willSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // --- In-feed questions ---
    // Asks the server for pending questions (queued; the reply starts the alerts).
    void checkForQuestion();
    // Asks the next question (groups in ascending order of their keys, the highest "q_id" of a group
    // first), or, with none left, sends the answers collected.
    void presentQuestion();
    void showQuestionAlert(JSON question, const std::string& key);
    void addQuestionResponse(const JSON& question, const std::string& key);
    // Sends the answers collected so far; they leave `questionsResponse` as the send starts, so that
    // answers given while it runs wait for the next send. A failed send drops the answers it carried.
    void sendQuestionAnswer();

    // --- Review prompt ---
    // Asks whether a baby went home; any baby that did leads to requestReview.
    void checkShouldPromptReview();
    // Shows nothing on this system; counted, so that what leads to it can be seen.
    void requestReview();
    std::size_t reviewRequests = 0;

    // --- Recommended content ---
    // Hides the dot and asks the server whether it is to show (main thread; nothing without a member).
    void checkForRecommendedContent();
    void showRedDot(const JSON& reply);
    void updateRedDot(bool hidden);
    // The dot over the menu button's top right corner, made hidden on first use.
    const std::shared_ptr<UIView>& redDot();

    // --- Search ---
    void textDidChange(UISearchBar* searchBar, const std::string& searchText) override;
    void searchBarTextDidBeginEditing(UISearchBar* searchBar) override;
    void searchBarTextDidEndEditing(UISearchBar* searchBar) override;
    // The keyboard's Search key puts the keys away from over the matches (found as she typed).
    void searchBarSearchButtonClicked(UISearchBar* searchBar) override;
    // The pending search's timer fired: searches `filteredData` for its text (three characters or
    // more) and shows the result.
    void searchFeed(Timer& timer);
    void clearSearch();
    // Opens the education library on its search tab with the bar's text.
    void searchEducationCenter();
    // The cards of `cards`, in order, whose title, description, description title and description
    // text, joined by spaces, contain `text` with letter case ignored (in the device's locale).
    static std::vector<FeedResponse::Card> cardsMatching(const std::vector<FeedResponse::Card>& cards,
                                                         const std::string& text);

    // --- Card actions ---
    void handleMenuTap(const IndexPath& indexPath) override;
    void handleWriteACommentViewTap(const IndexPath& indexPath) override;
    void handleCommentViewTap(const IndexPath& indexPath, long commentIndex) override;
    // Toggles the bookmark of a feed card (or of a member's post) whose state is `bookmarked` now: the
    // cached card flips at once, the reply confirms it and redraws the feed; a failure puts the card
    // back and says so. Nothing happens with nobody signed in. The star of a post or a daily update
    // goes by its post id: the server numbers them apart from the education items.
    void bookmarkWithFeedId(std::int64_t feedId, bool bookmarked);
    void bookmarkWithPostId(std::int64_t postId, bool bookmarked);

    // --- Floating menu and hand-offs ---
    // The floating menu's items: "POST", "CALL" and "FEEDBACK".
    void addFloatingMenuItems();
    void openKYButton(KYButton& button) override;
    void presentPostViewController();
    // Opens the hospital's number when the device can call.
    void callHospital();
    // The feedback mail, then its usage event.
    void sendFeedback();
    // The mail composer, or where the device has no mail, an alert with the address.
    void openEmailForFeedback();
    void didFinishWith(MFMailComposeViewController& controller, MFMailComposeResult result,
                       const std::optional<NSError>& error) override;
    void presentFilterViewController(UIButton* sender);
    void filterModalCancelled();
    // The filter screen's report.
    void applyFilterToView() override;
    // A post was created: the feed reloads and goes to its top.
    void succesfullyPosted() override;
    // A comment was posted on a card opened from here: the feed reloads.
    void handleNewComment() override;

private:
    void buildScene();
    void setUpOutlets();
    // The header follows the baby at `page` of the stored list; false (nothing changed) when there is
    // no such baby.
    bool showBabyAtPage(long page);
    std::shared_ptr<FeedViewController> sharedSelf();
    std::weak_ptr<FeedViewController> weakSelf();
    // A usage event of this screen, sent from the background queue.
    void sendEvent(const std::string& action, const JSON::dictionary_t& details);
    // The same, started on the calling (main) thread.
    void sendEventNow(ScreenAction action, const JSON::dictionary_t& details);
    // The question check's main-thread part: the member, the event and the request.
    void startQuestionCheck();
    // What the two bookmark operations share; a post's differs in its key, its texts and the id of
    // the reply that confirms it.
    void bookmark(std::int64_t id, bool bookmarked, bool isPost);
    // Redraws the row of the shown card, if it is shown.
    void reloadRowOf(const FeedResponse::Card& card);
    // What another screen changed of the cards (a bookmark, a read, comments, the member's own name
    // and picture) is written into them as it is announced, and the lists are drawn again.
    void followCardChanges();

    // Whose cards the lists hold (none before the first delivery).
    std::optional<std::int64_t> listMember_;
    // The text `searchedData` holds the matches of, while it holds a result.
    std::string searchedText_;
    // The header's picture area: half as high as the screen is wide.
    std::shared_ptr<UILayoutGuide> babyHeaderPhotoArea_;
    // The babies the header pages through, as it was last set up.
    std::vector<std::shared_ptr<BabyData>> headerBabies_;
    // An empty view as wide as every page together: the header's content width.
    std::shared_ptr<UIView> headerStrip_;
    struct HeaderPicture {
        std::shared_ptr<UIImageView> picture;
        NSLayoutConstraintPtr leading;
    };
    // The pictures made, by page.
    std::map<long, HeaderPicture> headerPictures_;
    std::shared_ptr<UIView> redDot_;
    std::vector<Announcements::Subscription> cardChanges_;
};
