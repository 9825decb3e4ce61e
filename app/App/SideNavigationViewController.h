#pragma once

// The side menu, the left drawer of the main interface: a white column 250 points wide with the
// member's picture (the member placeholder while she has none) and name at the top, five rows and
// the version at the bottom. A row closes the drawer and pushes its screen onto the navigation
// controller that holds the drawer; "Logout" asks first and then ends the session. Every choice is
// reported as a usage event.
//
// The header shows the member when the view loads and again each time the menu is about to
// appear, so that it follows what the member changes of herself (a new name in My Account).

#include "App/SideNavMenuItem.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MainViewController;
class SideNavigationFooterView;
class SideNavigationHeaderView;

class SideNavigationViewController : public UIViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate {
public:
    static constexpr CGFloat preferredWidth = 250.0;
    static constexpr CGFloat kRowHeight = 60.0;
    static constexpr const char* kLogoutQuestion = "Are you sure you want to logout?";

    SideNavigationViewController();

    std::weak_ptr<MainViewController> mainViewController;
    const std::shared_ptr<UITableView> tableView = std::make_shared<UITableView>();
    const std::vector<SideNavMenuItem> navigationItems;

    bool prefersStatusBarHidden() const override { return true; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    long numberOfSections(UITableView*) override { return 1; }
    long numberOfRowsInSection(UITableView*, long) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return kRowHeight; }
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    void promptForLogout();
    void logout();

    std::shared_ptr<SideNavigationHeaderView> headerView() const { return header_; }
    std::shared_ptr<SideNavigationFooterView> footerView() const { return footer_; }

private:
    // The signed-in member's name and picture in the header (a picture file of "" when none);
    // nothing without a member.
    void showMember();
    // The footer fills the column below the last row (its grey reaches down to the white strip on a
    // tall phone), and keeps the height its logo and build need where the rows fill the column.
    void fitFooterToColumn();

    struct ShownMember {
        std::int64_t id;
        std::string name;
        std::string picture;
        bool operator==(const ShownMember&) const = default;
    };
    std::shared_ptr<SideNavigationHeaderView> header_;
    std::shared_ptr<SideNavigationFooterView> footer_;
    std::shared_ptr<NSLayoutConstraint> footerHeight_;
    std::optional<ShownMember> shownMember_;
};
