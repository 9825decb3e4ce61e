#include "Controllers/Account/SettingsViewController.h"

#include "App/Onboarding/OnboardingViewController.h"

void SettingsViewController::viewDidLoad() {
    PlaceholderViewController::viewDidLoad();
    const auto root = view();
    tableView->setTranslatesAutoresizingMaskIntoConstraints(false);
    tableView->setScrollEnabled(false);
    tableView->rowHeight = kRowHeight;
    tableView->setDataSource(static_cast<UITableViewDataSource*>(this));
    tableView->setDelegate(static_cast<UITableViewDelegate*>(this));
    root->addSubview(tableView);
    // Under the large title, one row high.
    NSLayoutConstraint::activate({
        tableView->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor(), 72),
        tableView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        tableView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        tableView->heightAnchor().constraintEqualToConstant(kRowHeight),
    });
}

std::shared_ptr<UITableViewCell> SettingsViewController::cellForRowAt(UITableView*, const IndexPath&) {
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, "SettingsCell");
    cell->textLabel()->setText(kTutorialRow);
    cell->setAccessoryType(UITableViewCellAccessoryType::disclosureIndicator);
    return cell;
}

void SettingsViewController::didSelectRowAt(UITableView* table, const IndexPath& indexPath) {
    if (table) table->deselectRow(indexPath, true);
    showTutorial();
}

void SettingsViewController::showTutorial() {
    present(std::make_shared<OnboardingViewController>(), true);
}
