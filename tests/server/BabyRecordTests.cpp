// Babies named in a sign-up or a baby update: new forms, looked-up babies, another family's babies.

#include "ServerFixture.h"

namespace cw::server::testing {
namespace {

using BabyRecordTest = ServerTest;

json babyById(const json& list, int64_t id) {
    for (const auto& baby : list)
        if (baby["id"] == id) return baby;
    return nullptr;
}

json babyEntry(const json& id, const std::string& name, const std::string& birthday,
               const std::string& gender = "Female") {
    return {{"id", id},
            {"full_name", name},
            {"birthday", birthday},
            {"expected_birthday", "2027-03-10"},
            {"gender", gender}};
}

httplib::MultipartFormDataItems signUpForm(const std::string& email, const json& babies) {
    return {{"full_name", "New Member", "", ""},
            {"email", email, "", ""},
            {"relationship", "Relative", "", ""},
            {"password", "members-password", "", ""},
            {"babies", babies.dump(), "", ""}};
}

std::string served(httplib::Client& client, const json& baby) {
    if (!baby.contains("file_name")) return {};
    auto result = client.Get(("/" + baby["file_name"].get<std::string>()).c_str());
    return result && result->status == 200 ? result->body : std::string();
}

TEST_F(BabyRecordTest, ASignUpCorrectsTheLookedUpBabyButNotTheInvitingFamilysBaby) {
    const int64_t mia = 3, olivia = 1;
    // The invited road: the invitation check lets this client look up the family's babies too.
    checkInvitation("demo@cradleway.test", "424242");
    ASSERT_EQ(post("baby/verify_mrn", {{"mrn", "CW200001"}}).status, 200);
    ASSERT_EQ(post("baby/verify_mrn", {{"mrn", "CW100001"}}).status, 200);
    const json oliviaBefore = babyById(demoMother().reply["babies"], olivia);
    const std::string miaPicture = jpegBytes(500);
    auto signUp = [&](const std::string& miaBirthday) {
        auto form = signUpForm("sarah@cradleway.test",
                               {babyEntry(std::to_string(mia), "Mia Rose Lopez", miaBirthday),
                                babyEntry(std::to_string(olivia), "Not Olivia", "2020-01-01", "Male")});
        form.push_back({"baby_picture_3", miaPicture, "photo_3.jpg", "image/jpeg"});
        form.push_back({"baby_picture_1", jpegBytes(600), "photo_1.jpg", "image/jpeg"});
        return multipart("signup", form);
    };

    // A date the server cannot read refuses the sign-up whole: no account, the record unchanged.
    Reply unreadable = signUp("31 déc. 2026");
    EXPECT_EQ(unreadable.status, 400) << unreadable.raw;
    EXPECT_EQ(post("signin", {{"email", "sarah@cradleway.test"}, {"password", "members-password"}}).status,
              403);
    Reply lookedUp = post("baby/verify_mrn", {{"mrn", "CW200001"}});
    ASSERT_EQ(lookedUp.status, 200);
    EXPECT_EQ(lookedUp.body["full_name"], "Mia Lopez");

    Reply signup = signUp("2027-01-03");
    ASSERT_EQ(signup.status, 200) << signup.raw;
    ASSERT_EQ(signup.body["babies"].size(), 3u) << signup.raw;
    // The baby with no family takes the name and birth date the member corrected, and the picture;
    // the rest of its record is the hospital's.
    json corrected = babyById(signup.body["babies"], mia);
    EXPECT_EQ(corrected["full_name"], "Mia Rose Lopez");
    EXPECT_EQ(corrected["birthday"], "2027-01-03");
    EXPECT_EQ(corrected["expected_birthday"], lookedUp.body["expected_birthday"]);
    EXPECT_EQ(corrected["mrn"], "CW200001");
    EXPECT_EQ(served(*client_, corrected), miaPicture);
    // The inviting family's baby is theirs to describe.
    EXPECT_EQ(babyById(signup.body["babies"], olivia), oliviaBefore);
}

TEST_F(BabyRecordTest, FormsNotYetSavedAreNewBabiesWithTheirPictures) {
    const std::string ivyPicture = jpegBytes(700), zoePicture = pngBytes();
    auto form = signUpForm("ivy.parent@cradleway.test",
                           json::array({babyEntry("-1", "Ivy Stone", "Jan, 02 2027")})); // the form's format
    form.push_back({"baby_picture_-1", ivyPicture, "photo_-1.jpg", "image/jpeg"});
    Reply signup = multipart("signup", form);
    ASSERT_EQ(signup.status, 200) << signup.raw;
    ASSERT_EQ(signup.body["babies"].size(), 1u);
    json ivy = signup.body["babies"][0];
    EXPECT_EQ(ivy["full_name"], "Ivy Stone");
    EXPECT_EQ(ivy["birthday"], "2027-01-02");
    EXPECT_EQ(served(*client_, ivy), ivyPicture);

    Session s = signIn("ivy.parent@cradleway.test", "members-password");
    const int64_t ivyId = ivy["id"];
    json babies = {babyEntry(std::to_string(ivyId), "Ivy Stone", "2027-01-02"),
                   babyEntry("-1", "Leo Stone", "2027-01-02", "Male"),
                   babyEntry("-2", "Zoe Stone", "2027-01-02"),
                   babyEntry(0, "Max Stone", "2027-01-02", "Male")};
    Reply update = multipart("baby/update",
                             {{"user_id", std::to_string(s.userId), "", ""},
                              {"babies", babies.dump(), "", ""},
                              {"baby_picture_-2", zoePicture, "photo_-2.jpg", "image/jpeg"}},
                             s.access);
    ASSERT_EQ(update.status, 200) << update.raw;
    const json& saved = update.body["response"];
    ASSERT_EQ(saved.size(), 4u) << update.raw;
    EXPECT_EQ(babyById(saved, ivyId), ivy);
    std::map<std::string, json> byName;
    for (const auto& baby : saved)
        byName[baby["full_name"]] = baby;
    EXPECT_EQ(served(*client_, byName["Zoe Stone"]), zoePicture);
    EXPECT_FALSE(byName["Leo Stone"].contains("file_name"));
    EXPECT_EQ(byName["Max Stone"]["gender"], "Male");
}

TEST_F(BabyRecordTest, TheAddABabyFlowJoinsALookedUpBabyWithNoFamily) {
    Session mother = demoMother();
    Reply found = post("baby/verify_mrn", {{"mrn", "CW200001"}}, mother.access);
    ASSERT_EQ(found.status, 200) << found.raw;
    // The stored babies and the one found, as the flow sends them.
    json babies = json::array();
    for (const auto& baby : mother.reply["babies"])
        babies.push_back(babyEntry(std::to_string(baby["id"].get<int64_t>()), baby["full_name"],
                                   baby["birthday"], baby["gender"]));
    babies.push_back(babyEntry(std::to_string(found.body["id"].get<int64_t>()), "Mia Lopez",
                               found.body["birthday"], "Female"));
    Reply update =
        multipart("baby/update",
                  {{"user_id", std::to_string(mother.userId), "", ""}, {"babies", babies.dump(), "", ""}},
                  mother.access);
    ASSERT_EQ(update.status, 200) << update.raw;
    ASSERT_EQ(update.body["response"].size(), 3u);
    EXPECT_EQ(babyById(update.body["response"], found.body["id"])["full_name"], "Mia Lopez");
    EXPECT_EQ(signIn("demo@cradleway.test", "cradleway-demo").reply["babies"].size(), 3u);
}

TEST_F(BabyRecordTest, ABabyUpdateJoiningAnotherFamilysBabyKeepsItsRecord) {
    Session mother = demoMother();
    // Kim has an account from before her invitation: no family of theirs yet.
    Session kim = signUpStranger("kim@cradleway.test");
    ASSERT_EQ(post("invite",
                   {{"full_name", "Kim"},
                    {"relationship", "Friend"},
                    {"email", "kim@cradleway.test"},
                    {"user_id", mother.userId}},
                   mother.access)
                  .status,
              200);
    ASSERT_EQ(kim.reply["babies"].size(), 1u);
    const json olivia = babyById(mother.reply["babies"], 1);
    json babies = {babyEntry(std::to_string(kim.reply["babies"][0]["id"].get<int64_t>()), "Other Baby",
                             "2026-11-01", "Male"),
                   babyEntry("1", "Renamed By Kim", "2020-01-01", "Male")};
    const json update = {{"user_id", kim.userId}, {"babies", babies}};
    EXPECT_EQ(post("baby/update", update, kim.access).status, 403);
    // With the invitation's code checked on Kim's own application the address is proven (the check
    // answers that her account exists), and the family's baby is joined as it is.
    EXPECT_EQ(post("invite/check",
                   {{"email", "demo@cradleway.test"},
                    {"invitation_code", consoleCapture("<kim@cradleway.test>", "invitation code ")}})
                  .status,
              409);
    Reply joined = post("baby/update", update, kim.access);
    ASSERT_EQ(joined.status, 200) << joined.raw;
    EXPECT_EQ(babyById(joined.body["response"], 1), olivia);
    EXPECT_EQ(babyById(demoMother().reply["babies"], 1), olivia);
}

} // namespace
} // namespace cw::server::testing
