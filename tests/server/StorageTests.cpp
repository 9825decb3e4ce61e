// What one account may leave on the server's disk: an hourly allowance for what it stores, and no
// picture kept once nothing names it.

#include "ServerFixture.h"

#include <algorithm>

namespace cw::server::testing {
namespace {

class StorageTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.rates.storedBytesByMember = {1024 * 1024, 3600};
        options.rates.itemsByMember = {20, 3600};
    }

    Reply share(const Session& by, std::vector<std::string> pictures) {
        httplib::MultipartFormDataItems form = {{"user_id", std::to_string(by.userId), "", ""},
                                                {"post_text", "Pictures of today", "", ""}};
        for (size_t i = 0; i < pictures.size(); ++i)
            form.push_back({"post_picture_" + std::to_string(i + 1), pictures[i], "photo.jpg", "image/jpeg"});
        return multipart("post", form, by.access);
    }
    Reply comment(const Session& by, int number) {
        return post(
            "comments/new",
            {{"comment_text", "Comment " + std::to_string(number)}, {"feed_id", 1}, {"user_id", by.userId}},
            by.access);
    }
    Reply updateMember(const Session& by, const std::string& picture) {
        const std::string id = std::to_string(by.userId);
        return multipart("member/update",
                         {{"user_id", id, "", ""},
                          {"full_name", "Emma Hart", "", ""},
                          {"user_picture_" + id, picture, "photo.jpg", "image/jpeg"}},
                         by.access);
    }
    // The status a picture's address answers, from a path as replies name it.
    int served(std::string path) {
        if (auto at = path.find("/images/upload/"); at != std::string::npos) path = path.substr(at + 1);
        auto result = client_->Get(("/" + path).c_str());
        return result ? result->status : 0;
    }
    bool kept(const std::string& path) {
        const auto files = uploads();
        return std::any_of(files.begin(), files.end(),
                           [&](const std::string& file) { return path.ends_with("/" + file); });
    }
};

const std::string kTooMuch = "Too much was stored from this account in the last hour. Please try again in ";

TEST_F(StorageTest, AnAccountStoresNoMoreInAnHourThanItsAllowance) {
    // As found, smaller: a new account posts large pictures as fast as it is answered.
    Session filler = signUpStranger("filler@cradleway.test");
    const size_t before = uploads().size();
    const std::string picture = jpegBytes(400 * 1024);
    ASSERT_EQ(share(filler, {picture}).status, 200);
    ASSERT_EQ(share(filler, {picture}).status, 200);
    Reply refused = share(filler, {picture});
    EXPECT_EQ(refused.status, 429) << refused.raw;
    EXPECT_TRUE(refused.body.value("message", "").starts_with(kTooMuch)) << refused.raw;
    EXPECT_EQ(updateMember(filler, picture).status, 429);
    EXPECT_EQ(uploads().size(), before + 2);
    // A request larger than the whole allowance is refused as such, whatever is left of it.
    Reply tooLarge = share(filler, {jpegBytes(600 * 1024), jpegBytes(601 * 1024)});
    EXPECT_EQ(tooLarge.status, 413) << tooLarge.raw;
    EXPECT_EQ(tooLarge.body["message"], "This request stores more than an account may store in an hour.");

    // Another account has its own allowance.
    EXPECT_EQ(share(demoMother(), {picture}).status, 200);

    // An hour later the account stores again; what it adds is counted too.
    now_ += 3600;
    filler = signIn("filler@cradleway.test", "stranger-pass");
    ASSERT_EQ(share(filler, {picture}).status, 200);
    for (int i = 0; i < 19; ++i)
        ASSERT_EQ(comment(filler, i).status, 200) << "comment " << i;
    Reply chatty = comment(filler, 19);
    EXPECT_EQ(chatty.status, 429) << chatty.raw;
    EXPECT_TRUE(chatty.body.value("message", "").starts_with(kTooMuch)) << chatty.raw;
    EXPECT_EQ(comment(demoMother(), 0).status, 200);
}

// The accounts one address makes, each within its own allowance.
class NetworkStorageTest : public StorageTest {
protected:
    void adjust(ServerOptions& options) override {
        StorageTest::adjust(options);
        options.rates.storedBytesByAddress = {3 * 1024 * 1024, 3600};
    }
};

