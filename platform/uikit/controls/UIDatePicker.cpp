#include "uikit/controls/UIDatePicker.h"

#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIBezierPath.h"

#include <optional>
#include <vector>

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

namespace {

// One wheel of the picker: how its values read, and the calendar field its neighbours step by.
// A wheel without a field is the morning/afternoon wheel, whose two values stand one above the other.
struct Wheel {
    const char* pattern;
    std::optional<Calendar::Component> step;
    CGFloat share; // of the picker's width
};

std::vector<Wheel> wheelsFor(UIDatePickerMode mode) {
    using C = Calendar::Component;
    switch (mode) {
    case UIDatePickerMode::time:
        return {{"h", C::hour, 1}, {"mm", C::minute, 1}, {"a", std::nullopt, 1}};
    case UIDatePickerMode::date:
        return {{"MMMM", C::month, 2}, {"d", C::day, 1}, {"yyyy", C::year, 1.2}};
    case UIDatePickerMode::dateAndTime:
        return {{"EEE MMM d", C::day, 2.4}, {"h", C::hour, 1}, {"mm", C::minute, 1}, {"a", std::nullopt, 1}};
    case UIDatePickerMode::countDownTimer:
        return {{"H 'hours'", C::hour, 1}, {"m 'min'", C::minute, 1}};
    }
    return {};
}

} // namespace

// Drawn as the platform's wheels: each field of the date in its own column, the chosen value in
// the middle between two lines, its neighbours above and below in grey.
void UIDatePicker::draw(const CGRect&) {
    constexpr CGFloat kRowHeight = 36;
    constexpr int kNeighbours = 2;
    const CGRect b = bounds();
    const auto wheels = wheelsFor(datePickerMode);
    CGFloat shares = 0;
    for (const auto& w : wheels) shares += w.share;
    const Calendar calendar = Calendar::current();
    DateFormatter f;
    CGFloat x = b.minX();
    for (const auto& wheel : wheels) {
        const CGFloat width = b.size.width * wheel.share / shares;
        f.setDateFormat(wheel.pattern);
        const bool afternoon = calendar.component(Calendar::Component::hour, date_).value_or(0) >= 12;
        for (int k = -kNeighbours; k <= kNeighbours; ++k) {
            std::optional<Date> shown = date_;
            if (wheel.step) {
                shown = k == 0 ? std::optional<Date>(date_) : calendar.dateByAdding(*wheel.step, k, date_);
            } else if (k != 0) {
                // The other half of the day stands below the morning and above the afternoon.
                if (k != (afternoon ? -1 : 1)) continue;
                shown = calendar.dateByAdding(Calendar::Component::hour, afternoon ? -12 : 12, date_);
            }
            if (!shown) continue;
            const std::string text = f.string(*shown);
            TextAttributes a;
            a.font = UIFont::systemFont(k == 0 ? 21 : 17);
            a.foregroundColor = k == 0 ? UIColor::blackColor() : UIColor::grayColor();
            const CGSize s = textSize(text, a);
            const CGFloat y = b.midY() + static_cast<CGFloat>(k) * kRowHeight - s.height / 2;
            NSAttributedString(text, a).draw(CGPoint{x + (width - s.width) / 2, y});
        }
        x += width;
    }
    UIColor(0.8, 0.8, 0.8, 1).setFill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() - kRowHeight / 2, b.size.width, 0.5)).fill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() + kRowHeight / 2, b.size.width, 0.5)).fill();
}
