#include "Controllers/Account/NotificationSettingsViewController.h"

#include "Extensions/UIFont+Avenir.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/MemberService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "Views/DatePickerCell.h"
#include "Views/ToggleCell.h"
#include "foundation/dispatch/DelayedPerform.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controls/UINib.h"

#include <algorithm>
#include <charconv>

namespace {

using NotificationSettings = NotificationSettingsViewController;
using Row = NotificationSettings::Row;

constexpr const char* kToggleIdentifier = "ToggleCell";
constexpr const char* kRightDetailIdentifier = "RightDetail";
constexpr const char* kTimePickerIdentifier = "TimePicker";
constexpr CGFloat kRowHeight = 58;
constexpr CGFloat kPickerHeight = 162;

// Each switch: its title, the stored setting it shows and changes, its action and its event key.
struct ToggleInfo {
    Row::Toggle toggle;
    const char* title;
    bool (*get)(const UserDefaults&);
    void (*set)(UserDefaults&, bool);
    void (NotificationSettings::*action)(UISwitch*);
    const char* eventKey;
};

const ToggleInfo kToggles[] = {
    {Row::Toggle::recommendedContent, "Recommended Content", recommendedContentNotifications,
     setRecommendedContentNotifications, &NotificationSettings::recommendedContentValueChanged, "recommendedContentSwitch"},
    {Row::Toggle::posts, "Posts", postNotifications, setPostNotifications, &NotificationSettings::postsValueChanged, "postsSwitch"},
    {Row::Toggle::comments, "Comments", commentNotifications, setCommentNotifications,
     &NotificationSettings::commentsValueChanged, "commentsSwitch"},
    {Row::Toggle::dailyUpdates, "Daily Updates", dailyUpdateNotifications, setDailyUpdateNotifications,
     &NotificationSettings::dailyUpdatesValueChanged, "dailyUpdatesSwitch"},
    {Row::Toggle::schedule, "Scheduled", notificationSchedule, setNotificationSchedule,
     &NotificationSettings::scheduleValueChanged, "scheduledSwitch"},
};

const ToggleInfo& info(Row::Toggle toggle) {
    for (const auto& t : kToggles)
        if (t.toggle == toggle) return t;
    return kToggles[0];
}

void sendTap(const JSON::dictionary_t& details) {
    AnalyticsService().send(NotificationSettings::kScreenName, ScreenAction::Tap, details);
}

UserDefaults& defaults() {
    return UserDefaults::standard();
}

} // namespace

NotificationSettingsViewController::NotificationSettingsViewController()
    : notificationTypeSection_{Row::toggle(Row::Toggle::recommendedContent), Row::toggle(Row::Toggle::posts),
                               Row::toggle(Row::Toggle::comments), Row::toggle(Row::Toggle::dailyUpdates)},
      doNotDisturbSection_{Row::toggle(Row::Toggle::schedule), Row::rightDetail(Row::RightDetail::from),
                           Row::rightDetail(Row::RightDetail::to)} {}

void NotificationSettingsViewController::loadView() {
    auto table = std::make_shared<UITableView>(UITableViewStyle::grouped);
    table->registerNib(UINib::nibWithName("ToggleCell"), kToggleIdentifier);
    table->registerNib(UINib::nibWithName("DatePickerCell"), kTimePickerIdentifier);
    table->registerCell(kRightDetailIdentifier, [](const std::string& identifier) {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::value1, identifier);
    });
    table->setDataSource(static_cast<UITableViewDataSource*>(this));
    table->setDelegate(static_cast<UITableViewDelegate*>(this));
    tableView_ = table;
    setView(table);
}

void NotificationSettingsViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    prepareView();
    if (auto table = tableView()) table->reloadData();
}

DateFormatter& NotificationSettingsViewController::timeFormatter() {
    if (!timeFormatter_) {
        timeFormatter_.emplace();
        timeFormatter_->setDateFormat("hh:mm a");
    }
    return *timeFormatter_;
}

void NotificationSettingsViewController::prepareView() {
    if (notificationSchedule(defaults()))
        doNotDisturbSection_ = {Row::toggle(Row::Toggle::schedule), Row::rightDetail(Row::RightDetail::from),
                                Row::rightDetail(Row::RightDetail::to)};
    else
        doNotDisturbSection_ = {Row::toggle(Row::Toggle::schedule)};
}

const std::vector<Row>& NotificationSettingsViewController::rows(long section) const {
    const bool quietTime = section >= 0 && section < static_cast<long>(sections_.size()) &&
                           sections_[static_cast<std::size_t>(section)] == Section::doNotDisturb;
    return quietTime ? doNotDisturbSection_ : notificationTypeSection_;
}

std::optional<Row> NotificationSettingsViewController::rowAt(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<long>(sections_.size())) return std::nullopt;
    const auto& list = rows(indexPath.section);
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(list.size())) return std::nullopt;
    return list[static_cast<std::size_t>(indexPath.row)];
}

long NotificationSettingsViewController::numberOfSections(UITableView*) {
    return static_cast<long>(sections_.size());
}

long NotificationSettingsViewController::numberOfRowsInSection(UITableView*, long section) {
    return static_cast<long>(rows(section).size());
}

