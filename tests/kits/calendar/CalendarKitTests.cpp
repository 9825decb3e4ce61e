#include "CalendarTestApp.h"

#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"
#include "kits/calendar/CVCalendarMenuView.h"
#include "kits/calendar/CVCalendarView.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using cw::HeadlessHost;

namespace {

std::string dayText(const CVDate& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(d.year()),
                  static_cast<long long>(d.month()), static_cast<long long>(d.day()));
    return text;
}

// A delegate that accepts the days it is given and writes down everything it hears.
class RecordingDelegate : public CVCalendarViewDelegate,
                          public CVCalendarMenuViewDelegate,
                          public CVCalendarViewAppearanceDelegate {
public:
    CVCalendarWeekday firstWeekday() override { return first; }
    bool shouldAutoSelectDayOnMonthChange() override { return autoSelect; }
    bool shouldSelectDayView(CVCalendarDayView& day) override {
        ++questions;
        return accepted.count(dayText(day.date())) > 0;
    }
    void didSelectDayView(CVCalendarDayView& day, bool) override { events.push_back("select " + dayText(day.date())); }
    void presentedDateUpdated(const CVDate& date) override { events.push_back("presented " + date.globalDescription()); }
    void didShowNextMonthView(const Date& date) override { events.push_back("next " + dayText(CVDate(date))); }
    void didShowPreviousMonthView(const Date& date) override {
        events.push_back("previous " + dayText(CVDate(date)));
    }
    UIColor dayLabelWeekdaySelectedBackgroundColor() override { return UIColor(1, 94 / 255.0, 58 / 255.0); }
    UIColor dayLabelWeekdayHighlightedBackgroundColor() override { return UIColor(0, 0.5, 0); }
    UIColor dayLabelWeekdayDisabledColor() override { return UIColor::lightGrayColor(); }

    CVCalendarWeekday first = CVCalendarWeekday::sunday;
    bool autoSelect = false;
    std::set<std::string> accepted;
    std::vector<std::string> events;
    int questions = 0;
};

Date localDate(const std::string& day, int hour = 12, int minute = 0) {
    DateComponents c;
    c.year = std::stoi(day.substr(0, 4));
    c.month = std::stoi(day.substr(5, 2));
    c.day = std::stoi(day.substr(8, 2));
    c.hour = hour;
    c.minute = minute;
    return *Calendar::current().dateFrom(c);
}

struct CalendarScreen {
    CalendarScreen() {
        host.launch(app);
        calendar = std::make_shared<CVCalendarView>(CGRect{20, 120, 308, 252});
        menu = std::make_shared<CVCalendarMenuView>(CGRect{20, 90, 308, 28});
        calendar->setCalendarAppearanceDelegate(delegate);
        app->root->view()->addSubview(menu);
        app->root->view()->addSubview(calendar);
        calendar->setDelegate(delegate);
        menu->setDelegate(delegate);
        commit();
    }
    void commit() {
        host.settle();
        menu->commitMenuViewUpdate();
        calendar->commitCalendarViewUpdate();
        host.settle();
    }
    std::vector<std::string> takeEvents() {
        auto e = delegate->events;
        delegate->events.clear();
        return e;
    }

    HeadlessHost host;
    std::shared_ptr<calendar_tests::App> app = std::make_shared<calendar_tests::App>();
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<CVCalendarView> calendar;
    std::shared_ptr<CVCalendarMenuView> menu;
};

TEST(CalendarKit, GridAndWeekdayRowBeginOnTheDelegatesWeekdayInAnyLocale) {
    // Germany starts its weeks on Monday; the delegate's Sunday wins.
    DeviceSettingsGuard device("de_DE", "Europe/Berlin");
    CalendarScreen screen;
    screen.calendar->toggleViewWithDate(localDate("2026-03-09"));
    screen.commit();
    EXPECT_THAT(screen.menu->weekdayNames(), ElementsAre("So.", "Mo.", "Di.", "Mi.", "Do.", "Fr.", "Sa."));
    auto days = screen.calendar->dayViews();
    ASSERT_EQ(days.size(), 31u);
    EXPECT_EQ(days.front()->accessibilityIdentifier(), "2026-03-01");
    EXPECT_EQ(days.back()->accessibilityIdentifier(), "2026-03-31");
    // 1 March 2026 is a Sunday: the leftmost column, first row.
    const CGFloat column = screen.calendar->bounds().width() / 7;
    EXPECT_NEAR(days[0]->frame().minX(), 0, 0.01);
    EXPECT_NEAR(days[7]->frame().minY(), days[0]->frame().maxY(), 0.01);
    EXPECT_NEAR(days[2]->frame().minX(), 2 * column, 0.01);
    EXPECT_EQ(screen.calendar->presentedDate().globalDescription(), "März 2026");

    // A delegate that says Monday moves Sunday the 1st to the last column.
    screen.delegate->first = CVCalendarWeekday::monday;
    screen.commit();
    EXPECT_THAT(screen.menu->weekdayNames(), ElementsAre("Mo.", "Di.", "Mi.", "Do.", "Fr.", "Sa.", "So."));
    EXPECT_NEAR(screen.calendar->dayViews()[0]->frame().minX(), 6 * column, 0.01);
    EXPECT_EQ(screen.calendar->columnOf(CVCalendarWeekday::sunday), 6);
}

