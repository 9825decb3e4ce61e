#pragma once

// An ordinary row that a list shows as a section title among its rows (the partners list writes
// "Connected" or "Invited" into it). Its label comes from the list's interface file.

#include "uikit/controls/UITableViewCell.h"

class FakeHeaderCell : public UITableViewCell {
public:
    using UITableViewCell::UITableViewCell;
    std::string className() const override { return "FakeHeaderCell"; }

    std::shared_ptr<UILabel> headerLabel() const { return headerLabel_.lock(); }
    void setHeaderLabel(const std::shared_ptr<UILabel>& label) { headerLabel_ = label; }

private:
    std::weak_ptr<UILabel> headerLabel_;
};
