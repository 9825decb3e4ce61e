#include "ServiceTestSupport.h"

#include "Services/CommentService.h"
#include "Services/NotificationService.h"
#include "Services/PostService.h"

#include <algorithm>
#include <cairo.h>
#include <gtest/gtest.h>
#include <utility>

namespace cw::servicetest {
namespace {

// A small image of one colour.
std::shared_ptr<UIImage> solidImage(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(8 * 6, argb);
    return UIImage::fromPixels(8, 6, 1, pixels.data());
}

// An image without pixels: it has no JPEG form.
std::shared_ptr<UIImage> unencodableImage() {
    return UIImage::fromSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0), 1);
}

class CommentPostNotificationTest : public ServiceTest {};

TEST_F(CommentPostNotificationTest, CommentIdsAsNumbersInTheListAndAsTextInANewComment) {
    signIn(7);
    server.reply("GET", "/m/api/comments/", Reply{200, R"({"data": {"comments": [{"id": 1}]}})"});
    std::vector<JSON> replies;
    auto keep = [&](const JSON& reply) { replies.push_back(reply); };
    CommentService().getComments(3, std::nullopt, keep);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 1; }));
    CommentService().getComments(std::nullopt, std::nullopt, keep);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 2; }));
    CommentService().postComment("Lovely ❤", 3, std::nullopt, keep, nullptr);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 3; }));
    CommentService().postComment("On a card", std::nullopt, 44, keep, nullptr);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 4; }));

    EXPECT_EQ(replies[0]["data"]["comments"].count(), 1u);
    auto arrivals = server.requests();
    EXPECT_EQ(arrivals[0].method, "GET");
    EXPECT_EQ(arrivals[0].path + "?" + arrivals[0].query, "/m/api/comments/?post_id=3&user_id=7");
    EXPECT_EQ(arrivals[1].query, "user_id=7");
    EXPECT_EQ(arrivals[2].method, "POST");
    EXPECT_EQ(arrivals[2].path, "/m/api/comments/new");
    EXPECT_EQ(arrivals[2].json(),
              nlohmann::json({{"comment_text", "Lovely ❤"}, {"post_id", "3"}, {"user_id", "7"}}));
    EXPECT_EQ(arrivals[3].json(),
              nlohmann::json({{"comment_text", "On a card"}, {"feed_id", "44"}, {"user_id", "7"}}));
}

