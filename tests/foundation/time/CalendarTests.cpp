#include "foundation/time/Calendar.h"
#include "foundation/time/DeviceSettingsGuard.h"

#include <gtest/gtest.h>

namespace {

using C = Calendar::Component;

Calendar calendarIn(const char* zone) {
    Calendar calendar = Calendar::gregorian();
    calendar.setTimeZone(*TimeZone::withIdentifier(zone));
    return calendar;
}

// New York: 2021-03-14 02:00 became 03:00, 2021-11-07 02:00 became 01:00.
constexpr double noonBeforeSpring = 1'615'654'800; // 2021-03-13 12:00 EST
constexpr double noonAfterSpring = 1'615'737'600;  // 2021-03-14 12:00 EDT
constexpr double noonBeforeFall = 1'636'214'400;   // 2021-11-06 12:00 EDT
constexpr double noonAfterFall = 1'636'304'400;    // 2021-11-07 12:00 EST

} // namespace

TEST(CalendarTest, ComponentsBetweenDatesAcrossDaylightSavingChanges) {
    Calendar calendar = calendarIn("America/New_York");
    Date before = Date::since1970(noonBeforeSpring), after = Date::since1970(noonAfterSpring);

    // Noon to noon is one calendar day, though only 23 hours passed.
    auto days = calendar.dateComponents({C::day, C::hour}, before, after);
    EXPECT_EQ(days.day, 1);
    EXPECT_EQ(days.hour, 0);
    EXPECT_EQ(calendar.dateComponents({C::hour}, before, after).hour, 23);
    EXPECT_EQ(calendar.dateComponents({C::second}, before, after).second, 23 * 3600);
    EXPECT_FALSE(calendar.dateComponents({C::second}, before, after).day);

    auto fall = calendar.dateComponents({C::day, C::hour, C::minute}, Date::since1970(noonBeforeFall),
                                        Date::since1970(noonAfterFall) + 90);
    EXPECT_EQ(fall.day, 1);
    EXPECT_EQ(fall.hour, 0);
    EXPECT_EQ(fall.minute, 1);
    EXPECT_EQ(
        calendar.dateComponents({C::hour}, Date::since1970(noonBeforeFall), Date::since1970(noonAfterFall))
            .hour,
        25);

    // Backwards gives negative counts; partial units are dropped towards zero.
    EXPECT_EQ(calendar.dateComponents({C::day}, after, before).day, -1);
    EXPECT_EQ(calendar.dateComponents({C::second}, Date::since1970(10.9), Date::since1970(0)).second, -10);
    EXPECT_EQ(calendar.dateComponents({C::second}, Date::since1970(0), Date::since1970(4.99)).second, 4);

    auto longSpan = calendar.dateComponents({C::year, C::month, C::day}, Date::since1970(noonBeforeSpring),
                                            Date::since1970(noonAfterFall));
    EXPECT_EQ(longSpan.year, 0);
    EXPECT_EQ(longSpan.month, 7);
    EXPECT_EQ(longSpan.day, 25);

    // Seconds over a century do not overflow.
    EXPECT_EQ(
        calendar.dateComponents({C::second}, Date::since1970(-2'208'988'800), Date::since1970(noonAfterFall))
            .second,
        static_cast<std::int64_t>(noonAfterFall) + 2'208'988'800);
    EXPECT_EQ(calendar.dateComponents({C::second}, Date::since1970(std::numeric_limits<double>::quiet_NaN()),
                                      Date::since1970(0)),
              DateComponents{});
}

TEST(CalendarTest, FieldsOfADateInTheCalendarsTimeZone) {
    Date date = Date::since1970(1'551'675'967.890); // 2019-03-04T05:06:07.890Z, a Monday
    auto utc = calendarIn("UTC").dateComponents(
        {C::era, C::year, C::month, C::day, C::hour, C::minute, C::second, C::nanosecond, C::weekday}, date);
    EXPECT_EQ(utc.era, 1);
    EXPECT_EQ(utc.year, 2019);
    EXPECT_EQ(utc.month, 3);
    EXPECT_EQ(utc.day, 4);
    EXPECT_EQ(utc.hour, 5);
    EXPECT_EQ(utc.minute, 6);
    EXPECT_EQ(utc.second, 7);
    EXPECT_NEAR(static_cast<double>(*utc.nanosecond), 890'000'000, 1'000);
    EXPECT_EQ(utc.weekday, 2);

    Calendar newYork = calendarIn("America/New_York");
    EXPECT_EQ(newYork.component(C::day, date), 4);
    EXPECT_EQ(newYork.component(C::hour, date), 0);
    EXPECT_EQ(calendarIn("America/Los_Angeles").component(C::day, date), 3);

    Calendar buddhist("buddhist");
    buddhist.setTimeZone(TimeZone::gmt());
    EXPECT_EQ(buddhist.identifier(), "buddhist");
    EXPECT_EQ(buddhist.component(C::year, date), 2562);
}

TEST(CalendarTest, StartOfDayAndSameDay) {
    Calendar newYork = calendarIn("America/New_York");
    Date afterSpring = Date::since1970(noonAfterSpring);
    // Midnight of the day the clocks go forward is still EST: 12 noon EDT minus 11 hours.
    EXPECT_EQ(newYork.startOfDay(afterSpring), afterSpring - 11 * 3600);
    EXPECT_EQ(newYork.startOfDay(newYork.startOfDay(afterSpring)), newYork.startOfDay(afterSpring));

    // Sao Paulo skipped midnight on 2018-11-04: the day starts at 01:00.
    Calendar saoPaulo = calendarIn("America/Sao_Paulo");
    Date noon = Date::since1970(1'541'343'600); // 2018-11-04 12:00 local (-0200)
    EXPECT_EQ(saoPaulo.startOfDay(noon), Date::since1970(1'541'300'400));
    EXPECT_EQ(saoPaulo.component(C::hour, saoPaulo.startOfDay(noon)), 1);

    // 2019-03-03 23:59 in New York: two minutes later is another day, 23 hours earlier the same.
    Date lateEvening = Date::since1970(1'551'675'540);
    EXPECT_TRUE(newYork.isDate(lateEvening, lateEvening - 23 * 3600));
    EXPECT_FALSE(newYork.isDate(lateEvening, lateEvening + 120));
    EXPECT_TRUE(newYork.isDate(afterSpring, newYork.startOfDay(afterSpring)));
    EXPECT_FALSE(newYork.isDate(afterSpring, newYork.startOfDay(afterSpring) - 1));
}

TEST(CalendarTest, AddingUnitsAndBuildingDates) {
    Calendar newYork = calendarIn("America/New_York");
    Date before = Date::since1970(noonBeforeSpring);
    // A day later keeps the wall-clock time: noon again, 23 hours on.
    EXPECT_EQ(newYork.dateByAdding(C::day, 1, before), Date::since1970(noonAfterSpring));
    EXPECT_EQ(newYork.dateByAdding(C::hour, 24, before), Date::since1970(noonAfterSpring) + 3600);
    EXPECT_EQ(newYork.dateByAdding(C::day, -1, Date::since1970(noonAfterSpring)), before);
    EXPECT_FALSE(newYork.dateByAdding(C::day, std::int64_t{1} << 40, before));

    auto built = newYork.dateFrom({.year = 2021, .month = 3, .day = 14, .hour = 12});
    ASSERT_TRUE(built);
    EXPECT_EQ(*built, Date::since1970(noonAfterSpring));
    // Day 32 of January rolls into February.
    auto rolled = calendarIn("UTC").dateFrom({.year = 2019, .month = 1, .day = 32});
    ASSERT_TRUE(rolled);
    EXPECT_EQ(calendarIn("UTC").component(C::month, *rolled), 2);
    EXPECT_FALSE(newYork.dateFrom({.year = std::int64_t{1} << 40}));
}

TEST(CalendarTest, CurrentFollowsTheDevice) {
    {
        DeviceSettingsGuard device("th_TH", "Asia/Bangkok");
        EXPECT_EQ(Calendar::current().identifier(), "buddhist");
        EXPECT_EQ(Calendar::current().timeZone().identifier(), "Asia/Bangkok");
    }
    {
        DeviceSettingsGuard device("en_US", "Europe/Paris");
        EXPECT_EQ(Calendar::current().identifier(), "gregorian");
        EXPECT_EQ(Calendar::current().timeZone().identifier(), "Europe/Paris");
    }
    DeviceSettingsGuard device("en_US@calendar=japanese", "Asia/Tokyo");
    EXPECT_EQ(Calendar::current().identifier(), "japanese");
}
