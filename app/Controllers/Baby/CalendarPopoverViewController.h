#pragma once

// The month calendar the daily update opens from its calendar button, inside a navigation
// controller shown as a popover: the weekday names from Sunday, a month grid in which only the days
// holding one of the given dates can be picked, the given selected date marked in its month, and the
// month and year on show as the title. A picked day goes to the delegate, which closes the popover
// (the popover never closes itself). No requests, no usage events. Main thread only.

#include "kits/calendar/CVCalendar.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/Delegate.h"

#include <memory>
#include <optional>
#include <vector>

class CalendarPopoverViewController;

class CalendarViewControllerDelegate {
public:
    virtual ~CalendarViewControllerDelegate() = default;
    // A day the member picked, as the first moment of that day in the device's calendar.
    virtual void calendarViewController(CalendarPopoverViewController& calendar, const Date& didSelectDay) = 0;
};

class CalendarPopoverViewController : public UIViewController,
                                      public CVCalendarViewDelegate,
                                      public CVCalendarMenuViewDelegate,
                                      public CVCalendarViewAppearanceDelegate {
public:
    // `availableDates` in any order, repeats allowed.
    CalendarPopoverViewController(std::vector<Date> availableDates, std::optional<Date> selectedDate);
    CalendarPopoverViewController() = delete;

    // Made on first use.
    const std::shared_ptr<CVCalendarView>& calendarView();
    const std::shared_ptr<CVCalendarMenuView>& menuView();
    // "#FF5E3A": the selected and the highlighted day.
    const UIColor tintColor;
    const std::vector<Date> availableDates;
    const std::optional<Date> selectedDate;
    // Held weakly.
    cw::DelegateRef<CalendarViewControllerDelegate> delegate;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;

    CVCalendarViewPresentationMode presentationMode() override { return CVCalendarViewPresentationMode::monthView; }
    CVCalendarWeekday firstWeekday() override { return CVCalendarWeekday::sunday; }
    bool shouldAutoSelectDayOnMonthChange() override { return false; }
    bool shouldSelectDayView(CVCalendarDayView& dayView) override;
    void didSelectDayView(CVCalendarDayView& dayView, bool animationDidFinish) override;
    void presentedDateUpdated(const CVDate& date) override;
    void didShowNextMonthView(const Date& date) override;
    void didShowPreviousMonthView(const Date& date) override;

    UIColor dayLabelWeekdayHighlightedBackgroundColor() override { return tintColor; }
    UIColor dayLabelWeekdaySelectedBackgroundColor() override { return tintColor; }
    UIColor dayLabelWeekdayDisabledColor() override { return UIColor::lightGrayColor(); }

private:
    // The member came to another month: the selected day is marked again in its own month.
    void showedMonth(const Date& date);
    void showTitle(const std::string& title);

    std::shared_ptr<CVCalendarView> calendarView_;
    std::shared_ptr<CVCalendarMenuView> menuView_;
};