std::optional<std::string> NotificationSettingsViewController::titleForHeaderInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(sections_.size())) return std::nullopt;
    return std::string(sections_[static_cast<std::size_t>(section)] == Section::notificationTypes
                           ? "Customize Notifications"
                           : "Quiet Time");
}

CGFloat NotificationSettingsViewController::heightForRowAt(UITableView*, const IndexPath& indexPath) {
    auto row = rowAt(indexPath);
    return row && std::holds_alternative<Row::TimePicker>(row->value) ? kPickerHeight : kRowHeight;
}

std::shared_ptr<UITableViewCell> NotificationSettingsViewController::cellForRowAt(UITableView* table,
                                                                                 const IndexPath& indexPath) {
    auto row = rowAt(indexPath);
    if (!row) return std::make_shared<UITableViewCell>();
    if (const auto* toggle = std::get_if<Row::Toggle>(&row->value)) {
        auto cell = table->dequeueReusableCell<ToggleCell>(kToggleIdentifier, indexPath);
        if (!cell) return std::make_shared<UITableViewCell>();
        const auto& t = info(*toggle);
        auto control = cell->toggle();
        // The cell may have served another switch: its action must not stay.
        if (control) control->removeTarget(this, UIControlEventValueChanged);
        if (auto label = cell->textLabel()) {
            label->setFont(cw::avenirFont(17));
            label->setBackgroundColor(UIColor::clearColor());
            label->setText(std::string(t.title));
        }
        if (control) {
            // Scripts find a switch by its event's key ("postsSwitch").
            control->setAccessibilityIdentifier(t.eventKey);
            control->setOn(t.get(defaults()));
            control->addTarget(this, t.action, UIControlEventValueChanged);
        }
        return cell;
    }
    if (const auto* detail = std::get_if<Row::RightDetail>(&row->value)) {
        auto cell = table->dequeueReusableCell(kRightDetailIdentifier, indexPath);
        if (!cell) return std::make_shared<UITableViewCell>();
        const bool from = *detail == Row::RightDetail::from;
        if (auto label = cell->textLabel()) label->setText(std::string(from ? "From" : "To"));
        if (auto label = cell->detailTextLabel())
            label->setText(timeFormatter().string(from ? notificationFromDate(defaults()) : notificationToDate(defaults())));
        return cell;
    }
    const bool from = std::get<Row::TimePicker>(row->value) == Row::TimePicker::from;
    auto cell = table->dequeueReusableCell<DatePickerCell>(kTimePickerIdentifier, indexPath);
    if (!cell) return std::make_shared<UITableViewCell>();
    if (auto picker = cell->datePicker()) {
        picker->removeTarget(this, UIControlEventValueChanged);
        picker->setDate(from ? notificationFromDate(defaults()) : notificationToDate(defaults()));
        if (from)
            picker->addTarget(this, &NotificationSettings::didChangeFromDate, UIControlEventValueChanged);
        else
            picker->addTarget(this, &NotificationSettings::didChangeToDate, UIControlEventValueChanged);
    }
    return cell;
}

void NotificationSettingsViewController::didSelectRowAt(UITableView* table, const IndexPath& indexPath) {
    table->deselectRow(indexPath, true);
    auto row = rowAt(indexPath);
    const bool quietTime = indexPath.section >= 0 && indexPath.section < static_cast<long>(sections_.size()) &&
                           sections_[static_cast<std::size_t>(indexPath.section)] == Section::doNotDisturb;
    if (!row || !quietTime) return;
    const auto* detail = std::get_if<Row::RightDetail>(&row->value);
    if (!detail) return;
    const auto contains = [&](Row::TimePicker picker) {
        return std::find(doNotDisturbSection_.begin(), doNotDisturbSection_.end(), Row::timePicker(picker)) !=
               doNotDisturbSection_.end();
    };
    const auto positionAfter = [&](Row::RightDetail which) {
        auto it = std::find(doNotDisturbSection_.begin(), doNotDisturbSection_.end(), Row::rightDetail(which));
        return static_cast<std::size_t>(it - doNotDisturbSection_.begin()) + 1;
    };
    table->beginUpdates();
    if (*detail == Row::RightDetail::from) {
        if (contains(Row::TimePicker::from)) {
            removePicker(Row::TimePicker::from);
        } else {
            removePicker(Row::TimePicker::to);
            insertPicker(Row::TimePicker::from, positionAfter(Row::RightDetail::from));
        }
    } else {
        if (contains(Row::TimePicker::to)) {
            removePicker(Row::TimePicker::to);
        } else {
            removePicker(Row::TimePicker::from);
            insertPicker(Row::TimePicker::to, positionAfter(Row::RightDetail::to));
        }
    }
    table->endUpdates();
    // A picker that opens under a row near the bottom of the screen (the "To" row, or "From" on a
    // small phone) would open below its edge: the list moves up just enough to show it whole, the
    // row tapped still above it.
    for (const auto picker : {Row::TimePicker::from, Row::TimePicker::to}) {
        auto it = std::find(doNotDisturbSection_.begin(), doNotDisturbSection_.end(), Row::timePicker(picker));
        if (it == doNotDisturbSection_.end()) continue;
        const long row = static_cast<long>(it - doNotDisturbSection_.begin());
        table->scrollToRow(IndexPath::forRow(row, indexPath.section), UITableViewScrollPosition::none, true);
    }
}

