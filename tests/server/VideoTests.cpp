#include "ServerFixture.h"

#include "kits/video/VideoDecoder.h"

#include <filesystem>
#include <thread>

namespace cw::server::testing {
namespace {

// Encoding a video is the slowest thing the server does; under a sanitizer on a busy machine it
// takes many seconds, so its requests wait far longer than the others.
constexpr int kEncodingSeconds = 120;

class VideoTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        client_->set_read_timeout(kEncodingSeconds, 0);
    }
    httplib::Result fetch(const std::string& path) { return client_->Get(path.c_str()); }
    std::filesystem::path videoFile(const std::string& name) const {
        return dir_ / "cradleway.db-files" / "static" / "videos" / name;
    }
    std::size_t madeLines(const std::string& name) {
        std::size_t n = 0;
        for (const auto& line : consoleLines())
            if (line.find("videos: made " + name) != std::string::npos) ++n;
        return n;
    }
};

TEST_F(VideoTest, EachDemoVideoIsEncodedOnItsFirstRequestAndKeptForTheNext) {
    // Start-up made none.
    EXPECT_FALSE(std::filesystem::exists(videoFile("sample.mp4")));

    auto first = fetch("/static-files/videos/sample.mp4");
    ASSERT_TRUE(first);
    ASSERT_EQ(first->status, 200);
    EXPECT_EQ(first->get_header_value("Content-Type"), "video/mp4");
    EXPECT_TRUE(std::filesystem::exists(videoFile("sample.mp4")));
    EXPECT_EQ(madeLines("sample.mp4"), 1u);

    // A few seconds of pictures that count: the picture changes from one moment to the next.
    auto decoder = cw::video::VideoDecoder::open(std::make_shared<const Data>(first->body.begin(), first->body.end()));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->info().width, 480);
    EXPECT_EQ(decoder->info().height, 270);
    ASSERT_TRUE(decoder->info().duration);
    EXPECT_NEAR(*decoder->info().duration, 4.0, 0.05);
    const auto start = decoder->framesFrom(0, 0, 1);
    const auto later = decoder->framesFrom(1.0, 1.0, 1);
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_NEAR(later[0].time, 1.0, 1e-6);
    int differing = 0;
    for (int y = 0; y < 270; y += 9)
        for (int x = 0; x < 480; x += 9)
            if (start[0].image->pixel(x, y) != later[0].image->pixel(x, y)) ++differing;
    EXPECT_GT(differing, 50);

    // The next request reads the kept file.
    auto second = fetch("/static-files/videos/sample.mp4");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 200);
    EXPECT_EQ(second->body, first->body);
    EXPECT_EQ(madeLines("sample.mp4"), 1u);

    // The demo content's videos, each its own.
    auto cpr = fetch("/static-files/videos/cwDemoCpr01.mp4");
    auto choke = fetch("/static-files/videos/cwDemoChoke2.mp4");
    ASSERT_TRUE(cpr && choke);
    EXPECT_EQ(cpr->status, 200);
    EXPECT_EQ(choke->status, 200);
    EXPECT_NE(cpr->body, choke->body);
    EXPECT_NE(cpr->body, first->body);
}

