#include "Models/DailyUpdateData.h"
#include "RecordTestSupport.h"

#include "foundation/time/DeviceSettingsGuard.h"

TEST(DailyUpdateResponseTest, MissingOrMistypedKeysGiveEmptyValues) {
    for (const char* text : {"{}", R"({"daily_update": {"a": 1}})", R"({"daily_update": "x"})",
                             R"({"daily_update": null})", "[]"}) {
        DailyUpdateResponse response(reply(text));
        EXPECT_EQ(response.daysOfLifeDescription, "") << text;
        EXPECT_EQ(response.gestationalAgeDescription, "");
        EXPECT_EQ(response.adjustedGestationalAgeDescription, "");
        EXPECT_TRUE(response.dailyUpdates.empty());
    }
}

TEST(DailyUpdateResponseTest, EntriesWithUnreadableTimesAreDroppedAndTheRestKeepTheirOrder) {
    // The server's times must read on a device with another calendar and other digits.
    DeviceSettingsGuard device("ar_SA@calendar=islamic-umalqura;numbers=arab", "Asia/Riyadh");
    DailyUpdateResponse response(reply(R"({"days_of_life_description": "Day 12",
        "daily_update": [
            {"updated_at": "2018-11-05T14:30:00+0000", "items": [{"name": "first"}]},
            {"updated_at": "2018-11-05T14:30:00.000+0000", "items": [{"name": "millis"}]},
            {"updated_at": "2018-11-05 14:30:00+0000"},
            {"items": [{"name": "no time"}]},
            "2018-11-05T14:30:00+0000",
            {"updated_at": "2018-11-06T09:00:00-0500"},
            {"updated_at": "2018-11-05T14:30:00+0000", "items": [{"name": "same day"}]}]})"));
    EXPECT_EQ(response.daysOfLifeDescription, "Day 12");
    ASSERT_EQ(response.dailyUpdates.size(), 3u);
    EXPECT_EQ(response.dailyUpdates[0].updatedAt, Date::since1970(1541428200));
    EXPECT_EQ(response.dailyUpdates[0].items.at(0).name, "first");
    EXPECT_EQ(response.dailyUpdates[1].updatedAt, Date::since1970(1541512800));
    EXPECT_TRUE(response.dailyUpdates[1].items.empty());
    EXPECT_EQ(response.dailyUpdates[2].items.at(0).name, "same day");
}

TEST(DailyUpdateItemTest, ListsTextsAndFlags) {
    DailyUpdateItem item(
        reply(R"({"name": "weight", "title": 3, "value": "1.9 kg", "formatted_text": "<b>1.9</b>",
        "image": "https://x.test/w.png", "subitems": [{"title": "Gain", "value": "+20 g"}, 4],
        "data": ["a", 5, null, true], "was_changed": true, "info": "Weighed at 8"})"));
    EXPECT_EQ(item.name, "weight");
    EXPECT_FALSE(item.title);
    EXPECT_EQ(item.value, "1.9 kg");
    EXPECT_EQ(item.formattedText, "<b>1.9</b>");
    ASSERT_TRUE(item.imageURL);
    EXPECT_EQ(item.imageURL->absoluteString(), "https://x.test/w.png");
    ASSERT_TRUE(item.subItems);
    ASSERT_EQ(item.subItems->size(), 2u);
    EXPECT_EQ((*item.subItems)[0].title, "Gain");
    EXPECT_EQ((*item.subItems)[0].value, "+20 g");
    EXPECT_FALSE((*item.subItems)[1].title);
    EXPECT_EQ(item.data, (std::vector<std::string>{"a", "5", "", "true"}));
    EXPECT_TRUE(item.isUpdate);
    EXPECT_EQ(item.info, "Weighed at 8");

    DailyUpdateItem bare(reply(R"({"subitems": {}, "image": "", "data": []})"));
    EXPECT_FALSE(bare.subItems);
    EXPECT_FALSE(bare.imageURL);
    ASSERT_TRUE(bare.data);
    EXPECT_TRUE(bare.data->empty());
    EXPECT_FALSE(bare.isUpdate);
    DailyUpdateItem emptyList(reply(R"({"subitems": []})"));
    ASSERT_TRUE(emptyList.subItems);
    EXPECT_TRUE(emptyList.subItems->empty());
    EXPECT_FALSE(emptyList.data);
}
