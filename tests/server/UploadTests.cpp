#include "ServerFixture.h"

#include <fstream>
#include <thread>

namespace cw::server::testing {
namespace {

class UploadTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.maxPictureBytes = 4096;
        options.maxRequestBytes = 64 * 1024;
        // The writes alongside the milestones are usage events, sent as fast as they are answered.
        options.rates.eventsByMember = {1'000'000, 60};
    }

    std::string fetch(const std::string& path, int* status = nullptr) {
        auto result = client_->Get(path.c_str());
        if (status) *status = result ? result->status : 0;
        return result ? result->body : std::string();
    }
};

TEST_F(UploadTest, PostPicturesAreServedBackAtTheNamedPaths) {
    Session s = demoMother();
    std::string first = jpegBytes(1000), second = jpegBytes(2000);
    Reply reply = multipart("post/",
                            {{"user_id", std::to_string(s.userId), "", ""},
                             {"post_text", "Two pictures", "", ""},
                             {"no_of_images", "2", "", ""},
                             {"post_picture_2", second, "photo_2.jpg", "image/jpeg"},
                             {"post_picture_1", first, "photo_1.jpg", "image/jpeg"}},
                            s.access);
    ASSERT_EQ(reply.status, 200) << reply.raw;
    json medias = reply.body["data"]["posts"][0]["post_medias"];
    ASSERT_EQ(medias.size(), 2u);
    EXPECT_EQ(medias[0]["file_type"], "jpg");
    std::string path = medias[0]["file_name"];
    EXPECT_NE(path.find("images/upload"), std::string::npos);
    int status = 0;
    EXPECT_EQ(fetch("/" + path, &status), first);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(fetch("/" + medias[1]["file_name"].get<std::string>()), second);
}

TEST_F(UploadTest, MemberBabyAndJourneyPictures) {
    Session s = demoMother();
    std::string picture = jpegBytes(800);
    Reply member =
        multipart("member/update/",
                  {{"user_id", std::to_string(s.userId), "", ""},
                   {"security_code", std::to_string(s.code), "", ""},
                   {"full_name", "Emma Hart-Lee", "", ""},
                   {"user_picture_" + std::to_string(s.userId), picture, "photo_1.jpg", "image/jpeg"}},
                  s.access);
    ASSERT_EQ(member.status, 200) << member.raw;
    EXPECT_EQ(fetch("/" + member.body["file_name"].get<std::string>()), picture);
    EXPECT_EQ(member.body["user"]["full_name"], "Emma Hart-Lee");

    Reply babies = multipart("baby/update",
                             {{"user_id", std::to_string(s.userId), "", ""},
                              {"babies[][birthday]", "Nov, 13 2026", "", ""},
                              {"babies[][expected_birthday]", "2027-01-27", "", ""},
                              {"babies[][full_name]", "Olivia Rose Hart", "", ""},
                              {"babies[][gender]", "Female", "", ""},
                              {"babies[][id]", "1", "", ""},
                              {"babies[][birthday]", "2026-11-13", "", ""},
                              {"babies[][expected_birthday]", "2027-01-27", "", ""},
                              {"babies[][full_name]", "Noah Hart", "", ""},
                              {"babies[][gender]", "Male", "", ""},
                              {"babies[][id]", "2", "", ""},
                              {"baby_picture_1", picture, "photo_1.jpg", "image/jpeg"}},
                             s.access);
    ASSERT_EQ(babies.status, 200) << babies.raw;
    ASSERT_EQ(babies.body["response"].size(), 2u);
    EXPECT_EQ(babies.body["response"][0]["full_name"], "Olivia Rose Hart");
    EXPECT_EQ(babies.body["response"][0]["birthday"], "2026-11-13");
    EXPECT_EQ(fetch("/" + babies.body["response"][0]["file_name"].get<std::string>()), picture);

    Reply added = multipart("baby/nicu_journey_add",
                            {{"baby_id", "2", "", ""},
                             {"user_id", std::to_string(s.userId), "", ""},
                             {"date", "2026-12-01", "", ""},
                             {"type", "other", "", ""},
                             {"input_text", "First smile", "", ""},
                             {"image_file", picture, "photo_2_2026-12-01.jpg", "image/jpeg"}},
                            s.access);
    ASSERT_EQ(added.status, 200) << added.raw;
    json item = added.body["nicu_journey_add"];
    EXPECT_EQ(item["label"], "First smile");
    EXPECT_EQ(item["date"], "Dec 1, 2026");
    std::string url = item["image"];
    ASSERT_EQ(url.rfind("/images/upload/", 0), 0u);
    EXPECT_EQ(fetch(url), picture);
}

