#include "Controllers/Account/SettingsViewController.h"

#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/Account/NotificationSettingsViewController.h"
#include "Controllers/SignIn/BasicHTMLViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AnalyticsService.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"

namespace {

using Settings = SettingsViewController;

constexpr const char* kCellIdentifier = "cell";
// Marks the arrow a cell already holds, so that a reused cell gets no second one.
constexpr long kDisclosureTag = 7001;

struct RowInfo {
    SettingsTableViewRowType row;
    const char* title;
    const char* eventKey;
    const char* eventValue;
    void (Settings::*action)();
};

const RowInfo kRows[] = {
    {SettingsTableViewRowType::notifications, "Notifications", "notificationsSettingsScreenTapped",
     "User tapped on the notification settings screen", &Settings::showNotificationSettings},
    {SettingsTableViewRowType::Feedback, "Send Feedback", "sendFeedbackScreenTapped",
     "User tapped on the send feedback screen", &Settings::openEmailForFeedback},
    {SettingsTableViewRowType::Terms, "Terms", "termsAndConditionsTapped", "Terms and Conditions tapped",
     &Settings::showTerms},
    {SettingsTableViewRowType::Tutorial, "Tutorial", "TutorialTapped", "Tutorial tapped", &Settings::showTutorial},
};

const RowInfo& info(SettingsTableViewRowType row) {
    for (const auto& r : kRows)
        if (r.row == row) return r;
    return kRows[0];
}

} // namespace

SettingsViewController::SettingsViewController()
    : tableView(std::make_shared<UITableView>()),
      settingsRows{SettingsTableViewRowType::notifications, SettingsTableViewRowType::Feedback,
                   SettingsTableViewRowType::Terms, SettingsTableViewRowType::Tutorial} {}

void SettingsViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setTitle(std::string(kTitle));
    view()->setBackgroundColor(UIColor::whiteColor());
    setupTableView();
}

void SettingsViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Loaded), {});
}

void SettingsViewController::setupTableView() {
    tableView->setDataSource(static_cast<UITableViewDataSource*>(this));
    tableView->setDelegate(static_cast<UITableViewDelegate*>(this));
    tableView->setTranslatesAutoresizingMaskIntoConstraints(false);
    tableView->registerCellClass<UITableViewCell>(kCellIdentifier);
    tableView->rowHeight = kRowHeight;
    tableView->setTableFooterView(std::make_shared<UIView>());
    tableView->separatorColor = UIColor::withWhite(0.85, 1.0);
    tableView->separatorInset = {0, 25, 0, 20};
    view()->addSubview(tableView);
    // Edge to edge, its first row below the navigation bar: a scroll view that is not the screen's
    // own view keeps its offset as the bars' insets come.
    lyt_setLeft(*tableView, 0);
    lyt_setRight(*tableView, 0);
    lyt_setBottom(*tableView, 0);
    tableView->topAnchor().constraintEqualTo(topLayoutGuide()->bottomAnchor())->setActive(true);
}

long SettingsViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(settingsRows.size());
}

std::shared_ptr<UITableViewCell> SettingsViewController::cellForRowAt(UITableView* table, const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell(kCellIdentifier, indexPath);
    if (!cell) cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, kCellIdentifier);
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(settingsRows.size())) return cell;
    const auto& row = info(settingsRows[static_cast<std::size_t>(indexPath.row)]);
    if (auto label = cell->textLabel()) {
        label->setText(std::string(row.title));
        label->setFont(cw::avenirFont(18));
        label->setTextColor(UIColorPalette::textColor());
    }
    const auto& content = cell->contentView();
    if (!content->viewWithTag(kDisclosureTag)) {
        auto arrow = std::make_shared<UIImageView>(UIImage::named("cwy_disclosure"));
        arrow->setTag(kDisclosureTag);
        arrow->setTranslatesAutoresizingMaskIntoConstraints(false);
        content->addSubview(arrow);
        lyt_setCenterY(*arrow, 0);
        lyt_setRight(*arrow, 20);
    }
    return cell;
}

void SettingsViewController::didSelectRowAt(UITableView* table, const IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(settingsRows.size())) return;
    const auto& row = info(settingsRows[static_cast<std::size_t>(indexPath.row)]);
    AnalyticsService().send(kScreenName, rawValue(ScreenAction::Tap), {{row.eventKey, JSON(row.eventValue)}});
    (this->*row.action)();
    table->deselectRow(indexPath, true);
}

void SettingsViewController::showNotificationSettings() {
    auto screen = UIStoryboard::named("Settings")->instantiateViewController(
        NotificationSettingsViewController::storyboardIdentifier());
    show(screen, std::any(shared_from_this()));
}

void SettingsViewController::openEmailForFeedback() {
    if (!MFMailComposeViewController::canSendMail()) {
        auto alert = UIAlertController::make(std::nullopt, std::string(kNoMailMessage) + kFeedbackAddress,
                                             UIAlertControllerStyle::alert);
        alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::cancel));
        present(alert, true);
        return;
    }
    auto composer = std::make_shared<MFMailComposeViewController>();
    // The composer's bar is its sheet's top row, which takes the brand green.
    composer->view()->setTintColor(UIColorPalette::cwy_mountainMeadow());
    composer->setToRecipients({kFeedbackAddress});
    composer->setSubject(kFeedbackSubject);
    composer->setMessageBody(kFeedbackBody, false);
    composer->setMailComposeDelegate(std::static_pointer_cast<Settings>(shared_from_this()));
    present(composer, true);
}

void SettingsViewController::showTerms() {
    show(std::make_shared<BasicHTMLViewController>("tandc", "Terms of Use"), std::any(shared_from_this()));
}

void SettingsViewController::showTutorial() {
    present(std::make_shared<OnboardingViewController>(), true);
}

void SettingsViewController::didFinishWith(MFMailComposeViewController& controller, MFMailComposeResult,
                                           const std::optional<NSError>&) {
    controller.dismiss(true);
}
