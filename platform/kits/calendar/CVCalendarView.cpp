#include "kits/calendar/CVCalendarView.h"

#include "uikit/controls/UIScrollView.h"

#include <algorithm>
#include <cmath>

namespace cw::calendar {

constexpr int kColumns = 7;
// Every month takes six rows, so the grid keeps its size from month to month.
constexpr int kRows = 6;

// One month of the grid: its days in their cells, blanks before the first and after the last.
class MonthPageView : public UIView {
public:
    MonthPageView() { setOpaque(false); }
    std::string className() const override { return "CVCalendarMonthView"; }

    void fill(const Date& start, const Calendar& calendar, CVCalendarWeekday firstWeekday,
              const DateFormatter& numbers, const DateFormatter& identifiers) {
        for (auto& day : days) day->removeFromSuperview();
        days.clear();
        const CVDate first(start, calendar);
        const auto weekday = calendar.component(Calendar::Component::weekday, start).value_or(1);
        offset = static_cast<int>(((weekday - static_cast<int>(firstWeekday)) % kColumns + kColumns) % kColumns);
        for (int i = 0; offset + i < kColumns * kRows; ++i) {
            const auto date = calendar.dateByAdding(Calendar::Component::day, i, start);
            if (!date) break;
            const CVDate day(*date, calendar);
            if (!day.isSameMonth(first)) break;
            auto view = std::make_shared<CVCalendarDayView>(day);
            view->setNumberText(numbers.string(*date));
            view->setAccessibilityIdentifier(identifiers.string(*date));
            addSubview(view);
            days.push_back(view);
        }
        setNeedsLayout();
    }

    void layoutSubviews() override {
        UIView::layoutSubviews();
        const CGFloat w = bounds().width() / kColumns, h = bounds().height() / kRows;
        for (std::size_t i = 0; i < days.size(); ++i) {
            const int cell = offset + static_cast<int>(i);
            days[i]->setFrame({(cell % kColumns) * w, (cell / kColumns) * h, w, h});
        }
    }

    std::vector<std::shared_ptr<CVCalendarDayView>> days;
    // The column of the first day.
    int offset = 0;
};

class PagingDelegate : public UIScrollViewDelegate {
public:
    explicit PagingDelegate(CVCalendarView* owner) : owner_(owner) {}
    void scrollViewWillBeginDragging(UIScrollView*) override { owner_->showNeighbours(true); }
    void scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) override {
        if (!willDecelerate) owner_->pagingSettled();
    }
    void scrollViewDidEndDecelerating(UIScrollView*) override { owner_->pagingSettled(); }
    void scrollViewDidEndScrollingAnimation(UIScrollView*) override { owner_->pagingSettled(); }

private:
    // The calendar view owns this delegate and the scroll view that calls it.
    CVCalendarView* owner_;
};

} // namespace cw::calendar

using cw::calendar::MonthPageView;

CVCalendarView::CVCalendarView() : CVCalendarView(CGRect{}) {}

CVCalendarView::CVCalendarView(const CGRect& frame)
    : UIView(frame), calendar_(Calendar::current()),
      identifierFormatter_(DateFormatter::serverFormatter("yyyy-MM-dd")),
      defaultAppearance_(std::make_shared<CVCalendarViewAppearanceDelegate>()),
      presentedDate_(Date::now(), calendar_) {
    // The numbers in the device's digits and calendar.
    numberFormatter_.setDateFormat("d");
    build();
}

CVCalendarView::~CVCalendarView() = default;

void CVCalendarView::build() {
    setOpaque(false);
    scrollView_ = std::make_shared<UIScrollView>();
    scrollView_->isPagingEnabled = true;
    scrollView_->showsHorizontalScrollIndicator = false;
    scrollView_->showsVerticalScrollIndicator = false;
    scrollView_->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    scrollView_->setClipsToBounds(true);
    pagingDelegate_ = std::make_shared<cw::calendar::PagingDelegate>(this);
    scrollView_->setDelegate(pagingDelegate_);
    addSubview(scrollView_);
    for (auto& page : pages_) {
        page = std::make_shared<MonthPageView>();
        scrollView_->addSubview(page);
    }
    showNeighbours(false);
}

void CVCalendarView::setDelegate(cw::DelegateRef<CVCalendarViewDelegate> delegate) {
    delegate_ = std::move(delegate);
    stale_ = true;
}

void CVCalendarView::setCalendarAppearanceDelegate(cw::DelegateRef<CVCalendarViewAppearanceDelegate> delegate) {
    appearanceDelegate_ = std::move(delegate);
    stale_ = true;
}

std::optional<Date> CVCalendarView::monthStart(const CVDate& day, int months) const {
    const auto first = CVDate(day.year(), day.month(), 1).convertedDate(calendar_);
    if (!first) return std::nullopt;
    if (months == 0) return first;
    const auto moved = calendar_.dateByAdding(Calendar::Component::month, months, *first);
    if (!moved) return std::nullopt;
    return calendar_.startOfDay(*moved);
}

void CVCalendarView::fillPages() {
    auto d = delegate_.get();
    firstWeekday_ = d ? d->firstWeekday() : CVCalendarWeekday::sunday;
    for (int k = 0; k < 3; ++k) {
        if (const auto start = monthStart(presentedDate_, k - 1))
            pages_[static_cast<std::size_t>(k)]->fill(*start, calendar_, firstWeekday_, numberFormatter_,
                                                       identifierFormatter_);
    }
    stale_ = false;
    refreshDayStates(true);
    setNeedsLayout();
}

