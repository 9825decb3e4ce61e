// The daily update's calendar popover: the days it offers, the month in its title, and the
// selected day marked again in its own month only.
#include "Controllers/Baby/CalendarPopoverViewController.h"

#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "tests/support/LocalDates.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using cw::test::noonOf;

namespace {

class Presenter : public UIViewController,
                  public UIPopoverPresentationControllerDelegate,
                  public CalendarViewControllerDelegate {
public:
    std::optional<UIModalPresentationStyle> adaptivePresentationStyle(UIPresentationController&) override {
        return UIModalPresentationStyle::none;
    }
    void calendarViewController(CalendarPopoverViewController&, const Date& day) override {
        picked.push_back(day);
        dismiss(true);
    }
    std::vector<Date> picked;
};

class CalendarPopover : public ::testing::Test {
protected:
    void SetUp() override {
        host.launch(app);
        host.window()->setRootViewController(presenter);
        host.settle();
    }
    std::shared_ptr<CalendarPopoverViewController> present(std::vector<Date> available, std::optional<Date> selected) {
        auto calendar = std::make_shared<CalendarPopoverViewController>(std::move(available), selected);
        calendar->delegate = presenter.get();
        auto navigation = std::make_shared<UINavigationController>(calendar);
        navigation->modalPresentationStyle = UIModalPresentationStyle::popover;
        navigation->setPreferredContentSize({320, 340});
        auto popover = navigation->popoverPresentationController();
        popover->sourceView = presenter->view();
        popover->sourceRect = CGRect{330, 30, 30, 30};
        popover->setDelegate(presenter);
        presenter->present(navigation, true);
        host.settle();
        return calendar;
    }
    // Pages the calendar by months (forward for a positive count).
    void page(const std::shared_ptr<CalendarPopoverViewController>& calendar, int months) {
        const CGRect f = calendar->calendarView()->convert(calendar->calendarView()->bounds(), nullptr);
        for (int i = 0; i < std::abs(months); ++i) {
            if (months > 0)
                host.drag({f.maxX() - 10, f.midY()}, {f.minX() + 10, f.midY()});
            else
                host.drag({f.minX() + 10, f.midY()}, {f.maxX() - 10, f.midY()});
        }
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
    std::shared_ptr<Presenter> presenter = std::make_shared<Presenter>();
};

TEST_F(CalendarPopover, OffersOnlyTheDaysThatHoldAnUpdate) {
    DeviceSettingsGuard device("de_DE", "Europe/Berlin");
    auto calendar = present({noonOf(2026, 3, 3), noonOf(2026, 3, 5), noonOf(2026, 3, 9), noonOf(2026, 3, 5)},
                            noonOf(2026, 3, 9));
    EXPECT_TRUE(host.isShowing("März 2026"));
    // A German week starts on Monday; the calendar's on Sunday.
    EXPECT_THAT(calendar->menuView()->weekdayNames(), ElementsAre("So.", "Mo.", "Di.", "Mi.", "Do.", "Fr.", "Sa."));
    EXPECT_EQ(calendar->calendarView()->columnOf(CVCalendarWeekday::sunday), 0);
    auto ninth = calendar->calendarView()->dayView(CVDate(2026, 3, 9));
    ASSERT_TRUE(ninth);
    EXPECT_TRUE(ninth->isSelected());
    EXPECT_EQ(ninth->discColor(), UIColor(1, 0x5E / 255.0, 0x3A / 255.0));
    EXPECT_FALSE(calendar->calendarView()->dayView(CVDate(2026, 3, 4))->isEnabled());
    EXPECT_EQ(calendar->calendarView()->dayView(CVDate(2026, 3, 4))->numberColor(), UIColor::lightGrayColor());
    // The menu lies under the bar, the grid under the menu.
    const CGRect menu = calendar->menuView()->convert(calendar->menuView()->bounds(), nullptr);
    const CGRect bar = calendar->navigationController()->navigationBar()->convert(
        calendar->navigationController()->navigationBar()->bounds(), nullptr);
    EXPECT_GE(menu.minY(), bar.maxY());
    EXPECT_EQ(menu.height(), 28);

    ASSERT_TRUE(host.tapIdentifier("2026-03-04"));
    EXPECT_TRUE(presenter->picked.empty());
    EXPECT_TRUE(presenter->presentedViewController());
    ASSERT_TRUE(host.tapIdentifier("2026-03-05"));
    ASSERT_EQ(presenter->picked.size(), 1u);
    EXPECT_EQ(presenter->picked[0], Calendar::current().startOfDay(noonOf(2026, 3, 5)));
    EXPECT_FALSE(presenter->presentedViewController());
}

TEST_F(CalendarPopover, TheTitleFollowsTheMonthsAndTheSelectedDayIsMarkedOnlyInItsOwnMonth) {
    DeviceSettingsGuard device("en_US", "America/New_York");
    auto calendar = present({noonOf(2026, 3, 9)}, noonOf(2026, 3, 9));
    EXPECT_TRUE(host.isShowing("March 2026"));
    page(calendar, 1);
    EXPECT_TRUE(host.isShowing("April 2026"));
    page(calendar, -1);
    EXPECT_TRUE(host.isShowing("March 2026"));
    EXPECT_TRUE(calendar->calendarView()->dayView(CVDate(2026, 3, 9))->isSelected());

    // Twelve months on is another March: the calendar stays there.
    page(calendar, 12);
    EXPECT_TRUE(host.isShowing("March 2027"));
    EXPECT_EQ(calendar->calendarView()->presentedDate().year(), 2027);
    EXPECT_FALSE(calendar->calendarView()->dayView(CVDate(2027, 3, 9))->isSelected());
    EXPECT_FALSE(calendar->calendarView()->dayView(CVDate(2027, 3, 9))->isEnabled());
}

TEST_F(CalendarPopover, WithoutASelectedDateItOpensOnTheCurrentMonthAndMarksNothing) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto calendar = present({}, std::nullopt);
    EXPECT_TRUE(host.isShowing(CVDate(Date::now()).globalDescription()));
    EXPECT_FALSE(calendar->calendarView()->selectedDate());
    for (const auto& day : calendar->calendarView()->dayViews())
        EXPECT_FALSE(day->isEnabled());
    page(calendar, 1);
    page(calendar, -1);
    EXPECT_FALSE(calendar->calendarView()->selectedDate());
    // Closed by a tap outside it, the delegate hears nothing.
    ASSERT_TRUE(host.tapOutsidePopover());
    EXPECT_FALSE(presenter->presentedViewController());
    EXPECT_TRUE(presenter->picked.empty());
}

} // namespace
