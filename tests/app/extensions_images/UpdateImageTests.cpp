#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/Kingfisher.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UIImagePickerController.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>

namespace {

using cw::images::ImageLoader;
using cw::test::Reply;

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

std::string png(std::uint32_t argb, int width = 2, int height = 2) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, argb);
    auto bytes = *UIImage::fromPixels(width, height, 1, pixels.data())->pngData();
    return std::string(bytes.begin(), bytes.end());
}

std::shared_ptr<UIImage> pictureOf(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(4, argb);
    return UIImage::fromPixels(2, 2, 1, pixels.data());
}

std::uint32_t colorOf(const UIImageView& view) {
    return view.image() ? view.image()->pixel(0, 0) : 0;
}

// Holds the replies of the paths it is told to until they are released, and says which it holds.
class Gate {
public:
    void hold(const std::string& path) {
        std::lock_guard lock(mutex_);
        held_.insert(path);
    }
    void release(const std::string& path) {
        {
            std::lock_guard lock(mutex_);
            held_.erase(path);
        }
        changed_.notify_all();
    }
    bool isHolding(const std::string& path) {
        std::lock_guard lock(mutex_);
        return waiting_.count(path) > 0;
    }
    // The server's handler: waits while the path is held.
    void pass(const std::string& path) {
        std::unique_lock lock(mutex_);
        if (!held_.count(path)) return;
        waiting_.insert(path);
        changed_.wait(lock, [&] { return !held_.count(path); });
        waiting_.erase(path);
    }
    void releaseAll() {
        {
            std::lock_guard lock(mutex_);
            held_.clear();
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::string> held_, waiting_;
};

class UpdateImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.writeInfo({{"SERVER_URL", server.base()}});
        cw::setCachesDirectory(environment.directory() / "caches");
        ImageLoader::resetShared();
        server.setHandler([this](const cw::test::RecordedRequest& request, httplib::Response&) { gate.pass(request.path); });
    }
    void TearDown() override {
        gate.releaseAll();
        RunLoop::main().runUntilIdle();
        ImageLoader::resetShared();
        cw::setCachesDirectory(std::nullopt);
    }
    void serve(const std::string& path, std::uint32_t color) {
        server.reply("GET", path, Reply{200, png(color), "image/png"});
    }
    bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done); }
    // Lets the loader's queues run out: nothing more arrives.
    void drain() {
        RunLoop::main().runFor(0.05);
        RunLoop::main().runUntilIdle();
    }

    cw::test::AppEnvironment environment{"cw-update-image"};
    cw::test::RecordingServer server;
    Gate gate;
};

TEST_F(UpdateImageTest, ServerPathsAreEncodedAndResolvedAgainstTheServerAddress) {
    serve("/images/upload/baby one.png", kRed);
    serve("/static-files/images/logo.png", kGreen);
    serve("/images/upload/a%20b.png", kBlue);
    auto relative = std::make_shared<UIImageView>();
    auto full = std::make_shared<UIImageView>();
    auto encoded = std::make_shared<UIImageView>();
    updateImageWith(*relative, "images/upload/baby one.png");
    updateImageWith(*full, server.base() + "/static-files/images/logo.png");
    updateImageWith(*encoded, "images/upload/a%20b.png");
    ASSERT_TRUE(waitFor([&] { return relative->image() && full->image() && encoded->image(); }));
    EXPECT_EQ(colorOf(*relative), kRed);
    EXPECT_EQ(colorOf(*full), kGreen);
    // "%20" went out as "%2520": the server, decoding once, read "%20".
    EXPECT_EQ(colorOf(*encoded), kBlue);
    EXPECT_EQ(server.requestsAt("/images/upload/a%20b.png").size(), 1u);

    // A text without a marker changes nothing.
    updateImageWith(*relative, "card_default_n");
    updateImageWith(*relative, "https://example.org/elsewhere.png");
    drain();
    EXPECT_EQ(colorOf(*relative), kRed);
    EXPECT_EQ(server.requestCount(), 3u);
}

