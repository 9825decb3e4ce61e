#include "ServiceFixture.h"
#include "tests/support/session/SessionReset.h"

#include "Services/BabyService.h"
#include "Services/MemberService.h"
#include "Services/PictureUpload.h"
#include "Services/PostService.h"
#include "Services/SignUpService.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/Gate.h"

#include <cairo.h>

#include <algorithm>
#include <cstdint>

namespace cw::servicetest {
namespace {

using PictureUploadTest = ServiceTest;
using Kind = RequestError::Kind;

// A small picture with grain, so that its JPEG bytes are its own.
std::shared_ptr<UIImage> grainyPicture(std::uint32_t seed) {
    constexpr int w = 24, h = 16;
    std::vector<std::uint32_t> pixels(w * h);
    std::uint32_t state = seed;
    for (auto& pixel : pixels) {
        state = state * 1664525u + 1013904223u;
        pixel = 0xFF000000u | (state >> 8);
    }
    return UIImage::fromPixels(w, h, 1, pixels.data());
}

// A picture without pixels: it has no JPEG form.
std::shared_ptr<UIImage> unencodablePicture() {
    return UIImage::fromSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0), 1);
}

std::string jpegAtHalfQuality(const std::shared_ptr<UIImage>& picture) {
    auto jpeg = picture->jpegData(0.5);
    return jpeg ? std::string(jpeg->begin(), jpeg->end()) : std::string();
}

// Keeps the upload queue busy from its making until release(): every upload made meanwhile waits
// behind it, so a test can see what the main thread does before any picture is encoded.
class HeldUploadQueue {
public:
    HeldUploadQueue() {
        PictureUpload::queue().async([gate = gate_] { gate->wait(); });
    }
    ~HeldUploadQueue() { release(); }
    void release() { gate_->open(); }

private:
    std::shared_ptr<cw::test::Gate> gate_ = std::make_shared<cw::test::Gate>();
};

// What one request's callbacks heard.
struct Outcome {
    int calls = 0;
    std::optional<RequestError> error;
    ObjectSuccess success() {
        return [this](const JSON&) { ++calls; };
    }
    RequestFailure failure() {
        return [this](const RequestError& e) { ++calls, error = e; };
    }
};

std::shared_ptr<BabyData> babyWithPicture(std::int64_t id, std::shared_ptr<UIImage> picture) {
    auto baby = std::make_shared<BabyData>("Noor", "2019-01-05", "2019-02-01", Gender::Female);
    baby->setBabyId(id);
    baby->setRequestImage(std::move(picture));
    return baby;
}

