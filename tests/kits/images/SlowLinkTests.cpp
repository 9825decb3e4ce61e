#include "tests/support/PictureBytes.h"

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/ImageViewRequest.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "net/NSURLSessionDataTask.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ShortTimeOut.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace cw::images {
namespace {

using test::Reply;

// A slow link: the server's threads wait at it between the pieces they send. Ending the link lets
// every one of them go at once, so that no reply outlives its test.
struct Link {
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;

    // Waits `milliseconds`, or until the link ends; whether the link still stands.
    bool pace(int milliseconds) {
        std::unique_lock lock(mutex);
        return !ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return over; });
    }
    void end() {
        {
            std::lock_guard lock(mutex);
            over = true;
        }
        ended.notify_all();
    }
};
struct EndOnExit {
    std::shared_ptr<Link> link;
    ~EndOnExit() { link->end(); }
};

// Sends `bytes` as `piece`-byte pieces, one every `every` ms, the first at once.
void trickle(httplib::Response& response, std::shared_ptr<const std::string> bytes, std::size_t piece, int every,
             std::shared_ptr<Link> link, const char* type = "image/jpeg") {
    response.set_content_provider(bytes->size(), type,
                                  [bytes, piece, every, link](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                      if (offset > 0 && !link->pace(every)) return false;
                                      const std::size_t size = std::min(piece, bytes->size() - offset);
                                      return sink.write(bytes->data() + offset, size);
                                  });
}

// A photo of noise, which no coder makes much smaller: over 20 KB.
std::shared_ptr<const std::string> photo() {
    std::vector<std::uint32_t> pixels(160 * 160);
    std::uint32_t state = 12345;
    for (auto& pixel : pixels) {
        state = state * 1103515245u + 12345u;
        pixel = 0xFF000000u | (state >> 8);
    }
    const Data jpeg = *UIImage::fromPixels(160, 160, 1, pixels.data())->jpegData(0.9);
    return std::make_shared<const std::string>(jpeg.begin(), jpeg.end());
}

class SlowLinkTest : public ::testing::Test {
protected:
    void SetUp() override { RunLoop::main().reset(); }
    void TearDown() override { RunLoop::main().runUntilIdle(); }
    URL address(const std::string& path) const { return *URL::fromString(server.base() + path); }

    test::TempDirectory caches{"cw-images-slow"};
    test::RecordingServer server;
};

// Over a ward link a 1.76 MB photo comes at a steady 20 KB/s for 88 s, against a 60 s time-out;
// three phone photos share an 8 KB/s link; a picture lies behind three slow redirects. Each keeps
// coming, and each is shown whole. Here the time-out is 0.4 s and the link brings 1000 bytes every
// 25 ms: each picture takes longer than the time-out, most of them several.
TEST_F(SlowLinkTest, PicturesThatKeepComingOverASlowLinkAreShown) {
    test::ShortTimeOut timeOut(0.4);
    const auto bytes = photo();
    ASSERT_GT(bytes->size(), 20'000u);
    auto link = std::make_shared<Link>();
    EndOnExit endOnExit{link};
    server.setHandler([bytes, link](const test::RecordedRequest& request, httplib::Response& response) {
        response.body.clear();
        if (request.path.starts_with("/shared/")) {
            // Three pictures at once on one link: each gets a third of it.
            trickle(response, bytes, 1000, 75, link);
        } else if (request.path.starts_with("/hop/")) {
            const int hops = request.path[5] - '0';
            response.status = 302;
            response.set_header("Location", hops > 1 ? "/hop/" + std::to_string(hops - 1) : std::string("/steady.jpg"));
            trickle(response, std::make_shared<const std::string>(20'000, 'r'), 1000, 25, link, "text/html");
        } else {
            trickle(response, bytes, 1000, 25, link);
        }
    });
    // A connection made and the server's threads running first: what is timed is the link alone.
    auto warm = std::make_shared<std::atomic<bool>>(false);
    NSURLRequest first;
    first.url = server.base() + "/warm";
    NSURLSessionDataTask::make(std::move(first), [warm](const auto&, auto) { *warm = true; })->resume();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return warm->load(); }, 30));
    struct Case {
        const char* what;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases{
        {"a photo at a steady pace", {"/steady.jpg"}},
        {"three photos sharing the link", {"/shared/1.jpg", "/shared/2.jpg", "/shared/3.jpg"}},
        {"a picture behind three slow redirects", {"/hop/3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageLoader loader(ImageLoader::Configuration{caches / c.what});
        std::vector<std::shared_ptr<UIImage>> images(c.paths.size());
        std::vector<std::optional<NSError>> errors(c.paths.size());
        int ended = 0;
        const auto began = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < c.paths.size(); ++i)
            loader.retrieve(address(c.paths[i]), [&, i](std::shared_ptr<UIImage> image, const std::optional<NSError>& error,
                                                        ImageCacheType) {
                images[i] = std::move(image), errors[i] = error, ++ended;
            });
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return ended == static_cast<int>(c.paths.size()); }, 30));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        EXPECT_GT(seconds, 0.4) << "the link was not faster than the time-out";
        for (std::size_t i = 0; i < c.paths.size(); ++i) {
            EXPECT_TRUE(images[i]) << c.paths[i] << ": " << (errors[i] ? errors[i]->localizedDescription() : "");
            if (images[i]) {
                EXPECT_EQ(images[i]->pixelWidth(), 160);
            }
        }
    }
}

