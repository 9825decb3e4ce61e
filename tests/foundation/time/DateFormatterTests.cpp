#include "foundation/time/DateFormatter.h"
#include "foundation/time/DeviceSettingsGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr const char* timestampPattern = "yyyy-MM-dd'T'HH:mm:ss.SSSZ";
// 2019-03-04T05:06:07.890 UTC
constexpr double sample = 1'551'675'967.890;

std::optional<double> parsed(const DateFormatter& formatter, std::string_view text) {
    auto date = formatter.date(text);
    if (!date) return std::nullopt;
    return date->timeIntervalSince1970();
}

} // namespace

TEST(DateFormatterTest, TimestampPatternIsParsedStrictly) {
    DeviceSettingsGuard device("en_US", "America/New_York");
    auto formatter = DateFormatter::serverFormatter(timestampPattern);

    EXPECT_NEAR(*parsed(formatter, "2019-03-04T05:06:07.890+0000"), sample, 1e-6);
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T00:06:07.890-0500"), sample, 1e-6);
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T10:36:07.890+0530"), sample, 1e-6);

    // Refused: a bare date, no milliseconds, no zone, trailing or inner text the pattern lacks,
    // fields out of range, single-digit fields where two are written.
    for (const char* text :
         {"2019-03-04", "2019-03-04T05:06:07+0000", "2019-03-04T05:06:07.890",
          "2019-03-04T05:06:07.890+0000xyz", "2019-03-04T05:06:07.890+0000 ", " 2019-03-04T05:06:07.890+0000",
          "2019-03-04T05:06:07.890 +0000", "2019-03-04 05:06:07.890+0000", "2019-13-04T05:06:07.890+0000",
          "2019-02-30T05:06:07.890+0000", "2019-03-04T24:06:07.890+0000", "2019-3-4T5:6:7.890+0000", "",
          "not a date"}) {
        EXPECT_FALSE(formatter.date(text)) << text;
    }
}

TEST(DateFormatterTest, MillisecondsAndZoneForms) {
    auto formatter = DateFormatter::serverFormatter(timestampPattern);
    // The fraction is read as a decimal fraction of any length, kept to the millisecond.
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T05:06:07.8+0000"), 1'551'675'967.8, 1e-6);
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T05:06:07.89012+0000"), sample, 1e-6);
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T05:06:07.000+0000"), 1'551'675'967.0, 1e-6);

    // What Z accepts besides the basic +HHMM form.
    for (const char* text : {"2019-03-04T05:06:07.890Z", "2019-03-04T05:06:07.890UTC",
                             "2019-03-04T05:06:07.890+00:00", "2019-03-04T05:06:07.890GMT"}) {
        ASSERT_TRUE(formatter.date(text)) << text;
        EXPECT_NEAR(formatter.date(text)->timeIntervalSince1970(), sample, 1e-6) << text;
    }
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T07:06:07.890+02"), sample, 1e-6);
    EXPECT_NEAR(*parsed(formatter, "2019-03-04T10:36:07.890GMT+05:30"), sample, 1e-6);
    EXPECT_FALSE(formatter.date("2019-03-04T05:06:07.890+"));
    EXPECT_FALSE(formatter.date("2019-03-04T05:06:07.890Q"));
    // A fraction of more digits than any date is written with is refused; the parser underneath
    // stopped the process on one of 84 digits.
    EXPECT_FALSE(formatter.date("2019-03-06T05:06:07.89" + std::string(82, '0') + "+0000"));

    // The seconds-only server pattern refuses milliseconds.
    auto seconds = DateFormatter::serverFormatter("yyyy-MM-dd'T'HH:mm:ssZ");
    EXPECT_FALSE(seconds.date("2019-03-04T05:06:07.890+0000"));
    EXPECT_NEAR(*parsed(seconds, "2019-03-04T05:06:07+0000"), 1'551'675'967.0, 1e-6);
}

TEST(DateFormatterTest, ServerFormatterWritesInTheDeviceTimeZone) {
    auto formatter = DateFormatter::serverFormatter(timestampPattern);
    {
        DeviceSettingsGuard device("en_US", "America/New_York");
        EXPECT_EQ(formatter.string(Date::since1970(sample)), "2019-03-04T00:06:07.890-0500");
        EXPECT_EQ(formatter.timeZone().identifier(), "America/New_York");
    }
    {
        DeviceSettingsGuard device("en_US", "Asia/Tokyo");
        EXPECT_EQ(formatter.string(Date::since1970(sample)), "2019-03-04T14:06:07.890+0900");
    }
    auto time = DateFormatter::serverFormatter("HH:mm:ss");
    DeviceSettingsGuard device("en_US", "Europe/Paris");
    auto seven = time.date("07:00:00");
    ASSERT_TRUE(seven);
    EXPECT_EQ(time.string(*seven), "07:00:00");
    EXPECT_FALSE(time.date("22:00"));
}

// With the device's own locale, a Thai Buddhist calendar reads 2019 as a Buddhist-era year and
// Arabic digits are written into texts meant for the server. The server formatter is immune.
TEST(DateFormatterTest, ServerTextsSurviveThaiAndArabicDevices) {
    for (const char* locale : {"th_TH@calendar=buddhist", "th_TH", "ar_EG", "ar@numbers=arab", "fa_IR"}) {
        SCOPED_TRACE(locale);
        DeviceSettingsGuard device(locale, "UTC");

        auto server = DateFormatter::serverFormatter(timestampPattern);
        EXPECT_NEAR(*parsed(server, "2019-03-04T05:06:07.890+0000"), sample, 1e-6);
        EXPECT_EQ(server.string(Date::since1970(sample)), "2019-03-04T05:06:07.890+0000");
        EXPECT_EQ(server.calendar().identifier(), "gregorian");

        auto day = DateFormatter::serverFormatter("yyyy-MM-dd");
        EXPECT_NEAR(*parsed(day, "2019-03-04"), 1'551'657'600, 1e-6);
        EXPECT_EQ(day.string(Date::since1970(1'551'657'600)), "2019-03-04");

        // What the device's own settings would have done.
        DateFormatter device_formatter;
        device_formatter.setDateFormat("yyyy-MM-dd");
        auto misread = device_formatter.date("2019-03-04");
        bool wrongYear = misread && std::abs(misread->timeIntervalSince1970() - 1'551'657'600) > 1;
        bool wrongDigits = device_formatter.string(Date::since1970(1'551'657'600)) != "2019-03-04";
        EXPECT_TRUE(wrongYear || wrongDigits);
    }
}

TEST(DateFormatterTest, DisplayTextsKeepTheDeviceLocale) {
    DeviceSettingsGuard device("en_US", "UTC");
    DateFormatter formatter;
    formatter.setDateStyle(DateFormatter::Style::mediumStyle);
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "Mar 4, 2019");
    EXPECT_EQ(formatter.dateFormat(), "MMM d, y");
    EXPECT_TRUE(formatter.date("Mar 4, 2019"));

    // Formatters without their own locale follow a later change of the device's.
    Locale::setCurrentForTesting(Locale("fr_FR"));
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "4 mars 2019");
    Locale::setCurrentForTesting(Locale("th_TH"));
    EXPECT_EQ(formatter.calendar().identifier(), "buddhist");
    EXPECT_NE(formatter.string(Date::since1970(sample)).find("2562"), std::string::npos);

    // A pattern replaces the styles, and styles replace the pattern.
    formatter.setDateFormat("MMM, dd yyyy");
    formatter.setLocale(Locale("en_US"));
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "Mar, 04 2019");
    formatter.setTimeStyle(DateFormatter::Style::shortStyle);
    formatter.setDateStyle(DateFormatter::Style::noStyle);
    EXPECT_EQ(formatter.dateFormat(), "h:mm\u202Fa");
    formatter.setTimeStyle(DateFormatter::Style::noStyle);
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "");
    EXPECT_FALSE(formatter.date(""));
}

TEST(DateFormatterTest, TemplatesTakeEachLocalesOwnOrder) {
    DeviceSettingsGuard device("en_US", "UTC");
    DateFormatter formatter;
    formatter.setLocalizedDateFormatFromTemplate("yMMMM");
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "March 2019");
    Locale::setCurrentForTesting(Locale("de_DE"));
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "März 2019");
    Locale::setCurrentForTesting(Locale("ja_JP"));
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "2019年3月");
    // A pattern set afterwards replaces the template.
    formatter.setDateFormat("yyyy");
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "2019");
}