TEST_F(UpdateImageTest, AReusedCellEndsOnItsOwnRowsPicture) {
    serve("/images/upload/first.png", kRed);
    serve("/images/upload/second.png", kGreen);
    gate.hold("/images/upload/first.png");
    auto cell = std::make_shared<UIImageView>();
    updateImageWith(*cell, "images/upload/first.png");
    ASSERT_TRUE(waitFor([&] { return gate.isHolding("/images/upload/first.png"); }));
    updateImageWith(*cell, "images/upload/second.png"); // the cell shows the next row
    EXPECT_EQ(ImageLoader::shared().pendingCount(), 1u);  // the first row's download was cancelled
    ASSERT_TRUE(waitFor([&] { return cell->image() != nullptr; }));
    EXPECT_EQ(colorOf(*cell), kGreen);
    gate.release("/images/upload/first.png"); // the first row's reply comes last
    drain();
    EXPECT_EQ(colorOf(*cell), kGreen);

    // A picture set by other code meanwhile stays.
    auto other = std::make_shared<UIImageView>();
    serve("/images/upload/third.png", kBlue);
    gate.hold("/images/upload/third.png");
    updateImageWith(*other, "images/upload/third.png");
    ASSERT_TRUE(waitFor([&] { return gate.isHolding("/images/upload/third.png"); }));
    auto named = pictureOf(kRed);
    other->setImage(named);
    gate.release("/images/upload/third.png");
    drain();
    EXPECT_EQ(other->image(), named);

    // And a cancelled one never arrives.
    auto cancelled = std::make_shared<UIImageView>();
    serve("/images/upload/fourth.png", kBlue);
    updateImageWith(*cancelled, "images/upload/fourth.png");
    cancelImageDownloadTask(*cancelled);
    drain();
    EXPECT_FALSE(cancelled->image());
}

TEST_F(UpdateImageTest, OneRequestPerAddressAndTheDiskCacheOutlivesTheLoader) {
    serve("/images/upload/shared.png", kBlue);
    auto a = std::make_shared<UIImageView>(), b = std::make_shared<UIImageView>();
    updateImageWith(*a, "images/upload/shared.png");
    updateImageWith(*b, "images/upload/shared.png");
    ASSERT_TRUE(waitFor([&] { return a->image() && b->image(); }));
    EXPECT_EQ(server.requestsAt("/images/upload/shared.png").size(), 1u);

    // A new process's loader: the file answers, no request.
    ImageLoader::resetShared();
    auto c = std::make_shared<UIImageView>();
    updateImageWith(*c, "images/upload/shared.png");
    ASSERT_TRUE(waitFor([&] { return c->image() != nullptr; }));
    EXPECT_EQ(colorOf(*c), kBlue);
    EXPECT_EQ(server.requestsAt("/images/upload/shared.png").size(), 1u);

    // A file damaged on disk is fetched again.
    ImageLoader::resetShared();
    const auto url = *URL::fromString(server.base() + "/images/upload/shared.png");
    std::ofstream(ImageLoader::shared().diskCache().fileFor(url.absoluteString()), std::ios::trunc) << "damaged";
    auto d = std::make_shared<UIImageView>();
    updateImageWith(*d, "images/upload/shared.png");
    ASSERT_TRUE(waitFor([&] { return d->image() != nullptr; }));
    EXPECT_EQ(server.requestsAt("/images/upload/shared.png").size(), 2u);
}

TEST_F(UpdateImageTest, FailedDownloadsLeaveThePictureAndCacheNothing) {
    server.reply("GET", "/images/upload/gone.png", Reply{404, "Not Found", "text/plain"});
    server.reply("GET", "/images/upload/login.png", Reply{200, "<html>Please sign in</html>", "text/html"});
    auto shown = pictureOf(kGreen);
    for (const std::string path : {"images/upload/gone.png", "images/upload/login.png"}) {
        SCOPED_TRACE(path);
        auto view = std::make_shared<UIImageView>(shown);
        updateImageWith(*view, path);
        ASSERT_TRUE(waitFor([&] { return server.requestsAt("/" + path).size() == 1 && ImageLoader::shared().pendingCount() == 0; }));
        drain();
        EXPECT_EQ(view->image(), shown);
    }
    EXPECT_EQ(ImageLoader::shared().memoryCache().count(), 0u);
    EXPECT_EQ(ImageLoader::shared().diskCache().totalSize(), 0u);
}

