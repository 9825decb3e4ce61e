#include "Controllers/Account/CareTeamViewController.h"

#include "Controllers/Baby/Header/BabyHeaderViewModel.h"
#include "Extensions/ServerImages/UIImageView+BabyPicture.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIFont+Named.h"
#include "Services/BabyService.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/text/CaseMapping.h"
#include "kits/banners/GSMessage.h"

void CareTeamViewController::loadView() {
    UIViewController::loadView();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    auto picture = std::make_shared<UIImageView>();
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    picture->setClipsToBounds(true);
    picture->layer()->cornerRadius = 30;
    auto name = std::make_shared<UILabel>();
    name->setFont(UIFontNamed::avenirHeavy(20).value_or(UIFont::boldSystemFont(20)));
    name->setTextColor(UIColorPalette::textColor());
    auto strip = std::make_shared<UIView>();
    auto updated = std::make_shared<UILabel>();
    updated->setText(std::string("Updated at"));
    updated->setFont(cw::avenirFont(13));
    strip->addSubview(updated);
    auto table = std::make_shared<UITableView>(UITableViewStyle::plain);
    table->registerCell(kCellIdentifier, [](const std::string& identifier) {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::value1, identifier);
    });
    table->setTableFooterView(std::make_shared<UIView>());
    table->setDataSource(static_cast<UITableViewDataSource*>(this));
    table->setDelegate(static_cast<UITableViewDelegate*>(this));
    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::gray);
    spinner->startAnimating();

    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"picture", picture}, {"name", name}, {"strip", strip}, {"table", table}, {"updated", updated}};
    for (const auto& [key, v] : views) v->setTranslatesAutoresizingMaskIntoConstraints(false);
    spinner->setTranslatesAutoresizingMaskIntoConstraints(false);
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{picture, name, strip, table, spinner}) root->addSubview(v);
    for (const char* format : {"H:|-16-[picture(60)]-12-[name]-16-|", "H:|[strip]|", "H:|[table]|",
                               "V:[picture(60)]-12-[strip(32)][table]|"})
        root->addConstraints(NSLayoutConstraint::constraints(format, 0, {}, views));
    strip->addConstraints(NSLayoutConstraint::constraints("H:|-16-[updated]-16-|", 0, {}, views));
    NSLayoutConstraint::activate({
        picture->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 12),
        name->centerYAnchor().constraintEqualTo(picture->centerYAnchor()),
        updated->centerYAnchor().constraintEqualTo(strip->centerYAnchor()),
        spinner->centerXAnchor().constraintEqualTo(table->centerXAnchor()),
        spinner->topAnchor().constraintEqualTo(table->topAnchor(), 40),
    });

    activityIndicator_ = spinner;
    tableView_ = table;
    babyImageView_ = picture;
    babyNameLabel_ = name;
    updateLabel_ = updated;
    updateView_ = strip;
}

void CareTeamViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    if (auto table = tableView()) table->setHidden(true);
    fetchCareGivers();
    showBaby();
    babySaved_ = Announcements::listenForBaby(
        std::weak_ptr(std::static_pointer_cast<CareTeamViewController>(shared_from_this())),
        &CareTeamViewController::showBaby);
    if (auto strip = updateView()) strip->setBackgroundColor(UIColorPalette::whiteSix());
    if (auto updated = updateLabel()) updated->setTextColor(UIColorPalette::contentColor2());
}

void CareTeamViewController::showBaby() {
    if (auto picture = babyImageView()) cw::showBabyPicture(*picture, baby);
    if (auto name = babyNameLabel()) name->setText(baby ? std::optional(baby->fullName()) : std::nullopt);
}

DateFormatter& CareTeamViewController::dateFormatter() {
    if (!dateFormatter_) {
        dateFormatter_.emplace();
        dateFormatter_->setDateFormat("h:mma, MMM d, yyyy, eee");
    }
    return *dateFormatter_;
}

void CareTeamViewController::fetchCareGivers() {
    if (!baby || !baby->babyId()) return;
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    BabyService().fetchCareGivers(
        *baby->babyId(),
        [weakSelf](const JSON& reply) {
            // Parsed now; shown on a later turn of the main queue.
            auto response = std::make_shared<CareGiversResponse>(reply);
            DispatchQueue::main().async([weakSelf, response] {
                if (auto self = std::static_pointer_cast<CareTeamViewController>(weakSelf.lock()))
                    self->showCareTeam(std::move(*response));
            });
        },
        [weakSelf](const RequestError&) {
            DispatchQueue::main().async([weakSelf] {
                if (auto self = std::static_pointer_cast<CareTeamViewController>(weakSelf.lock())) self->showFailure();
            });
        });
}

void CareTeamViewController::showCareTeam(CareGiversResponse response) {
    // Taken, not copied: a server's texts may be megabytes.
    careGivers_ = std::move(response.careGivers);
    careTeamName = std::move(response.careTeamName);
    if (auto updated = updateLabel())
        // The words stay as the daily update and the journey write them; only the time is in capitals.
        updated->setText(BabyHeaderViewModel::kUpdatedAtPrefix + cw::uppercased(dateFormatter().string(Date::now())));
    if (auto table = tableView()) {
        table->reloadData();
        table->setHidden(false);
    }
    if (auto spinner = activityIndicator()) spinner->stopAnimating();
}

void CareTeamViewController::showFailure() {
    if (auto table = tableView()) table->setHidden(false);
    if (auto spinner = activityIndicator()) spinner->stopAnimating();
    showMessage(*this, kFetchFailed, GSMessageType::error, {GSMessageOption::textNumberOfLines{0}});
}

long CareTeamViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(careGivers_.size());
}

std::shared_ptr<UITableViewCell> CareTeamViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell(kCellIdentifier, indexPath);
    if (!cell) cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::value1, kCellIdentifier);
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(careGivers_.size())) return cell;
    const auto& giver = careGivers_[static_cast<std::size_t>(indexPath.row)];
    if (auto title = cell->textLabel()) title->setText(giver.title);
    if (auto detail = cell->detailTextLabel()) detail->setText(giver.description);
    return cell;
}

std::shared_ptr<UIView> CareTeamViewController::viewForHeaderInSection(UITableView*, long) {
    auto header = std::make_shared<UITableViewHeaderFooterView>();
    header->contentView()->setBackgroundColor(UIColor::whiteColor());
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::boldSystemFont(17));
    label->setTextColor(UIColor::blackColor());
    label->setText(careTeamName.value_or(""));
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    const auto& content = header->contentView();
    content->addSubview(label);
    content->addConstraint(label->centerYAnchor().constraintEqualTo(content->centerYAnchor()));
    content->addConstraint(label->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 16));
    content->addConstraint(label->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16));
    return header;
}
