#pragma once

// The care team of one baby (scene "CareTeamViewController" of the storyboard "CareTeam"), one page
// of the "Team" pager, which sets `baby` before the view loads: the baby's picture and name, the
// time the list was brought up to date ("Updated at 3:05PM, JAN 7, 2019, MON"), and a table with
// the team's name as its section header and one row per care giver. The list is asked for once,
// when the view loads; a failure shows "Could not fetch care team" over the empty table.
//
// Prototype row of the scene: "RightDetail" (title on the left, description on the right).

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Models/CareGiversResponse.h"
#include "Services/Announcements.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CareTeamViewController : public UIViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public StoryboardIdentifiable<CareTeamViewController> {
public:
    static constexpr const char* kFetchFailed = "Could not fetch care team";
    static constexpr const char* kCellIdentifier = "RightDetail";
    static constexpr CGFloat kHeaderHeight = 60;

    CareTeamViewController() = default;
    std::string className() const override { return "CareTeamViewController"; }

    // The scene: the baby's header, the update strip, the table and the spinner.
    void loadView() override;
    void viewDidLoad() override;

    std::shared_ptr<BabyData> baby;
    const std::vector<CareGiver>& careGivers() const { return careGivers_; }
    std::optional<std::string> careTeamName;
    // "h:mma, MMM d, yyyy, eee" in the device's locale and time zone, made on first use.
    DateFormatter& dateFormatter();
    void setDateFormatter(DateFormatter formatter) { dateFormatter_ = std::move(formatter); }

    // Outlets (held weakly; the view holds them).
    std::shared_ptr<UIActivityIndicatorView> activityIndicator() const { return activityIndicator_.lock(); }
    std::shared_ptr<UITableView> tableView() const { return tableView_.lock(); }
    std::shared_ptr<UIImageView> babyImageView() const { return babyImageView_.lock(); }
    std::shared_ptr<UILabel> babyNameLabel() const { return babyNameLabel_.lock(); }
    std::shared_ptr<UILabel> updateLabel() const { return updateLabel_.lock(); }
    std::shared_ptr<UIView> updateView() const { return updateView_.lock(); }

    long numberOfRowsInSection(UITableView*, long) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView*, long section) override;
    CGFloat heightForHeaderInSection(UITableView*, long) override { return kHeaderHeight; }
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return 56; }

private:
    // The baby's name and picture in the header; they follow a save of the baby.
    void showBaby();
    void fetchCareGivers();
    void showCareTeam(CareGiversResponse response);
    void showFailure();

    std::vector<CareGiver> careGivers_;
    std::optional<DateFormatter> dateFormatter_;
    std::weak_ptr<UIActivityIndicatorView> activityIndicator_;
    std::weak_ptr<UITableView> tableView_;
    std::weak_ptr<UIImageView> babyImageView_;
    std::weak_ptr<UILabel> babyNameLabel_;
    std::weak_ptr<UILabel> updateLabel_;
    std::weak_ptr<UIView> updateView_;
    Announcements::Subscription babySaved_;
};
