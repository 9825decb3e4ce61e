#pragma once

// The form kit's text row: the cell's own title label on the left, in a 90-point column 5 points
// from the edge (wrapping by words), and a text field from 100 points to at least 5 points before
// the other edge, 10 points below the top and above the bottom, centred on the title. A touch
// anywhere on the row gives the field the keyboard. Rows of the kit are made by class, in code or
// from a table's prototype (NSCoder, then awakeFromNib); whatever style is asked for, they show
// as default-style cells. The owner sets the title through `textLabel()` and reads or writes the
// value through the field.
//
// Every initializer and every awakeFromNib runs `setup`, so it runs more than once; each run
// applies the same settings, and the layout constraints of the last run replace those of the runs
// before it. A view that a prototype put into the content view under the field's tag (3) is taken
// out.

#include "uikit/controls/UITableViewCell.h"
#include "uikit/controls/UITextField.h"

#include <memory>
#include <vector>

class NSCoder;

class TextCell : public UITableViewCell {
public:
    TextCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    explicit TextCell(NSCoder& coder);
    std::string className() const override { return "TextCell"; }

    const std::shared_ptr<UITextField>& textField() const { return textField_; }
    void setTextField(std::shared_ptr<UITextField> field) { textField_ = std::move(field); }

    // Styles the title and the field, puts the field on the cell and lays both out.
    virtual void setup();
    void awakeFromNib() override;
    // Makes the field the first responder; the touch goes no further.
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;

private:
    std::shared_ptr<UITextField> textField_ = std::make_shared<UITextField>();
    std::vector<NSLayoutConstraintPtr> layout_;
};
