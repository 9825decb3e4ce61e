// A request stores the pictures it uses and no others: a file nothing names is never left behind.

#include "ServerFixture.h"

#include <algorithm>
#include <iterator>

namespace cw::server::testing {
namespace {

using PicturePartTest = ServerTest;

std::vector<std::string> added(const std::vector<std::string>& before,
                               const std::vector<std::string>& after) {
    std::vector<std::string> out;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(out));
    return out;
}

std::string storedName(const json& fileName) {
    std::string path = fileName;
    return path.substr(path.rfind('/') + 1);
}

TEST_F(PicturePartTest, RepeatedOrForeignPicturePartsLeaveNoFileBehind) {
    auto before = uploads();
    Reply signup =
        multipart("signup", {{"full_name", "Two Pictures", "", ""},
                             {"email", "two@cradleway.test", "", ""},
                             {"relationship", "Mother", "", ""},
                             {"password", "two-pictures", "", ""},
                             {"babies", R"([{"id": -1, "full_name": "Bea", "birthday": "2026-11-01",
                                                       "expected_birthday": "2027-01-01"}])",
                              "", ""},
                             {"user_picture", jpegBytes(900), "photo", "image/jpeg"},
                             {"user_picture", jpegBytes(901), "photo", "image/jpeg"},
                             {"baby_picture_-1", jpegBytes(902), "photo", "image/jpeg"},
                             {"baby_picture_-7", jpegBytes(903), "photo", "image/jpeg"}});
    ASSERT_EQ(signup.status, 200) << signup.raw;
    ASSERT_EQ(signup.body["babies"].size(), 1u);
    std::vector<std::string> named = {storedName(signup.body["user"]["file_name"]),
                                      storedName(signup.body["babies"][0]["file_name"])};
    std::sort(named.begin(), named.end());
    EXPECT_EQ(added(before, uploads()), named);

    Session s = signIn("two@cradleway.test", "two-pictures");
    before = uploads();
    Reply update =
        multipart("member/update",
                  {{"user_id", std::to_string(s.userId), "", ""},
                   {"full_name", "Two Pictures", "", ""},
                   {"user_picture", jpegBytes(904), "photo", "image/jpeg"},
                   {"user_picture_" + std::to_string(s.userId + 1), jpegBytes(905), "photo", "image/jpeg"},
                   {"user_picture_" + std::to_string(s.userId), jpegBytes(906), "photo", "image/jpeg"}},
                  s.access);
    ASSERT_EQ(update.status, 200) << update.raw;
    EXPECT_EQ(added(before, uploads()), std::vector<std::string>{storedName(update.body["file_name"])});

    // A baby named twice in one update takes its picture once.
    const std::string bea = std::to_string(s.reply["babies"][0]["id"].get<int64_t>());
    before = uploads();
    Reply babies = multipart("baby/update",
                             {{"user_id", std::to_string(s.userId), "", ""},
                              {"babies",
                               R"([{"id": )" + bea + R"(, "full_name": "Bea", "birthday": "2026-11-01",
                                             "expected_birthday": "2027-01-01"},
                                            {"id": )" +
                                   bea + R"(, "full_name": "Bea Rose", "birthday": "2026-11-01",
                                             "expected_birthday": "2027-01-01"}])",
                               "", ""},
                              {"baby_picture_" + bea, jpegBytes(907), "photo", "image/jpeg"}},
                             s.access);
    ASSERT_EQ(babies.status, 200) << babies.raw;
    EXPECT_EQ(added(before, uploads()),
              std::vector<std::string>{storedName(babies.body["response"][0]["file_name"])});
}

} // namespace
} // namespace cw::server::testing
