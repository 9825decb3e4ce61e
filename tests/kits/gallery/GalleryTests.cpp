#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "kits/gallery/GalleryViewController.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/Kingfisher.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/WhiteScreenApp.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using cw::test::WhiteScreenApp;

std::shared_ptr<UIImage> flatPicture(std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(40 * 30, argb);
    return UIImage::fromPixels(40, 30, 1, pixels.data());
}

// Pictures of one colour each; the fetches wait until the test answers them.
class Pictures : public GalleryItemsDataSource {
public:
    explicit Pictures(std::vector<std::uint32_t> colours) : colours_(std::move(colours)) {}
    int itemCount() override { return static_cast<int>(colours_.size()); }
    GalleryItem provideGalleryItem(int index) override {
        asked.push_back(index);
        return GalleryItem::image([this, index](std::function<void(std::shared_ptr<UIImage>)> completion) {
            waiting.emplace_back(index, std::move(completion));
        });
    }
    // Answers every waiting fetch with its picture.
    void answerAll() {
        auto now = std::move(waiting);
        waiting.clear();
        for (auto& [index, completion] : now) completion(flatPicture(colours_[static_cast<std::size_t>(index)]));
    }
    std::vector<int> asked;
    std::vector<std::pair<int, std::function<void(std::shared_ptr<UIImage>)>>> waiting;

private:
    std::vector<std::uint32_t> colours_;
};

constexpr std::uint32_t kRed = 0xffd02020, kGreen = 0xff20d020, kBlue = 0xff2020d0;

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_shared<WhiteScreenApp>();
        host.launch(app);
    }
    // The colour in the middle of the screen.
    std::string middleColour() {
        auto image = renderView(*host.window(), 1);
        return image->pixelColor(image->pixelWidth() / 2, image->pixelHeight() / 2).hexDescription();
    }
    void swipe(CGFloat fromX, CGFloat toX) { host.drag({fromX, 330}, {toX, 330}, 8); }

    cw::HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app;
};

