#pragma once

// A form row that leads to another screen: a small title on the left (where the cell puts it), a
// right-aligned value label from 100 points to 35 points before the edge (the room the disclosure
// indicator takes), 3 points from the top and bottom, and a disclosure indicator that goes away
// while the table edits. The label may overlap a long title. The owner sets the title through
// `textLabel()` and the value through `label()`.

#include "uikit/controls/UITableViewCell.h"

#include <vector>

class NSCoder;

class LinkCell : public UITableViewCell {
public:
    // Any style shows as the default one.
    LinkCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    explicit LinkCell(NSCoder& coder);
    std::string className() const override { return "LinkCell"; }

    const std::shared_ptr<UILabel>& label() const { return label_; }
    void setLabel(std::shared_ptr<UILabel> label) { label_ = std::move(label); }

    virtual void setup();
    void awakeFromNib() override;

private:
    std::shared_ptr<UILabel> label_ = std::make_shared<UILabel>();
    std::vector<NSLayoutConstraintPtr> layout_;
};
