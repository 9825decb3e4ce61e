#include "kits/calendar/CVCalendarMenuView.h"

#include "foundation/time/DateFormatter.h"
#include "uikit/view/UILabel.h"

namespace {

// The abbreviated name of a weekday (1 = Sunday) in the device's locale.
std::string weekdayName(int weekday) {
    static DateFormatter formatter = [] {
        DateFormatter f;
        f.setDateFormat("EEE");
        // Read at noon in GMT, so no time zone moves the day.
        f.setTimeZone(TimeZone::gmt());
        return f;
    }();
    // 1 January 2017, 12:00 GMT, was a Sunday.
    const Date sunday = Date::since1970(1'483'272'000);
    return formatter.string(sunday + (weekday - 1) * 86'400.0);
}

} // namespace

CVCalendarMenuView::CVCalendarMenuView() : CVCalendarMenuView(CGRect{}) {}

CVCalendarMenuView::CVCalendarMenuView(const CGRect& frame) : UIView(frame) {
    build();
}

void CVCalendarMenuView::build() {
    setOpaque(false);
    for (auto& label : labels_) {
        label = std::make_shared<UILabel>();
        label->setTextAlignment(NSTextAlignment::center);
        label->setFont(UIFont::systemFont(13, UIFont::Weight::medium));
        label->setTextColor(UIColor::withWhite(0.33));
        addSubview(label);
    }
    nameColumns();
}

void CVCalendarMenuView::commitMenuViewUpdate() {
    auto d = delegate_.get();
    const auto first = d ? d->firstWeekday() : CVCalendarWeekday::sunday;
    // Called after every layout pass: only a change may ask for another.
    if (first == firstWeekday_) return;
    firstWeekday_ = first;
    nameColumns();
}

void CVCalendarMenuView::nameColumns() {
    for (int column = 0; column < 7; ++column)
        labels_[static_cast<std::size_t>(column)]->setText(
            weekdayName((static_cast<int>(firstWeekday_) - 1 + column) % 7 + 1));
}

std::vector<std::string> CVCalendarMenuView::weekdayNames() const {
    std::vector<std::string> names;
    for (const auto& label : labels_)
        names.push_back(label->text().value_or(""));
    return names;
}

void CVCalendarMenuView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGFloat w = bounds().width() / 7;
    for (int column = 0; column < 7; ++column)
        labels_[static_cast<std::size_t>(column)]->setFrame({column * w, 0, w, bounds().height()});
}
