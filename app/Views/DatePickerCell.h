#pragma once

// A row holding a date picker that its interface file lays out; the notification settings screen
// dequeues it as "TimePicker" for the two ends of its quiet hours and sets the picker itself. The
// nib "DatePickerCell" is such a file: a time picker filling the row.

#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UITableViewCell.h"

class DatePickerCell : public UITableViewCell {
public:
    // What the notification settings screen dequeues it as.
    static constexpr const char* defaultReuseIdentifier = "TimePicker";

    using UITableViewCell::UITableViewCell;
    std::string className() const override;

    std::shared_ptr<UIDatePicker> datePicker() const { return datePicker_.lock(); }
    void setDatePicker(const std::shared_ptr<UIDatePicker>& picker) { datePicker_ = picker; }

private:
    std::weak_ptr<UIDatePicker> datePicker_;
};