TEST_F(PictureUploadTest, EveryUploadSendsItsPicturesAsHalfQualityJPEGInTheNamedParts) {
    signIn("access", "refresh", 42);
    const auto member = grainyPicture(1), baby = grainyPicture(2), journey = grainyPicture(3),
               post1 = grainyPicture(4), post2 = grainyPicture(5), newMember = grainyPicture(6);

    // The member's picture is refused once: the replay after the refresh carries the same bytes.
    setReply([](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/tokens/")
            response.set_content(R"({"access_token":"a2","refresh_token":"r2"})", "application/json");
        else if (arrival.path == "/m/api/member/update/" && arrival.header("X-Access-Token") != "a2")
            response.status = 401;
    });
    Outcome updated, saved, added, edited, posted;
    MemberService("member/update").updateMember("Maya", member, updated.success(), updated.failure());
    BabyService().updateBabies({babyWithPicture(15, baby), babyWithPicture(16, unencodablePicture())},
                               saved.success(), saved.failure());
    BabyService().addJourneyItem(9, "Jan 5, 2019", "first_bath", std::nullopt, journey, added.success(),
                                 added.failure());
    BabyService().editJourneyItem(9, 31, "Feb 1, 2019", nullptr, edited.success(), edited.failure());
    PostService().createPost("Home", {post1, unencodablePicture(), post2}, posted.success(), posted.failure());
    runUntil([&] { return updated.calls + saved.calls + added.calls + edited.calls + posted.calls == 5; });

    // The sign-up is made by nobody signed in.
    AuthenticationContext::shared().setUser(nullptr);
    UserData joining("Ada Grey", FamilyRelationship::Father, "ada@example.org");
    joining.setRequestImage(newMember);
    bool registered = false;
    SignUpService().signUp(
        joining, std::vector{babyWithPicture(17, baby)}, "secret", cw::test::screenThatStays(),
        [&](const BaseHTTPService::Task&, const std::optional<JSON>&) { registered = true; },
        [&](const RequestError&) { registered = true; });
    runUntil([&] { return registered; });

    struct Expected {
        std::string path;
        std::vector<std::tuple<std::string, std::string, std::shared_ptr<UIImage>>> files;
    };
    const std::vector<Expected> expected = {
        {"/m/api/member/update/", {{"user_picture_42", "photo_42.jpg", member}}},
        {"/m/api/baby/update", {{"baby_picture_15", "photo_15.jpg", baby}}},
        {"/m/api/baby/nicu_journey_add", {{"image_file", "photo_9_Jan_5,_2019.jpg", journey}}},
        {"/m/api/baby/nicu_journey_edit", {}},
        {"/m/api/post/", {{"post_picture_1", "photo_1.jpg", post1}, {"post_picture_2", "photo_2.jpg", post2}}},
        {"/m/api/signup/", {{"baby_picture_17", "photo_17.jpg", baby}, {"user_picture", "photo", newMember}}},
    };
    for (const auto& request : expected) {
        const auto sent = arrivalsAt(request.path);
        ASSERT_FALSE(sent.empty()) << request.path;
        for (const auto& arrival : sent) {
            const auto files = arrival.files();
            ASSERT_EQ(files.size(), request.files.size()) << request.path;
            for (std::size_t i = 0; i < files.size(); ++i) {
                const auto& [name, fileName, picture] = request.files[i];
                EXPECT_EQ(files[i].name, name);
                EXPECT_EQ(files[i].filename, fileName);
                EXPECT_EQ(files[i].content_type, "image/jpeg");
                EXPECT_TRUE(files[i].content == jpegAtHalfQuality(picture)) << name;
            }
        }
    }
    EXPECT_EQ(arrivalsAt("/m/api/member/update/").size(), 2u);
    EXPECT_EQ(arrivalsAt("/m/api/post/").at(0).fields("no_of_images"), std::vector<std::string>{"2"});
    EXPECT_EQ(arrivalsAt("/m/api/baby/update").at(0).fields("babies[][id]"),
              (std::vector<std::string>{"15", "16"}));
}

TEST_F(PictureUploadTest, UploadsLeaveInTheOrderMadeWhateverTheirPictures) {
    signIn("access", "refresh", 42);
    std::vector<std::string> sent;
    auto record = [&](std::string name) {
        return [&sent, name](const UserData&, PictureUpload::Parts) { sent.push_back(name); };
    };
    HeldUploadQueue held;
    ASSERT_TRUE(PictureUpload::post({grainyPicture(7), grainyPicture(8)}).sendForMember(record("photos"), nullptr));
    ASSERT_TRUE(PictureUpload::babyUpdate({}).sendForMember(record("no picture"), nullptr));
    PictureUpload::signUp(UserData("Ada", FamilyRelationship::Mother, "a@b.org"), std::nullopt)
        .send([&](PictureUpload::Parts parts) {
            EXPECT_TRUE(parts->empty());
            sent.push_back("sign-up");
        });
    // Until the queue frees, nothing is sent, not even what has no picture to wait for, and the
    // main run loop keeps turning.
    bool turned = false;
    DispatchQueue::main().async([&] { turned = true; });
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(turned);
    EXPECT_TRUE(sent.empty());

    held.release();
    runUntil([&] { return sent.size() == 3; });
    EXPECT_EQ(sent, (std::vector<std::string>{"photos", "no picture", "sign-up"}));

    // The same through the services: a baby update without pictures, made after a post with two,
    // leaves after it, not while the post's pictures wait. A request that needs no encoding marks
    // the moment: what left before it has arrived once it is answered.
    Outcome post, update, marker;
    {
        HeldUploadQueue heldAgain;
        PostService().createPost("Home", {grainyPicture(10), grainyPicture(11)}, post.success(), post.failure());
        BabyService().updateBabies({}, update.success(), update.failure());
        BabyService().verifyMRN("CW1", marker.success(), marker.failure());
        runUntil([&] { return marker.calls == 1; });
        EXPECT_EQ(arrivals().size(), 1u) << "only the lookup left while the pictures waited";
    }
    runUntil([&] { return post.calls == 1 && update.calls == 1; });
    EXPECT_EQ(arrivals().size(), 3u);
}

