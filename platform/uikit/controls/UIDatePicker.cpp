#include "uikit/controls/UIDatePicker.h"

#include "foundation/time/DateFormatter.h"
#include "uikit/graphics/NSAttributedString.h"

UIDatePicker::UIDatePicker() : UIDatePicker(CGRect(0, 0, 320, 216)) {}

UIDatePicker::UIDatePicker(const CGRect& frame) : UIControl(frame) {
    setBackgroundColor(UIColor::whiteColor());
}

Date UIDatePicker::clamped(const Date& date) const {
    Date d = date;
    if (minimumDate_ && d < *minimumDate_) d = *minimumDate_;
    if (maximumDate_ && d > *maximumDate_) d = *maximumDate_;
    return d;
}

void UIDatePicker::setDate(const Date& date, bool) {
    date_ = clamped(date);
    setNeedsDisplay();
}

void UIDatePicker::setMinimumDate(const std::optional<Date>& date) {
    minimumDate_ = date;
    date_ = clamped(date_);
}

void UIDatePicker::setMaximumDate(const std::optional<Date>& date) {
    maximumDate_ = date;
    date_ = clamped(date_);
}

void UIDatePicker::pick(const Date& date) {
    if (!isEnabled()) return;
    date_ = clamped(date);
    setNeedsDisplay();
    // The wheels report even when they settle where they were held back to.
    sendActions(UIControlEventValueChanged);
}

void UIDatePicker::draw(const CGRect&) {
    DateFormatter f;
    switch (datePickerMode) {
    case UIDatePickerMode::time:
        f.setDateFormat("h:mm a");
        break;
    case UIDatePickerMode::date:
        f.setDateFormat("MMMM d yyyy");
        break;
    case UIDatePickerMode::dateAndTime:
        f.setDateFormat("EEE MMM d  h:mm a");
        break;
    case UIDatePickerMode::countDownTimer:
        f.setDateFormat("H 'hours' m 'min'");
        break;
    }
    const std::string text = f.string(date_);
    TextAttributes a;
    a.font = UIFont::systemFont(21);
    a.foregroundColor = UIColor::blackColor();
    const CGSize s = textSize(text, a);
    const CGRect b = bounds();
    NSAttributedString(text, a).draw(CGPoint{b.midX() - s.width / 2, b.midY() - s.height / 2});
}