CVCalendarDayView::Looks CVCalendarView::looks() const {
    auto custom = appearanceDelegate_.get();
    CVCalendarViewAppearanceDelegate& source = custom ? *custom : *defaultAppearance_;
    return {source.dayLabelWeekdaySelectedBackgroundColor(), source.dayLabelWeekdayHighlightedBackgroundColor(),
            source.dayLabelWeekdayDisabledColor()};
}

void CVCalendarView::refreshDayStates(bool askAcceptance) {
    const auto colours = looks();
    const CVDate today(Date::now(), calendar_);
    for (auto& page : pages_) {
        for (auto& day : page->days) {
            bool enabled = day->isEnabled();
            if (askAcceptance) {
                auto d = delegate_.get();
                enabled = !d || d->shouldSelectDayView(*day);
            }
            day->setState(enabled, selected_ && *selected_ == day->date(), day->date() == today, colours);
        }
    }
}

void CVCalendarView::commitCalendarViewUpdate() {
    auto d = delegate_.get();
    const auto first = d ? d->firstWeekday() : CVCalendarWeekday::sunday;
    if (stale_ || first != firstWeekday_ || pages_[1]->days.empty()) fillPages();
}

void CVCalendarView::toggleViewWithDate(const Date& date) {
    if (scrollView_->isDragging() || scrollView_->isDecelerating()) scrollView_->finishScrolling();
    auto keep = shared_from_this();
    const CVDate target(date, calendar_);
    const bool monthChanged = !target.isSameMonth(presentedDate_);
    presentedDate_ = target;
    selected_ = target;
    if (monthChanged || stale_) {
        fillPages();
        centrePages();
    } else {
        refreshDayStates(false);
    }
    if (monthChanged)
        if (auto d = delegate_.get()) d->presentedDateUpdated(presentedDate_);
}

std::vector<std::shared_ptr<CVCalendarDayView>> CVCalendarView::dayViews() const {
    return pages_[1]->days;
}

std::shared_ptr<CVCalendarDayView> CVCalendarView::dayView(const CVDate& date) const {
    for (const auto& day : pages_[1]->days)
        if (day->date() == date) return day;
    return nullptr;
}

int CVCalendarView::columnOf(CVCalendarWeekday weekday) const {
    return ((static_cast<int>(weekday) - static_cast<int>(firstWeekday_)) % 7 + 7) % 7;
}

void CVCalendarView::layoutSubviews() {
    UIView::layoutSubviews();
    if (pages_[1]->days.empty()) fillPages();
    const CGSize size = bounds().size;
    scrollView_->setFrame(CGRect({0, 0}, size));
    scrollView_->setContentSize({3 * size.width, size.height});
    for (int k = 0; k < 3; ++k)
        pages_[static_cast<std::size_t>(k)]->setFrame({k * size.width, 0, size.width, size.height});
    if (!(size == laidOutSize_) && !scrollView_->isDragging()) centrePages();
    laidOutSize_ = size;
}

void CVCalendarView::showNeighbours(bool shown) {
    pages_[0]->setHidden(!shown);
    pages_[2]->setHidden(!shown);
}

void CVCalendarView::centrePages() {
    scrollView_->setContentOffset({scrollView_->bounds().width(), 0});
    showNeighbours(false);
}

void CVCalendarView::pagingSettled() {
    const CGFloat w = scrollView_->bounds().width();
    if (w <= 0) return;
    const int page = static_cast<int>(std::lround(scrollView_->contentOffset().x / w));
    if (page == 1) {
        showNeighbours(false);
        return;
    }
    const int step = page < 1 ? -1 : 1;
    const auto start = monthStart(presentedDate_, step);
    if (!start) {
        centrePages();
        return;
    }
    auto keep = shared_from_this();
    presentedDate_ = CVDate(*start, calendar_);
    // The neighbour paged to becomes the middle page; only the new neighbour is filled in.
    if (step > 0) {
        std::rotate(pages_.begin(), pages_.begin() + 1, pages_.end());
        if (const auto next = monthStart(presentedDate_, 1))
            pages_[2]->fill(*next, calendar_, firstWeekday_, numberFormatter_, identifierFormatter_);
    } else {
        std::rotate(pages_.begin(), pages_.begin() + 2, pages_.end());
        if (const auto previous = monthStart(presentedDate_, -1))
            pages_[0]->fill(*previous, calendar_, firstWeekday_, numberFormatter_, identifierFormatter_);
    }
    refreshDayStates(true);
    const CGSize size = bounds().size;
    for (int k = 0; k < 3; ++k)
        pages_[static_cast<std::size_t>(k)]->setFrame({k * size.width, 0, size.width, size.height});
    centrePages();

    if (auto d = delegate_.get()) d->presentedDateUpdated(presentedDate_);
    if (auto d = delegate_.get()) {
        if (step > 0)
            d->didShowNextMonthView(*start);
        else
            d->didShowPreviousMonthView(*start);
    }
    auto d = delegate_.get();
    if (!d || !d->shouldAutoSelectDayOnMonthChange()) return;
    if (auto first = dayView(presentedDate_)) dayViewTapped(*first);
}

void CVCalendarView::dayViewTapped(CVCalendarDayView& day) {
    auto keep = shared_from_this();
    auto keepDay = day.shared_from_this();
    if (auto d = delegate_.get(); d && !d->shouldSelectDayView(day)) return;
    select(day);
}

void CVCalendarView::select(CVCalendarDayView& day) {
    selected_ = day.date();
    refreshDayStates(false);
    if (auto d = delegate_.get()) d->didSelectDayView(day, true);
}