TEST_F(CommentPostNotificationTest, CommentFailures) {
    signIn(7);
    // A failed list: the console line stays, and a caller that listens is released.
    server.reply("GET", "/m/api/comments/", Reply{500, "{}"});
    std::optional<RequestError> error;
    {
        ConsoleCapture console;
        CommentService().getComments(3, std::nullopt, [](const JSON&) { ADD_FAILURE(); });
        ASSERT_TRUE(runUntil([&] { return !console.text().empty(); }));
        EXPECT_EQ(console.text(), "Error on updating image\n\nRequest failed: internal server error (500)\n");
    }
    CommentService().getComments(
        3, std::nullopt, [](const JSON&) { ADD_FAILURE(); }, [&](const RequestError& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->kind(), RequestError::Kind::networkError);

    for (const char* body : {"[]", ""}) {
        server.reply("POST", "/m/api/comments/new", Reply{200, body});
        error.reset();
        CommentService().postComment(
            "x", 3, std::nullopt, [](const JSON&) { ADD_FAILURE(); },
            [&](const RequestError& e) { error = e; });
        ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
        EXPECT_EQ(error->kind(), RequestError::Kind::parseError) << body;
    }
    // The server's refusal of the comment comes with its words; a busy or failing server is a failure
    // that may pass.
    struct Answer {
        int status;
        RequestError::Kind kind;
        std::optional<std::string> words;
    };
    for (const Answer& answer : {Answer{400, RequestError::Kind::erroResponse, "too long"},
                                 Answer{404, RequestError::Kind::erroResponse, "too long"},
                                 Answer{429, RequestError::Kind::networkError, std::nullopt},
                                 Answer{408, RequestError::Kind::networkError, std::nullopt},
                                 Answer{500, RequestError::Kind::networkError, std::nullopt}}) {
        server.reply("POST", "/m/api/comments/new", Reply{answer.status, R"({"message": "too long"})"});
        error.reset();
        CommentService().postComment("x", 3, std::nullopt, nullptr, [&](const RequestError& e) { error = e; });
        ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
        EXPECT_EQ(error->kind(), answer.kind) << answer.status;
        EXPECT_EQ(cw::refusalMessage(*error), answer.words) << answer.status;
    }
}

TEST_F(CommentPostNotificationTest, SignedOutSendsNothing) {
    bool called = false;
    auto reply = [&](const JSON&) { called = true; };
    auto fail = [&](const RequestError&) { called = true; };
    CommentService().getComments(3, 4, reply, fail);
    CommentService().postComment("x", 3, std::nullopt, reply, fail);
    PostService().getPost(3, reply, fail);
    PostService().createPost("x", {solidImage(0xFF336699)}, reply, fail);
    EXPECT_TRUE(arrivalsBeforeMarker().empty());
    EXPECT_FALSE(called);
}

TEST_F(CommentPostNotificationTest, GetPost) {
    signIn(7);
    server.reply("GET", "/m/api/post/",
                 {Reply{200, R"({"data": {"posts": [], "users": []}})"}, Reply{200, "[]"}});
    std::optional<JSON> reply;
    PostService().getPost(
        31, [&](const JSON& object) { reply = object; }, nullptr);
    ASSERT_TRUE(runUntil([&] { return reply.has_value(); }));
    EXPECT_TRUE((*reply)["data"]["users"].array());
    EXPECT_EQ(server.requests()[0].query, "post_id=31&user_id=7");

    std::optional<RequestError> error;
    PostService().getPost(
        31, [](const JSON&) { ADD_FAILURE(); }, [&](const RequestError& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->kind(), RequestError::Kind::parseError);

    // A post refused to her (of another family, or gone) is told from a load that went wrong: asking
    // again would not show it.
    for (const auto& [status, kind] : {std::pair{403, RequestError::Kind::erroResponse},
                                       std::pair{404, RequestError::Kind::erroResponse},
                                       std::pair{502, RequestError::Kind::networkError}}) {
        server.reply("GET", "/m/api/post/", Reply{status, R"({"message": "No post with this id was found."})"});
        error.reset();
        PostService().getPost(
            31, [](const JSON&) { ADD_FAILURE(); }, [&](const RequestError& e) { error = e; });
        ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
        EXPECT_EQ(error->kind(), kind) << status;
    }
}

TEST_F(CommentPostNotificationTest, APostLeavesAfterItsPicturesAreEncodedAndOnlyForItsWriter) {
    signIn(7);
    std::vector<std::string> replies;
    auto reply = [&](const std::string& name) { return [&replies, name](const JSON&) { replies.push_back(name); }; };
    PostService().createPost("First", {solidImage(0xFFFF0000)}, reply("first"), nullptr);
    PostService().createPost("Second", {}, reply("second"), nullptr);
    // Nothing has left yet: the pictures are still being encoded.
    EXPECT_EQ(server.requestCount(), 0u);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 2; }));
    auto arrivals = server.requests();
    ASSERT_EQ(arrivals.size(), 2u);
    std::vector<std::string> texts{arrivals[0].part("post_text")->content, arrivals[1].part("post_text")->content};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"First", "Second"}));
    server.clearRequests();

    // Written by one member, who signs out for another before it leaves: it never leaves, and its
    // writer hears so.
    PostService().createPost("Not yours", {solidImage(0xFF00FF00)}, reply("sent"),
                             [&](const RequestError&) { replies.push_back("refused"); });
    signIn(8);
    PostService().createPost("Mine", {solidImage(0xFF0000FF)}, reply("mine"), nullptr);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 4; }));
    EXPECT_EQ(replies[2], "refused");
    EXPECT_EQ(replies[3], "mine");
    arrivals = arrivalsBeforeMarker();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].part("post_text")->content, "Mine");
    EXPECT_EQ(arrivals[0].part("user_id")->content, "8");
}

TEST_F(CommentPostNotificationTest, PostPicturesAreNumberedFromOneWithoutGaps) {
    signIn(7);
    auto red = solidImage(0xFFFF0000), green = solidImage(0xFF00FF00), blue = solidImage(0xFF0000FF);
    int replies = 0;
    auto count = [&](const JSON&) { ++replies; };
    PostService().createPost("Home today", {red, unencodableImage(), nullptr, green, blue}, count, nullptr);
    ASSERT_TRUE(runUntil([&] { return replies == 1; }));
    PostService().createPost("Words only", {}, count, nullptr);
    ASSERT_TRUE(runUntil([&] { return replies == 2; }));
    PostService().createPost("Nothing encodes", {unencodableImage()}, count, nullptr);
    ASSERT_TRUE(runUntil([&] { return replies == 3; }));

    auto arrivals = server.requests();
    const auto& withPictures = arrivals[0];
    EXPECT_EQ(withPictures.method, "POST");
    EXPECT_EQ(withPictures.path, "/m/api/post/");
    std::vector<std::string> names;
    for (const auto& part : withPictures.parts)
        names.push_back(part.name + (part.filename.empty() ? "" : ":" + part.filename));
    EXPECT_EQ(names,
              (std::vector<std::string>{"no_of_images", "post_text", "user_id", "post_picture_1:photo_1.jpg",
                                        "post_picture_2:photo_2.jpg", "post_picture_3:photo_3.jpg"}));
    EXPECT_EQ(withPictures.part("no_of_images")->content, "3");
    EXPECT_EQ(withPictures.part("post_text")->content, "Home today");
    EXPECT_EQ(withPictures.part("user_id")->content, "7");
    // The pictures keep the order of the list: each part decodes to its image's colour.
    const std::vector<std::pair<std::string, std::shared_ptr<UIImage>>> expected = {
        {"post_picture_1", red}, {"post_picture_2", green}, {"post_picture_3", blue}};
    for (const auto& [name, image] : expected) {
        const auto* part = withPictures.part(name);
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(part->content_type, "image/jpeg");
        auto decoded = UIImage::fromData(Data(part->content.begin(), part->content.end()));
        ASSERT_TRUE(decoded) << name;
        UIColor sent = decoded->pixelColor(4, 3), original = image->pixelColor(4, 3);
        EXPECT_NEAR(sent.red(), original.red(), 0.1) << name;
        EXPECT_NEAR(sent.green(), original.green(), 0.1) << name;
        EXPECT_NEAR(sent.blue(), original.blue(), 0.1) << name;
    }

    for (const auto* textOnly : {&arrivals[1], &arrivals[2]}) {
        std::vector<std::string> fields;
        for (const auto& part : textOnly->parts)
            fields.push_back(part.name);
        EXPECT_EQ(fields, (std::vector<std::string>{"post_text", "user_id"}));
    }
}

