#include "Views/ButtonCell.h"

ButtonCell::ButtonCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {
    setup();
}

ButtonCell::ButtonCell(NSCoder&) : UITableViewCell(UITableViewCellStyle::default_, std::string()) {
    setup();
}

void ButtonCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    setup();
}

void ButtonCell::setup() {
    auto title = textLabel();
    if (title) title->setTextColor(tintColor());
    selectionStyle = UITableViewCellSelectionStyle::default_;
    setAccessoryType(UITableViewCellAccessoryType::none);
    editingAccessoryType = accessoryType();
    if (title) title->setTextAlignment(NSTextAlignment::center);
}