TEST_F(GalleryTest, OpensAtItsIndexAndFetchesEachPageTheFirstTimeItShows) {
    auto pictures = std::make_shared<Pictures>(std::vector<std::uint32_t>{kRed, kGreen, kBlue});
    auto gallery = std::make_shared<GalleryViewController>(
        1, pictures,
        GalleryConfiguration{GalleryConfigurationItem::closeButtonMode(ButtonMode::builtIn),
                             GalleryConfigurationItem::overlayColor(UIColor::blackColor())});
    std::vector<int> landed;
    gallery->landedPageAtIndexCompletion = [&landed](int index) { landed.push_back(index); };
    bool presented = false;
    presentImageGallery(*app->root, gallery, [&presented] { presented = true; });
    host.settle();
    EXPECT_TRUE(presented);
    EXPECT_EQ(host.topViewController(), gallery);
    EXPECT_EQ(gallery->itemCount(), 3);
    EXPECT_EQ(gallery->currentIndex(), 1);
    EXPECT_EQ(pictures->asked, std::vector<int>{1});
    EXPECT_EQ(middleColour(), "#000000FF") << "black with a spinner until the picture comes";

    pictures->answerAll();
    host.settle();
    EXPECT_EQ(middleColour(), "#20D020FF");
    EXPECT_TRUE(host.isShowing("Close"));

    // A drag to the left brings the next page in: it is fetched as soon as it shows.
    swipe(300, 60);
    EXPECT_EQ(gallery->currentIndex(), 2);
    EXPECT_EQ(landed, std::vector<int>{2});
    EXPECT_EQ(pictures->asked, (std::vector<int>{1, 2}));
    pictures->answerAll();
    host.settle();
    EXPECT_EQ(middleColour(), "#2020D0FF");

    // Past the last page the pages spring back.
    swipe(300, 60);
    EXPECT_EQ(gallery->currentIndex(), 2);

    swipe(60, 300);
    swipe(60, 300);
    EXPECT_EQ(gallery->currentIndex(), 0);
    pictures->answerAll();
    host.settle();
    EXPECT_EQ(middleColour(), "#D02020FF");
    swipe(60, 300);
    EXPECT_EQ(gallery->currentIndex(), 0);
    // Every page was asked for once, in the order it first showed.
    EXPECT_EQ(pictures->asked, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(gallery->fetchedIndices(), (std::vector<int>{1, 2, 0}));
}

// A gallery of thousands, paged through by a finger: it keeps the pages near the one shown and
// lets the others go with their pictures; a page it let go is asked for again when it comes back.
TEST_F(GalleryTest, PagingThroughThousandsKeepsOnlyThePagesNearTheOneShown) {
    auto pictures = std::make_shared<Pictures>(std::vector<std::uint32_t>(5000, kGreen));
    auto gallery = std::make_shared<GalleryViewController>(0, pictures);
    presentImageGallery(*app->root, gallery);
    host.settle();
    for (int page = 1; page <= 12; ++page) {
        swipe(300, 60);
        pictures->answerAll();
        host.settle();
        ASSERT_EQ(gallery->currentIndex(), page);
        EXPECT_LE(gallery->keptPageCount(), 3u) << "at page " << page;
    }
    EXPECT_EQ(gallery->imageAt(0), nullptr);
    EXPECT_NE(gallery->imageAt(12), nullptr);
    EXPECT_EQ(middleColour(), "#20D020FF");
    std::size_t pageViews = 0;
    for (const auto& view : gallery->scrollView()->subviews()) pageViews += view->className() == "GalleryPageView";
    EXPECT_LE(pageViews, 3u);

    for (int page = 11; page >= 9; --page) {
        swipe(60, 300);
        pictures->answerAll();
        host.settle();
    }
    EXPECT_EQ(gallery->currentIndex(), 9);
    EXPECT_EQ(pictures->asked.back(), 9) << "page 9 went and is asked for again";
    EXPECT_EQ(middleColour(), "#20D020FF");
}

TEST_F(GalleryTest, TheCloseControlDismissesAndTellsTheCompletion) {
    auto pictures = std::make_shared<Pictures>(std::vector<std::uint32_t>{kRed});
    auto gallery = std::make_shared<GalleryViewController>(0, pictures);
    int closed = 0;
    gallery->closedCompletion = [&closed] { ++closed; };
    presentImageGallery(*app->root, gallery);
    host.settle();
    ASSERT_TRUE(host.tapText("Close"));
    EXPECT_EQ(host.topViewController(), app->root);
    EXPECT_EQ(closed, 1);

    // Without the close control there is none to tap.
    auto bare = std::make_shared<GalleryViewController>(
        0, pictures, GalleryConfiguration{GalleryConfigurationItem::closeButtonMode(ButtonMode::none)});
    presentImageGallery(*app->root, bare);
    host.settle();
    EXPECT_FALSE(host.isShowing("Close"));
    bare->close();
    host.settle();
    EXPECT_EQ(host.topViewController(), app->root);
}

TEST_F(GalleryTest, StrayIndexesLateAnswersAndMissingSourcesAreHarmless) {
    auto pictures = std::make_shared<Pictures>(std::vector<std::uint32_t>{kRed, kGreen});
    for (int start : {5, -3}) {
        auto gallery = std::make_shared<GalleryViewController>(start, pictures);
        presentImageGallery(*app->root, gallery);
        host.settle();
        EXPECT_EQ(gallery->currentIndex(), start > 0 ? 1 : 0);
        gallery->close();
        host.settle();
    }

    // Answers that come twice, from another thread, as none, or after the gallery has gone.
    pictures->asked.clear();
    pictures->waiting.clear();
    auto gallery = std::make_shared<GalleryViewController>(0, pictures);
    presentImageGallery(*app->root, gallery);
    host.settle();
    ASSERT_EQ(pictures->waiting.size(), 1u);
    auto first = pictures->waiting[0].second;
    std::thread([first] { first(flatPicture(kGreen)); }).join();
    first(flatPicture(kBlue));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gallery->imageAt(0) != nullptr; }));
    host.settle();
    EXPECT_EQ(middleColour(), "#20D020FF") << "the first answer counts";

    swipe(300, 60);
    ASSERT_EQ(pictures->waiting.size(), 2u);
    pictures->waiting[1].second(nullptr);
    host.settle();
    EXPECT_EQ(gallery->imageAt(1), nullptr);
    EXPECT_EQ(middleColour(), "#000000FF");
    gallery->close();
    host.settle();
    std::weak_ptr<GalleryViewController> gone = gallery;
    gallery.reset();
    EXPECT_TRUE(gone.expired());
    first(flatPicture(kRed));
    host.settle();

    // A data source that went away before the gallery loaded: no pages.
    auto shortLived = std::make_shared<Pictures>(std::vector<std::uint32_t>{kRed});
    auto orphan = std::make_shared<GalleryViewController>(0, shortLived);
    shortLived.reset();
    presentImageGallery(*app->root, orphan);
    host.settle();
    EXPECT_EQ(orphan->itemCount(), 0);
    swipe(300, 60);
    EXPECT_EQ(orphan->currentIndex(), 0);
    EXPECT_TRUE(host.tapText("Close"));
}