TEST_F(NetworkStorageTest, TheAccountsOneAddressMakesStoreNoMoreInAnHourThanTheAddressMay) {
    // As found, smaller: one address makes account after account, and each fills its own allowance.
    const std::string picture = jpegBytes(450 * 1024);
    const size_t before = uploads().size();
    int stored = 0;
    Reply refused;
    for (int account = 0; account < 6 && refused.status == 0; ++account) {
        Session filler = signUpStranger("filler" + std::to_string(account) + "@cradleway.test");
        for (int i = 0; i < 2; ++i) {
            Reply shared = share(filler, {picture});
            if (shared.status != 200) {
                refused = shared;
                break;
            }
            ++stored;
        }
    }
    EXPECT_EQ(stored, 6);
    EXPECT_EQ(refused.status, 429) << refused.raw;
    EXPECT_NE(refused.raw.find(
                  R"("message":"Too much was stored from this network in the last hour. Please try again in )"),
              std::string::npos)
        << refused.raw;
    // A sign-up's pictures are counted too.
    json form = newMemberForm("pictured@cradleway.test");
    httplib::MultipartFormDataItems items;
    for (const auto& [key, value] : form.items())
        items.push_back({key, value.is_string() ? value.get<std::string>() : value.dump(), "", ""});
    items.push_back({"user_picture", picture, "photo.jpg", "image/jpeg"});
    EXPECT_EQ(multipart("signup", items).status, 429);
    EXPECT_EQ(uploads().size(), before + 6);

    // Another address stores as before, the mother included.
    const Session mother = demoMother();
    EXPECT_EQ(multipartFrom("127.0.0.2", "post",
                            {{"user_id", std::to_string(mother.userId), "", ""},
                             {"post_picture_1", picture, "photo.jpg", "image/jpeg"}},
                            mother.access)
                  .status,
              200);
}

TEST_F(StorageTest, APictureReplacedOrWhoseMilestoneIsDeletedLeavesTheDiskAndItsAddress) {
    Session mother = demoMother();
    const std::string me = std::to_string(mother.userId);
    const size_t before = uploads().size();

    // A milestone's picture, replaced, and then the milestone deleted.
    Reply added = multipart("baby/nicu_journey_add",
                            {{"baby_id", "1", "", ""},
                             {"user_id", me, "", ""},
                             {"date", "2027-01-10", "", ""},
                             {"type", "first_bath", "", ""},
                             {"image_file", jpegBytes(700), "photo.jpg", "image/jpeg"}},
                            mother.access);
    ASSERT_EQ(added.status, 200) << added.raw;
    const std::string first = added.body["nicu_journey_add"]["image"];
    const std::string id = std::to_string(added.body["nicu_journey_add"]["id"].get<int64_t>());
    Reply edited = multipart("baby/nicu_journey_edit",
                             {{"baby_id", "1", "", ""},
                              {"user_id", me, "", ""},
                              {"id", id, "", ""},
                              {"date", "2027-01-11", "", ""},
                              {"image_file", jpegBytes(701), "photo.jpg", "image/jpeg"}},
                             mother.access);
    ASSERT_EQ(edited.status, 200) << edited.raw;
    const std::string second = edited.body["nicu_journey_edit"]["image"];
    EXPECT_EQ(served(first), 404);
    EXPECT_FALSE(kept(first));
    EXPECT_EQ(served(second), 200);
    ASSERT_EQ(post("baby/nicu_journey_delete", {{"baby_id", 1}, {"user_id", mother.userId}, {"id", id}},
                   mother.access)
                  .status,
              200);
    EXPECT_EQ(served(second), 404);
    EXPECT_FALSE(kept(second));

    // The member's own picture, replaced (the demo's first).
    const std::string demoPicture = mother.reply["user"]["file_name"];
    Reply firstPicture = updateMember(mother, jpegBytes(702));
    ASSERT_EQ(firstPicture.status, 200) << firstPicture.raw;
    Reply secondPicture = updateMember(mother, jpegBytes(703));
    ASSERT_EQ(secondPicture.status, 200) << secondPicture.raw;
    EXPECT_EQ(served(demoPicture), 404);
    EXPECT_EQ(served(firstPicture.body["file_name"]), 404);
    EXPECT_EQ(served(secondPicture.body["file_name"]), 200);

    // A baby's picture, replaced: the one the care team's daily updates quote stays with them.
    const std::string demoPhoto = mother.reply["babies"][0]["file_name"];
    auto babyPicture = [&](size_t size) {
        Reply update =
            multipart("baby/update",
                      {{"user_id", me, "", ""},
                       {"babies", R"([{"id": 1, "full_name": "Olivia Hart", "birthday": "2026-12-22",
                                                  "expected_birthday": "2027-03-07", "gender": "Female"}])",
                        "", ""},
                       {"baby_picture_1", jpegBytes(size), "photo_1.jpg", "image/jpeg"}},
                      mother.access);
        EXPECT_EQ(update.status, 200) << update.raw;
        return update.body["response"][0].value("file_name", "");
    };
    const std::string firstBaby = babyPicture(704);
    EXPECT_EQ(served(demoPhoto), 200);
    const std::string secondBaby = babyPicture(705);
    EXPECT_EQ(served(firstBaby), 404);
    EXPECT_EQ(served(secondBaby), 200);
    Reply updates = post("baby/daily_update", {{"baby_id", 1}, {"user_id", mother.userId}}, mother.access);
    EXPECT_EQ(served(updates.body["daily_update"].back()["items"].back()["image"]), 200);

    EXPECT_EQ(uploads().size(), before + 1)
        << "the member's and the baby's new pictures, not the demo's of her";
}

} // namespace
} // namespace cw::server::testing
