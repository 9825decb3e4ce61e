#include "uikit/controls/UIDatePicker.h"

#include "foundation/time/Calendar.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/graphics/UIBezierPath.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr CGFloat kRowHeight = 36;
// The years a date wheel offers beyond those of the bounds and the date.
constexpr std::int64_t kFirstYear = 1900;
constexpr std::int64_t kLastYear = 2100;
// The days the day wheel of a date-and-time picker reaches on each side of its date, without bounds.
constexpr std::int64_t kDaysAround = 1000;

using C = Calendar::Component;

// What one wheel of the picker turns.
enum class Field { month, day, year, hour, minute, meridiem, dayOfRange, hours, minutes };

struct FieldLayout {
    Field field;
    CGFloat share; // of the picker's width
};

std::vector<FieldLayout> fieldsFor(UIDatePickerMode mode) {
    switch (mode) {
    case UIDatePickerMode::time: return {{Field::hour, 1}, {Field::minute, 1}, {Field::meridiem, 1}};
    case UIDatePickerMode::date: return {{Field::month, 2}, {Field::day, 1}, {Field::year, 1.2}};
    case UIDatePickerMode::dateAndTime:
        return {{Field::dayOfRange, 2.4}, {Field::hour, 1}, {Field::minute, 1}, {Field::meridiem, 1}};
    case UIDatePickerMode::countDownTimer: return {{Field::hours, 1}, {Field::minutes, 1}};
    }
    return {};
}

DateComponents fieldsOf(const Calendar& calendar, const Date& date) {
    return calendar.dateComponents({C::year, C::month, C::day, C::hour, C::minute, C::second}, date);
}

std::int64_t daysIn(const Calendar& calendar, std::int64_t year, std::int64_t month) {
    for (std::int64_t d = 31; d > 28; --d) {
        DateComponents c;
        c.year = year;
        c.month = month;
        c.day = d;
        c.hour = 12;
        const auto date = calendar.dateFrom(c);
        if (date && calendar.component(C::month, *date) == month) return d;
    }
    return 28;
}

} // namespace

struct UIDatePicker::Column {
    Field field;
    CGFloat share;
    std::shared_ptr<cw::PickerWheel> wheel;
};

// What the wheels were built for: they are built again when any of it changes.
struct UIDatePicker::Shape {
    UIDatePickerMode mode;
    long minuteInterval;
    std::int64_t firstYear;
    std::int64_t lastYear;
    // The first day of a date-and-time picker's day wheel, and how many days it holds.
    Date firstDay;
    std::int64_t days;
    bool operator==(const Shape& o) const {
        return mode == o.mode && minuteInterval == o.minuteInterval && firstYear == o.firstYear &&
               lastYear == o.lastYear && days == o.days && firstDay == o.firstDay;
    }
};

namespace {

long interval(long minuteInterval) {
    return std::clamp(minuteInterval, 1L, 30L);
}

long rowsOf(Field f, const UIDatePicker& picker, std::int64_t firstYear, std::int64_t lastYear, std::int64_t days) {
    switch (f) {
    case Field::month: return 12;
    case Field::day: return 31;
    case Field::year: return static_cast<long>(lastYear - firstYear + 1);
    case Field::hour: return 12;
    case Field::minute: return 60 / interval(picker.minuteInterval);
    case Field::meridiem: return 2;
    case Field::dayOfRange: return static_cast<long>(days);
    case Field::hours: return 24;
    case Field::minutes: return 60;
    }
    return 0;
}

} // namespace

UIDatePicker::UIDatePicker() : UIDatePicker(CGRect(0, 0, 320, 216)) {}

UIDatePicker::UIDatePicker(const CGRect& frame) : UIControl(frame) {
    setBackgroundColor(UIColor::whiteColor());
    setClipsToBounds(true);
}

UIDatePicker::~UIDatePicker() {
    for (auto& c : columns_) {
        c.wheel->onRest = nullptr;
        c.wheel->titleForRow = nullptr;
        c.wheel->isRowEnabled = nullptr;
    }
}

Date UIDatePicker::clamped(const Date& date) const {
    Date d = date;
    if (minimumDate_ && d < *minimumDate_) d = *minimumDate_;
    if (maximumDate_ && d > *maximumDate_) d = *maximumDate_;
    return d;
}

void UIDatePicker::setDate(const Date& date, bool animated) {
    date_ = clamped(date);
    showDate(animated);
    setNeedsDisplay();
}

void UIDatePicker::setMinimumDate(const std::optional<Date>& date) {
    minimumDate_ = date;
    date_ = clamped(date_);
    showDate(false);
}

void UIDatePicker::setMaximumDate(const std::optional<Date>& date) {
    maximumDate_ = date;
    date_ = clamped(date_);
    showDate(false);
}

