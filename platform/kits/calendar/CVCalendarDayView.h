#pragma once

// One day of the month grid: its number, and behind it a disc while it is selected or a finger
// is down on it. Its accessibility identifier is its date as "yyyy-MM-dd", so a person's tap can
// be aimed at a day by name.

#include "kits/calendar/CVDate.h"
#include "uikit/view/UIView.h"

#include <memory>

class CVCalendarView;
class UILabel;

namespace cw::calendar {
class MonthPageView;
}

class CVCalendarDayView : public UIView {
public:
    // A day asks the calendar view it lies in what a tap means.
    explicit CVCalendarDayView(CVDate date);
    std::string className() const override { return "CVCalendarDayView"; }

    const CVDate& date() const { return date_; }

    // Whether the delegate accepts this day (asked when the month was filled in).
    bool isEnabled() const { return enabled_; }
    bool isSelected() const { return selected_; }
    bool isHighlighted() const { return highlighted_; }
    bool isToday() const { return today_; }
    // The colour the number is drawn in now.
    UIColor numberColor() const;
    // The colour of the disc behind the number, when one is drawn.
    std::optional<UIColor> discColor() const;

    void layoutSubviews() override;
    void draw(const CGRect& rect) override;
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

private:
    friend class CVCalendarView;
    friend class cw::calendar::MonthPageView;
    struct Looks {
        UIColor selectedBackground;
        UIColor highlightedBackground;
        UIColor disabled;
    };
    void setNumberText(const std::string& text);
    void setState(bool enabled, bool selected, bool today, const Looks& looks);
    void setHighlighted(bool highlighted);
    void refreshLabel();

    CVCalendarView* calendarView() const;

    CVDate date_;
    std::shared_ptr<UILabel> label_;
    Looks looks_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool today_ = false;
};