TEST_F(CommentPostNotificationTest, CreatePostFailures) {
    signIn(7);
    server.reply("POST", "/m/api/post/", {Reply{200, "[\"done\"]"}, Reply{413, "{}"}});
    std::vector<RequestError::Kind> errors;
    for (int i = 0; i < 2; ++i) {
        PostService().createPost(
            "x", {solidImage(0xFF000000)}, [](const JSON&) { ADD_FAILURE(); },
            [&](const RequestError& e) { errors.push_back(e.kind()); });
        ASSERT_TRUE(runUntil([&] { return errors.size() == static_cast<std::size_t>(i + 1); }));
    }
    EXPECT_EQ(errors, (std::vector{RequestError::Kind::parseError, RequestError::Kind::erroResponse}));
}

TEST_F(CommentPostNotificationTest, NotificationRequests) {
    signIn(7, 99);
    server.reply("POST", "/m/api/notification/recommended/check", Reply{200, R"({"hide_red_dot": true})"});
    std::optional<JSON> check;
    NotificationService().sendNotificationId(501);
    NotificationService().markSeen(7, 501);
    NotificationService().checkRecommended(7, [&](const JSON& reply) { check = reply; });
    NotificationService("notification").markRecommendedSeen(7);
    NotificationService().resetNotificationCount(7);
    ASSERT_TRUE(runUntil([&] { return check.has_value(); }));
    EXPECT_TRUE((*check)["hide_red_dot"].boolValue());

    std::map<std::string, nlohmann::json> bodies;
    for (const auto& arrival : waitForArrivals(5)) {
        EXPECT_EQ(arrival.method, "POST");
        bodies[arrival.path] = arrival.json();
    }
    EXPECT_EQ(bodies, (std::map<std::string, nlohmann::json>{
                          {"/m/api/notification/received",
                           {{"user_id", "7"}, {"security_code", "99"}, {"not_id", "501"}}},
                          {"/m/api/notification/seen", {{"user_id", 7}, {"not_id", 501}}},
                          {"/m/api/notification/recommended/check", {{"user_id", 7}}},
                          {"/m/api/notification/recommended/seen", {{"user_id", 7}}},
                          {"/m/api/notification/reset", {{"user_id", 7}}}}));

    // Received without a member: still sent, with the notification id alone.
    AuthenticationContext::shared().setUser(nullptr);
    server.reset();
    NotificationService().sendNotificationId(502);
    EXPECT_EQ(waitForArrivals(1)[0].json(), nlohmann::json({{"not_id", "502"}}));
}

TEST_F(CommentPostNotificationTest, NotificationFailures) {
    signIn(7);
    for (const char* path : {"received", "seen", "recommended/check", "recommended/seen", "reset"})
        server.reply("POST", std::string("/m/api/notification/") + path, Reply{500, "{}"});
    std::vector<RequestError::Kind> errors;
    auto keep = [&](const RequestError& e) { errors.push_back(e.kind()); };
    {
        ConsoleCapture console;
        NotificationService().sendNotificationId(1);
        NotificationService().resetNotificationCount(7);
        NotificationService().markSeen(7, 1, nullptr, keep);
        NotificationService().checkRecommended(7, nullptr, keep);
        NotificationService().markRecommendedSeen(7, nullptr, keep);
        ASSERT_TRUE(runUntil([&] {
            const std::string text = console.text();
            return errors.size() == 3 && std::count(text.begin(), text.end(), '\n') == 2;
        }));
        EXPECT_EQ(errors, std::vector<RequestError::Kind>(3, RequestError::Kind::networkError));
        EXPECT_NE(console.text().find("notification reset failed\n"), std::string::npos) << console.text();
        EXPECT_NE(console.text().find("Request failed: internal server error (500)\n"), std::string::npos)
            << console.text();
    }

    // A reply that is not an object: parseError for callers that listen, ignored by the reset.
    server.reply("POST", "/m/api/notification/seen", Reply{200, "[]"});
    server.reply("POST", "/m/api/notification/reset", Reply{200, "[]"});
    errors.clear();
    NotificationService().markSeen(
        7, 1, [](const JSON&) { ADD_FAILURE(); }, keep);
    NotificationService().resetNotificationCount(7);
    ASSERT_TRUE(runUntil([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], RequestError::Kind::parseError);
}

} // namespace
} // namespace cw::servicetest
