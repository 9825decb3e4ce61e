#pragma once

// A row holding a switch that its interface file lays out; the notification settings screen
// dequeues it as "ToggleCell" for each on-off setting and sets the title, the value and the target.
// The nib "ToggleCell" is such a file: the title on the left, the switch 15 points from the right.

#include "uikit/controls/UISwitch.h"
#include "uikit/controls/UITableViewCell.h"

class ToggleCell : public UITableViewCell {
public:
    // What the notification settings screen dequeues it as.
    static constexpr const char* defaultReuseIdentifier = "ToggleCell";

    using UITableViewCell::UITableViewCell;
    std::string className() const override;

    std::shared_ptr<UISwitch> toggle() const { return toggle_.lock(); }
    void setToggle(const std::shared_ptr<UISwitch>& toggle) { toggle_ = toggle; }

private:
    std::weak_ptr<UISwitch> toggle_;
};
