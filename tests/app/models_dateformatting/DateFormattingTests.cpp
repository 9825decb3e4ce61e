#include "Models/DateFormatting.h"

#include "foundation/time/Clock.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "foundation/time/Locale.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr double start = 1'600'000'000.0;

} // namespace

TEST(DateFormattingTest, RelativeTextBands) {
    ManualClock clock(start);
    const std::pair<double, const char*> table[] = {
        {4, "Just now"},           {0, "Just now"},
        {-3600, "Just now"},       {4.999, "Just now"},
        {5, "5 seconds ago"},      {59, "59 seconds ago"},
        {60, "A minute ago"},      {119, "A minute ago"},
        {120, "2 minutes ago"},    {3599, "59 minutes ago"},
        {3600, "An hour ago"},     {7199, "An hour ago"},
        {7200, "2 hours ago"},     {86399, "23 hours ago"},
        {86400, "Yesterday"},      {172799, "Yesterday"},
        {172800, "2 days ago"},    {604799, "6 days ago"},
        {604800, "Last week"},     {1209599, "Last week"},
        {1209600, "2 weeks ago"},  {2678399, "4 weeks ago"},
        {2678400, "Last month"},   {5270399, "Last month"},
        {5270400, "2 months ago"}, {31557599, "12 months ago"},
        {31557600, "Last year"},   {63158399, "Last year"},
        {63158400, "2 years ago"}, {3'155'760'000, "100 years ago"},
    };
    for (auto [seconds, text] : table) {
        EXPECT_EQ(DateFormatting::relativeTimeText(Date::since1970(start - seconds)), text) << seconds;
    }
}

TEST(DateFormattingTest, RelativeTextMovesWithTheClockAndIgnoresTheCalendar) {
    ManualClock clock(start);
    Date posted = Date::now();
    EXPECT_EQ(DateFormatting::relativeTimeText(posted), "Just now");
    clock.advance(5);
    EXPECT_EQ(DateFormatting::relativeTimeText(posted), "5 seconds ago");
    clock.advance(86'400);
    EXPECT_EQ(DateFormatting::relativeTimeText(posted), "Yesterday");

    // Elapsed seconds, not calendar days: a 23-hour day across a clock change is not "Yesterday",
    // and a Buddhist or Arabic-digit device writes the same texts.
    DeviceSettingsGuard device("ar_EG", "America/New_York");
    clock.setNow(1'615'737'600); // 2021-03-14 12:00 EDT
    EXPECT_EQ(DateFormatting::relativeTimeText(Date::since1970(1'615'654'800)), "23 hours ago");
    Locale::setCurrentForTesting(Locale("th_TH"));
    EXPECT_EQ(DateFormatting::relativeTimeText(Date::since1970(1'615'737'600 - 172'800)), "2 days ago");
}

TEST(DateFormattingTest, NonFiniteDatesAreJustNow) {
    ManualClock clock(start);
    EXPECT_EQ(DateFormatting::relativeTimeText(Date::since1970(std::numeric_limits<double>::quiet_NaN())),
              "Just now");
    EXPECT_EQ(DateFormatting::relativeTimeText(Date::since1970(-std::numeric_limits<double>::infinity())),
              "Just now");
}

TEST(DateFormattingTest, ServerFormatterReadsOnlyFullTimestamps) {
    ManualClock clock(1'551'675'967.890 + 300);
    const DateFormatter& formatter = DateFormatting::serverDateFormatter();
    EXPECT_EQ(&formatter, &DateFormatting::serverDateFormatter());

    auto date = formatter.date("2019-03-04T05:06:07.890+0000");
    ASSERT_TRUE(date);
    EXPECT_NEAR(date->timeIntervalSince1970(), 1'551'675'967.890, 1e-6);
    EXPECT_EQ(DateFormatting::relativeTimeText(*date), "5 minutes ago");

    // A bare date (or any other layout) gives no date, so callers show no relative text.
    EXPECT_FALSE(formatter.date("2019-03-04"));
    EXPECT_FALSE(formatter.date("2019-03-04T05:06:07+0000"));
    EXPECT_FALSE(formatter.date(""));
}

TEST(DateFormattingTest, ServerFormatterIgnoresTheDeviceCalendarAndDigits) {
    for (const char* locale : {"th_TH@calendar=buddhist", "ar_EG", "ar@numbers=arab"}) {
        DeviceSettingsGuard device(locale, "America/New_York");
        const DateFormatter& formatter = DateFormatting::serverDateFormatter();
        auto date = formatter.date("2019-03-04T05:06:07.890+0000");
        ASSERT_TRUE(date) << locale;
        EXPECT_NEAR(date->timeIntervalSince1970(), 1'551'675'967.890, 1e-6) << locale;
        // Written in the device's time zone, with ASCII digits and Gregorian years.
        EXPECT_EQ(formatter.string(*date), "2019-03-04T00:06:07.890-0500") << locale;
    }
}

TEST(DateFormattingTest, SharedFormatterIsMadeOnceAcrossThreads) {
    std::vector<const DateFormatter*> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &DateFormatting::serverDateFormatter(); });
    for (auto& thread : threads)
        thread.join();
    for (auto* formatter : seen)
        EXPECT_EQ(formatter, seen.front());
}
