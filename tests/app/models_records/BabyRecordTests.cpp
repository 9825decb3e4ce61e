#include "Models/BabyData.h"
#include "RecordTestSupport.h"

#include "Extensions/UIColor+Palette.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/time/DeviceSettingsGuard.h"

#include <filesystem>
#include <unistd.h>

namespace {

// What the profile editor's form shows, set directly.
class FakeBabyForm : public BabyDetailsFormContent {
public:
    std::optional<std::int64_t> number;
    std::string name, birthday, expected, gender;
    std::shared_ptr<UIImage> image;

    std::optional<std::int64_t> babyNumber() const override { return number; }
    std::string babyFullNameText() const override { return name; }
    std::string birthdayText() const override { return birthday; }
    std::string birthdayExpectedText() const override { return expected; }
    std::string genderText() const override { return gender; }
    std::shared_ptr<UIImage> babyImage() const override { return image; }
};

std::shared_ptr<UIImage> smallImage() {
    std::vector<std::uint32_t> pixels(16, 0xff3399cc);
    return UIImage::fromPixels(4, 4, 1, pixels.data());
}

constexpr const char* completeBaby =
    R"({"id": 12, "full_name": "Mia", "birthday": "2019-02-03", "expected_birthday": "2019-03-20",
        "gender": "FEMALE", "mrn": "MRN-1", "file_name": "mia.jpg"})";

} // namespace

TEST(GenderTest, OnlyMaleAndFemaleAreRawValues) {
    EXPECT_EQ(GenderFromRawValue("MALE"), Gender::Male);
    EXPECT_EQ(GenderFromRawValue("Female"), Gender::Female);
    EXPECT_EQ(GenderFromRawValue("Unknown"), std::nullopt);
    EXPECT_EQ(GenderFromRawValue(""), std::nullopt);
    EXPECT_EQ(rawValue(Gender::Unknown), "Unknown");
}

TEST(BabyDataTest, ReplyWithEveryKey) {
    auto baby = BabyData::initWithResponseObject(reply(completeBaby));
    ASSERT_TRUE(baby);
    EXPECT_EQ(baby->babyId(), 12);
    EXPECT_EQ(baby->fullName(), "Mia");
    EXPECT_EQ(baby->birthday(), "2019-02-03");
    EXPECT_EQ(baby->expectedBirthday(), "2019-03-20");
    EXPECT_EQ(baby->gender(), Gender::Female);
    EXPECT_EQ(baby->mrn(), "MRN-1");
    EXPECT_EQ(baby->imageFile(), "mia.jpg");
    EXPECT_TRUE(baby->journeyStages().empty());
    EXPECT_FALSE(baby->backgroundColor());

    baby = BabyData::initWithResponseObject(reply(
        R"({"id": 1, "full_name": "A", "birthday": "", "expected_birthday": "", "gender": "Unknown"})"));
    ASSERT_TRUE(baby);
    EXPECT_EQ(baby->gender(), Gender::Unknown);
    EXPECT_FALSE(baby->mrn());
    EXPECT_FALSE(baby->imageFile());
}

TEST(BabyDataTest, RequiredKeysMissingOrOfAnotherTypeGiveNoRecord) {
    auto base = reply(completeBaby);
    for (const char* key : {"id", "full_name", "birthday", "expected_birthday", "gender"}) {
        JSON without = base;
        without.remove(key);
        EXPECT_FALSE(BabyData::initWithResponseObject(without)) << key;
    }
    JSON textId = base;
    textId.set("id", "12");
    EXPECT_FALSE(BabyData::initWithResponseObject(textId));
    JSON numberGender = base;
    numberGender.set("gender", 1);
    EXPECT_FALSE(BabyData::initWithResponseObject(numberGender));
    EXPECT_FALSE(BabyData::initWithResponseObject(reply("[]")));
    EXPECT_FALSE(BabyData::initWithResponseObject(JSON::missing()));
}

TEST(BabyDataTest, JsonFormSendsTextsAndTheIdOnlyWhenThereIsOne) {
    BabyData baby("Leo", "2020-01-02", "2020-02-01", Gender::Female);
    baby.setMrn("M");
    baby.setImageFile("leo.jpg");
    auto json = baby.toJson();
    EXPECT_EQ(json, (std::map<std::string, std::string>{{"full_name", "Leo"},
                                                        {"birthday", "2020-01-02"},
                                                        {"expected_birthday", "2020-02-01"},
                                                        {"gender", "Female"}}));
    baby.setBabyId(7);
    EXPECT_EQ(baby.toJson().at("id"), "7");
    EXPECT_EQ(baby.toJson().size(), 5u);

    auto other = std::make_shared<BabyData>("Ada", "x", "y", Gender::Male);
    auto list = BabyData::arrayToJson({other, std::make_shared<BabyData>(baby)});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].at("full_name"), "Ada");
    EXPECT_EQ(list[0].at("gender"), "Male");
    EXPECT_EQ(list[1].at("id"), "7");
}

namespace {

class BabyArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory =
            std::filesystem::temp_directory_path() / ("models-records-babies-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::filesystem::path directory;
};

} // namespace

