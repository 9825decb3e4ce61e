#include "Controllers/Journey/JourneyViewController.h"

#include "Controllers/Baby/Header/BabyHeaderViewModel.h"
#include "Controllers/Journey/JourneyItemCell.h"
#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/ServerImages/UIImageView+BabyPicture.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "Services/AnalyticsService.h"
#include "Services/BabyService.h"
#include "Views/OvalButton.h"
#include "Views/RoundedSectionFooterView.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <map>
#include <numbers>

namespace {

constexpr const char* kAddTapped = "NicuJourneyItemAdd";
constexpr const char* kAddTappedText = "User tapped on nicu journey item to add milestone";
constexpr const char* kItemTapped = "NicuJourneyItem";
constexpr const char* kItemTappedText = "User tapped on nicu journey item to open details";
constexpr const char* kChevronTapped = "NicuJourneyChevron";
constexpr const char* kChevronTappedText = "User tapped on nicu journey chevron to open details";
constexpr const char* kNotAvailable = "N/A";

std::shared_ptr<UILabel> makeLabel(CGFloat size, const UIColor& color, bool heavy = false) {
    auto label = cw::journey::makeAvenirLabel(size, color, heavy);
    label->setTextAlignment(NSTextAlignment::center);
    return label;
}

// One of the header's three ages: its caption over the weeks and the days.
std::shared_ptr<UIStackView> ageColumn(const std::string& caption, std::shared_ptr<UILabel>& weeks,
                                       std::shared_ptr<UILabel>& days) {
    auto captionLabel = makeLabel(11, UIColorPalette::contentColor2());
    captionLabel->setText(caption);
    weeks = makeLabel(15, UIColor::blackColor());
    days = makeLabel(15, UIColor::blackColor());
    auto column = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{captionLabel, weeks, days});
    column->setAxis(UILayoutConstraintAxis::vertical);
    column->setAlignment(UIStackViewAlignment::center);
    column->setSpacing(1);
    return column;
}

} // namespace

JourneyViewController::JourneyViewController() = default;

// --- The scene ---

void JourneyViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    setView(root);

    auto picture = cw::journey::makePictureView(32);
    auto name = makeLabel(20, UIColorPalette::textColor(), true);
    name->setTextAlignment(NSTextAlignment::left);
    std::shared_ptr<UILabel> gestationWeeks, gestationDays, lifeWeeks, lifeDays, adjustedWeeks, adjustedDays;
    auto ages = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{
        ageColumn("Gestational Age", gestationWeeks, gestationDays), ageColumn("Days of Life", lifeWeeks, lifeDays),
        ageColumn("Adjusted Age", adjustedWeeks, adjustedDays)});
    ages->setDistribution(UIStackViewDistribution::fillEqually);
    auto updateView = std::make_shared<UIView>();
    auto updateLabel = makeLabel(12, UIColorPalette::contentColor2());
    updateLabel->setTranslatesAutoresizingMaskIntoConstraints(false);
    updateView->addSubview(updateLabel);
    lyt_centerInSuperView(*updateLabel);

    // Each week is one card (its title, milestones and closed bottom), so the titles and bottoms
    // move with their milestones: a plain table would float them over the milestones of a week
    // taller than the list.
    auto table = std::make_shared<UITableView>(UITableViewStyle::grouped);
    table->separatorStyle = UITableViewCellSeparatorStyle::none;
    table->setContentInset(UIEdgeInsets{4, 0, 84, 0});
    table->setHidden(true);
    table->registerCell(JourneyItemCell::reuseIdentifier, &JourneyItemCell::makePrototype);
    table->setDataSource(this);
    table->setDelegate(this);

    auto add = std::make_shared<OvalButton>(CGRect(0, 0, 200, 48));
    add->setTitle(std::string("Add Milestone"), UIControlStateNormal);
    add->addAction(
        [weakSelf = weak_from_this()](UIControl*) {
            if (auto s = std::static_pointer_cast<JourneyViewController>(weakSelf.lock())) s->didTapAdd();
        },
        UIControlEventTouchUpInside);

    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"picture", picture}, {"name", name},   {"ages", ages},
        {"update", updateView}, {"table", table}, {"add", add}};
    cw::addSubviewsForConstraints(*root, views);
    root->bringSubviewToFront(add);
    root->addConstraints(NSLayoutConstraint::constraints("H:|-16-[picture(64)]-14-[name]-16-|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("H:|-8-[ages]-8-|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("H:|[update]|", 0, {}, views));
    root->addConstraints(NSLayoutConstraint::constraints("H:|[table]|", 0, {}, views));
    root->addConstraints(
        NSLayoutConstraint::constraints("V:[picture(64)]-10-[ages]-6-[update(24)][table]", 0, {}, views));
    // Clear of the bars around the page (the pager's dots above, the tab bar below).
    const auto safe = root->safeAreaLayoutGuide();
    root->addConstraint(picture->topAnchor().constraintEqualTo(safe->topAnchor(), 14));
    root->addConstraint(table->bottomAnchor().constraintEqualTo(safe->bottomAnchor()));
    root->addConstraint(add->bottomAnchor().constraintEqualTo(safe->bottomAnchor(), -20));
    root->addConstraint(name->centerYAnchor().constraintEqualTo(picture->centerYAnchor()));
    lyt_horizontalCenterInSuperView(*add);
    lyt_setWidth(*add, 200);
    lyt_setHeight(*add, 48);

    tableView = table;
    babyImageView = picture;
    babyNameLabel = name;
    gestationAgeWeeksLabel = gestationWeeks;
    gestationAgeDaysLabel = gestationDays;
    daysOfLifeWeeksLabel = lifeWeeks;
    daysOfLifeDaysLabel = lifeDays;
    babyAdjustedAgeWeeksLabel = adjustedWeeks;
    babyAdjustedAgeDaysLabel = adjustedDays;
    updateTimeLabel = updateLabel;
    updateTimeView = updateView;
    addButton = add;
}

void JourneyViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(screenTitle));
    auto table = tableView.lock();
    if (table) {
        table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionFooterView"), "footer");
        table->registerHeaderFooterNib(UINib::nibWithName("RoundedSectionHeaderViewTwo"), "header");
        table->setBackgroundColor(UIColorPalette::tableViewBackground());
        if (auto footer = table->tableFooterView()) footer->setBackgroundColor(UIColorPalette::tableViewBackground());
    }
    view()->setBackgroundColor(UIColorPalette::tableViewBackground());
    if (auto update = updateTimeView.lock()) update->setBackgroundColor(UIColorPalette::tableViewBackground());
    if (auto label = updateTimeLabel.lock()) label->setTextColor(UIColorPalette::contentColor2());
    loadJourney();
    if (auto picture = babyImageView.lock()) cw::showBabyPicture(*picture, baby);
    babySaved_ = Announcements::listenForBaby(
        std::weak_ptr(std::static_pointer_cast<JourneyViewController>(shared_from_this())),
        &JourneyViewController::showSavedBaby);
}

void JourneyViewController::showSavedBaby() {
    if (auto picture = babyImageView.lock()) cw::showBabyPicture(*picture, baby);
    // The journey's reply names the baby too; until it is asked again, the saved name stands.
    if (auto label = babyNameLabel.lock(); label && !label->text().value_or("").empty() && baby)
        label->setText(baby->fullName());
}

void JourneyViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (auto table = tableView.lock())
        if (auto selected = table->indexPathForSelectedRow()) table->deselectRow(*selected, animated);
}

// --- Loading ---

