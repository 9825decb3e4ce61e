#include "foundation/time/Clock.h"
#include "foundation/time/Date.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"

#include <gtest/gtest.h>

TEST(DateTest, NowFollowsTheInstalledClock) {
    ManualClock clock(1'551'675'967.5);
    EXPECT_DOUBLE_EQ(Date().timeIntervalSince1970(), 1'551'675'967.5);
    Date start = Date::now();
    clock.advance(90);
    EXPECT_DOUBLE_EQ(Date::now().timeIntervalSince(start), 90);
    EXPECT_DOUBLE_EQ(start.timeIntervalSinceNow(), -90);
    EXPECT_EQ(Date::sinceNow(-90), start);
    EXPECT_LT(start, Date::now());
}

TEST(DateTest, ArithmeticAndReferenceDate) {
    Date date = Date::since1970(1000);
    EXPECT_EQ(date + 5, Date::since1970(1005));
    EXPECT_EQ(date - 5, Date::since1970(995));
    EXPECT_DOUBLE_EQ(Date::since1970(1005) - date, 5);
    EXPECT_DOUBLE_EQ(Date::sinceReferenceDate(0).timeIntervalSince1970(), 978'307'200);
    EXPECT_DOUBLE_EQ(Date::since1970(978'307'201).timeIntervalSinceReferenceDate(), 1);
}

TEST(LocaleTest, EnvironmentNamesTheLocale) {
    using cw::detail::localeIdentifierFromEnvironment;
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, nullptr, nullptr), "en_US_POSIX");
    EXPECT_EQ(localeIdentifierFromEnvironment("", "", "C.UTF-8"), "en_US_POSIX");
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, nullptr, "POSIX"), "en_US_POSIX");
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, nullptr, "fr_FR.UTF-8"), "fr_FR");
    // LC_ALL wins over LC_TIME, which wins over LANG.
    EXPECT_EQ(localeIdentifierFromEnvironment("de_DE.UTF-8", "fr_FR", "en_GB"), "de_DE");
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, "fr_FR.UTF-8", "en_GB.UTF-8"), "fr_FR");
    // A POSIX modifier is dropped; an ICU keyword list is kept.
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, nullptr, "de_DE.UTF-8@euro"), "de_DE");
    EXPECT_EQ(localeIdentifierFromEnvironment(nullptr, nullptr, "th_TH@calendar=buddhist"),
              "th_TH@calendar=buddhist");
}

TEST(LocaleTest, CurrentIsReplaceableInTests) {
    Locale original = Locale::current();
    Locale::setCurrentForTesting(Locale("ar-EG"));
    EXPECT_EQ(Locale::current().identifier(), "ar_EG");
    Locale::setCurrentForTesting(std::nullopt);
    EXPECT_EQ(Locale::current(), original);
}

TEST(TimeZoneTest, IdentifiersAndOffsets) {
    EXPECT_FALSE(TimeZone::withIdentifier("Mars/Olympus_Mons"));
    EXPECT_FALSE(TimeZone::withIdentifier(""));
    auto newYork = TimeZone::withIdentifier("America/New_York");
    ASSERT_TRUE(newYork);
    EXPECT_EQ(newYork->identifier(), "America/New_York");
    // 2021-01-15 (standard time) and 2021-07-15 (daylight saving time).
    EXPECT_EQ(newYork->secondsFromGMT(Date::since1970(1'610'712'000)), -5 * 3600);
    EXPECT_EQ(newYork->secondsFromGMT(Date::since1970(1'626'350'400)), -4 * 3600);
    EXPECT_EQ(TimeZone::gmt().secondsFromGMT(), 0);

    EXPECT_EQ(TimeZone::withSecondsFromGMT(19'800)->secondsFromGMT(), 19'800);
    EXPECT_EQ(TimeZone::withSecondsFromGMT(-3'661)->secondsFromGMT(), -3'661);
    EXPECT_FALSE(TimeZone::withSecondsFromGMT(19 * 3600));
}

TEST(TimeZoneTest, TZValuesNameZones) {
    using cw::detail::timeZoneIdentifierFromTZ;
    EXPECT_EQ(timeZoneIdentifierFromTZ("Europe/Paris"), "Europe/Paris");
    EXPECT_EQ(timeZoneIdentifierFromTZ(":Europe/Paris"), "Europe/Paris");
    EXPECT_EQ(timeZoneIdentifierFromTZ("/usr/share/zoneinfo/Asia/Tokyo"), "Asia/Tokyo");
    EXPECT_EQ(timeZoneIdentifierFromTZ("UTC"), "UTC");
    EXPECT_FALSE(timeZoneIdentifierFromTZ(""));
    EXPECT_FALSE(timeZoneIdentifierFromTZ(nullptr));
    EXPECT_FALSE(timeZoneIdentifierFromTZ("Nowhere/Special"));
}

TEST(TimeZoneTest, CurrentIsReplaceableInTests) {
    TimeZone original = TimeZone::current();
    {
        DeviceSettingsGuard device("en_US", "Asia/Kolkata");
        EXPECT_EQ(TimeZone::current().identifier(), "Asia/Kolkata");
        EXPECT_EQ(TimeZone::current().secondsFromGMT(), 19'800);
    }
    EXPECT_EQ(TimeZone::current(), original);
}