// Pictures were named "http://<Host>/…" in the feed's daily-update cards, the daily updates and the
// journey: an address that breaks behind a proxy that speaks HTTPS or serves the server under a path.
// Every picture is named by its path from the server's root, as the application resolves the others.
TEST_F(UploadTest, EveryPictureAReplyNamesIsAPathFromTheServersRootWhateverHostItWasAskedAs) {
    Session s = demoMother();
    httplib::Headers proxied = {{"X-Access-Token", s.access}, {"Host", "cradleway.example"}};
    auto ask = [&](const std::string& path, const json& body) {
        auto result = client_->Post(("/m/api/" + path).c_str(), proxied, body.dump(), "application/json");
        EXPECT_TRUE(result);
        EXPECT_EQ(result ? result->status : 0, 200) << path;
        return result ? json::parse(result->body) : json();
    };
    std::vector<std::string> images;
    auto collect = [&](auto&& self, const json& value) -> void {
        if (value.is_object()) {
            for (const auto& [key, inner] : value.items()) {
                if (key == "image" && inner.is_string()) images.push_back(inner);
                self(self, inner);
            }
        } else if (value.is_array()) {
            for (const auto& inner : value)
                self(self, inner);
        }
    };
    const json mine = {{"baby_id", 1}, {"user_id", s.userId}};
    collect(collect, ask("content", {{"baby_ids", {1, 2}}, {"user_id", s.userId}}));
    const size_t feed = images.size();
    collect(collect, ask("baby/daily_update", mine));
    const size_t updates = images.size();
    collect(collect, ask("baby/nicu_journey_data", mine));
    const size_t journey = images.size();
    collect(collect, ask("baby/nicu_journey_list", mine));
    EXPECT_GT(feed, 0u);
    EXPECT_GT(updates, feed);
    EXPECT_GT(journey, updates);
    EXPECT_GT(images.size(), journey);
    for (const auto& image : images) {
        EXPECT_TRUE(image.starts_with("/images/upload/") || image.starts_with("/static-files/images/")) << image;
        EXPECT_EQ(image.find("cradleway.example"), std::string::npos) << image;
        auto served = client_->Get(image.c_str());
        EXPECT_TRUE(served && served->status == 200) << image;
    }
}

TEST_F(UploadTest, OversizedOrForeignUploadsAreRefused) {
    Session s = demoMother();
    Reply big = multipart("post/",
                          {{"user_id", std::to_string(s.userId), "", ""},
                           {"post_picture_1", jpegBytes(5000), "photo_1.jpg", "image/jpeg"}},
                          s.access);
    EXPECT_EQ(big.status, 413);
    EXPECT_TRUE(big.body["message"].is_string());

    Reply huge = multipart("post/",
                           {{"user_id", std::to_string(s.userId), "", ""},
                            {"post_picture_1", jpegBytes(100 * 1024), "photo_1.jpg", "image/jpeg"}},
                           s.access);
    EXPECT_EQ(huge.status, 413);
    EXPECT_TRUE(huge.body["message"].is_string()) << huge.raw;

    Reply notAPicture = multipart("post/",
                                  {{"user_id", std::to_string(s.userId), "", ""},
                                   {"post_picture_1", "<html>", "photo_1.jpg", "image/jpeg"}},
                                  s.access);
    EXPECT_EQ(notAPicture.status, 415);

    Reply mismatch = multipart("post/",
                               {{"user_id", std::to_string(s.userId), "", ""},
                                {"no_of_images", "2", "", ""},
                                {"post_picture_1", jpegBytes(100), "photo_1.jpg", "image/jpeg"}},
                               s.access);
    EXPECT_EQ(mismatch.status, 400);
    // None of the refused posts was stored.
    Reply feed = post("content/", {{"baby_ids", {1}}, {"user_id", s.userId}}, s.access);
    EXPECT_EQ(feed.body["data"]["posts"].size(), 3u);
}

} // namespace
} // namespace cw::server::testing

