#include "Views/DateCell.h"

DateCell::DateCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : TextCell(style, reuseIdentifier) {
    setup();
}

DateCell::DateCell(NSCoder& coder) : TextCell(coder) {
    setup();
}

DateCell::~DateCell() {
    datePicker_->removeTarget(this, UIControlEventAllEvents);
}

void DateCell::awakeFromNib() {
    TextCell::awakeFromNib();
    setup();
}

DateFormatter DateCell::formatter() const {
    DateFormatter f;
    f.setDateStyle(DateFormatter::Style::mediumStyle);
    return f;
}

void DateCell::setup() {
    TextCell::setup();
    const auto& field = textField();
    field->setTextAlignment(NSTextAlignment::right);
    field->setPlaceholder(formatter().string(Date::now()));
    setAccessoryType(UITableViewCellAccessoryType::none);
    editingAccessoryType = UITableViewCellAccessoryType::none;
    datePicker_->datePickerMode = UIDatePickerMode::date;
    field->setInputView(datePicker_);
    datePicker_->addTarget(this, &DateCell::datePickerValueChanged, UIControlEventValueChanged);
}

void DateCell::datePickerValueChanged(UIDatePicker* sender) {
    if (!sender) return;
    textField()->setText(formatter().string(sender->date()));
}
