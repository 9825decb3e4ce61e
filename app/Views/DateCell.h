#pragma once

// The form row that takes a calendar date: a TextCell whose field shows a date picker in place of
// the keyboard. Until a date is picked the field is empty with today's date (the locale's medium
// style, no time) as its placeholder; each turn of the picker writes its date into the field in
// that style. The owner reads the date from the picker and may set the picker's bounds.

#include "Views/TextCell.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/controls/UIDatePicker.h"

class DateCell : public TextCell {
public:
    DateCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    explicit DateCell(NSCoder& coder);
    // The picker stops sending to the cell.
    ~DateCell() override;
    std::string className() const override { return "DateCell"; }

    const std::shared_ptr<UIDatePicker>& datePicker() const { return datePicker_; }
    // Only stores the picker: it becomes the field's input at the next set-up.
    void setDatePicker(std::shared_ptr<UIDatePicker> picker) { datePicker_ = std::move(picker); }
    // A new formatter at each read: the medium date style of the device's locale, no time.
    DateFormatter formatter() const;

    void setup() override;
    void awakeFromNib() override;
    // The picker's target: its date, in the formatter's style, becomes the field's text.
    void datePickerValueChanged(UIDatePicker* sender);

private:
    std::shared_ptr<UIDatePicker> datePicker_ = std::make_shared<UIDatePicker>();
};
