#include "App/SideNavigationViewController.h"

#include "App/SideNavigationCustomCell.h"
#include "App/SideNavigationFooterView.h"
#include "App/SideNavigationHeaderView.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "kits/drawer/MMDrawerController.h"
#include "uikit/controllers/ControllerSupport.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"

#include <algorithm>

namespace {

std::vector<SideNavMenuItem> allItems() {
    std::vector<SideNavMenuItem> items;
    for (const auto& i : sideNavMenuItems())
        items.push_back(i.item);
    return items;
}

const std::string kCellIdentifier = "SideNavigationCustomCell";
// The footer's height on a screen whose column the menu's content fills.
constexpr CGFloat kFooterHeight = 200;

} // namespace

SideNavigationViewController::SideNavigationViewController() : navigationItems(allItems()) {}

void SideNavigationViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());

    tableView->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    tableView->setTranslatesAutoresizingMaskIntoConstraints(false);
    tableView->registerCellClass<SideNavigationCustomCell>(kCellIdentifier);
    tableView->setBackgroundColor(UIColor::whiteColor());
    tableView->separatorColor = UIColorPalette::contentColor1().withAlphaComponent(0.25);

    footer_ = std::make_shared<SideNavigationFooterView>(CGRect{0, 0, 250, kFooterHeight});
    tableView->setTableFooterView(footer_);
    header_ = std::make_shared<SideNavigationHeaderView>(CGRect{0, 0, 250, 176});
    showMember();
    tableView->setTableHeaderView(header_);

    tableView->setDataSource(static_cast<UITableViewDataSource*>(this));
    tableView->setDelegate(static_cast<UITableViewDelegate*>(this));
    root->addSubview(tableView);
    // The lowest 64 points of the column stay empty white.
    NSLayoutConstraint::activate({
        tableView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        tableView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        tableView->topAnchor().constraintEqualTo(root->topAnchor()),
        tableView->bottomAnchor().constraintEqualTo(root->bottomAnchor(), -64),
    });
}

void SideNavigationViewController::showMember() {
    auto user = AuthenticationContext::shared().user();
    if (!user || !header_) return;
    ShownMember member{user->id(), user->fullName(), user->pictureFile().value_or("")};
    // The same member again: the header already shows them (and their picture is on its way).
    if (member == shownMember_) return;
    header_->userNameLabel->setText(member.name);
    // Without a picture of hers, and until her first one arrives, the placeholder My Account shows her.
    if (member.picture.empty() || !header_->userImageView->image())
        header_->userImageView->setImage(UIImage::named(RegistrationWithInvitation::kPlaceholderPicture));
    updateImageWith(*header_->userImageView, member.picture);
    shownMember_ = std::move(member);
}

void SideNavigationViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    fillColumnWithFooter();
}

void SideNavigationViewController::fillColumnWithFooter() {
    if (!footer_ || tableView->tableFooterView() != footer_) return;
    if (navigationItems.empty()) return;
    // The footer stands right below the last row.
    const CGFloat above =
        tableView->rectForRow(IndexPath::forRow(static_cast<long>(navigationItems.size()) - 1, 0)).maxY();
    const CGFloat height = std::max(kFooterHeight, tableView->bounds().size.height - above);
    CGRect frame = footer_->frame();
    if (frame.size.height == height) return;
    frame.size.height = height;
    footer_->setFrame(frame);
    // Installed again, so that the table takes its new height.
    tableView->setTableFooterView(footer_);
}

void SideNavigationViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    showMember();
    tableView->reloadData();
    view()->setNeedsLayout();
    view()->layoutIfNeeded();
}

long SideNavigationViewController::numberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(navigationItems.size());
}

std::shared_ptr<UITableViewCell> SideNavigationViewController::cellForRowAt(UITableView* table,
                                                                            const IndexPath& indexPath) {
    auto cell = table->dequeueReusableCell<SideNavigationCustomCell>(kCellIdentifier, indexPath);
    if (!cell) cw::platformFatalError("Could not dequeue a SideNavigationCustomCell");
    cell->configure(navigationItems.at(static_cast<std::size_t>(indexPath.row)), true);
    return cell;
}

void SideNavigationViewController::didSelectRowAt(UITableView*, const IndexPath& indexPath) {
    const SideNavMenuItem item = navigationItems.at(static_cast<std::size_t>(indexPath.row));
    if (item == SideNavMenuItem::logout) {
        AnalyticsService().send("SettingsViewScreen", rawValue(ScreenAction::Tap),
                                {{"logoutTapped", JSON("Logout tapped")}});
        promptForLogout();
        return;
    }
    auto screen = viewController(item);
    auto drawer = mm_drawerController(*this);
    if (!drawer) return;
    drawer->closeDrawerAnimated(true);
    if (auto center = drawer->centerViewController()) center->show(screen, std::any(shared_from_this()));
}

void SideNavigationViewController::promptForLogout() {
    auto alert = UIAlertController::make(std::nullopt, std::string(kLogoutQuestion), UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    alert->addAction(UIAlertAction::make("OK", UIAlertActionStyle::default_, [weakSelf](UIAlertAction&) {
        auto self = std::static_pointer_cast<SideNavigationViewController>(weakSelf.lock());
        if (!self) return;
        if (auto drawer = mm_drawerController(*self)) drawer->closeDrawerAnimated(true);
        self->logout();
    }));
    present(alert, true);
}

void SideNavigationViewController::logout() {
    // Unregistered first: the session's end (which logout tells the application delegate) finds the
    // device no longer registered for this member's notifications.
    UIApplication::shared().unregisterForRemoteNotifications();
    AuthenticationContext::shared().logout();
}
