#pragma once

// The Search tab of the education library: a search bar over a list of results. One second after
// the member's last edit, and only for a text of three characters or more (characters as a person
// counts them), the server's search is asked and its reply replaces the list, whatever the text
// is by then (the last reply wins). A row opens the item's content page; its buttons bookmark and
// share the item. An opener may give a query to run when the view loads (`initialQuery`).

#include "Controllers/Education/EducationFeedViewCell.h"
#include "Services/Announcements.h"
#include "Services/SearchResult.h"
#include "foundation/dispatch/Timer.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UISearchBar.h"
#include "uikit/controls/UITableView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class EducationCenterSearchViewController : public UIViewController,
                                            public UISearchBarDelegate,
                                            public UITableViewDataSource,
                                            public UITableViewDelegate,
                                            public EducationFeedViewCellDelegate {
public:
    static constexpr const char* kScreenName = "EducationContentSearchViewScreen";
    static constexpr const char* kSearchFailure = "Unexpected Error. Please try again.";
    static constexpr const char* kBookmarkFailure = "Unexpected error. Please try again.";
    static constexpr const char* kPlaceholder = "Search";
    static constexpr double kSearchDelay = 1.0;
    static constexpr std::size_t kMinimumCharacters = 3;

    EducationCenterSearchViewController() = default;
    std::string className() const override { return "EducationCenterSearchViewController"; }

    std::shared_ptr<Timer> searchTimer;
    std::vector<std::shared_ptr<SearchResult>> searchResults;
    // Read once, when the view loads.
    std::optional<std::string> initialQuery;

    // Made on first use.
    const std::shared_ptr<UITableView>& tableView();
    const std::shared_ptr<UISearchBar>& searchBar();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void search(const std::string& text);
    void searchWithTimer(Timer& timer);
    void clearSearch();
    void cancelSearch();

    // Search bar.
    void textDidChange(UISearchBar* searchBar, const std::string& searchText) override;
    void searchBarCancelButtonClicked(UISearchBar* searchBar) override;
    // The keyboard's Search key: a search still waiting for the pause after the last keystroke
    // goes now, and the keys go down from over the results.
    void searchBarSearchButtonClicked(UISearchBar* searchBar) override;

    // Table.
    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // Rows.
    void bookmarkContentTapped(EducationFeedViewCell& cell) override;
    void shareTapped(EducationFeedViewCell& cell) override;

    static const std::string& cellIdentifier();

private:
    std::shared_ptr<SearchResult> resultOf(const UITableViewCell& cell);

    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UISearchBar> searchBar_;
    // A bookmark changed on another screen shows on the hit's star as it is announced.
    Announcements::Subscription bookmarkChanges_;
};
