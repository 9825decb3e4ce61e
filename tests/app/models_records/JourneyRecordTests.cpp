#include "Models/JourneyData.h"
#include "RecordTestSupport.h"

#include <algorithm>

namespace {

std::vector<std::string> names(const JourneyResponse& response) {
    std::vector<std::string> list;
    for (const auto& section : response.sections)
        list.push_back(section.name.value_or("<none>"));
    return list;
}

} // namespace

TEST(JourneySectionTest, SectionsComeLatestWeekFirstAndUnnumberedLast) {
    auto response = JourneySection::parseJourneyData(reply(R"({
        "nicu_journey_data": {"Week 3": [{"label": "a"}], "Admission": [], "Week 10": [{"label": "b"}],
                              "Week 1-2": {"not": "a list"}},
        "days_of_life_description": "Day 40", "gestational_age_description": 31,
        "baby": {"full_name": "Mia"}})"));
    EXPECT_EQ(names(response), (std::vector<std::string>{"Week 1-2", "Week 10", "Week 3", "Admission"}));
    EXPECT_EQ(response.sections[0].weekNumber, 12);
    EXPECT_TRUE(response.sections[0].items.empty());
    EXPECT_EQ(response.sections[1].items.at(0).label, "b");
    EXPECT_TRUE(response.sections[3].items.empty());
    EXPECT_FALSE(response.sections[3].weekNumber);
    EXPECT_EQ(response.daysOfLifeDescription, "Day 40");
    EXPECT_EQ(response.gestationalAgeDescription, "31");
    EXPECT_EQ(response.adjustedGestationalAgeDescription, "");
    EXPECT_EQ(response.fullName, "Mia");
}

TEST(JourneySectionTest, RepliesWithoutSectionsStillGiveTheTexts) {
    for (const char* text : {R"({"days_of_life_description": "D"})",
                             R"({"nicu_journey_data": {}, "days_of_life_description": "D"})",
                             R"({"nicu_journey_data": [1], "days_of_life_description": "D"})"}) {
        auto response = JourneySection::parseJourneyData(reply(text));
        EXPECT_TRUE(response.sections.empty()) << text;
        EXPECT_EQ(response.daysOfLifeDescription, "D");
        EXPECT_EQ(response.fullName, "");
    }
    auto response = JourneySection::parseJourneyData(reply("42"));
    EXPECT_TRUE(response.sections.empty());
    EXPECT_EQ(response.gestationalAgeDescription, "");
}

TEST(JourneySectionTest, WeekNumbersFromAllDigitsOfTheName) {
    EXPECT_EQ(JourneySection::weekNumberOfName("Week 05"), 5);
    EXPECT_EQ(JourneySection::weekNumberOfName("Week 1-2"), 12);
    EXPECT_EQ(JourneySection::weekNumberOfName("Admission"), std::nullopt);
    EXPECT_EQ(JourneySection::weekNumberOfName(""), std::nullopt);
    EXPECT_EQ(JourneySection::weekNumberOfName("Week 12345678901234567890"), std::nullopt);
    EXPECT_EQ(JourneySection::weekNumberOfName("9223372036854775807"), 9223372036854775807);
    EXPECT_EQ(JourneySection::weekNumberOfName("9223372036854775808"), std::nullopt);
    // Arabic-Indic digits survive the split but are no ASCII number.
    EXPECT_EQ(JourneySection::weekNumberOfName("Week \u0663"), std::nullopt);
    // Other numerals (Roman, superscripts) are not decimal digits and are split away.
    EXPECT_EQ(JourneySection::weekNumberOfName("Week \u2162 4\u00b2"), 4);
    // Broken UTF-8 is skipped like any other non-digit.
    EXPECT_EQ(JourneySection::weekNumberOfName(std::string("W\xff\xfe"
                                                           "7")),
              7);
}

