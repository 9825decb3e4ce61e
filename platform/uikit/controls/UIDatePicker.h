#pragma once

// A date picker: the date (kept between the minimum and maximum), the mode, the locale's name.
// Turning its wheels is `pick(date)`: the date moves (within the bounds) and value-changed goes
// out; setting the date from code sends nothing.

#include "foundation/time/Date.h"
#include "uikit/controls/UIControl.h"

#include <optional>
#include <string>

enum class UIDatePickerMode { time = 0, date = 1, dateAndTime = 2, countDownTimer = 3 };

class UIDatePicker : public UIControl {
public:
    UIDatePicker();
    explicit UIDatePicker(const CGRect& frame);
    std::string className() const override { return "UIDatePicker"; }

    const Date& date() const { return date_; }
    void setDate(const Date& date) { setDate(date, false); }
    void setDate(const Date& date, bool animated);
    std::optional<Date> minimumDate() const { return minimumDate_; }
    void setMinimumDate(const std::optional<Date>& date);
    std::optional<Date> maximumDate() const { return maximumDate_; }
    void setMaximumDate(const std::optional<Date>& date);
    UIDatePickerMode datePickerMode = UIDatePickerMode::dateAndTime;
    // Locale identifier; empty means the current locale.
    std::string locale;
    long minuteInterval = 1;

    // The member turns the wheels to `date`.
    void pick(const Date& date);

    CGSize intrinsicContentSize() const override { return {320, 216}; }
    void draw(const CGRect& rect) override;

private:
    Date clamped(const Date& date) const;
    Date date_;
    std::optional<Date> minimumDate_;
    std::optional<Date> maximumDate_;
};
