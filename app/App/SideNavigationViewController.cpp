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
// The footer's height as it is made, before the column is laid out.
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

    // The footer stands at the column's foot, below the list rather than at the list's end: on a
    // phone too short for the header, the rows and the footer together, the list scrolls above it,
    // and the logo and the build are never cut off at the list's end or left under the tab bar.
    footer_ = std::make_shared<SideNavigationFooterView>(CGRect{0, 0, 250, kFooterHeight});
    footer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    header_ = std::make_shared<SideNavigationHeaderView>(CGRect{0, 0, 250, 176});
    showMember();
    tableView->setTableHeaderView(header_);

    tableView->setDataSource(static_cast<UITableViewDataSource*>(this));
    tableView->setDelegate(static_cast<UITableViewDelegate*>(this));
    root->addSubview(tableView);
    root->addSubview(footer_);
    footerHeight_ = footer_->heightAnchor().constraintEqualToConstant(kFooterHeight);
    // The lowest 64 points of the column stay empty white; the footer stands right above them.
    NSLayoutConstraint::activate({
        tableView->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        tableView->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        tableView->topAnchor().constraintEqualTo(root->topAnchor()),
        tableView->bottomAnchor().constraintEqualTo(footer_->topAnchor()),
        footer_->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        footer_->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        footer_->bottomAnchor().constraintEqualTo(root->bottomAnchor(), -64),
        footerHeight_,
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
    fitFooterToColumn();
}

void SideNavigationViewController::fitFooterToColumn() {
    if (!footer_ || !footerHeight_ || navigationItems.empty()) return;
    // The room below the last row, where the column holds the whole list; never less than the logo
    // and the build need.
    const CGFloat listEnd =
        tableView->rectForRow(IndexPath::forRow(static_cast<long>(navigationItems.size()) - 1, 0)).maxY();
    const CGFloat height = std::max(footer_->fittingHeight(), view()->bounds().size.height - 64 - listEnd);
    if (footerHeight_->constant() == height) return;
    footerHeight_->setConstant(height);
    view()->layoutIfNeeded();
}

void SideNavigationViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    showMember();
    tableView->reloadData();
    view()->setNeedsLayout();
    view()->layoutIfNeeded();
    // Where the column holds less than the whole list, the menu opens at the list's end: every row
    // is seen above the footer, and the header's picture scrolls back into view.
    const CGFloat hidden = tableView->contentSize().height - tableView->bounds().size.height;
    tableView->setContentOffset(CGPoint{0, std::max<CGFloat>(0, hidden)});
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
