#include "Models/UserData.h"
#include "RecordTestSupport.h"

#include "foundation/defaults/UserDefaults.h"

#include <filesystem>
#include <functional>
#include <unistd.h>

TEST(FamilyRelationshipTest, RawValuesReadAfterLowerCasingOnly) {
    EXPECT_EQ(FamilyRelationshipFromRawValue("mOtHeR"), FamilyRelationship::Mother);
    EXPECT_EQ(FamilyRelationshipFromRawValue("GRAND PARENT"), FamilyRelationship::GrandParent);
    EXPECT_EQ(FamilyRelationshipFromRawValue("Others"), FamilyRelationship::Others);
    for (const char* text : {"grandparent", "grand  parent", " grand parent", "", "mother ", "other"})
        EXPECT_EQ(FamilyRelationshipFromRawValue(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(rawValue(FamilyRelationship::GrandParent), "Grand Parent");
    for (auto r : {FamilyRelationship::Mother, FamilyRelationship::Father, FamilyRelationship::GrandParent,
                   FamilyRelationship::Relative, FamilyRelationship::Friend, FamilyRelationship::Others})
        EXPECT_EQ(FamilyRelationshipFromRawValue(rawValue(r)), r);
}

TEST(UserDataTest, ReplyWithRequiredKeysOnly) {
    auto user = UserData::initWithResponseObject(
        reply(R"({"id": 42, "email": "a@b.c", "full_name": "Ann Lee", "relationship": "friend"})"));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->id(), 42);
    EXPECT_EQ(user->fullName(), "Ann Lee");
    EXPECT_EQ(user->email(), "a@b.c");
    EXPECT_EQ(user->relationship(), FamilyRelationship::Friend);
    EXPECT_FALSE(user->code());
    EXPECT_FALSE(user->spouseId());
    EXPECT_FALSE(user->pictureFile());
    EXPECT_FALSE(user->isParent());
}

TEST(UserDataTest, RequiredKeysMissingOrOfAnotherTypeGiveNoRecord) {
    const char* replies[] = {
        R"({"email": "a@b.c", "full_name": "A", "relationship": "mother"})",
        R"({"id": "12", "email": "a@b.c", "full_name": "A", "relationship": "mother"})",
        R"({"id": 12, "full_name": "A", "relationship": "mother"})",
        R"({"id": 12, "email": 5, "full_name": "A", "relationship": "mother"})",
        R"({"id": 12, "email": "a@b.c", "full_name": null, "relationship": "mother"})",
        R"({"id": 12, "email": "a@b.c", "full_name": "A"})",
        // An unknown relationship is not guessed.
        R"({"id": 12, "email": "a@b.c", "full_name": "A", "relationship": "cousin"})",
        R"([1, 2])",
        R"("text")",
    };
    for (const char* text : replies)
        EXPECT_FALSE(UserData::initWithResponseObject(reply(text))) << text;
    EXPECT_FALSE(UserData::initWithResponseObject(JSON::missing()));
}

TEST(UserDataTest, OptionalKeysTakeNumbersAndTextsOnly) {
    auto user = UserData::initWithResponseObject(reply(
        R"({"id": 3, "email": "e", "full_name": "F", "relationship": "Father",
            "security_code": 9911, "spouse_id": 4, "file_name": "f.jpg"})"));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->code(), 9911);
    EXPECT_EQ(user->spouseId(), 4);
    EXPECT_EQ(user->pictureFile(), "f.jpg");
    EXPECT_TRUE(user->isParent());

    user = UserData::initWithResponseObject(reply(
        R"({"id": 3, "email": "e", "full_name": "F", "relationship": "Mother",
            "security_code": "9911", "spouse_id": "4", "file_name": 7})"));
    ASSERT_TRUE(user);
    EXPECT_FALSE(user->code());
    EXPECT_FALSE(user->spouseId());
    EXPECT_FALSE(user->pictureFile());
}

namespace {

class TemporaryDefaults : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("models-records-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::filesystem::path directory;
};

using UserDataArchiveTest = TemporaryDefaults;

} // namespace

TEST_F(UserDataArchiveTest, RoundTripThroughTheDefaultsKeepsEverythingButThePicture) {
    UserData user("Gia Ortiz", FamilyRelationship::GrandParent, "gia@example.com");
    user.setId(77);
    user.setSpouseId(78);
    user.setPictureFile("gia.png");
    user.setRequestImage(UIImage::fromPixels(2, 2, 1, std::vector<std::uint32_t>(4, 0xff336699).data()));
    {
        UserDefaults defaults("test", directory / "defaults.json");
        defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(user), "userKey");
    }
    UserDefaults reopened("test", directory / "defaults.json");
    auto data = reopened.dataForKey("userKey");
    ASSERT_TRUE(data);
    auto back = NSKeyedUnarchiver::unarchiveObjectWithData<UserData>(*data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id(), 77);
    EXPECT_EQ(back->fullName(), "Gia Ortiz");
    EXPECT_EQ(back->relationship(), FamilyRelationship::GrandParent);
    EXPECT_EQ(back->email(), "gia@example.com");
    EXPECT_EQ(back->code(), std::nullopt);
    EXPECT_EQ(back->spouseId(), 78);
    EXPECT_EQ(back->pictureFile(), "gia.png");
    EXPECT_FALSE(back->requestImage());

    // No "code" object at all, rather than an empty one.
    auto stored = JSON::parse(std::string(data->begin(), data->end())).value()["$top"]["root"];
    EXPECT_TRUE(stored["spouseId"].exists());
    EXPECT_FALSE(stored["code"].exists());
}

TEST(UserDataArchive, ArchivesNotWrittenByTheMemberGiveNoRecord) {
    // The reader of a member's keys, run on a container holding only some of them.
    struct Partial {
        std::function<void(NSKeyedArchiver&)> fill;
        static std::string archiveClassName() { return "UserData"; }
        void encodeWithCoder(NSKeyedArchiver& coder) const { fill(coder); }
        static std::shared_ptr<Partial> initWithCoder(NSKeyedUnarchiver&) { return nullptr; }
    };
    auto read = [](const std::function<void(NSKeyedArchiver&)>& fill) {
        return NSKeyedUnarchiver::unarchiveObjectWithData<UserData>(
            NSKeyedArchiver::archivedDataWithRootObject(Partial{fill}));
    };
    EXPECT_TRUE(read([](NSKeyedArchiver& c) {
        c.encodeObject("N", "fullName");
        c.encodeObject("Friend", "relationship");
        c.encodeObject("e", "email");
    }));
    EXPECT_FALSE(read([](NSKeyedArchiver& c) {
        c.encodeObject("N", "fullName");
        c.encodeObject("e", "email");
    }));
    EXPECT_FALSE(read([](NSKeyedArchiver& c) {
        c.encodeObject("N", "fullName");
        c.encodeObject("Cousin", "relationship");
        c.encodeObject("e", "email");
    }));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObjectWithData<UserData>(Data{'{', '}'}));
}