TEST_F(PictureUploadTest, ASignOutBetweenTapAndSendSendsNothingAndReportsAFailure) {
    signIn("access", "refresh", 42);
    auto picture = grainyPicture(9);
    // Whatever was queued before it has been delivered once a later upload is.
    auto drained = [] {
        bool done = false;
        PictureUpload::babyUpdate({}).send([&](PictureUpload::Parts) { done = true; });
        runUntil([&] { return done; });
    };
    auto expectRefusedOnce = [](const std::vector<Outcome>& outcomes) {
        for (const auto& outcome : outcomes) {
            EXPECT_EQ(outcome.calls, 1);
            EXPECT_EQ(outcome.error, RequestError::networkError());
        }
    };

    std::vector<Outcome> signedOut(5);
    {
        HeldUploadQueue held;
        MemberService("member/update").updateMember("Maya", picture, signedOut[0].success(), signedOut[0].failure());
        BabyService().updateBabies({babyWithPicture(15, picture)}, signedOut[1].success(), signedOut[1].failure());
        BabyService().addJourneyItem(9, "Jan 5, 2019", "first_bath", "Calm", picture, signedOut[2].success(),
                                     signedOut[2].failure());
        BabyService().editJourneyItem(9, 31, "Feb 1, 2019", picture, signedOut[3].success(),
                                      signedOut[3].failure());
        PostService().createPost("Home", {picture}, signedOut[4].success(), signedOut[4].failure());
        AuthenticationContext::shared().setUser(nullptr);
    }
    drained();
    expectRefusedOnce(signedOut);

    // Signed out and in as someone else: nothing goes in the new member's name either.
    signIn("access", "refresh", 42);
    std::vector<Outcome> otherMember(1);
    {
        HeldUploadQueue held;
        PostService().createPost("Not yours", {}, otherMember[0].success(), otherMember[0].failure());
        signIn("access", "refresh", 43);
    }
    drained();
    expectRefusedOnce(otherMember);

    // A request made after them, by the member now signed in, is the only one the server sees.
    Outcome mine;
    PostService().createPost("Mine", {}, mine.success(), mine.failure());
    runUntil([&] { return mine.calls == 1; });
    const auto all = arrivals();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].fields("post_text"), std::vector<std::string>{"Mine"});
    EXPECT_EQ(all[0].fields("user_id"), std::vector<std::string>{"43"});

    // Nobody signed in when the upload is asked for: nothing is queued and nothing is called.
    AuthenticationContext::shared().setUser(nullptr);
    Outcome none;
    PostService().createPost("Nobody", {picture}, none.success(), none.failure());
    EXPECT_FALSE(PictureUpload::memberPicture(1, picture).sendForMember(nullptr, none.failure()));
    drained();
    EXPECT_EQ(none.calls, 0);
    EXPECT_EQ(arrivals().size(), 1u);
}

} // namespace
} // namespace cw::servicetest
