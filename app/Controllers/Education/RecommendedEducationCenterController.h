#pragma once

// One page of the education library in titled, collapsible sections: the recommended content the
// hospital chose for the member, or (`showOnlyBookmarked`) the member's bookmarks. Each time it
// comes on screen it asks for its sections and the library's categories at once (the categories
// give the section headers their icons) and shows both when both have answered. A row opens the
// item's content page on the application's root navigation controller; a row's star opens a sheet
// to bookmark (or remove the bookmark of) the item, or share it. A bookmark changed on another
// screen shows on the item's star as it is announced.

#include "Models/EducationCategory.h"
#include "Models/RecommendedSection.h"
#include "Services/Announcements.h"
#include "uikit/controllers/UITableViewController.h"

#include <optional>
#include <string>
#include <vector>

class RecommendedFeedTableViewCell;

class RecommendedEducationCenterController : public UITableViewController {
public:
    static constexpr const char* kRecommendedScreen = "RecommendedEducationCenterScreen";
    static constexpr const char* kBookmarkedScreen = "BookmarkedEducationCenterScreen";
    static constexpr const char* kCategoriesScreen = "CategoriesEducationCenterScreen";
    static constexpr const char* kFeedScreen = "FeedViewScreen";
    static constexpr const char* kBookmarkTitle = "Bookmark";
    static constexpr const char* kRemoveBookmarkTitle = "Remove Bookmark";
    static constexpr const char* kShareTitle = "Share";
    static constexpr const char* kCancelTitle = "Cancel";
    static constexpr const char* kBookmarkFailure = "Unexpected error. Please try again.";
    static constexpr const char* kFetchFailure = "Unexpected error. Please try again.";
    static constexpr CGFloat kRowHeight = 82;

    // `init(showOnlyBookmarked:)`, the only way to make the screen.
    explicit RecommendedEducationCenterController(bool showOnlyBookmarked);
    std::string className() const override { return "RecommendedEducationCenterController"; }

    std::vector<RecommendedSection> sections;
    std::vector<EducationCategory> categories;
    std::vector<bool> sectionExpanded;
    const bool showOnlyBookmarked;
    const std::string screenName;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    long numberOfSections(UITableView* tableView) override;
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForHeaderInSection(UITableView* tableView, long section) override;
    CGFloat heightForFooterInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* tableView, long section) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // Both open the action sheet of the item at the index path.
    void bookmarkContentTapped(const IndexPath& indexPath);
    void handleMenuTapAt(const IndexPath& indexPath);

    // Takes the sections of a reply: the first open, the others as the page has them (all open on
    // the bookmarked page). The table shows them at its next reload.
    void sectionsReceived(std::vector<RecommendedSection> received);

    // The section toggle of a header's chevron.
    void toggleSection(long section, const std::shared_ptr<UIView>& header);

private:
    void load();
    FeedResponse* itemAt(const IndexPath& indexPath);
    void bookmark(const IndexPath& indexPath);
    void bookmark(const std::shared_ptr<FeedResponse>& item, const std::shared_ptr<RecommendedFeedTableViewCell>& cell);
    void share(const std::shared_ptr<FeedResponse>& item);
    std::shared_ptr<FeedResponse> sharedItemAt(const IndexPath& indexPath) const;

    Announcements::Subscription bookmarkChanges_;
};
