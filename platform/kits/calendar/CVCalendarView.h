#pragma once

// A month calendar: a grid of the days of one month (seven columns, the first given by the
// delegate's `firstWeekday`, six rows), in the device's calendar, locale and time zone.
//
// - A horizontal drag pages to the previous or next month (the neighbours are laid beside the
//   month on show while the finger moves). Once the new month has settled the delegate hears
//   `presentedDateUpdated` and then `didShowNextMonthView` or `didShowPreviousMonthView`.
// - A tap on a day asks `shouldSelectDayView`; when the answer is yes the day becomes the
//   selected one (drawn on the selected colour) and `didSelectDayView` is reported once. A refused
//   day is drawn in the disabled colour and a tap on it changes nothing. While a finger is down
//   on an accepted day it is drawn on the highlighted colour.
// - `toggleViewWithDate` shows the month of a date and marks its day selected, without asking
//   or reporting a selection (the delegate hears `presentedDateUpdated` when the month changed).
// - The selection belongs to the calendar, not to a month: it stays marked when the member pages
//   away and back.
// - The delegate's answers (first weekday, which days are accepted) and the appearance colours
//   are read when a month is filled in, and again by `commitCalendarViewUpdate` after the
//   delegates changed; the first weekday by `commitCalendarViewUpdate` at any time.
//
// Delegates are held weakly (see cw::DelegateRef). Main thread only.

#include "kits/calendar/CVCalendarDayView.h"
#include "kits/calendar/CVCalendarDelegates.h"
#include "kits/calendar/CVDate.h"
#include "uikit/controls/Delegate.h"
#include "uikit/view/UIView.h"

#include "foundation/time/DateFormatter.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

class UIScrollView;

namespace cw::calendar {
class MonthPageView;
class PagingDelegate;
} // namespace cw::calendar

class CVCalendarView : public UIView {
public:
    CVCalendarView();
    explicit CVCalendarView(const CGRect& frame);
    ~CVCalendarView() override;
    std::string className() const override { return "CVCalendarView"; }

    cw::DelegateRef<CVCalendarViewDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<CVCalendarViewDelegate> delegate);
    cw::DelegateRef<CVCalendarViewAppearanceDelegate> calendarAppearanceDelegate() const {
        return appearanceDelegate_;
    }
    void setCalendarAppearanceDelegate(cw::DelegateRef<CVCalendarViewAppearanceDelegate> delegate);

    // Reads the delegates' answers again where they may have changed, and lays the grid out for
    // the present size. Cheap when nothing changed, so it may follow every layout pass.
    void commitCalendarViewUpdate();
    // Shows the month of `date` with its day marked selected.
    void toggleViewWithDate(const Date& date);

    // A day of the month on show: today at first, the marked day after `toggleViewWithDate`, the
    // first of the month after paging.
    const CVDate& presentedDate() const { return presentedDate_; }
    // The day marked selected, if any.
    const std::optional<CVDate>& selectedDate() const { return selected_; }
    // The day cells of the month on show, in day order.
    std::vector<std::shared_ptr<CVCalendarDayView>> dayViews() const;
    // The cell of a day of the month on show.
    std::shared_ptr<CVCalendarDayView> dayView(const CVDate& date) const;
    // The column a weekday takes with the present first weekday (0 = leftmost).
    int columnOf(CVCalendarWeekday weekday) const;

    void layoutSubviews() override;

private:
    friend class CVCalendarDayView;
    friend class cw::calendar::PagingDelegate;
    void build();
    // The first moment of the month that holds `day`, moved by `months`.
    std::optional<Date> monthStart(const CVDate& day, int months) const;
    // Puts the month of `presentedDate_` and its neighbours in the three pages.
    void fillPages();
    // Marks the selected day and today; with `askAcceptance`, asks the delegate about every day.
    void refreshDayStates(bool askAcceptance);
    CVCalendarDayView::Looks looks() const;
    void dayViewTapped(CVCalendarDayView& day);
    void select(CVCalendarDayView& day);
    // After a drag settled: on a neighbour, that month becomes the one on show.
    void pagingSettled();
    void showNeighbours(bool shown);
    void centrePages();

    Calendar calendar_;
    DateFormatter numberFormatter_;
    DateFormatter identifierFormatter_;
    cw::DelegateRef<CVCalendarViewDelegate> delegate_;
    cw::DelegateRef<CVCalendarViewAppearanceDelegate> appearanceDelegate_;
    std::shared_ptr<CVCalendarViewAppearanceDelegate> defaultAppearance_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<cw::calendar::PagingDelegate> pagingDelegate_;
    // Previous, shown, next.
    std::array<std::shared_ptr<cw::calendar::MonthPageView>, 3> pages_;
    CVDate presentedDate_;
    std::optional<CVDate> selected_;
    CVCalendarWeekday firstWeekday_ = CVCalendarWeekday::sunday;
    // The delegates changed since the months were last filled in.
    bool stale_ = true;
    CGSize laidOutSize_{-1, -1};
};

using CVCalendarViewPtr = std::shared_ptr<CVCalendarView>;