// The post details screen's source: its pictures' addresses, fetched by the shared image manager.
class ServerPictures : public GalleryItemsDataSource {
public:
    explicit ServerPictures(std::vector<URL> urls) : urls_(std::move(urls)) {}
    int itemCount() override { return static_cast<int>(urls_.size()); }
    GalleryItem provideGalleryItem(int index) override {
        const URL url = urls_[static_cast<std::size_t>(index)];
        return GalleryItem::image([url](std::function<void(std::shared_ptr<UIImage>)> completion) {
            KingfisherManager::shared().retrieveImage(
                url, [completion](std::shared_ptr<UIImage> image, const std::optional<NSError>&, CacheType,
                                  const std::optional<URL>&) { completion(std::move(image)); });
        });
    }

private:
    std::vector<URL> urls_;
};

TEST_F(GalleryTest, PagesComeThroughTheImageLoaderWhenTheyFirstShow) {
    cw::test::AppEnvironment environment("cw-gallery");
    cw::images::ImageLoader::resetShared();
    cw::test::RecordingServer server;
    const auto png = [](std::uint32_t argb) {
        const auto bytes = flatPicture(argb)->pngData();
        return std::string(bytes->begin(), bytes->end());
    };
    server.reply("GET", "/pictures/0.png", cw::test::Reply{200, png(kRed), "image/png"});
    server.reply("GET", "/pictures/1.png", cw::test::Reply{200, png(kBlue), "image/png"});
    auto pictures = std::make_shared<ServerPictures>(std::vector<URL>{
        *URL::fromString(server.base() + "/pictures/0.png"), *URL::fromString(server.base() + "/pictures/1.png")});

    auto gallery = std::make_shared<GalleryViewController>(1, pictures);
    presentImageGallery(*app->root, gallery);
    host.settle();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gallery->imageAt(1) != nullptr; }));
    host.settle();
    EXPECT_EQ(middleColour(), "#2020D0FF");
    EXPECT_EQ(server.requestsAt("/pictures/0.png").size(), 0u);

    swipe(60, 300);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gallery->imageAt(0) != nullptr; }));
    host.settle();
    EXPECT_EQ(middleColour(), "#D02020FF");
    EXPECT_EQ(server.requestsAt("/pictures/0.png").size(), 1u);
    gallery->close();
    host.settle();
    cw::images::ImageLoader::resetShared();
}

} // namespace