void UIDatePicker::pick(const Date& date) {
    if (!isEnabled()) return;
    date_ = clamped(date);
    // Wheels left past a bound turn back to it.
    showDate(true);
    setNeedsDisplay();
    // The wheels report even when they settle where they were held back to.
    sendActions(UIControlEventValueChanged);
}

namespace {

// The date with one field set to the value of `row`, the others kept; a day the month lacks
// becomes the month's last.
std::optional<Date> withRow(Field f, long row, const Date& date, long minuteInterval, std::int64_t firstYear,
                            const Date& firstDay) {
    const Calendar calendar = Calendar::current();
    DateComponents c = fieldsOf(calendar, date);
    const std::int64_t hour = c.hour.value_or(0);
    switch (f) {
    case Field::month: c.month = row + 1; break;
    case Field::day: c.day = row + 1; break;
    case Field::year: c.year = firstYear + row; break;
    case Field::hour: c.hour = (row + 1) % 12 + (hour >= 12 ? 12 : 0); break;
    case Field::minute: c.minute = row * interval(minuteInterval); break;
    case Field::meridiem: c.hour = hour % 12 + (row == 1 ? 12 : 0); break;
    case Field::hours: c.hour = row; break;
    case Field::minutes: c.minute = row; break;
    case Field::dayOfRange: {
        const auto day = calendar.dateByAdding(C::day, row, firstDay);
        if (!day) return std::nullopt;
        const DateComponents d = fieldsOf(calendar, *day);
        c.year = d.year;
        c.month = d.month;
        c.day = d.day;
        break;
    }
    }
    if (c.year && c.month && c.day) c.day = std::min(*c.day, daysIn(calendar, *c.year, *c.month));
    return calendar.dateFrom(c);
}

long rowOf(Field f, const Date& date, long minuteInterval, std::int64_t firstYear, const Date& firstDay) {
    const Calendar calendar = Calendar::current();
    const DateComponents c = fieldsOf(calendar, date);
    const std::int64_t hour = c.hour.value_or(0);
    switch (f) {
    case Field::month: return static_cast<long>(c.month.value_or(1) - 1);
    case Field::day: return static_cast<long>(c.day.value_or(1) - 1);
    case Field::year: return static_cast<long>(c.year.value_or(firstYear) - firstYear);
    case Field::hour: return static_cast<long>((hour + 11) % 12);
    case Field::minute: return static_cast<long>(c.minute.value_or(0) / interval(minuteInterval));
    case Field::meridiem: return hour >= 12 ? 1 : 0;
    case Field::hours: return static_cast<long>(hour);
    case Field::minutes: return static_cast<long>(c.minute.value_or(0));
    case Field::dayOfRange:
        return static_cast<long>(
            calendar.dateComponents({C::day}, calendar.startOfDay(firstDay), calendar.startOfDay(date)).day.value_or(0));
    }
    return 0;
}

} // namespace

