#pragma once

// A date picker: the date (kept between the minimum and maximum), the mode, the locale's name.
// Each field of the date has its own wheel (month, day and year; hour, minute and half of the
// day), turned as a finger or the mouse wheel turns a picker's wheel. Where a wheel comes to rest
// the date takes its value: a day the month lacks rolls back to the month's last, and a date past
// a bound springs back to the bound, the wheels turning after it. Value-changed goes out at each
// rest; setting the date from code sends nothing.

#include "foundation/time/Date.h"
#include "uikit/controls/PickerWheel.h"
#include "uikit/controls/UIControl.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class UIDatePickerMode { time = 0, date = 1, dateAndTime = 2, countDownTimer = 3 };

class UIDatePicker : public UIControl {
public:
    UIDatePicker();
    explicit UIDatePicker(const CGRect& frame);
    ~UIDatePicker() override;
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

    // The wheels came to rest at `date`: it is kept within the bounds and value-changed goes out.
    void pick(const Date& date);

    // The wheels, left to right, as a finger finds them on screen, and the row each shows for
    // `date` (for a date the wheels cannot show, the nearest row).
    long numberOfWheels() const;
    std::shared_ptr<cw::PickerWheel> wheel(long index) const;
    long rowShowing(long index, const Date& date) const;

    CGSize intrinsicContentSize() const override { return {320, 216}; }
    void draw(const CGRect& rect) override;
    void layoutSubviews() override;

private:
    struct Column;
    struct Shape;
    Date clamped(const Date& date) const;
    // Builds the wheels anew when the mode, the minute interval or the bounds' years changed.
    void ensureWheels() const;
    void showDate(bool animated) const;
    void wheelCameToRest(std::size_t column, long row);
    Date date_;
    std::optional<Date> minimumDate_;
    std::optional<Date> maximumDate_;
    mutable std::vector<Column> columns_;
    mutable std::unique_ptr<Shape> shape_;
};
