#include "Controllers/Baby/DailyUpdateViewController.h"

#include "Controllers/Baby/DailyUpdateStackCell.h"
#include "Controllers/Baby/MeasurementsViewController.h"
#include "Extensions/ServerImages/UIImageView+BabyPicture.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AnalyticsService.h"
#include "Services/BabyService.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <limits>

// --- Text heights ------------------------------------------------------------------------------

CGFloat heightWithWidth(const std::string& text, CGFloat width, const UIFont& font) {
    return textBoundingRect(text, {width, std::numeric_limits<CGFloat>::max()}, TextAttributes{.font = font},
                            NSStringDrawingOptions::usesLineFragmentOrigin)
        .height();
}

CGFloat heightWithWidth(const NSAttributedString& text, CGFloat width) {
    return text.boundingRect({width, std::numeric_limits<CGFloat>::max()}, NSStringDrawingOptions::usesLineFragmentOrigin)
        .height();
}

CGFloat textHeightWithWidth(const UILabel& label, CGFloat width) {
    const auto text = label.text();
    return text ? heightWithWidth(*text, width, label.font()) : 0;
}

CGFloat attributedTextHeightWithWidth(const UILabel& label, CGFloat width) {
    const auto text = label.attributedText();
    return text ? heightWithWidth(*text, width) : 0;
}

// --- The screen --------------------------------------------------------------------------------

DailyUpdateViewController::DailyUpdateViewController() = default;

void DailyUpdateViewController::loadView() {
    // The scene: the header (with the charts control) under the bars, the update line, the rows,
    // and the spinner over them; the calendar item in the navigation bar.
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    setView(root);

    headerView = std::make_shared<BabyHeaderView>();
    babyImageView = headerView->babyImageView;
    babyNameLabel = headerView->babyNameLabel;
    gestationAgeWeeksLabel = headerView->gestationAgeWeeksLabel;
    gestationAgeDaysLabel = headerView->gestationAgeDaysLabel;
    daysOfLifeWeeksLabel = headerView->daysOfLifeWeeksLabel;
    daysOfLifeDaysLabel = headerView->daysOfLifeDaysLabel;
    babyAdjustedAgeWeeksLabel = headerView->babyAdjustedAgeWeeksLabel;
    babyAdjustedAgeDaysLabel = headerView->babyAdjustedAgeDaysLabel;
    updateTimeLabel = headerView->updateTimeLabel;
    updateTimeView = headerView->updateTimeView;

    chartsButton = std::make_shared<UIButton>(UIButtonType::custom);
    chartsButton->setTitle("Growth Charts", UIControlStateNormal);
    chartsButton->setImage(UIImage::named("daily_update_charts"), UIControlStateNormal);
    chartsButton->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
    chartsButton->titleLabel()->setFont(UIFont::systemFont(14, UIFont::Weight::semibold));
    chartsButton->setBackgroundColor(UIColor(1, 1, 1, 0.85));
    chartsButton->layer()->cornerRadius = 13;
    chartsButton->setContentEdgeInsets({4, 10, 4, 12});
    chartsButton->setTitleEdgeInsets({0, 6, 0, -6});
    chartsButton->setAccessibilityIdentifier("chartsButton");
    chartsButton->addTarget(this, &DailyUpdateViewController::chartsTapped, UIControlEventTouchUpInside);
    headerView->setAccessoryView(chartsButton);

    tableView = std::make_shared<UITableView>(UITableViewStyle::plain);
    tableView->setBackgroundColor(UIColorPalette::tableViewBackground());
    tableView->separatorStyle = UITableViewCellSeparatorStyle::none;
    tableView->estimatedRowHeight = 80;
    tableView->registerCell(DailyUpdateStackCell::kReuseIdentifier, [](const std::string& identifier) {
        auto cell = std::make_shared<DailyUpdateStackCell>(UITableViewCellStyle::default_, identifier);
        cell->awakeFromNib();
        return cell;
    });
    tableView->setDataSource(this);

    activityIndicator = std::make_shared<UIActivityIndicatorView>();
    activityIndicator->setStyle(UIActivityIndicatorViewStyle::gray);
    activityIndicator->startAnimating();

    for (const auto& v : std::initializer_list<std::shared_ptr<UIView>>{headerView, tableView, activityIndicator}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(v);
    }
    NSLayoutConstraint::activate({
        headerView->topAnchor().constraintEqualTo(root->safeAreaLayoutGuide()->topAnchor()),
        headerView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        headerView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        tableView->topAnchor().constraintEqualTo(headerView->bottomAnchor()),
        tableView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        tableView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        tableView->bottomAnchor().constraintEqualTo(root->bottomAnchor()),
        activityIndicator->centerXAnchor().constraintEqualTo(tableView->centerXAnchor()),
        activityIndicator->topAnchor().constraintEqualTo(tableView->topAnchor(), 40),
    });

    calendarButton = std::make_shared<UIBarButtonItem>(UIImage::named("tab-calendar"), UIBarButtonItemStyle::plain);
    calendarButton->accessibilityIdentifier = "calendarButton";
    std::weak_ptr<UIViewController> weak = weak_from_this();
    calendarButton->setAction([weak](UIBarButtonItem& item) {
        if (auto self = std::static_pointer_cast<DailyUpdateViewController>(weak.lock())) self->presentCalendar(item);
    });
    navigationItem()->setRightBarButtonItem(calendarButton);
}