// Pictures that a stalled server holds never take every connection to it: the screen the member
// opens meanwhile still reaches it at once.
TEST_F(SlowLinkTest, PicturesHeldByAStalledServerLeaveAConnectionForTheScreen) {
    auto link = std::make_shared<Link>();
    EndOnExit endOnExit{link};
    auto holding = std::make_shared<std::atomic<int>>(0);
    server.setHandler([link, holding](const test::RecordedRequest& request, httplib::Response&) {
        if (!request.path.starts_with("/held/")) return;
        ++*holding;
        link->pace(10'000);
    });
    ImageLoader loader(ImageLoader::Configuration{caches.path()});
    for (int i = 0; i < 8; ++i)
        loader.retrieve(address("/held/" + std::to_string(i) + ".jpg"), nullptr);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return *holding >= 4; }, 10));

    NSURLRequest request;
    request.url = server.base() + "/m/api/journey";
    auto answered = std::make_shared<std::atomic<bool>>(false);
    auto task = NSURLSessionDataTask::make(std::move(request), [answered](const auto&, auto) { *answered = true; });
    task->resume();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return answered->load(); }, 5)) << "it waited behind the pictures";
    EXPECT_EQ(*holding, 4);
    link->end();
}

// A download that failed on its way while a view still waits for it is asked again after a short
// pause, then after longer ones, not only when the view is filled again at the next tab switch. A
// failure that says something of the picture (not there) is not asked again, and neither is a
// picture no view waits for any more.
TEST_F(SlowLinkTest, AFailedPictureIsAskedAgainWhileItsViewWaits) {
    cw::setCachesDirectory(caches.path());
    ImageLoader::resetShared();
    ManualClock clock;
    // The first three replies of /cut.jpg are cut halfway, the fourth comes whole; every reply of
    // /always-cut.jpg is cut.
    const auto bytes = photo();
    std::atomic<int> asked{0};
    server.setHandler([bytes, &asked](const test::RecordedRequest& request, httplib::Response& response) {
        if (request.path == "/missing.jpg") return;
        const bool cut = request.path == "/always-cut.jpg" || ++asked <= 3;
        response.body.clear();
        response.set_content_provider(bytes->size(), "image/jpeg",
                                      [bytes, cut](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (cut && offset > 0) return false;
                                          return sink.write(bytes->data() + offset, cut ? 1000 : bytes->size() - offset);
                                      });
    });
    server.reply("GET", "/missing.jpg", Reply{404, "not here", "text/plain"});
    auto& loader = ImageLoader::shared();
    auto failedOnce = [&](int times) {
        return RunLoop::main().runUntil([&] { return asked == times && loader.pendingCount() == 0; }, 20);
    };
    // Moves the clock to just before the pause's end, then to its end: only then is it asked again.
    // The download asked again may already have failed by the time the loop is idle (a cut reply from
    // a local server is quick), so a request the server saw counts as asked too.
    auto pauseOf = [&](double seconds) {
        const int before = asked;
        clock.advance(seconds - 0.05);
        RunLoop::main().runUntilIdle();
        const bool early = loader.pendingCount() > 0 || asked != before;
        clock.advance(0.1);
        RunLoop::main().runUntilIdle();
        return !early && (loader.pendingCount() == 1 || asked == before + 1);
    };

    UIImageView view;
    setImageWithURL(view, address("/cut.jpg"));
    ASSERT_TRUE(failedOnce(1));
    EXPECT_FALSE(view.image());
    EXPECT_TRUE(ImageViewRequest::isWaiting(view));
    EXPECT_TRUE(pauseOf(kFirstPictureRetryPause));
    ASSERT_TRUE(failedOnce(2));
    EXPECT_TRUE(pauseOf(2 * kFirstPictureRetryPause));
    ASSERT_TRUE(failedOnce(3));
    EXPECT_TRUE(pauseOf(4 * kFirstPictureRetryPause));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view.image() != nullptr; }, 20));
    EXPECT_EQ(view.image()->pixelWidth(), 160);
    EXPECT_FALSE(ImageViewRequest::isWaiting(view));

    struct Case {
        const char* what;
        std::string path;
        std::function<void(UIImageView&)> meanwhile;
    };
    const std::vector<Case> cases{
        {"a picture that is not there", "/missing.jpg", nullptr},
        {"a view given another picture meanwhile", "/always-cut.jpg", [](UIImageView& v) {
             const std::uint32_t red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
             v.setImage(UIImage::fromPixels(2, 2, 1, red));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t before = server.requestCount(c.path);
        UIImageView other;
        setImageWithURL(other, address(c.path));
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.requestCount(c.path) == before + 1 && loader.pendingCount() == 0; }, 20));
        RunLoop::main().runUntilIdle();
        if (c.meanwhile) c.meanwhile(other);
        clock.advance(10 * kLongestPictureRetryPause);
        RunLoop::main().runUntilIdle();
        EXPECT_EQ(loader.pendingCount(), 0u);
        EXPECT_FALSE(ImageViewRequest::isWaiting(other));
    }
    ImageLoader::resetShared();
    cw::setCachesDirectory(std::nullopt);
}

} // namespace
} // namespace cw::images
