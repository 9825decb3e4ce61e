#pragma once

// The feed screen (scene "FeedViewController" of the storyboard "Feed"), the centre of the main
// drawer: the member's cards newest first, each day's cards followed by that day's separator, under
// a paging header of the babies' photos with a title bar, a search bar, a filter button, a floating
// menu and the menu button that opens the side drawer.
//
// Lists: `responseData` holds the cards of the last delivered fetch (shared with the feed store's
// cache), `filteredData` those the saved filter keeps with the day separators, `searchedData` the
// result of a search; the table shows `currentFeedData`. Every refresh is checkForContent followed by
// the store's fetch with the content and failure handlers; a failed fetch changes no list and shows
// nothing but stopped indicators.
//
// The header pages between the stored babies (the baby on screen becomes the selected baby) and
// its title bar shows that baby's name on its colour. Scrolling the feed up fades the title bar in;
// pulling it down darkens and stretches the header, fades the controls out and, let go 50 points
// down, refreshes.
//
// The screen outlives sessions: when it appears for another member than the one whose cards it
// holds, it drops them at once and fetches the new member's.
//
// Everything runs on the main thread, but for the delayed recommended-content check, which starts
// on a background queue.

#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FilterViewController.h"
#include "Controllers/Feed/HamburgerDelegate.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "KYFloatingActionButton/KYButton.h"
#include "Models/BabyData.h"
#include "Models/FeedResponse.h"
#include "foundation/dispatch/Timer.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/controls/UISearchBar.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UILayoutGuide.h"

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
                           public KYButtonDelegate {
public:
    // --- Fixed texts ---
    static constexpr const char* screenName = "FeedViewScreen";
    static constexpr const char* newQuestionsAvailableNotification = "cradleway.notification.newQuestionsAvailable";
    static constexpr const char* noBabyTitle = "Coming Soon!";
    static constexpr const char* searchResultsSubtitle =
        "Tap here to see additional search results at Brambury Education Center.";
    static constexpr CGFloat pullToRefreshDistance = 50.0;

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
    // checkForContent, then the store's fetch with the two handlers.
    void fetchContent();
    void feedLoaded(const std::vector<FeedResponse::Card>& cards);
    void feedFailed(const NSError& error);
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

    // --- Hooks the rest of the feed fills ---
    // In-feed questions.
    void checkForQuestion();
    // The review prompt after a discharge.
    void checkShouldPromptReview();
    void requestReview();
    // The red dot of recommended content.
    void checkForRecommendedContent();
    // The floating menu's items.
    void addFloatingMenuItems();
    // The search (the table already shows its summary row and result while the bar holds text).
    void textDidChange(UISearchBar* searchBar, const std::string& searchText) override;
    void searchBarTextDidBeginEditing(UISearchBar* searchBar) override;
    void searchBarTextDidEndEditing(UISearchBar* searchBar) override;
    void searchEducationCenter();
    // Card actions.
    void handleMenuTap(const IndexPath& indexPath) override;
    void handleWriteACommentViewTap(const IndexPath& indexPath) override;
    void handleCommentViewTap(const IndexPath& indexPath, long commentIndex) override;
    // The filter screen's report.
    void applyFilterToView() override;

    // A comment was posted on a card opened from here: the feed reloads.
    void handleNewComment() override;

private:
    void buildScene();
    void setUpOutlets();
    // The header follows the baby at `page` of the stored list; false (nothing changed) when there is
    // no such baby.
    bool showBabyAtPage(long page);
    // A usage event of this screen, sent from the background queue.
    void sendEvent(const std::string& action, const JSON::dictionary_t& details);

    // Whose cards the lists hold (none before the first delivery).
    std::optional<std::int64_t> listMember_;
    // The header's picture area: half as high as the screen is wide.
    std::shared_ptr<UILayoutGuide> babyHeaderPhotoArea_;
};
