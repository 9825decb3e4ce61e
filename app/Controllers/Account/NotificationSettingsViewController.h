#pragma once

// The notification settings (scene "NotificationSettingsViewController" of the storyboard
// "Settings"): four switches under "Customize Notifications" (recommended content, posts, comments,
// daily updates) and, under "Quiet Time", the "Scheduled" switch with, while it is on, the "From"
// and "To" times; tapping a time opens a time picker row under it (one at a time). Every change is
// stored at once in the user defaults, reported, and sent to the server one second after the last
// change (a burst of changes makes one request). A pending save keeps the screen alive until it has
// gone out, so leaving right after a change still saves. A refused save shows "Could not update
// settings".
//
// Prototype rows of the scene: "ToggleCell" (ToggleCell), "RightDetail" (title and detail),
// "TimePicker" (DatePickerCell).

#include "Extensions/UIStoryboard+Instantiate.h"
#include "foundation/time/Date.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITableView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class NotificationSettingsViewController : public UIViewController,
                                           public UITableViewDataSource,
                                           public UITableViewDelegate,
                                           public StoryboardIdentifiable<NotificationSettingsViewController> {
public:
    static constexpr const char* kTitle = "Notifications";
    static constexpr const char* kScreenName = "NotificationSettingsScreen";
    static constexpr const char* kSaveFailed = "Could not update settings";
    // How long the screen waits after the last change before it saves.
    static constexpr double kSaveDelay = 1.0;

    enum class Section { notificationTypes, doNotDisturb };
    struct Row {
        enum class Toggle { recommendedContent, posts, comments, dailyUpdates, schedule };
        enum class RightDetail { from, to };
        enum class TimePicker { from, to };
        std::variant<Toggle, RightDetail, TimePicker> value;

        static Row toggle(Toggle t) { return {t}; }
        static Row rightDetail(RightDetail r) { return {r}; }
        static Row timePicker(TimePicker p) { return {p}; }
        bool operator==(const Row&) const = default;
    };

    NotificationSettingsViewController();
    std::string className() const override { return "NotificationSettingsViewController"; }

    // The scene: a grouped table with the three prototype rows.
    void loadView() override;
    void viewDidLoad() override;

    std::shared_ptr<UITableView> tableView() const { return tableView_.lock(); }
    const std::vector<Section>& sections() const { return sections_; }
    const std::vector<Row>& notificationTypeSection() const { return notificationTypeSection_; }
    const std::vector<Row>& doNotDisturbSection() const { return doNotDisturbSection_; }
    // "hh:mm a" in the device's locale, made on first use; replaceable.
    DateFormatter& timeFormatter();
    void setTimeFormatter(DateFormatter formatter) { timeFormatter_ = std::move(formatter); }

    // Rebuilds the quiet-time rows from the stored schedule flag (an open picker goes).
    void prepareView();
    void didChangeFromDate(UIDatePicker* picker);
    void didChangeToDate(UIDatePicker* picker);
    // The quiet-time event: {key: the time as the number HHmm}.
    void sendScheduleAnalyticsFor(const std::string& key, const Date& date);
    void reloadRow(Row::RightDetail row);
    // Sends the stored settings to the server.
    void _lazySaveSettings();
    void recommendedContentValueChanged(UISwitch* toggle);
    void postsValueChanged(UISwitch* toggle);
    void commentsValueChanged(UISwitch* toggle);
    void dailyUpdatesValueChanged(UISwitch* toggle);
    void scheduleValueChanged(UISwitch* toggle);

    long numberOfSections(UITableView*) override;
    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    std::optional<std::string> titleForHeaderInSection(UITableView*, long section) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath& indexPath) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

private:
    const std::vector<Row>& rows(long section) const;
    std::optional<Row> rowAt(const IndexPath& indexPath) const;
    // Debounces the save: a pending one is cancelled and another is asked for after kSaveDelay. The
    // save belongs to the session the change was made in: after a logout it sends nothing, whoever
    // has signed in since.
    void scheduleSave();
    void removePicker(Row::TimePicker picker);
    void insertPicker(Row::TimePicker picker, std::size_t position);
    void toggleChanged(Row::Toggle toggle, bool on);

    std::weak_ptr<UITableView> tableView_;
    std::uint64_t changedInSession_ = 0;
    std::vector<Section> sections_{Section::notificationTypes, Section::doNotDisturb};
    std::vector<Row> notificationTypeSection_;
    std::vector<Row> doNotDisturbSection_;
    std::optional<DateFormatter> timeFormatter_;
};