TEST_F(UpdateImageTest, APickedPhotoIsShownSmallThenFinal) {
    const auto file = environment.directory() / "picked.jpg";
    std::vector<std::uint32_t> pixels(600 * 300, kBlue);
    {
        auto jpeg = *UIImage::fromPixels(600, 300, 1, pixels.data())->jpegData(0.9);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    }
    // What the picker hands its delegate carries the picture's library address.
    std::string reference;
    struct Catcher : UIImagePickerControllerDelegate {
        std::string* out = nullptr;
        void didFinishPickingMediaWithInfo(UIImagePickerController&, const UIImagePickerInfo& info) override {
            *out = std::any_cast<std::string>(info.at(UIImagePickerControllerReferenceURL));
        }
    };
    auto catcher = std::make_shared<Catcher>();
    catcher->out = &reference;
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(catcher);
    ASSERT_TRUE(picker->pick(file));
    ASSERT_FALSE(reference.empty());

    auto view = std::make_shared<UIImageView>();
    const auto before = view->imageSetCount();
    updateImageWith(*view, reference);
    ASSERT_TRUE(waitFor([&] { return view->imageSetCount() == before + 2; }));
    EXPECT_EQ(view->image()->pixelHeight(), 200); // aspect fill of 200 × 200
    EXPECT_EQ(view->image()->pixelWidth(), 400);

    // An address the library does not hold leaves the view as it is.
    const auto shown = view->image();
    updateImageWith(*view, "assets-library://asset/asset.JPG?id=11111111-2222-3333-4444-555555555555&ext=JPG");
    drain();
    EXPECT_EQ(view->image(), shown);

    // A server marker wins over the library marker.
    serve("/images/upload/assets-library.png", kRed);
    updateImageWith(*view, "images/upload/assets-library.png");
    ASSERT_TRUE(waitFor([&] { return colorOf(*view) == kRed; }));

    // A photo request followed at once by a server picture: only the server picture is shown.
    auto reused = std::make_shared<UIImageView>();
    const auto start = reused->imageSetCount();
    updateImageWith(*reused, reference);
    updateImageWith(*reused, "images/upload/assets-library.png");
    EXPECT_EQ(colorOf(*reused), kRed); // from memory, at once
    drain();
    EXPECT_EQ(colorOf(*reused), kRed);
    EXPECT_EQ(reused->imageSetCount(), start + 1);
}

TEST_F(UpdateImageTest, KingfisherClearsThenLoadsAndTheManagerRetrieves) {
    serve("/static-files/images/milestone.png", kGreen);
    const auto url = *URL::fromString(server.base() + "/static-files/images/milestone.png");
    auto view = std::make_shared<UIImageView>(pictureOf(kRed));
    kf(*view).setImage(url);
    EXPECT_FALSE(view->image()); // no placeholder: clear while loading
    ASSERT_TRUE(waitFor([&] { return view->image() != nullptr; }));
    EXPECT_EQ(colorOf(*view), kGreen);
    kf(*view).setImage(std::nullopt);
    EXPECT_FALSE(view->image());

    std::shared_ptr<UIImage> retrieved;
    std::optional<CacheType> type;
    KingfisherManager::shared().retrieveImage(url, [&](std::shared_ptr<UIImage> image, const std::optional<NSError>& error,
                                                      CacheType cacheType, const std::optional<URL>& imageURL) {
        EXPECT_FALSE(error);
        EXPECT_EQ(imageURL, url);
        retrieved = std::move(image), type = cacheType;
    });
    EXPECT_EQ(type, CacheType::memory); // at once, from memory
    EXPECT_EQ(retrieved->pixel(1, 1), kGreen);
    EXPECT_EQ(server.requestsAt("/static-files/images/milestone.png").size(), 1u);
}

} // namespace