TEST_F(BabyArchiveTest, ListRoundTripThroughTheDefaultsKeepsStoredFieldsAndColour) {
    auto first = BabyData::initWithResponseObject(reply(completeBaby));
    ASSERT_TRUE(first);
    first->setBackgroundColor(UIColorWithHex("#7FB3D5", 1.0));
    first->setAdjustedAgeDescription("31 weeks");
    first->setRequestImage(smallImage());
    first->setJourneyStages({std::make_shared<JourneyStage>()});
    auto second = std::make_shared<BabyData>("Noa", "2019-02-03", "2019-02-10", Gender::Unknown);

    {
        UserDefaults defaults("test", directory / "defaults.json");
        std::vector<std::shared_ptr<BabyData>> babies{first, second};
        defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(babies), "babiesKey");
    }
    UserDefaults reopened("test", directory / "defaults.json");
    auto data = reopened.dataForKey("babiesKey");
    ASSERT_TRUE(data);
    auto babies = NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<BabyData>>>(*data);
    ASSERT_TRUE(babies);
    ASSERT_EQ(babies->size(), 2u);

    const auto& a = *(*babies)[0];
    EXPECT_EQ(a.babyId(), 12);
    EXPECT_EQ(a.fullName(), "Mia");
    EXPECT_EQ(a.birthday(), "2019-02-03");
    EXPECT_EQ(a.expectedBirthday(), "2019-03-20");
    EXPECT_EQ(a.gender(), Gender::Female);
    EXPECT_EQ(a.imageFile(), "mia.jpg");
    ASSERT_TRUE(a.backgroundColor());
    EXPECT_EQ(*a.backgroundColor(), UIColorWithHex("#7FB3D5", 1.0));
    EXPECT_EQ(a.mrn(), "MRN-1");
    EXPECT_FALSE(a.adjustedAgeDescription());
    EXPECT_FALSE(a.requestImage());
    EXPECT_TRUE(a.journeyStages().empty());

    const auto& b = *(*babies)[1];
    EXPECT_FALSE(b.babyId());
    EXPECT_EQ(b.gender(), Gender::Unknown);
    EXPECT_FALSE(b.imageFile());
    EXPECT_FALSE(b.mrn());
    EXPECT_FALSE(b.backgroundColor());
}

TEST(BabyDataTest, BirthDateReadsTheServerPatternAndFollowsTheBirthday) {
    // A device whose calendar and digits differ must still read the server's dates.
    DeviceSettingsGuard device("th_TH@calendar=buddhist;numbers=thai", "Asia/Bangkok");
    BabyData baby("Kai", "Feb, 03 2019", "", Gender::Male);
    EXPECT_FALSE(baby.birthDate());
    EXPECT_FALSE(baby.birthDate());

    // Correcting the text gives the date of the new text, not the kept none.
    baby.setBirthday("2019-02-03");
    auto date = baby.birthDate();
    ASSERT_TRUE(date);
    EXPECT_EQ(*date, Date::since1970(1549126800)); // 2019-02-03 00:00 in Bangkok (UTC+7)

    // An explicit date wins until the text changes again.
    baby.setBirthDate(Date::since1970(0));
    EXPECT_EQ(baby.birthDate(), Date::since1970(0));
    baby.setBirthday("2019-02-03");
    EXPECT_EQ(baby.birthDate(), Date::since1970(0));
    baby.setBirthday("not a date");
    EXPECT_FALSE(baby.birthDate());
}

TEST(BabyDataTest, FormsBecomeRecordsInOrder) {
    auto first = std::make_shared<FakeBabyForm>();
    first->name = "Ivy";
    first->birthday = "Feb, 03 2019";
    first->expected = "Mar, 01 2019";
    first->gender = "female";
    auto second = std::make_shared<FakeBabyForm>();
    second->number = 15;
    second->gender = "";
    second->image = smallImage();

    std::vector<std::shared_ptr<FakeBabyForm>> forms{first, second};
    auto babies = BabyData::convertFromFormViews(forms);
    ASSERT_EQ(babies.size(), 2u);
    EXPECT_EQ(babies[0]->fullName(), "Ivy");
    EXPECT_EQ(babies[0]->birthday(), "Feb, 03 2019");
    EXPECT_EQ(babies[0]->toJson().at("expected_birthday"), "Mar, 01 2019");
    EXPECT_EQ(babies[0]->gender(), Gender::Female);
    EXPECT_FALSE(babies[0]->babyId());
    EXPECT_FALSE(babies[0]->requestImage());
    EXPECT_EQ(babies[1]->gender(), Gender::Unknown);
    EXPECT_EQ(babies[1]->babyId(), 15);
    EXPECT_EQ(babies[1]->requestImage(), second->image);

    // An update takes the texts and picture but keeps the gender and id.
    BabyData existing("Old", "2019-01-01", "2019-01-02", Gender::Male);
    existing.setBabyId(3);
    ASSERT_TRUE(existing.birthDate());
    existing.updateFrom(*first);
    EXPECT_EQ(existing.fullName(), "Ivy");
    EXPECT_EQ(existing.expectedBirthday(), "Mar, 01 2019");
    EXPECT_EQ(existing.gender(), Gender::Male);
    EXPECT_EQ(existing.babyId(), 3);
    EXPECT_FALSE(existing.birthDate());
}