TEST_F(VideoTest, AFewRangesAreServedMergedAndInOrderAndNothingServesMoreThanTheFile) {
    const std::string path = "/static-files/videos/sample.mp4";
    auto whole = fetch(path);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->status, 200);
    const std::string& video = whole->body;
    const std::string size = std::to_string(video.size());
    auto ranged = [&](const std::string& ranges) { return client_->Get(path, {{"Range", "bytes=" + ranges}}); };

    // One range, from the start, from the end, or several that touch or overlap: one slice.
    auto first = ranged("0-9");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 206);
    EXPECT_TRUE(first->body == video.substr(0, 10));
    EXPECT_EQ(first->get_header_value("Content-Range"), "bytes 0-9/" + size);
    auto last = ranged("-100");
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->body == video.substr(video.size() - 100));
    auto merged = ranged("10-19,0-9,5-14");
    ASSERT_TRUE(merged);
    EXPECT_EQ(merged->status, 206);
    EXPECT_EQ(merged->get_header_value("Content-Range"), "bytes 0-19/" + size);
    EXPECT_TRUE(merged->body == video.substr(0, 20));

    // Apart: each once, in the order of the file, as parts of one reply.
    auto apart = ranged("200-209,0-9,205-214");
    ASSERT_TRUE(apart);
    EXPECT_EQ(apart->status, 206);
    const std::string type = apart->get_header_value("Content-Type");
    ASSERT_EQ(type.rfind("multipart/byteranges; boundary=", 0), 0u) << type;
    const std::string boundary = type.substr(type.find('=') + 1);
    EXPECT_TRUE(apart->body == "--" + boundary + "\r\nContent-Type: video/mp4\r\nContent-Range: bytes 0-9/" + size +
                               "\r\n\r\n" + video.substr(0, 10) + "\r\n--" + boundary +
                               "\r\nContent-Type: video/mp4\r\nContent-Range: bytes 200-214/" + size + "\r\n\r\n" +
                               video.substr(200, 15) + "\r\n--" + boundary + "--\r\n");

    // Many ranges, even of the same bytes, are answered with the file once.
    std::string many = "0-";
    for (int i = 0; i < 40; ++i)
        many += ",0-";
    auto repeated = ranged(many);
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->status, 200);
    EXPECT_EQ(repeated->body.size(), video.size());
    // Nothing of the file: 416, saying how long the file is.
    auto beyond = ranged(size + "-");
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->status, 416);
    EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */" + size);

    // A picture is always answered whole.
    auto picture = client_->Get("/static-files/images/article_1.png", {{"Range", "bytes=" + many}});
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 200);
    EXPECT_EQ(picture->body.size(), std::filesystem::file_size(dir_ / "cradleway.db-files" / "static" / "article_1.png"));
}

TEST_F(VideoTest, NamesThatAreNoDemoVideoAreNotFoundAndMakeNothing) {
    for (const std::string path :
         {"/static-files/videos/nothing.mp4", "/static-files/videos/../images/x.mp4",
          "/static-files/videos/%2e%2e%2fsample.mp4", "/static-files/videos/sample.mp4.part",
          "/static-files/videos/sample", "/static-files/videos/SAMPLE.mp4"}) {
        SCOPED_TRACE(path);
        auto reply = fetch(path);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 404);
        EXPECT_NE(reply->get_header_value("Content-Type"), "video/mp4");
    }
    EXPECT_FALSE(std::filesystem::exists(videoFile("")));
}

TEST_F(VideoTest, RequestsAtOnceEncodeOnceAndAnEmptyKeptFileIsMadeAgain) {
    std::vector<std::string> bodies(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < bodies.size(); ++i)
        threads.emplace_back([this, &bodies, i] {
            httplib::Client client("127.0.0.1", server_->port());
            client.set_read_timeout(kEncodingSeconds, 0);
            if (auto r = client.Get("/static-files/videos/cwDemoChoke2.mp4"); r && r->status == 200)
                bodies[i] = r->body;
        });
    for (auto& t : threads) t.join();
    for (const auto& body : bodies) {
        EXPECT_FALSE(body.empty());
        EXPECT_EQ(body, bodies[0]);
    }
    EXPECT_EQ(madeLines("cwDemoChoke2.mp4"), 1u);

    std::ofstream(videoFile("cwDemoChoke2.mp4"), std::ios::trunc).close();
    auto remade = fetch("/static-files/videos/cwDemoChoke2.mp4");
    ASSERT_TRUE(remade);
    EXPECT_EQ(remade->status, 200);
    EXPECT_EQ(remade->body, bodies[0]);
    EXPECT_EQ(madeLines("cwDemoChoke2.mp4"), 2u);
}

} // namespace
} // namespace cw::server::testing
