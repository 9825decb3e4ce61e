// The month calendar as the daily update's popover shows it: the month's name over the weekday
// row and the grid, the days with an update in black, the others refused in grey, the update on
// display marked in the accent colour.

#include "GalleryPage.h"

#include "kits/calendar/CVCalendarMenuView.h"
#include "kits/calendar/CVCalendarView.h"
#include "uikit/view/UILabel.h"

#include <set>

namespace cw::gallery {

namespace {

class UpdateDays : public CVCalendarViewDelegate,
                   public CVCalendarMenuViewDelegate,
                   public CVCalendarViewAppearanceDelegate {
public:
    CVCalendarWeekday firstWeekday() override { return CVCalendarWeekday::sunday; }
    bool shouldAutoSelectDayOnMonthChange() override { return false; }
    bool shouldSelectDayView(CVCalendarDayView& day) override {
        return day.date().year() == 2026 && day.date().month() == 3 && days.count(day.date().day()) > 0;
    }
    UIColor dayLabelWeekdaySelectedBackgroundColor() override { return accent; }
    UIColor dayLabelWeekdayHighlightedBackgroundColor() override { return accent; }
    UIColor dayLabelWeekdayDisabledColor() override { return UIColor::lightGrayColor(); }

    const UIColor accent{1, 94 / 255.0, 58 / 255.0};
    const std::set<std::int64_t> days{2, 3, 4, 5, 6, 9, 10, 11, 12};
};

bool drawCalendar(Context& context, std::string* error) {
    auto delegate = std::make_shared<UpdateDays>();
    auto sheet = std::make_shared<UIView>(CGRect{0, 0, 320, 340});
    sheet->setBackgroundColor(UIColor::whiteColor());
    auto title = std::make_shared<UILabel>(CGRect{0, 0, 320, 44});
    title->setFont(UIFont::boldSystemFont(17));
    title->setTextAlignment(NSTextAlignment::center);
    auto menu = std::make_shared<CVCalendarMenuView>(CGRect{8, 52, 304, 28});
    auto calendar = std::make_shared<CVCalendarView>(CGRect{8, 80, 304, 252});
    sheet->addSubview(title);
    sheet->addSubview(menu);
    sheet->addSubview(calendar);
    context.root->view()->addSubview(sheet);

    calendar->setCalendarAppearanceDelegate(delegate);
    calendar->setDelegate(delegate);
    menu->setDelegate(delegate);
    DateComponents ninth;
    ninth.year = 2026;
    ninth.month = 3;
    ninth.day = 9;
    ninth.hour = 18;
    calendar->toggleViewWithDate(*Calendar::current().dateFrom(ninth));
    context.host.settle();
    menu->commitMenuViewUpdate();
    calendar->commitCalendarViewUpdate();
    title->setText(calendar->presentedDate().globalDescription());
    context.host.settle();
    return writeView(context, *sheet, "calendar.png", error);
}

Registration calendarPage{"calendar", drawCalendar};

} // namespace

} // namespace cw::gallery
