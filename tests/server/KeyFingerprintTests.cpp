// A key names one request, pictures and all: the same key with another picture is another request,
// refused, and stores nothing; with the same pictures in a form of another boundary it is the same.

#include "ServerFixture.h"

#include <string>
#include <vector>

namespace cw::server::testing {
namespace {

class KeyFingerprintTest : public ServerTest {
protected:
    Reply keyedForm(const std::string& path, const httplib::MultipartFormDataItems& items, const std::string& key,
                    const std::string& token) {
        httplib::Headers headers = app_.headers(token);
        headers.emplace("Idempotency-Key", key);
        // Each form with a boundary of its own, as an honest client's retry may have.
        auto result = client_->Post(("/m/api/" + path).c_str(), headers, items, "form-" + std::to_string(++forms_));
        app_.take(result);
        return toReply(result);
    }
    int64_t count(const std::string& sql) {
        Connection db((dir_ / "cradleway.db").string());
        auto st = db.prepare(sql);
        return st.step() ? st.integer(0) : 0;
    }

    int forms_ = 0;
};

TEST_F(KeyFingerprintTest, TheSameKeyWithAnotherPictureIsRefusedAndStoresNothing) {
    const Session mother = demoMother();
    // Every road a keyed picture takes: a member's form, and a sign-up's from its application.
    struct Road {
        const char* what;
        const char* path;
        const char* picture; // the part its picture is sent in
        std::string token;
        // The form's other fields, for the `n`th request sent on the road; and what it stored.
        std::function<httplib::MultipartFormDataItems(int n)> fields;
        std::function<int64_t(int n)> stored;
    };
    const std::vector<Road> roads = {
        {"a post", "post", "post_picture_1", mother.access,
         [&](int n) -> httplib::MultipartFormDataItems {
             return {{"user_id", std::to_string(mother.userId), "", ""},
                     {"post_text", "Our picture " + std::to_string(n), "", ""}};
         },
         [&](int n) { return count("SELECT COUNT(*) FROM posts WHERE post_text = 'Our picture " + std::to_string(n) + "'"); }},
        {"a sign-up", "signup", "user_picture", "",
         [&](int n) -> httplib::MultipartFormDataItems {
             return {{"full_name", "Keyed Mother", "", ""},
                     {"email", "keyed" + std::to_string(n) + "@cradleway.test", "", ""},
                     {"relationship", "Mother", "", ""},
                     {"password", "keyed-password", "", ""}};
         },
         [&](int n) {
             return count("SELECT COUNT(*) FROM members WHERE email = 'keyed" + std::to_string(n) + "@cradleway.test'");
         }},
    };
    // What the retry sends instead of the first request's one picture, in that part.
    struct Case {
        const char* what;
        std::function<httplib::MultipartFormDataItems(const std::string& part)> pictures;
        bool same;
    };
    const std::string first = jpegBytes(800);
    const std::vector<Case> cases = {
        {"the same picture", [&](const std::string& part) -> httplib::MultipartFormDataItems {
             return {{part, first, "photo.jpg", "image/jpeg"}};
         }, true},
        // As found, with the picture parts left out of the key's request: answered 200 from the first,
        // and the other picture stored nowhere.
        {"another picture", [&](const std::string& part) -> httplib::MultipartFormDataItems {
             return {{part, jpegBytes(801), "photo.jpg", "image/jpeg"}};
         }, false},
        {"a picture more", [&](const std::string& part) -> httplib::MultipartFormDataItems {
             return {{part, first, "photo.jpg", "image/jpeg"}, {"baby_picture_-1", jpegBytes(802), "photo.jpg", "image/jpeg"}};
         }, false},
        {"the picture in another part", [&](const std::string& part) -> httplib::MultipartFormDataItems {
             return {{part + "_2", first, "photo.jpg", "image/jpeg"}};
         }, false},
        {"no picture", [&](const std::string&) { return httplib::MultipartFormDataItems{}; }, false},
    };
    int n = 0;
    for (const Road& road : roads)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(road.what) + ", " + c.what);
            ++n;
            if (road.token.empty()) {
                // The sign-up's application, as the server named it when it asked for her code.
                ASSERT_EQ(post("validate/email", {{"email", "keyed" + std::to_string(n) + "@cradleway.test"}}).status,
                          200);
            }
            const std::string key = "picture-key-" + std::to_string(n);
            auto form = road.fields(n);
            form.push_back({road.picture, first, "photo.jpg", "image/jpeg"});
            const Reply done = keyedForm(road.path, form, key, road.token);
            ASSERT_EQ(done.status, 200) << done.raw;
            const auto files = uploads();

            auto retry = road.fields(n);
            for (auto& part : c.pictures(road.picture))
                retry.push_back(part);
            const Reply again = keyedForm(road.path, retry, key, road.token);
            if (c.same) {
                EXPECT_EQ(again.status, 200) << again.raw;
                EXPECT_EQ(again.body.dump(), done.body.dump());
            } else {
                EXPECT_EQ(again.status, 422) << again.raw;
            }
            EXPECT_EQ(road.stored(n), 1);
            EXPECT_EQ(uploads(), files);
        }
}

} // namespace
} // namespace cw::server::testing