void JourneyViewController::loadJourney() {
    const auto babyId = baby ? baby->babyId() : std::nullopt;
    if (!babyId) return;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    BabyService().fetchJourneyData(
        *babyId,
        [weakSelf](const JSON& reply) {
            JourneyResponse response = JourneySection::parseJourneyData(reply);
            if (auto s = std::static_pointer_cast<JourneyViewController>(weakSelf.lock()))
                s->showJourney(std::move(response));
        },
        [weakSelf](const RequestError& error) {
            if (auto s = weakSelf.lock())
                showMessage(*s, error.what(), GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
        });
}

void JourneyViewController::showJourney(JourneyResponse response) {
    // Taken, not copied: a server's texts may be megabytes.
    journeySections = std::move(response.sections);
    // Each load opens the newest week only.
    sectionExpanded.assign(journeySections.size(), false);
    if (!sectionExpanded.empty()) sectionExpanded.front() = true;
    if (auto table = tableView.lock()) {
        table->reloadData();
        table->setHidden(false);
        table->setAlpha(0);
        UIView::animate(0.25, [table] { table->setAlpha(1); });
    }
    const auto texts = makeBabyHeaderTexts(response.gestationalAgeDescription, response.daysOfLifeDescription,
                                           response.adjustedGestationalAgeDescription, response.fullName, Date::now());
    if (auto label = babyNameLabel.lock()) label->setText(texts.name);
    const std::pair<std::weak_ptr<UILabel>*, const NSAttributedString*> ages[] = {
        {&gestationAgeWeeksLabel, &texts.gestationWeeksAttributed},
        {&gestationAgeDaysLabel, &texts.gestationDaysAttributed},
        {&daysOfLifeWeeksLabel, &texts.daysOfLifeWeeksAttributed},
        {&daysOfLifeDaysLabel, &texts.daysOfLifeDaysAttributed},
        {&babyAdjustedAgeWeeksLabel, &texts.adjustedAgeWeeksAttributed},
        {&babyAdjustedAgeDaysLabel, &texts.adjustedAgeDaysAttributed}};
    for (const auto& [label, text] : ages)
        if (auto l = label->lock()) l->setAttributedText(*text);
    if (auto label = updateTimeLabel.lock()) label->setText(texts.updateDateString);
}

void JourneyViewController::toggleSection(long section, const std::shared_ptr<RoundedSectionHeaderViewTwo>& header) {
    if (section < 0 || section >= static_cast<long>(sectionExpanded.size())) return;
    const bool wasExpanded = sectionExpanded[static_cast<std::size_t>(section)];
    if (auto button = header ? header->button() : nullptr)
        UIView::animate(0.28, [button] { button->setTransform(CGAffineTransform::makeRotation(std::numbers::pi)); });
    sectionExpanded[static_cast<std::size_t>(section)] = !wasExpanded;
    if (auto table = tableView.lock()) {
        table->reloadSections({section}, UITableViewRowAnimation::automatic);
        // A week opened low on the screen comes up until its card shows whole: its closed bottom
        // would otherwise float over its first milestones.
        if (!wasExpanded) table->scrollSectionToVisible(section, true);
    }
    // Only closing a week other than the newest is reported.
    if (section > 0 && wasExpanded) {
        const auto& name = journeySections[static_cast<std::size_t>(section)].name;
        sendEvent({{kChevronTapped, JSON(kChevronTappedText)}, {"week", JSON(name.value_or(kNotAvailable))}});
    }
}

// --- Table ---

const JourneyItem* JourneyViewController::item(const IndexPath& indexPath) const {
    if (indexPath.section < 0 || indexPath.section >= static_cast<long>(journeySections.size())) return nullptr;
    const auto& items = journeySections[static_cast<std::size_t>(indexPath.section)].items;
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(items.size())) return nullptr;
    return &items[static_cast<std::size_t>(indexPath.row)];
}

long JourneyViewController::numberOfSections(UITableView*) {
    return static_cast<long>(journeySections.size());
}

long JourneyViewController::numberOfRowsInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(journeySections.size())) return 0;
    const auto s = static_cast<std::size_t>(section);
    return s < sectionExpanded.size() && sectionExpanded[s] ? static_cast<long>(journeySections[s].items.size()) : 0;
}

std::shared_ptr<UITableViewCell> JourneyViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell<JourneyItemCell>(JourneyItemCell::reuseIdentifier, indexPath);
    const JourneyItem* milestone = item(indexPath);
    if (!cell || !milestone) return cell ? cell : std::make_shared<UITableViewCell>();
    if (auto label = cell->titleLabel.lock()) label->setText(milestone->label);
    if (auto label = cell->descriptionLabel.lock()) label->setText(milestone->dateDescription);
    if (auto view = cell->imageView()) view->setImage(dot(milestone->isEditable.value_or(false)));
    return cell;
}

