#include "Controllers/Baby/CalendarPopoverViewController.h"

#include "Extensions/UIColor+Palette.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UILayoutGuide.h"

namespace {

// A picture of nothing: a bar given it as its shadow and background draws neither.
std::shared_ptr<UIImage> emptyImage() {
    const std::uint32_t clear = 0;
    return UIImage::fromPixels(1, 1, 1, &clear);
}

} // namespace

CalendarPopoverViewController::CalendarPopoverViewController(std::vector<Date> availableDates,
                                                             std::optional<Date> selectedDate)
    : tintColor(UIColorWithHex("#FF5E3A", 1.0)), availableDates(std::move(availableDates)),
      selectedDate(selectedDate) {}

const std::shared_ptr<CVCalendarView>& CalendarPopoverViewController::calendarView() {
    if (!calendarView_) calendarView_ = std::make_shared<CVCalendarView>();
    return calendarView_;
}

const std::shared_ptr<CVCalendarMenuView>& CalendarPopoverViewController::menuView() {
    if (!menuView_) menuView_ = std::make_shared<CVCalendarMenuView>();
    return menuView_;
}

void CalendarPopoverViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    const auto root = view();
    root->setBackgroundColor(UIColor::whiteColor());
    root->setTintColor(tintColor);
    const auto& menu = menuView();
    const auto& calendar = calendarView();
    menu->setTranslatesAutoresizingMaskIntoConstraints(false);
    calendar->setTranslatesAutoresizingMaskIntoConstraints(false);
    calendar->setCalendarAppearanceDelegate(this);
    root->addSubview(menu);
    root->addSubview(calendar);
    const auto guide = root->layoutMarginsGuide();
    NSLayoutConstraint::activate({
        menu->topAnchor().constraintEqualTo(guide->topAnchor()),
        menu->leftAnchor().constraintEqualTo(guide->leftAnchor()),
        menu->rightAnchor().constraintEqualTo(guide->rightAnchor()),
        menu->heightAnchor().constraintEqualToConstant(28),
    });
    // Below required, so that a popover made shorter than asked squeezes the grid, not the menu.
    auto bottom = calendar->bottomAnchor().constraintEqualTo(guide->bottomAnchor());
    bottom->setPriority(UILayoutPriorityDefaultHigh);
    NSLayoutConstraint::activate({
        calendar->leftAnchor().constraintEqualTo(guide->leftAnchor()),
        calendar->rightAnchor().constraintEqualTo(guide->rightAnchor()),
        bottom,
        calendar->topAnchor().constraintEqualTo(menu->bottomAnchor()),
    });
    root->layoutIfNeeded();
    calendar->setDelegate(this);
    menu->setDelegate(this);
    showTitle(calendar->presentedDate().globalDescription());
}

void CalendarPopoverViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (selectedDate) calendarView()->toggleViewWithDate(*selectedDate);
    if (auto navigation = navigationController()) {
        const auto& bar = navigation->navigationBar();
        bar->shadowImage = emptyImage();
        bar->backgroundImage = emptyImage();
        bar->setNeedsLayout();
    }
}

void CalendarPopoverViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    menuView()->commitMenuViewUpdate();
    calendarView()->commitCalendarViewUpdate();
}

bool CalendarPopoverViewController::shouldSelectDayView(CVCalendarDayView& dayView) {
    const Calendar calendar = Calendar::current();
    const auto date = dayView.date().convertedDate(calendar);
    if (!date) return false;
    for (const Date& available : availableDates)
        if (calendar.isDate(*date, available)) return true;
    return false;
}

void CalendarPopoverViewController::didSelectDayView(CVCalendarDayView& dayView, bool) {
    const auto date = dayView.date().convertedDate(Calendar::current());
    if (!date) return;
    if (auto d = delegate.get()) d->calendarViewController(*this, *date);
}

void CalendarPopoverViewController::presentedDateUpdated(const CVDate& date) {
    std::weak_ptr<UIViewController> weak = weak_from_this();
    DispatchQueue::main().async([weak, title = date.globalDescription()] {
        if (auto self = std::static_pointer_cast<CalendarPopoverViewController>(weak.lock())) self->showTitle(title);
    });
}

void CalendarPopoverViewController::didShowNextMonthView(const Date& date) {
    showedMonth(date);
}

void CalendarPopoverViewController::didShowPreviousMonthView(const Date& date) {
    showedMonth(date);
}

void CalendarPopoverViewController::showedMonth(const Date& date) {
    if (!selectedDate) return;
    const Calendar calendar = Calendar::current();
    using C = Calendar::Component;
    // Year and month both: twelve months on is another March, not the selected one.
    if (calendar.component(C::month, date) == calendar.component(C::month, *selectedDate) &&
        calendar.component(C::year, date) == calendar.component(C::year, *selectedDate))
        calendarView()->toggleViewWithDate(*selectedDate);
}

void CalendarPopoverViewController::showTitle(const std::string& title) {
    const auto& item = navigationItem();
    item->title = title;
    // The bar hears of a new title only when told.
    if (item->onChange) item->onChange();
}
