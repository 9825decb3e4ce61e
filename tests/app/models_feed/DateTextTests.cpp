#include "Models/DateFormatting.h"
#include "Models/FeedResponse.h"

#include "foundation/time/Clock.h"
#include "foundation/time/DeviceSettingsGuard.h"

#include <gtest/gtest.h>

TEST(FeedDateText, ServerTimesInTheDeviceStyle) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto card = std::make_shared<FeedResponse>();
    EXPECT_FALSE(card->dateText());
    card->cardTime = "2019-03-04";
    EXPECT_FALSE(card->dateText());
    card->cardTime = "2019-03-04T05:06:07.890+0000";
    ASSERT_TRUE(card->dateText());
    const std::string utc = *card->dateText();
    EXPECT_NE(utc.find("Mar 4, 2019"), std::string::npos) << utc;
    EXPECT_NE(utc.find("5:06"), std::string::npos) << utc;

    // Shown in the device's zone, and formatted afresh each time.
    TimeZone::setCurrentForTesting(*TimeZone::withIdentifier("America/New_York"));
    EXPECT_NE(card->dateText()->find("12:06"), std::string::npos) << *card->dateText();
    EXPECT_NE(card->dateText()->find("Mar 4, 2019"), std::string::npos) << *card->dateText();
}

TEST(FeedDateText, ServerTimesReadOnAnyDeviceCalendar) {
    // A Buddhist-calendar device must still read 2019 as 2019, not as a year of its own era.
    DeviceSettingsGuard device("th_TH@calendar=buddhist", "UTC");
    auto card = FeedResponse::fromPostDictionary(
        JSON::parse(R"({"created_at": "2019-03-04T05:06:07.890+0000"})").value());
    const auto date = FeedResponse::serverTimeFormatter().date(*card->cardTime);
    ASSERT_TRUE(date);
    EXPECT_NEAR(date->timeIntervalSince1970(), 1'551'675'967.890, 1e-6);
    EXPECT_TRUE(card->dateText());
}

TEST(FeedDateText, RelativeTimesOfCardsAndComments) {
    ManualClock clock(1'551'675'967.890 + 2 * 86'400);
    auto card = FeedResponse::fromDictionary(JSON::parse(
                                                 R"({"card_time": "2019-03-04T05:06:07.890+0000",
            "latest_comments": [{"created_at": "2019-03-06T05:05:07.890+0000"}, {"created_at": "yesterday"}]})")
                                                 .value());
    auto posted = DateFormatting::serverDateFormatter().date(*card->cardTime);
    ASSERT_TRUE(posted);
    EXPECT_EQ(DateFormatting::relativeTimeText(*posted), "2 days ago");
    auto commented = DateFormatting::serverDateFormatter().date(card->latestComments[0].commentTime);
    ASSERT_TRUE(commented);
    EXPECT_EQ(DateFormatting::relativeTimeText(*commented), "A minute ago");
    EXPECT_FALSE(DateFormatting::serverDateFormatter().date(card->latestComments[1].commentTime));
}
