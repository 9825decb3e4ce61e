// The feed's pictures as a hostile server sends them, in the application in the headless host against
// a recording server in front of the demo server: two of them are progressive JPEGs of 25,000 scans
// (a minute of a core each, were they decoded to their end), downloaded before the baby's own
// picture for the header.

#include "FeedDemoFixture.h"

#include "kits/images/ImageLoader.h"
#include "kits/images/ImageViewRequest.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/JpegBytes.h"
#include "tests/support/RecordingServer.h"

#include <atomic>
#include <mutex>
#include <set>

namespace cw::test {
namespace {

class FeedHostilePictures : public FeedScreenTest {
protected:
    void SetUp() override {
        FeedScreenTest::SetUp();
        end();
        // A loader of this test's own, which counts the decodings begun.
        cw::images::ImageLoader::resetShared([begun = begun](cw::images::ImageLoader::Configuration& configuration) {
            configuration.decodingBegins = [begun] { ++*begun; };
        });
        front.setHandler([upstream = demo->baseUrl(), held = held, bombs = bombs,
                          bomb = progressiveJpegOfScans(1448, 1448, 25'000)](const RecordedRequest& request,
                                                                              httplib::Response& response) {
            const bool picture = request.path.starts_with("/images/") || request.path.starts_with("/static-files/");
            if (picture && request.path.find("demo-olivia") == std::string::npos && bombs->answer(request.path)) {
                response.set_content(bomb, "image/jpeg");
                return;
            }
            if (picture) held->wait();
            forwardRequest(upstream, request, response);
        });
        prepareBundle(environment, front.base(), "test.feed.hostile-pictures");
        resetSession();
        begin();
    }
    void TearDown() override {
        held->open();
        front.stop();
        FeedScreenTest::TearDown();
        cw::images::ImageLoader::resetShared();
    }

    // The first two pictures asked for besides hers, whenever they are asked for again.
    struct Bombs {
        std::mutex mutex;
        std::set<std::string> paths;
        bool answer(const std::string& path) {
            std::lock_guard lock(mutex);
            if (paths.size() < 2) paths.insert(path);
            return paths.count(path) > 0;
        }
        std::size_t count() {
            std::lock_guard lock(mutex);
            return paths.size();
        }
    };
    std::shared_ptr<std::atomic<int>> begun = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<Bombs> bombs = std::make_shared<Bombs>();
    // The rest of the pictures, hers among them, until both of those decode.
    std::shared_ptr<Gate> held = std::make_shared<Gate>();
    RecordingServer front;
};

TEST_F(FeedHostilePictures, TheBabysHeaderPictureAppearsWhileTwoPicturesOfThousandsOfScansDecode) {
    signInAsTheMother();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return bombs->count() == 2 && *begun >= 2; }, 20));
    held->open();
    ASSERT_FALSE(feed()->headerImageViews.empty());
    const auto olivia = feed()->headerImageViews.front();
    const auto placeholder = olivia->image();
    EXPECT_TRUE(RunLoop::main().runUntil(
        [&] { return !cw::images::ImageViewRequest::isWaiting(*olivia) && olivia->image() != placeholder; }, 20))
        << "her picture still waits for the decoding places";
    EXPECT_TRUE(host->isShowing("Olivia Hart"));
}

} // namespace
} // namespace cw::test