void DailyUpdateViewController::chartsTapped() {
    performSegue(kMeasurementsSegue, chartsButton);
}

void DailyUpdateViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setTintColor(UIColorPalette::cwy_mountainMeadow());
    navigationItem()->title = kTitle;
    if (navigationItem()->onChange) navigationItem()->onChange();
    view()->setBackgroundColor(UIColor::whiteColor());
    tableView->setHidden(true);
    fetchDailyUpdate();
    cw::showBabyPicture(*babyImageView, baby);
    babySaved_ = Announcements::listenForBaby(
        std::weak_ptr(std::static_pointer_cast<DailyUpdateViewController>(shared_from_this())),
        &DailyUpdateViewController::showBaby);
    updateTimeView->setBackgroundColor(UIColorPalette::tableViewBackground());
    updateTimeLabel->setTextColor(UIColorPalette::contentColor2());
}

void DailyUpdateViewController::finishLoading() {
    tableView->setHidden(false);
    activityIndicator->stopAnimating();
}

void DailyUpdateViewController::fetchDailyUpdate() {
    auto self = std::static_pointer_cast<DailyUpdateViewController>(shared_from_this());
    if (!baby || !baby->babyId()) {
        // Nothing to ask for: the page stands empty and says so.
        DispatchQueue::main().async([self] {
            self->finishLoading();
            showMessage(*self, kFetchFailed, GSMessageType::error);
        });
        return;
    }
    BabyService().fetchDailyUpdate(
        *baby->babyId(),
        [self](const JSON& reply) {
            DailyUpdateResponse response(reply);
            DispatchQueue::main().async([self, response = std::move(response)]() mutable {
                self->showResponse(std::move(response));
                self->finishLoading();
            });
        },
        [self](const RequestError&) {
            DispatchQueue::main().async([self] {
                self->finishLoading();
                showMessage(*self, kFetchFailed, GSMessageType::error);
            });
        });
}

void DailyUpdateViewController::showResponse(DailyUpdateResponse reply) {
    // Kept as it came, not copied: a server's texts may be megabytes.
    dailyUpdate = nullptr;
    const DailyUpdateResponse& response = dailyUpdateResponse.emplace(std::move(reply));
    // The server lists its entries oldest first: the last one is the latest.
    if (!response.dailyUpdates.empty()) showDailyUpdate(response.dailyUpdates.back());
    const BabyHeaderViewModel model(response.gestationalAgeDescription, response.daysOfLifeDescription,
                                    response.adjustedGestationalAgeDescription, std::nullopt, Date::now());
    babyNameLabel->setText(baby ? baby->fullName() : std::string());
    headerView->showAges(model);
}

void DailyUpdateViewController::showBaby() {
    cw::showBabyPicture(*babyImageView, baby);
    // The name waits for the update, as the ages beside it do.
    if (dailyUpdateResponse) babyNameLabel->setText(baby ? baby->fullName() : std::string());
}

void DailyUpdateViewController::showDailyUpdate(const DailyUpdate& update) {
    DateFormatter formatter;
    formatter.setDateStyle(DateFormatter::Style::mediumStyle);
    formatter.setTimeStyle(DateFormatter::Style::shortStyle);
    dailyUpdate = &update;
    updateTimeLabel->setText(kUpdatedAtPrefix + formatter.string(update.updatedAt));
    tableView->reloadData();
}

long DailyUpdateViewController::numberOfRowsInSection(UITableView*, long) {
    return dailyUpdate ? static_cast<long>(dailyUpdate->items.size()) : 0;
}

std::shared_ptr<UITableViewCell> DailyUpdateViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    const auto& item = dailyUpdate->items.at(static_cast<std::size_t>(indexPath.row));
    auto cell = table->dequeueReusableCell<DailyUpdateStackCell>(DailyUpdateStackCell::kReuseIdentifier, indexPath);
    cell->configureWithDailyUpdate(item);
    cell->detailButton->setTintColor(UIColor::lightGrayColor());
    cell->detailButton->addTarget(this, &DailyUpdateViewController::didTapDetailDisclosure, UIControlEventTouchUpInside);
    cell->detailButton->setTag(indexPath.row);
    // A person (or a script) finds an item's button by the item's name.
    cell->detailButton->setAccessibilityIdentifier("info-" + item.name.value_or(std::to_string(indexPath.row)));
    return cell;
}