TEST(CalendarKit, OnlyAcceptedDaysCanBeTappedAndEachSelectionIsReportedOnce) {
    DeviceSettingsGuard device("en_US", "America/New_York");
    CalendarScreen screen;
    screen.delegate->accepted = {"2026-03-03", "2026-03-05", "2026-03-09"};
    // The clock says September 2020: the calendar starts there.
    EXPECT_EQ(screen.calendar->presentedDate().globalDescription(), "September 2020");

    // Showing a date marks its day without a selection report.
    screen.calendar->toggleViewWithDate(localDate("2026-03-09", 23, 30));
    screen.commit();
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented March 2026"));
    auto nine = screen.calendar->dayView(CVDate(2026, 3, 9));
    ASSERT_TRUE(nine);
    EXPECT_TRUE(nine->isSelected());
    EXPECT_EQ(screen.calendar->selectedDate(), CVDate(2026, 3, 9));

    // A refused day is drawn in the disabled colour and does not take a tap.
    auto four = screen.calendar->dayView(CVDate(2026, 3, 4));
    EXPECT_FALSE(four->isEnabled());
    EXPECT_EQ(four->numberColor(), UIColor::lightGrayColor());
    EXPECT_TRUE(screen.host.tapIdentifier("2026-03-04"));
    EXPECT_TRUE(screen.takeEvents().empty());
    EXPECT_TRUE(nine->isSelected());

    EXPECT_TRUE(screen.host.tapIdentifier("2026-03-05"));
    EXPECT_THAT(screen.takeEvents(), ElementsAre("select 2026-03-05"));
    EXPECT_FALSE(nine->isSelected());
    auto five = screen.calendar->dayView(CVDate(2026, 3, 5));
    EXPECT_TRUE(five->isSelected());

    // The selected day is drawn on the selected colour.
    auto picture = cw::renderView(*screen.calendar, 2);
    const CGRect f = five->frame();
    const UIColor disc = picture->pixelColor(static_cast<int>((f.midX() - 12) * 2), static_cast<int>(f.midY() * 2));
    EXPECT_NEAR(disc.red(), 1.0, 0.02);
    EXPECT_NEAR(disc.green(), 94 / 255.0, 0.02);
    EXPECT_NEAR(disc.blue(), 58 / 255.0, 0.02);
    const UIColor blank = picture->pixelColor(static_cast<int>((four->frame().midX() - 12) * 2),
                                              static_cast<int>(four->frame().midY() * 2));
    EXPECT_LT(blank.alpha(), 0.01);
}

TEST(CalendarKit, AFingerDownHighlightsOnlyAcceptedDays) {
    DeviceSettingsGuard device("en_US", "UTC");
    CalendarScreen screen;
    screen.delegate->accepted = {"2026-03-05"};
    screen.calendar->toggleViewWithDate(localDate("2026-03-09"));
    screen.commit();
    screen.takeEvents();
    cw::TouchDelivery touches(screen.host.window());
    auto five = screen.calendar->dayView(CVDate(2026, 3, 5));
    auto six = screen.calendar->dayView(CVDate(2026, 3, 6));
    const auto centre = [&](const std::shared_ptr<CVCalendarDayView>& v) {
        return v->convert(v->bounds().center(), nullptr);
    };
    touches.send(UITouchPhase::began, centre(six));
    EXPECT_FALSE(six->isHighlighted());
    touches.send(UITouchPhase::ended, centre(six));
    touches.send(UITouchPhase::began, centre(five));
    EXPECT_TRUE(five->isHighlighted());
    EXPECT_EQ(five->discColor(), UIColor(0, 0.5, 0));
    EXPECT_EQ(five->numberColor(), UIColor::whiteColor());
    // Lifted outside the day: no selection.
    touches.send(UITouchPhase::moved, centre(six));
    touches.send(UITouchPhase::ended, centre(six));
    screen.host.settle();
    EXPECT_FALSE(five->isHighlighted());
    EXPECT_TRUE(screen.takeEvents().empty());
}

