#pragma once

// What the month calendar asks of the code that shows it, and what it reports. Every answer has
// a default, so a delegate overrides only what it cares about. All calls come on the main thread.

#include "kits/calendar/CVDate.h"
#include "uikit/graphics/UIColor.h"

class CVCalendarDayView;

// Weekdays numbered as the calendar's weekday component numbers them.
enum class CVCalendarWeekday { sunday = 1, monday, tuesday, wednesday, thursday, friday, saturday };

// The calendar shows whole months.
enum class CVCalendarViewPresentationMode { monthView };

class CVCalendarViewDelegate {
public:
    virtual ~CVCalendarViewDelegate() = default;
    virtual CVCalendarViewPresentationMode presentationMode() { return CVCalendarViewPresentationMode::monthView; }
    // The first column of the grid.
    virtual CVCalendarWeekday firstWeekday() { return CVCalendarWeekday::sunday; }
    // Whether paging to another month selects (and reports) that month's first day.
    virtual bool shouldAutoSelectDayOnMonthChange() { return true; }
    // Asked when a month is filled in (a refused day is drawn in the disabled colour) and again
    // at each tap (a refused day stays as it was and nothing is reported).
    virtual bool shouldSelectDayView(CVCalendarDayView&) { return true; }
    // A day the member tapped (or that paging selected) is now the selected one. Reported once per
    // selection, after its marking is drawn (`animationDidFinish` is always true).
    virtual void didSelectDayView(CVCalendarDayView&, bool /*animationDidFinish*/) {}
    // The month on show changed (paging or `toggleViewWithDate` to another month).
    virtual void presentedDateUpdated(const CVDate&) {}
    // After paging, with the first moment of the month now on show.
    virtual void didShowNextMonthView(const Date&) {}
    virtual void didShowPreviousMonthView(const Date&) {}
};

class CVCalendarMenuViewDelegate {
public:
    virtual ~CVCalendarMenuViewDelegate() = default;
    // The first name of the weekday row.
    virtual CVCalendarWeekday firstWeekday() { return CVCalendarWeekday::sunday; }
};

class CVCalendarViewAppearanceDelegate {
public:
    virtual ~CVCalendarViewAppearanceDelegate() = default;
    // Behind a day while a finger is down on it.
    virtual UIColor dayLabelWeekdayHighlightedBackgroundColor() { return defaultAccentColor(); }
    // Behind the selected day.
    virtual UIColor dayLabelWeekdaySelectedBackgroundColor() { return defaultAccentColor(); }
    // The number of a day that refuses selection.
    virtual UIColor dayLabelWeekdayDisabledColor() { return UIColor::lightGrayColor(); }

    static UIColor defaultAccentColor() { return UIColor(0.0, 0.48, 1.0); }
};