TEST(DateFormatterTest, UnusablePatternsAndDatesGiveNothing) {
    DateFormatter formatter;
    formatter.setDateFormat("yyyy-jj");
    EXPECT_FALSE(formatter.date("2019-01"));
    EXPECT_EQ(formatter.string(Date::since1970(sample)), "");
    // An unterminated quote runs to the end of the pattern, as ICU reads it.
    formatter.setDateFormat("yyyy-'MM");
    EXPECT_TRUE(formatter.date("2019-MM"));

    auto server = DateFormatter::serverFormatter("yyyy-MM-dd");
    EXPECT_EQ(server.string(Date::since1970(std::numeric_limits<double>::quiet_NaN())), "");
    EXPECT_EQ(server.string(Date::since1970(std::numeric_limits<double>::infinity())), "");
}

// Midnight does not exist in Sao Paulo on 2018-11-04 (clocks went from 00:00 to 01:00). A date-only
// text for that day still reads, as the first moment of the day.
TEST(DateFormatterTest, DateOnlyTextOnADayWithoutMidnight) {
    DeviceSettingsGuard device("pt_BR", "America/Sao_Paulo");
    auto formatter = DateFormatter::serverFormatter("yyyy-MM-dd");
    auto date = formatter.date("2018-11-04");
    ASSERT_TRUE(date);
    EXPECT_DOUBLE_EQ(date->timeIntervalSince1970(), 1'541'300'400); // 03:00 UTC = 01:00 local
    EXPECT_EQ(formatter.string(*date), "2018-11-04");
    // The retry does not let impossible dates through.
    EXPECT_FALSE(formatter.date("2018-11-31"));
}

TEST(DateFormatterTest, OneFormatterServesManyThreads) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto formatter = DateFormatter::serverFormatter(timestampPattern);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                Date date = Date::since1970(sample + t * 86'400 + i);
                auto text = formatter.string(date);
                auto back = formatter.date(text);
                if (!back || std::abs(back->timeIntervalSince1970() - date.timeIntervalSince1970()) > 1e-6)
                    failures++;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}