JSON DailyUpdateViewController::babyIdDetail() const {
    if (baby && baby->babyId()) return JSON(*baby->babyId());
    return JSON("N/A");
}

void DailyUpdateViewController::sendEvent(const char* key, const char* text, JSON::dictionary_t details) const {
    details[key] = JSON(text);
    AnalyticsService().send(kScreenName, ScreenAction::Tap, details);
}

void DailyUpdateViewController::didTapDetailDisclosure(UIButton* sender) {
    if (!sender || !dailyUpdate) return;
    const long row = sender->tag();
    if (row < 0 || row >= static_cast<long>(dailyUpdate->items.size())) return;
    const DailyUpdateItem& item = dailyUpdate->items[static_cast<std::size_t>(row)];
    sendEvent(kItemTapped, kItemTappedText,
              {{"baby_id", babyIdDetail()}, {"item_name", item.name ? JSON(*item.name) : JSON("N/A")}});
    if (!item.info) return;

    auto content = std::make_shared<UIViewController>();
    content->view()->setBackgroundColor(UIColorPalette::whiteSix());
    content->modalPresentationStyle = UIModalPresentationStyle::popover;
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    content->view()->addSubview(label);
    const auto& v = content->view();
    NSLayoutConstraint::activate({
        label->leadingAnchor().constraintEqualTo(v->leadingAnchor(), 10),
        label->topAnchor().constraintEqualTo(v->topAnchor(), 10),
        label->trailingAnchor().constraintEqualTo(v->trailingAnchor(), -10),
        label->bottomAnchor().constraintEqualTo(v->bottomAnchor(), -10),
    });
    label->setFont(UIFont::systemFont(13, UIFont::Weight::regular));
    label->setTextColor(UIColorPalette::contentColor2());
    label->setNumberOfLines(0);
    label->setText(*item.info);
    content->setPreferredContentSize({kItemPopoverWidth, textHeightWithWidth(*label, 260) + 40});
    auto popover = content->popoverPresentationController();
    popover->permittedArrowDirections = UIPopoverArrowDirectionAny;
    popover->setDelegate(this);
    popover->sourceView = sender->shared_from_this();
    present(content, true);
}

void DailyUpdateViewController::presentCalendar(UIBarButtonItem&) {
    sendEvent(kCalendarTapped, kCalendarTappedText, {{"baby_id", babyIdDetail()}});
    if (!dailyUpdateResponse) return;
    std::vector<Date> available;
    for (const auto& update : dailyUpdateResponse->dailyUpdates)
        available.push_back(update.updatedAt);
    const std::optional<Date> selected = dailyUpdate ? std::optional<Date>(dailyUpdate->updatedAt) : std::nullopt;
    auto calendar = std::make_shared<CalendarPopoverViewController>(std::move(available), selected);
    calendar->delegate = this;
    auto navigation = std::make_shared<UINavigationController>(calendar);
    navigation->modalPresentationStyle = UIModalPresentationStyle::popover;
    navigation->setPreferredContentSize(kCalendarPopoverSize);
    auto popover = navigation->popoverPresentationController();
    // The item the member tapped: the page's own calendar item, shown in the pager's bar.
    popover->barButtonItem = calendarButton;
    popover->permittedArrowDirections = UIPopoverArrowDirectionAny;
    popover->setDelegate(this);
    present(navigation, true);
}

void DailyUpdateViewController::calendarViewController(CalendarPopoverViewController&, const Date& day) {
    dismiss(true);
    if (!dailyUpdateResponse || dailyUpdateResponse->dailyUpdates.empty()) return;
    const Calendar calendar = Calendar::current();
    const auto& updates = dailyUpdateResponse->dailyUpdates;
    // Of several entries of one day, the one that stands last in the list.
    for (auto it = updates.rbegin(); it != updates.rend(); ++it) {
        if (calendar.isDate(it->updatedAt, day)) {
            showDailyUpdate(*it);
            return;
        }
    }
}

void DailyUpdateViewController::prepare(UIStoryboardSegue& segue, const std::any&) {
    auto measurements = std::dynamic_pointer_cast<MeasurementsViewController>(segue.destination());
    if (!measurements) return;
    sendEvent(kGraphsTapped, kGraphsTappedText, {{"baby_id", babyIdDetail()}});
    measurements->baby = baby;
}

std::optional<UIModalPresentationStyle> DailyUpdateViewController::adaptivePresentationStyle(UIPresentationController&) {
    return UIModalPresentationStyle::none;
}