TEST(CalendarKit, DragsPageMonthsAndReportThemAfterTheySettle) {
    DeviceSettingsGuard device("en_US", "Europe/Paris");
    CalendarScreen screen;
    screen.delegate->accepted = {"2026-03-09", "2026-04-01"};
    screen.calendar->toggleViewWithDate(localDate("2026-03-09"));
    screen.commit();
    screen.takeEvents();
    const CGRect f = screen.calendar->frame();
    const CGFloat y = f.midY();

    // A short drag that is let go slowly falls back to March.
    screen.host.drag({f.midX(), y}, {f.midX() - 40, y}, 40);
    EXPECT_TRUE(screen.takeEvents().empty());
    EXPECT_EQ(screen.calendar->presentedDate().globalDescription(), "March 2026");
    // The neighbouring months are not on show while nothing moves.
    EXPECT_FALSE(screen.host.findByIdentifier("2026-04-01"));

    screen.host.drag({f.maxX() - 10, y}, {f.minX() + 10, y});
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented April 2026", "next 2026-04-01"));
    EXPECT_EQ(screen.calendar->presentedDate(), CVDate(2026, 4, 1));
    ASSERT_TRUE(screen.host.findByIdentifier("2026-04-01"));
    EXPECT_FALSE(screen.calendar->dayView(CVDate(2026, 4, 1))->isSelected());
    // Refused and accepted days of the new month were asked about.
    EXPECT_TRUE(screen.calendar->dayView(CVDate(2026, 4, 1))->isEnabled());
    EXPECT_FALSE(screen.calendar->dayView(CVDate(2026, 4, 2))->isEnabled());

    screen.host.drag({f.minX() + 10, y}, {f.maxX() - 10, y});
    screen.host.drag({f.minX() + 10, y}, {f.maxX() - 10, y});
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented March 2026", "previous 2026-03-01",
                                                 "presented February 2026", "previous 2026-02-01"));
    // Back in March the selection is still marked.
    screen.host.drag({f.maxX() - 10, y}, {f.minX() + 10, y});
    screen.takeEvents();
    EXPECT_TRUE(screen.calendar->dayView(CVDate(2026, 3, 9))->isSelected());

    // With automatic selection, paging selects (and reports) the new month's first day if it may.
    screen.delegate->autoSelect = true;
    screen.host.drag({f.maxX() - 10, y}, {f.minX() + 10, y});
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented April 2026", "next 2026-04-01", "select 2026-04-01"));
    screen.host.drag({f.maxX() - 10, y}, {f.minX() + 10, y});
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented May 2026", "next 2026-05-01"));

    // Toggling back to a date twelve months away goes there and marks it.
    screen.calendar->toggleViewWithDate(localDate("2027-05-02"));
    EXPECT_THAT(screen.takeEvents(), ElementsAre("presented May 2027"));
    EXPECT_TRUE(screen.calendar->dayView(CVDate(2027, 5, 2))->isSelected());
}

TEST(CalendarKit, DaysConvertInTheirCalendarAndNameTheirMonth) {
    DeviceSettingsGuard device("en_US", "Asia/Tokyo");
    // 23:30 local time belongs to that local day, east or west of UTC.
    EXPECT_EQ(CVDate(localDate("2026-03-09", 23, 30)), CVDate(2026, 3, 9));
    {
        DeviceSettingsGuard west("en_US", "America/Los_Angeles");
        EXPECT_EQ(CVDate(localDate("2026-03-09", 23, 30)), CVDate(2026, 3, 9));
        EXPECT_EQ(CVDate(Date::since1970(1'773'100'800)), CVDate(2026, 3, 9)); // 00:00 UTC on the 10th
    }
    const auto converted = CVDate(2026, 3, 9).convertedDate(Calendar::current());
    ASSERT_TRUE(converted);
    EXPECT_EQ(*converted, localDate("2026-03-09", 0, 0));
    EXPECT_FALSE(CVDate(2026, 2, 30).convertedDate(Calendar::current()));
    EXPECT_FALSE(CVDate(2026, 13, 1).convertedDate(Calendar::current()));
    EXPECT_FALSE(CVDate(2026, 0, 1).convertedDate(Calendar::current()));
    EXPECT_EQ(CVDate(2026, 13, 1).globalDescription(), "");

    EXPECT_EQ(CVDate(2026, 3, 9).globalDescription(), "March 2026");
    Locale::setCurrentForTesting(Locale("ja_JP"));
    EXPECT_EQ(CVDate(2026, 3, 9).globalDescription(), "2026年3月");
}

} // namespace
