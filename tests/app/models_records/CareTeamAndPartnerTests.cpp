#include "Models/CareGiversResponse.h"
#include "Models/EducationCategory.h"
#include "Models/Partner.h"
#include "RecordTestSupport.h"

TEST(CareGiversResponseTest, CareTeamEntriesAreSplitOut) {
    CareGiversResponse response(reply(R"({"days_of_life_description": 12, "care_givers": [
        {"text": "T1", "desc": "D1"}, {"text": "CARE TEAM", "desc": "D2"}, {"desc": "D3"},
        {"text": "Care Team", "desc": "D4"}, {"text": "CARE TEAM", "desc": "D5"}, {"text": 5, "desc": 6}]})"));
    EXPECT_EQ(response.daysOfLifeDescription, "12");
    EXPECT_EQ(response.gestationalAgeDescription, "");
    EXPECT_EQ(response.careTeamName, "D2");
    ASSERT_EQ(response.careGivers.size(), 4u);
    EXPECT_EQ(response.careGivers[0].title, "T1");
    EXPECT_EQ(response.careGivers[0].description, "D1");
    EXPECT_FALSE(response.careGivers[1].title);
    EXPECT_EQ(response.careGivers[1].description, "D3");
    EXPECT_EQ(response.careGivers[2].title, "Care Team");
    EXPECT_FALSE(response.careGivers[3].title);
    EXPECT_FALSE(response.careGivers[3].description);
}

TEST(CareGiversResponseTest, EmptyRepliesAndNamelessTeams) {
    CareGiversResponse empty(reply("{}"));
    EXPECT_EQ(empty.daysOfLifeDescription, "");
    EXPECT_TRUE(empty.careGivers.empty());
    EXPECT_FALSE(empty.careTeamName);

    CareGiversResponse nameless(reply(R"({"care_givers": [{"text": "CARE TEAM"}]})"));
    EXPECT_EQ(nameless.careTeamName, "");
    EXPECT_TRUE(nameless.careGivers.empty());
    EXPECT_TRUE(CareGiversResponse(reply(R"({"care_givers": "x"})")).careGivers.empty());
}

TEST(PartnerTest, FieldsOfAnotherTypeAreAbsent) {
    Partner partner(
        reply(R"({"relationship": "Grandma", "name": "Rosa", "email": "r@x.test", "connected": true,
                              "id": 31, "file_name": "rosa.jpg"})")
            .dictionaryValue());
    EXPECT_EQ(partner.relationship, "Grandma");
    EXPECT_EQ(partner.name, "Rosa");
    EXPECT_EQ(partner.connected, true);
    EXPECT_EQ(partner.memberID, 31);
    EXPECT_EQ(partner.pictureFile, "rosa.jpg");

    Partner mistyped(
        reply(R"({"name": "Rosa", "id": "31", "connected": 1, "email": null})").dictionaryValue());
    EXPECT_EQ(mistyped.name, "Rosa");
    EXPECT_FALSE(mistyped.memberID);
    EXPECT_FALSE(mistyped.connected);
    EXPECT_FALSE(mistyped.email);
    EXPECT_FALSE(Partner(reply(R"({"id": 31.5})").dictionaryValue()).memberID);
    EXPECT_FALSE(Partner(reply(R"({"id": true})").dictionaryValue()).memberID);

    Partner empty(JSON::dictionary_t{});
    EXPECT_FALSE(empty.relationship || empty.name || empty.email || empty.connected || empty.memberID ||
                 empty.pictureFile);
}

TEST(EducationCategoryTest, PictureAddressChosenByScreenScale) {
    EducationCategory category(reply(R"({"id": 4, "name": "Feeding",
        "pictures": {"1x": "a1.png", "2x": "a2.png", "3x": "a3.png"}})")
                                   .dictionaryValue());
    EXPECT_EQ(category.categoryID, 4);
    EXPECT_EQ(category.name, "Feeding");
    EXPECT_EQ(category.pictureURL(1.0), "a1.png");
    EXPECT_EQ(category.pictureURL(2.0), "a2.png");
    EXPECT_EQ(category.pictureURL(3.0), "a3.png");
    EXPECT_EQ(category.pictureURL(2.5), "a2.png");
    EXPECT_EQ(category.pictureURL(0.0), "a2.png");

    EducationCategory onlyTwo(reply(R"({"pictures": {"2x": "b2.png", "3x": 3}})").dictionaryValue());
    EXPECT_EQ(onlyTwo.pictureURL(2.0), "b2.png");
    EXPECT_EQ(onlyTwo.pictureURL(3.0), std::nullopt);

    for (const char* text : {R"({"pictures": "a.png"})", R"({"pictures": ["a.png"]})", "{}"}) {
        EducationCategory none(reply(text).dictionaryValue());
        EXPECT_FALSE(none.picture) << text;
        EXPECT_FALSE(none.pictureURL(2.0));
    }
    EducationCategory emptyPictures(reply(R"({"pictures": {}})").dictionaryValue());
    EXPECT_TRUE(emptyPictures.picture);
    EXPECT_FALSE(emptyPictures.pictureURL());
}