namespace cw::server::testing {
namespace {

TEST_F(UploadTest, OnlyPicturesThatDecodeAreStored) {
    Session s = demoMother();
    auto postPicture = [&](const std::string& bytes) {
        return multipart("post/",
                         {{"user_id", std::to_string(s.userId), "", ""},
                          {"post_picture_1", bytes, "photo_1.jpg", "image/jpeg"}},
                         s.access)
            .status;
    };
    const std::string page = "<html><script>alert(document.cookie)</script></html>";
    std::string jpeg = jpegBytes(1500), png = pngBytes();
    EXPECT_EQ(postPicture("\x89PNG\r\n\x1a\n" + page), 415);
    EXPECT_EQ(postPicture("\xFF\xD8\xFF\xE0" + page), 415);
    EXPECT_EQ(postPicture(png.substr(0, png.size() / 2)), 415);
    EXPECT_EQ(postPicture(jpeg.substr(0, jpeg.size() - 20)), 415);
    EXPECT_EQ(postPicture(png), 200);
    EXPECT_EQ(postPicture(jpeg), 200);
}

// A member posting broken PNG pictures from eight connections wrote 40,000 lines of the decoder's
// own complaints to the console in ten seconds, past the count of the address's refusals.
TEST_F(UploadTest, RefusedPicturesWriteNothingOfTheDecodersOwn) {
    Session s = demoMother();
    const std::string png = pngBytes();
    auto withoutChunk = [&](const std::string& type) {
        const size_t at = png.find(type) - 4;
        const size_t length = (static_cast<size_t>(static_cast<unsigned char>(png[at + 2])) << 8) |
                              static_cast<unsigned char>(png[at + 3]);
        return png.substr(0, at) + png.substr(at + 12 + length);
    };
    std::string damaged = png;
    damaged[png.find("IDAT") + 6] ^= 0x5A;
    std::string wide = png;
    wide[png.find("IHDR") + 5] = 0x50; // 20,492 pixels wide: too large, and its checksum no longer holds
    const std::vector<std::string> broken = {png.substr(0, png.size() / 2), png.substr(0, png.size() - 13),
                                             withoutChunk("IDAT"), damaged, wide};
    ::testing::internal::CaptureStderr();
    std::vector<int> statuses;
    for (const auto& picture : broken)
        statuses.push_back(multipart("post/",
                                     {{"user_id", std::to_string(s.userId), "", ""},
                                      {"post_picture_1", picture, "photo_1.png", "image/png"}},
                                     s.access)
                               .status);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(statuses, std::vector<int>(broken.size(), 415));
    EXPECT_EQ(written, "");
}

TEST_F(UploadTest, ARefusedRequestLeavesNoFile) {
    Session s = demoMother();
    auto before = uploads();
    // Refused after the picture was read: the address is taken, the baby is another family's, the
    // milestone kind is unknown.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(multipart("signup", {{"full_name", "Emma", "", ""},
                                       {"email", "demo@cradleway.test", "", ""},
                                       {"relationship", "Mother", "", ""},
                                       {"password", "another-password", "", ""},
                                       {"user_picture", jpegBytes(3000), "photo", "image/jpeg"}})
                      .status,
                  409);
    EXPECT_EQ(multipart("signup", {{"full_name", "Taker", "", ""},
                                   {"email", "taker@cradleway.test", "", ""},
                                   {"relationship", "Mother", "", ""},
                                   {"password", "taker-password", "", ""},
                                   {"babies", R"([{"id": 1}])", "", ""},
                                   {"user_picture", jpegBytes(3000), "photo", "image/jpeg"},
                                   {"baby_picture_1", jpegBytes(2500), "photo", "image/jpeg"}})
                  .status,
              403);
    EXPECT_EQ(multipart("baby/update",
                        {{"user_id", std::to_string(s.userId), "", ""},
                         {"babies[][id]", "1", "", ""},
                         {"babies[][full_name]", "Olivia Hart", "", ""},
                         {"babies[][birthday]", "2026-11-13", "", ""},
                         {"babies[][expected_birthday]", "2027-01-27", "", ""},
                         {"babies[][id]", "999", "", ""},
                         {"babies[][full_name]", "Nobody", "", ""},
                         {"babies[][birthday]", "2026-11-13", "", ""},
                         {"babies[][expected_birthday]", "2027-01-27", "", ""},
                         {"baby_picture_1", jpegBytes(2000), "photo_1.jpg", "image/jpeg"}},
                        s.access)
                  .status,
              404);
    EXPECT_EQ(uploads(), before);
}

