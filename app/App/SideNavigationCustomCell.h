#pragma once

// A row of the side menu: its title, 24 points in from the left, and a red dot that this menu
// never shows.

#include "App/SideNavMenuItem.h"
#include "uikit/controls/UITableViewCell.h"

class SideNavigationCustomCell : public UITableViewCell {
public:
    SideNavigationCustomCell(UITableViewCellStyle style, std::string reuseIdentifier);

    std::string className() const override { return "SideNavigationCustomCell"; }
    void layoutSubviews() override;

    void configure(SideNavMenuItem item, bool hideRedDot);

    // Made (and added to the content view) on first use.
    const std::shared_ptr<UILabel>& label();
    const std::shared_ptr<UIView>& redDot();

private:
    void addLabelConstraints();

    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UIView> redDot_;
};