TEST(JourneyItemTest, FieldsTakeOnlyTheirOwnTypes) {
    auto response = JourneySection::parseJourneyData(reply(R"({"nicu_journey_data": {"Week 1": [
        {"label": "First bath", "overlay_text": "Day 3", "date": "2019-02-05", "image": "https://x.test/a.png",
         "id": 9, "editable": false},
        5,
        {"label": 3, "image": "", "editable": 1, "id": "9"},
        {"image": "not an address with spaces", "editable": true}]}})"));
    ASSERT_EQ(response.sections.size(), 1u);
    const auto& items = response.sections[0].items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].label, "First bath");
    EXPECT_EQ(items[0].overlayText, "Day 3");
    EXPECT_EQ(items[0].dateDescription, "2019-02-05");
    ASSERT_TRUE(items[0].imageURL);
    EXPECT_EQ(items[0].imageURL->absoluteString(), "https://x.test/a.png");
    EXPECT_EQ(items[0].id, 9);
    EXPECT_EQ(items[0].isEditable, false);

    for (int i : {1, 2}) {
        EXPECT_FALSE(items[i].label) << i;
        EXPECT_FALSE(items[i].imageURL) << i;
        EXPECT_FALSE(items[i].isEditable) << i;
        EXPECT_FALSE(items[i].id) << i;
    }
    EXPECT_FALSE(items[3].imageURL);
    EXPECT_EQ(items[3].isEditable, true);
}

TEST(JourneyStageTest, AnswersAndDefaults) {
    auto stage = std::make_shared<JourneyStage>(reply(R"({"q_id": 7, "not_id": true, "title": "Breathing",
        "question": "Off oxygen?", "answer": "YES", "is_question_asked": "yes",
        "updated_at": "2019-02-05T10:00:00.000+0000", "color_hex": "#AABBCC"})"));
    EXPECT_EQ(stage->questionId, 7);
    EXPECT_EQ(stage->notificationId, 1);
    EXPECT_EQ(stage->description, "Breathing");
    EXPECT_TRUE(stage->isComplete);
    EXPECT_TRUE(stage->isAsked);
    EXPECT_EQ(stage->lastUpdated, "2019-02-05T10:00:00.000+0000");
    EXPECT_EQ(stage->colorHexValue, "#AABBCC");

    JourneyStage empty(reply(R"({"q_id": "7", "color_hex": 7})"));
    EXPECT_FALSE(empty.questionId);
    EXPECT_EQ(empty.description, "");
    EXPECT_EQ(empty.question, "");
    EXPECT_FALSE(empty.isComplete);
    EXPECT_FALSE(empty.isAsked);
    EXPECT_EQ(empty.lastUpdated, "");
    EXPECT_FALSE(empty.colorHexValue);

    for (const char* answer :
         {R"({"answer": "y"})", R"({"answer": true})", R"({"answer": 1})", R"({"answer": " yes"})"})
        EXPECT_FALSE(JourneyStage(reply(answer)).isComplete) << answer;
}

TEST(JourneyMilestoneTypeTest, EqualityComparesAllFieldsAsUnicodeText) {
    JourneyMilestoneType a(reply(R"({"dropdown_text": "Caf\u00e9 visit", "type": "visit", "input": true,
                                     "image": "https://x.test/v.png"})"));
    JourneyMilestoneType b(reply(R"({"dropdown_text": "Cafe\u0301 visit", "type": "visit", "input": true,
                                     "image": "https://x.test/v.png"})"));
    EXPECT_EQ(a.type, "visit");
    EXPECT_TRUE(a.isInput);
    EXPECT_TRUE(a == b);
    b.isInput = false;
    EXPECT_FALSE(a == b);

    JourneyMilestoneType c(reply(R"({"type": "bath"})"));
    JourneyMilestoneType d(reply(R"({"type": "bath", "dropdown_text": null, "image": ""})"));
    EXPECT_FALSE(c.dropdownText);
    EXPECT_TRUE(c == d);
    d.dropdownText = "";
    EXPECT_FALSE(c == d);
    EXPECT_EQ(JourneyMilestoneType(reply("[]")).type, "");
}