TEST_F(UploadTest, FilesThatNoRowNamesAreRemovedAtStartUp) {
    Session s = demoMother();
    Reply shared = multipart("post/",
                             {{"user_id", std::to_string(s.userId), "", ""},
                              {"post_picture_1", jpegBytes(1200), "photo_1.jpg", "image/jpeg"}},
                             s.access);
    ASSERT_EQ(shared.status, 200);
    auto kept = uploads();
    // What a crash between storing a picture and committing its row leaves behind.
    auto directory = dir_ / "cradleway.db-files" / "upload";
    std::ofstream(directory / "0123456789abcdef0123456789abcdef.jpg") << jpegBytes(900);
    std::ofstream(directory / "fedcba9876543210fedcba9876543210.png.part") << "half";

    restart();
    EXPECT_EQ(uploads(), kept);
    std::string path = shared.body["data"]["posts"][0]["post_medias"][0]["file_name"];
    EXPECT_EQ(client_->Get(("/" + path).c_str())->status, 200);
}

// A milestone added while other requests write (the application sends its usage events all the
// time): the add must not fail because the database moved on between its look-up of the kind and
// its insert.
TEST_F(UploadTest, MilestonesAreAddedWhileOtherRequestsWrite) {
    Session s = demoMother();
    const std::string picture = pngBytes();
    std::atomic<bool> adding{true};
    std::thread writer([&] {
        httplib::Client other("127.0.0.1", server_->port());
        const json event = {{"screen_name", "NicuJourneyScreen"}, {"screen_action", "Tap"}, {"event_details", json::object()}};
        while (adding)
            other.Post("/m/api/analytics/", {{"X-Access-Token", s.access}}, event.dump(), "application/json");
    });
    int failed = 0;
    std::string why;
    for (int i = 0; i < 40; ++i) {
        Reply added = multipart("baby/nicu_journey_add",
                                {{"baby_id", "1", "", ""},
                                 {"user_id", std::to_string(s.userId), "", ""},
                                 {"date", "2026-12-01", "", ""},
                                 {"type", "other", "", ""},
                                 {"input_text", "Milestone " + std::to_string(i), "", ""},
                                 {"image_file", picture, "photo.png", "image/png"}},
                                s.access);
        if (added.status != 200) {
            ++failed;
            why = added.raw;
        }
    }
    adding = false;
    writer.join();
    std::string errors;
    for (const auto& line : consoleLines())
        if (line.find("error") != std::string::npos) errors += line + "\n";
    EXPECT_EQ(failed, 0) << why << "\n" << errors;
}

