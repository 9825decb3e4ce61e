#pragma once

// A form row that reads as a button: the title centred in the cell's tint colour (as the tint is
// when the row is set up), highlighting when touched, with no accessory. What a tap does is the
// table delegate's business.

#include "uikit/controls/UITableViewCell.h"

class NSCoder;

class ButtonCell : public UITableViewCell {
public:
    // Keeps the style asked for.
    ButtonCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    explicit ButtonCell(NSCoder& coder);
    std::string className() const override { return "ButtonCell"; }

    virtual void setup();
    void awakeFromNib() override;
};