std::shared_ptr<UIView> JourneyViewController::viewForHeaderInSection(UITableView* table, long section) {
    auto view = table->dequeueReusableHeaderFooterView("header");
    auto header = std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(view);
    if (!header || section < 0 || section >= static_cast<long>(journeySections.size())) return view;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    // The header is held weakly: it owns this closure.
    std::weak_ptr<RoundedSectionHeaderViewTwo> weakHeader = header;
    header->onButtonTapped = [weakSelf, weakHeader, section] {
        if (auto s = std::static_pointer_cast<JourneyViewController>(weakSelf.lock()))
            s->toggleSection(section, weakHeader.lock());
    };
    if (auto label = header->titleLabel()) label->setText(journeySections[static_cast<std::size_t>(section)].name);
    // A reused header may still be turned from its last tap: the chevron shows the state upright.
    if (auto button = header->button()) button->setTransform(CGAffineTransform());
    header->setButtonImageFor(sectionExpanded[static_cast<std::size_t>(section)]);
    return header;
}

std::shared_ptr<UIView> JourneyViewController::viewForFooterInSection(UITableView* table, long) {
    return table->dequeueReusableHeaderFooterView("footer");
}

void JourneyViewController::didSelectRowAt(UITableView* table, const IndexPath& indexPath) {
    performSegue(kJourneyItemCellSegue, std::any(table->cellForRow(indexPath)));
}

void JourneyViewController::didTapAdd() {
    performSegue(kJourneyAddMilestoneSegue, std::any(addButton.lock()));
}

void JourneyViewController::prepare(UIStoryboardSegue& segue, const std::any&) {
    auto self = std::static_pointer_cast<JourneyViewController>(shared_from_this());
    const auto& destination = segue.destination();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(destination)) {
        auto add = navigation->viewControllers().empty()
                       ? nullptr
                       : std::dynamic_pointer_cast<JourneyAddViewController>(navigation->viewControllers().front());
        if (!add) return;
        sendEvent({{kAddTapped, JSON(kAddTappedText)}});
        add->baby = baby;
        add->delegate = self;
        return;
    }
    if (auto details = std::dynamic_pointer_cast<JourneyMilestoneViewController>(destination)) {
        auto table = tableView.lock();
        const auto selected = table ? table->indexPathForSelectedRow() : std::nullopt;
        const JourneyItem* milestone = selected ? item(*selected) : nullptr;
        if (!milestone) return;
        details->milestone = *milestone;
        details->baby = baby;
        details->delegate = self;
        sendEvent({{kItemTapped, JSON(kItemTappedText)},
                   {"nicu_item_id", milestone->id ? JSON(*milestone->id) : JSON(kNotAvailable)}});
    }
}

const std::shared_ptr<UIImage>& JourneyViewController::dot(bool editable) {
    // Read once per screen: a row is made for every milestone shown.
    auto& image = editable ? blueDot_ : tealDot_;
    if (!image) image = UIImage::named(editable ? "journey-item-blue-circle" : "journey-item-teal-circle");
    return image;
}

void JourneyViewController::sendEvent(const JSON::dictionary_t& details) const {
    AnalyticsService().send(screenName, ScreenAction::Tap, details);
}

// --- Reports ---

void JourneyViewController::journeyAddViewControllerDidAddMilestone(JourneyAddViewController&) {
    dismiss(true);
    loadJourney();
}

void JourneyViewController::journeyAddViewControllerDidCancel(JourneyAddViewController&) {
    dismiss(true);
}

void JourneyViewController::journeyMilestonViewControllerDidDeleteMilestone(JourneyMilestoneViewController&) {
    if (auto navigation = navigationController()) navigation->popViewController(true);
    loadJourney();
}

void JourneyViewController::journeyMilestonViewControllerDidEditMilestone(JourneyMilestoneViewController&) {
    loadJourney();
}

void JourneyViewController::journeyMilestonViewControllerDidCancel(JourneyMilestoneViewController&) {
    if (auto navigation = navigationController()) navigation->popViewController(true);
}