// A request's body is read whole before a worker takes the request: a sender who trickles picture
// posts holds no worker, and what his bodies hold while they come is bounded by his share.
class ArrivingBodyTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.threads = 32; // as the server runs
        // The slow senders here keep to the least pace for as long as each test runs.
        options.bodyGraceSeconds = 120;
    }

    // A request from `from` whose head announces `length` bytes of body, and `first` of them sent.
    std::unique_ptr<RawConnection> bodyComing(const std::string& from, const std::string& head, size_t length,
                                              const std::string& first) {
        auto c = std::make_unique<RawConnection>(server_->port(), from);
        c->send(head + "Connection: close\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + first);
        return c;
    }
    static constexpr const char* kCheck = "POST /m/api/member/check HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n";
    static constexpr std::string_view kPadding = R"({"email":"x@cradleway.test","padding":")";
    static constexpr size_t kLength = 100 * 1024;
    // A member check of `kLength` bytes, `sent` of them sent.
    std::unique_ptr<RawConnection> checkComing(const std::string& from, size_t sent) {
        return bodyComing(from, kCheck, kLength, std::string(kPadding) + std::string(sent - kPadding.size(), 'a'));
    }
    static void finishCheck(RawConnection& c, size_t sent) { c.send(std::string(kLength - sent - 2, 'a') + "\"}"); }
};

TEST_F(ArrivingBodyTest, HerPicturePostIsAnsweredWhileOneAddressTricklesEightPicturePosts) {
    Session s = demoMother();
    // Eight picture posts of 5 MB each from one address without an account, each only begun.
    std::vector<std::unique_ptr<RawConnection>> trickles;
    for (int i = 0; i < 8; ++i)
        trickles.push_back(bodyComing("127.0.0.2",
                                      "POST /m/api/post HTTP/1.1\r\nHost: x\r\n"
                                      "Content-Type: multipart/form-data; boundary=b\r\n",
                                      5'000'000,
                                      "--b\r\nContent-Disposition: form-data; name=\"post_picture_1\"; "
                                      "filename=\"p.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n" +
                                          std::string(2048, 'x')));
    Reply post = multipartFrom("127.0.0.3", "post",
                               {{"user_id", std::to_string(s.userId), "", ""},
                                {"post_text", "Home at last", "", ""},
                                {"no_of_images", "1", "", ""},
                                {"post_picture_1", jpegBytes(1'200'000), "photo_1.jpg", "image/jpeg"}},
                               s.access);
    EXPECT_EQ(post.status, 200) << post.raw;
    // ...while every one of his is still coming.
    for (const auto& trickle : trickles)
        EXPECT_FALSE(trickle->waitReadable(0));
}

class BodyShareTest : public ArrivingBodyTest {
protected:
    void adjust(ServerOptions& options) override {
        ArrivingBodyTest::adjust(options);
        options.bodyBytesPerAddress = 160 * 1024;
        options.bodyBytes = 200 * 1024;
    }
};

TEST_F(BodyShareTest, WhatOneAddressAndAllTogetherHoldOfArrivingBodiesIsBounded) {
    // One address's two bodies, most of each sent: the second is read only as far as the share
    // leaves room beside the first, which goes on whatever the share, so it is not answered ...
    auto first = checkComing("127.0.0.2", 90 * 1024);
    auto second = checkComing("127.0.0.2", 90 * 1024);
    finishCheck(*second, 90 * 1024);
    EXPECT_FALSE(second->waitReadable(300));
    // ... until the first is answered and lets its share go.
    finishCheck(*first, 90 * 1024);
    EXPECT_EQ(statusesIn(first->readToClose(20)), std::vector<int>{200});
    EXPECT_EQ(statusesIn(second->readToClose(20)), std::vector<int>{200});

    // Two addresses holding nearly all that bodies together may hold: a third address's whole body
    // takes the place of the largest body of the address that holds most, which alone is refused.
    auto a = checkComing("127.0.0.2", 95 * 1024);
    auto b = checkComing("127.0.0.3", 90 * 1024);
    auto whole = checkComing("127.0.0.4", kLength - 2);
    finishCheck(*whole, kLength - 2);
    EXPECT_EQ(statusesIn(whole->readToClose(20)), std::vector<int>{200});
    const std::string refused = a->readToClose(20);
    EXPECT_EQ(statusesIn(refused), std::vector<int>{503}) << refused;
    EXPECT_FALSE(b->waitReadable(0));
    finishCheck(*b, 90 * 1024);
    EXPECT_EQ(statusesIn(b->readToClose(20)), std::vector<int>{200});
}

} // namespace
} // namespace cw::server::testing