void NotificationSettingsViewController::removePicker(Row::TimePicker picker) {
    auto it = std::find(doNotDisturbSection_.begin(), doNotDisturbSection_.end(), Row::timePicker(picker));
    if (it == doNotDisturbSection_.end()) return;
    const long position = static_cast<long>(it - doNotDisturbSection_.begin());
    doNotDisturbSection_.erase(it);
    if (auto table = tableView()) table->deleteRows({IndexPath::forRow(position, 1)}, UITableViewRowAnimation::fade);
}

void NotificationSettingsViewController::insertPicker(Row::TimePicker picker, std::size_t position) {
    position = std::min(position, doNotDisturbSection_.size());
    doNotDisturbSection_.insert(doNotDisturbSection_.begin() + static_cast<std::ptrdiff_t>(position),
                                Row::timePicker(picker));
    if (auto table = tableView())
        table->insertRows({IndexPath::forRow(static_cast<long>(position), 1)}, UITableViewRowAnimation::fade);
}

void NotificationSettingsViewController::toggleChanged(Row::Toggle toggle, bool on) {
    const auto& t = info(toggle);
    t.set(defaults(), on);
    scheduleSave();
    if (toggle == Row::Toggle::schedule) {
        prepareView();
        if (auto table = tableView()) table->reloadSections({1}, UITableViewRowAnimation::fade);
    }
    sendTap({{t.eventKey, JSON(on)}});
}

void NotificationSettingsViewController::recommendedContentValueChanged(UISwitch* toggle) {
    if (toggle) toggleChanged(Row::Toggle::recommendedContent, toggle->isOn());
}

void NotificationSettingsViewController::postsValueChanged(UISwitch* toggle) {
    if (toggle) toggleChanged(Row::Toggle::posts, toggle->isOn());
}

void NotificationSettingsViewController::commentsValueChanged(UISwitch* toggle) {
    if (toggle) toggleChanged(Row::Toggle::comments, toggle->isOn());
}

void NotificationSettingsViewController::dailyUpdatesValueChanged(UISwitch* toggle) {
    if (toggle) toggleChanged(Row::Toggle::dailyUpdates, toggle->isOn());
}

void NotificationSettingsViewController::scheduleValueChanged(UISwitch* toggle) {
    if (toggle) toggleChanged(Row::Toggle::schedule, toggle->isOn());
}

void NotificationSettingsViewController::didChangeFromDate(UIDatePicker* picker) {
    if (!picker) return;
    setNotificationFromDate(defaults(), picker->date());
    reloadRow(Row::RightDetail::from);
    scheduleSave();
    sendScheduleAnalyticsFor("scheduledFrom", picker->date());
}

void NotificationSettingsViewController::didChangeToDate(UIDatePicker* picker) {
    if (!picker) return;
    setNotificationToDate(defaults(), picker->date());
    reloadRow(Row::RightDetail::to);
    scheduleSave();
    sendScheduleAnalyticsFor("scheduledTo", picker->date());
}

void NotificationSettingsViewController::reloadRow(Row::RightDetail row) {
    auto it = std::find(doNotDisturbSection_.begin(), doNotDisturbSection_.end(), Row::rightDetail(row));
    if (it == doNotDisturbSection_.end()) return;
    if (auto table = tableView())
        table->reloadRows({IndexPath::forRow(static_cast<long>(it - doNotDisturbSection_.begin()), 1)},
                          UITableViewRowAnimation::none);
}

void NotificationSettingsViewController::sendScheduleAnalyticsFor(const std::string& key, const Date& date) {
    // A number on every device: the device's locale could write other digits (Arabic-Indic) or
    // another calendar's hours; the time zone stays the device's, as the member set the time.
    const std::string text = DateFormatter::serverFormatter("HHmm").string(date);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return;
    sendTap({{key, JSON(value)}});
}

void NotificationSettingsViewController::scheduleSave() {
    changedInSession_ = AuthenticationContext::shared().sessionGeneration();
    cw::cancelPreviousPerformRequests(this, &NotificationSettings::_lazySaveSettings);
    cw::performAfterDelay(std::static_pointer_cast<NotificationSettings>(shared_from_this()), &NotificationSettings::_lazySaveSettings,
                          kSaveDelay);
}

void NotificationSettingsViewController::_lazySaveSettings() {
    if (AuthenticationContext::shared().sessionGeneration() != changedInSession_) return;
    JSON parameters = notificationSettingsParameters(defaults());
    if (auto user = AuthenticationContext::shared().user()) parameters.set("user_id", JSON(user->id()));
    auto self = std::static_pointer_cast<NotificationSettings>(shared_from_this());
    MemberService("member").updateNotificationSettings(
        parameters, [](const JSON&) {},
        [self](const RequestError&) { showMessage(*self, kSaveFailed, GSMessageType::error); });
}
