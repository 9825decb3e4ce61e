#pragma once

// The daily update of one baby (scene "DailyUpdateViewController" of the storyboard "DailyUpdate"),
// one page of the "Update" pager, which sets its `baby` before the view loads.
//
// It asks the server once for the baby's daily updates and shows the last entry of the list (the
// server lists them oldest first), the header with the baby's ages, and one row per item. Each row's
// disclosure button opens the item's explanation in a small popover; the calendar item of the
// navigation bar opens a month calendar of the days that hold an entry, and picking a day shows that
// day's entry; the charts control of the header opens the measurement charts. A failed fetch shows
// the banner "Could not fetch daily updates" and an empty table.
//
// The same file holds the text-measuring helpers the item popover sizes itself with, and
// `DailyUpdateTableViewController`. Main thread only.

#include "Controllers/Baby/CalendarPopoverViewController.h"
#include "Controllers/Baby/Header/BabyHeaderView.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Services/Announcements.h"
#include "Models/BabyData.h"
#include "Models/DailyUpdateData.h"
#include "uikit/controllers/UIPopoverPresentationController.h"
#include "uikit/controllers/UITableViewController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/UIActivityIndicatorView.h"

#include <memory>
#include <optional>
#include <string>

class DailyUpdateViewController : public UIViewController,
                                  public UIPopoverPresentationControllerDelegate,
                                  public UITableViewDataSource,
                                  public CalendarViewControllerDelegate,
                                  public StoryboardIdentifiable<DailyUpdateViewController> {
public:
    static constexpr const char* kTitle = "Daily Update";
    static constexpr const char* kScreenName = "DailyUpdate";
    static constexpr const char* kFetchFailed = "Could not fetch daily updates";
    static constexpr const char* kCalendarTapped = "DailyUpdateCalendarTapped";
    static constexpr const char* kCalendarTappedText = "User tapped on daily update calendar";
    static constexpr const char* kGraphsTapped = "DailyUpdateGraphsTapped";
    static constexpr const char* kGraphsTappedText = "User tapped on daily update graphs";
    static constexpr const char* kItemTapped = "DailyUpdateItemTapped";
    static constexpr const char* kItemTappedText = "User tapped a daily update item";
    static constexpr const char* kUpdatedAtPrefix = "Updated At ";
    // The segue of the charts control.
    static constexpr const char* kMeasurementsSegue = "showMeasurements";
    static constexpr CGFloat kItemPopoverWidth = 300;
    static constexpr CGSize kCalendarPopoverSize{320, 340};

    DailyUpdateViewController();

    std::shared_ptr<BabyData> baby;
    // The entry on display: one of the last reply's, which keeps it (its texts may be megabytes).
    const DailyUpdate* dailyUpdate = nullptr;
    // The last reply received.
    std::optional<DailyUpdateResponse> dailyUpdateResponse;

    // The scene's outlets.
    std::shared_ptr<UIActivityIndicatorView> activityIndicator;
    std::shared_ptr<UITableView> tableView;
    std::shared_ptr<UIImageView> babyImageView;
    std::shared_ptr<UILabel> babyNameLabel;
    std::shared_ptr<UILabel> gestationAgeWeeksLabel;
    std::shared_ptr<UILabel> gestationAgeDaysLabel;
    std::shared_ptr<UILabel> daysOfLifeWeeksLabel;
    std::shared_ptr<UILabel> daysOfLifeDaysLabel;
    std::shared_ptr<UILabel> babyAdjustedAgeWeeksLabel;
    std::shared_ptr<UILabel> babyAdjustedAgeDaysLabel;
    std::shared_ptr<UILabel> updateTimeLabel;
    std::shared_ptr<UIView> updateTimeView;
    // The rest of the scene: the header that holds the outlets above, the calendar item of the
    // navigation bar and the charts control.
    std::shared_ptr<BabyHeaderView> headerView;
    std::shared_ptr<UIBarButtonItem> calendarButton;
    std::shared_ptr<UIButton> chartsButton;

    void loadView() override;
    void viewDidLoad() override;
    void fetchDailyUpdate();
    // Keeps the reply, shows its last entry (when it has one) and fills the header.
    void showResponse(DailyUpdateResponse response);
    // Makes `update`, one of the kept reply's entries, the entry on display; the update line tells
    // its time.
    void showDailyUpdate(const DailyUpdate& update);

    long numberOfRowsInSection(UITableView* tableView, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // The item of the button's row: its usage event, then its explanation in a popover (when it has one).
    void didTapDetailDisclosure(UIButton* sender);
    // The calendar of the reply's days in a popover at the bar item (once a reply is there).
    void presentCalendar(UIBarButtonItem& sender);
    // Closes the calendar and shows the last entry of the picked day.
    void calendarViewController(CalendarPopoverViewController& calendar, const Date& didSelectDay) override;
    // Hands the baby to the measurement charts.
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;
    // Both popovers stay popovers on the phone.
    std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController&) override;

private:
    // The baby's name and picture in the header; they follow a save of the baby.
    void showBaby();
    // "baby_id": the baby's id, or "N/A".
    JSON babyIdDetail() const;
    void sendEvent(const char* key, const char* text, JSON::dictionary_t details) const;
    void finishLoading();
    // The charts control: the segue to the measurement charts.
    void chartsTapped();

    Announcements::Subscription babySaved_;
};

// A table screen with the entry it would show; no screen makes one.
class DailyUpdateTableViewController : public UITableViewController {
public:
    using UITableViewController::UITableViewController;
    std::optional<DailyUpdate> dailyUpdate;
};

// Heights of text laid out in lines within a width and no limit of height: the bounding box of its
// lines, unrounded. `String.height(withWidth:font:)` and `NSAttributedString.height(withWidth:)`.
CGFloat heightWithWidth(const std::string& text, CGFloat width, const UIFont& font);
CGFloat heightWithWidth(const NSAttributedString& text, CGFloat width);
// A label's text in its font, and its styled text; 0 for a label without one.
CGFloat textHeightWithWidth(const UILabel& label, CGFloat width);
CGFloat attributedTextHeightWithWidth(const UILabel& label, CGFloat width);