void UIDatePicker::ensureWheels() const {
    const Calendar calendar = Calendar::current();
    Shape shape{datePickerMode, interval(minuteInterval), kFirstYear, kLastYear, Date::since1970(0), 0};
    const auto yearOf = [&](const Date& d) { return calendar.component(C::year, d).value_or(kFirstYear); };
    for (const auto& d : {std::optional<Date>(date_), minimumDate_, maximumDate_})
        if (d) {
            shape.firstYear = std::min(shape.firstYear, yearOf(*d));
            shape.lastYear = std::max(shape.lastYear, yearOf(*d));
        }
    if (datePickerMode == UIDatePickerMode::dateAndTime) {
        const Date from = minimumDate_.value_or(calendar.dateByAdding(C::day, -kDaysAround, date_).value_or(date_));
        const Date to = maximumDate_.value_or(calendar.dateByAdding(C::day, kDaysAround, date_).value_or(date_));
        shape.firstDay = calendar.startOfDay(from);
        shape.days = calendar.dateComponents({C::day}, shape.firstDay, calendar.startOfDay(to)).day.value_or(0) + 1;
    }
    if (shape_ && *shape_ == shape) return;
    shape_ = std::make_unique<Shape>(shape);

    auto* self = const_cast<UIDatePicker*>(this);
    for (auto& c : columns_) {
        c.wheel->onRest = nullptr;
        c.wheel->removeFromSuperview();
    }
    columns_.clear();
    for (const auto& layout : fieldsFor(datePickerMode)) {
        const std::size_t index = columns_.size();
        auto wheel = std::make_shared<cw::PickerWheel>(kRowHeight);
        const Field f = layout.field;
        wheel->titleForRow = [self, f](long row) -> std::optional<std::string> {
            const Shape& s = *self->shape_;
            char text[32];
            switch (f) {
            case Field::day:
            case Field::hour: std::snprintf(text, sizeof text, "%ld", row + 1); return std::string(text);
            case Field::year:
                std::snprintf(text, sizeof text, "%lld", static_cast<long long>(s.firstYear + row));
                return std::string(text);
            case Field::minute:
                std::snprintf(text, sizeof text, "%02ld", row * s.minuteInterval);
                return std::string(text);
            case Field::hours: std::snprintf(text, sizeof text, "%ld hours", row); return std::string(text);
            case Field::minutes: std::snprintf(text, sizeof text, "%ld min", row); return std::string(text);
            case Field::month:
            case Field::meridiem:
            case Field::dayOfRange: {
                // Named by the locale: the month, the half of the day, the weekday and day.
                DateFormatter formatter;
                formatter.setDateFormat(f == Field::month ? "MMMM" : f == Field::meridiem ? "a" : "EEE MMM d");
                Date shown = self->date_;
                if (f == Field::month) {
                    DateComponents c;
                    c.year = 2001;
                    c.month = row + 1;
                    c.day = 1;
                    c.hour = 12;
                    shown = Calendar::current().dateFrom(c).value_or(shown);
                } else if (auto d = withRow(f, row, self->date_, s.minuteInterval, s.firstYear, s.firstDay)) {
                    shown = *d;
                }
                return formatter.string(shown);
            }
            }
            return std::nullopt;
        };
        wheel->isRowEnabled = [self, f](long row) {
            const Shape& s = *self->shape_;
            const Calendar calendar = Calendar::current();
            if (f == Field::day) {
                const DateComponents c = fieldsOf(calendar, self->date_);
                if (c.year && c.month && row + 1 > daysIn(calendar, *c.year, *c.month)) return false;
            }
            const auto d = withRow(f, row, self->date_, s.minuteInterval, s.firstYear, s.firstDay);
            return d && self->clamped(*d) == *d;
        };
        wheel->onRest = [self, index](long row) { self->wheelCameToRest(index, row); };
        self->addSubview(wheel);
        columns_.push_back(Column{f, layout.share, wheel});
        wheel->setNumberOfRows(rowsOf(f, *this, shape.firstYear, shape.lastYear, shape.days));
    }
    self->setNeedsLayout();
    showDate(false);
}

void UIDatePicker::showDate(bool animated) const {
    if (!shape_) return;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        auto& w = *columns_[i].wheel;
        // A wheel under a finger or coasting is left to come to rest: it reports then.
        if (w.isDragging() || w.isDecelerating()) continue;
        const long row = rowShowing(static_cast<long>(i), date_);
        if (w.middleRow() != row) w.showRow(row, animated);
        w.setNeedsDisplay();
    }
}

void UIDatePicker::wheelCameToRest(std::size_t column, long row) {
    if (!shape_ || column >= columns_.size()) return;
    const auto date = withRow(columns_[column].field, row, date_, shape_->minuteInterval, shape_->firstYear,
                              shape_->firstDay);
    if (!date) {
        showDate(true);
        return;
    }
    pick(*date);
}

long UIDatePicker::numberOfWheels() const {
    ensureWheels();
    return static_cast<long>(columns_.size());
}

std::shared_ptr<cw::PickerWheel> UIDatePicker::wheel(long index) const {
    ensureWheels();
    if (index < 0 || index >= static_cast<long>(columns_.size())) return nullptr;
    return columns_[static_cast<std::size_t>(index)].wheel;
}

long UIDatePicker::rowShowing(long index, const Date& date) const {
    ensureWheels();
    if (index < 0 || index >= static_cast<long>(columns_.size())) return -1;
    const auto& column = columns_[static_cast<std::size_t>(index)];
    const long row = rowOf(column.field, date, shape_->minuteInterval, shape_->firstYear, shape_->firstDay);
    return std::clamp(row, 0L, std::max(0L, column.wheel->numberOfRows() - 1));
}

void UIDatePicker::layoutSubviews() {
    ensureWheels();
    UIControl::layoutSubviews();
    CGFloat shares = 0;
    for (const auto& c : columns_)
        shares += c.share;
    const CGRect b = bounds();
    CGFloat x = b.minX();
    for (const auto& c : columns_) {
        const CGFloat width = shares > 0 ? b.size.width * c.share / shares : 0;
        const CGRect frame(x, b.minY(), width, b.size.height);
        x += width;
        if (c.wheel->frame() == frame) continue;
        c.wheel->setFrame(frame);
        c.wheel->layoutIfNeeded();
    }
    showDate(false);
}

// The wheels draw their rows; the picker draws the two lines the chosen values stand between.
void UIDatePicker::draw(const CGRect&) {
    const CGRect b = bounds();
    UIColor(0.8, 0.8, 0.8, 1).setFill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() - kRowHeight / 2, b.size.width, 0.5)).fill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() + kRowHeight / 2, b.size.width, 0.5)).fill();
}
