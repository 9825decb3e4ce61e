#pragma once

// The row of weekday names over a month calendar: seven columns matching the grid's, the first
// being the delegate's `firstWeekday` (Sunday without a delegate), named in the device's locale.
// The delegate is read by `commitMenuViewUpdate` and held weakly. Main thread only.

#include "kits/calendar/CVCalendarDelegates.h"
#include "uikit/controls/Delegate.h"
#include "uikit/view/UIView.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class UILabel;

class CVCalendarMenuView : public UIView {
public:
    CVCalendarMenuView();
    explicit CVCalendarMenuView(const CGRect& frame);
    std::string className() const override { return "CVCalendarMenuView"; }

    cw::DelegateRef<CVCalendarMenuViewDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<CVCalendarMenuViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Names the columns again from the delegate's first weekday.
    void commitMenuViewUpdate();

    // The names shown, left to right.
    std::vector<std::string> weekdayNames() const;
    CVCalendarWeekday firstWeekday() const { return firstWeekday_; }

    void layoutSubviews() override;

private:
    void build();
    void nameColumns();

    cw::DelegateRef<CVCalendarMenuViewDelegate> delegate_;
    std::array<std::shared_ptr<UILabel>, 7> labels_;
    CVCalendarWeekday firstWeekday_ = CVCalendarWeekday::sunday;
};

using CVCalendarMenuViewPtr = std::shared_ptr<CVCalendarMenuView>;
