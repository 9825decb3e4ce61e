#include "tests/support/PictureBytes.h"

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/images/ImageData.h"
#include "kits/images/ImageLoader.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/UIGraphics.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/Gate.h"
#include "tests/support/ReleaseProbe.h"
#include "tests/support/ShortTimeOut.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <map>
#include <thread>

namespace cw::images {
namespace {

using test::pngOfColor;
using test::pngOfTwoHalves;
using test::Reply;

constexpr std::uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

struct Outcome {
    std::shared_ptr<UIImage> image;
    std::optional<NSError> error;
    ImageCacheType type = ImageCacheType::none;
    int calls = 0;
};

class ImageLoaderTest : public ::testing::Test {
protected:
    void TearDown() override { RunLoop::main().runUntilIdle(); }

    // What these tests weigh is what the pictures hold, not their decodings' time: under the
    // sanitizers a decoding takes many times its time, which must neither turn a picture too slow
    // nor make it give its place up.
    std::unique_ptr<ImageLoader> makeLoader(std::uint64_t diskLimit = 128u << 20, std::size_t memoryLimit = 64u << 20) {
        ImageLoader::Configuration configuration{caches / "images", memoryLimit, diskLimit};
        configuration.decodingTurnSeconds = configuration.maxDecodingSeconds = 120;
        return std::make_unique<ImageLoader>(configuration);
    }
    URL address(const std::string& path) const { return *URL::fromString(server.base() + path); }
    ImageLoader::Completion into(Outcome& outcome) {
        return [&outcome](std::shared_ptr<UIImage> image, const std::optional<NSError>& error, ImageCacheType type) {
            outcome.image = std::move(image), outcome.error = error, outcome.type = type, ++outcome.calls;
        };
    }
    // Decoding a 7000 x 7000 picture takes a worker half a second, and many times that under
    // ThreadSanitizer: the bound is generous, as it only ends a test that has failed.
    bool settle(const Outcome& outcome) {
        return RunLoop::main().runUntil([&] { return outcome.calls > 0; }, 120);
    }

    test::TempDirectory caches{"cw-images"};
    test::RecordingServer server;
};

TEST_F(ImageLoaderTest, OneDownloadServesEveryWaiterThenBothCachesAnswer) {
    server.reply("GET", "/a.png", Reply{200, test::asText(pngOfColor(4, 3, kRed)), "image/png"});
    auto loader = makeLoader();
    Outcome first, second;
    loader->retrieve(address("/a.png"), into(first));
    loader->retrieve(address("/a.png"), into(second));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first.calls && second.calls; }));
    EXPECT_EQ(server.requestsAt("/a.png").size(), 1u);
    ASSERT_TRUE(first.image);
    EXPECT_EQ(first.image, second.image); // one decoded picture, shared
    EXPECT_EQ(first.image->pixelWidth(), 4);
    EXPECT_EQ(first.image->pixel(0, 0), kRed);
    EXPECT_EQ(first.type, ImageCacheType::none);

    // From memory, inside the call.
    Outcome third;
    loader->retrieve(address("/a.png"), into(third));
    EXPECT_EQ(third.calls, 1);
    EXPECT_EQ(third.type, ImageCacheType::memory);
    EXPECT_EQ(loader->memoryCache().totalCost(), 4u * 3u * 4u);

    // A new loader has an empty memory but finds the file.
    loader.reset();
    auto again = makeLoader();
    Outcome fourth;
    again->retrieve(address("/a.png"), into(fourth));
    ASSERT_TRUE(settle(fourth));
    EXPECT_EQ(fourth.type, ImageCacheType::disk);
    EXPECT_EQ(fourth.image->pixel(3, 2), kRed);
    EXPECT_EQ(server.requestsAt("/a.png").size(), 1u);
}

TEST_F(ImageLoaderTest, ADamagedCacheFileIsRemovedAndThePictureFetchedAgain) {
    server.reply("GET", "/b.png", Reply{200, test::asText(pngOfColor(2, 2, kBlue)), "image/png"});
    auto loader = makeLoader();
    const std::filesystem::path file = loader->diskCache().fileFor(address("/b.png").absoluteString());
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "\x89PNG\r\n\x1a\n but cut short";
    Outcome outcome;
    loader->retrieve(address("/b.png"), into(outcome));
    ASSERT_TRUE(settle(outcome));
    ASSERT_TRUE(outcome.image);
    EXPECT_EQ(outcome.image->pixel(0, 0), kBlue);
    EXPECT_EQ(server.requestsAt("/b.png").size(), 1u);
    // The file now holds the good picture.
    auto bytes = loader->diskCache().read(address("/b.png").absoluteString());
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(decodePicture(*bytes));
}

TEST_F(ImageLoaderTest, RepliesThatAreNotPicturesFailAndLeaveNothingBehind) {
    struct Case {
        std::string path;
        Reply reply;
        std::int64_t code;
    };
    // A header claiming 8000 × 8000 pixels: refused before anything is decoded.
    Data huge = pngOfColor(1, 1, kRed);
    huge[16] = 0, huge[17] = 0, huge[18] = 0x1F, huge[19] = 0x40;
    huge[20] = 0, huge[21] = 0, huge[22] = 0x1F, huge[23] = 0x40;
    const std::vector<Case> cases{
        {"/missing.png", Reply{404, "not here", "text/plain"}, NSURLErrorBadServerResponse},
        {"/page.png", Reply{200, "<html><body>Sign in</body></html>", "text/html"}, NSURLErrorCannotDecodeContentData},
        {"/huge.png", Reply{200, test::asText(huge), "image/png"}, NSURLErrorCannotDecodeContentData},
        {"/big.png", Reply{200, std::string(kMaxPictureBytes + 1, 'x'), "image/png"}, NSURLErrorDataLengthExceedsMaximum},
    };
    auto loader = makeLoader();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        server.reply("GET", c.path, c.reply);
        Outcome outcome;
        loader->retrieve(address(c.path), into(outcome));
        ASSERT_TRUE(settle(outcome));
        EXPECT_FALSE(outcome.image);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, c.code);
    }
    EXPECT_EQ(loader->memoryCache().count(), 0u);
    EXPECT_EQ(loader->diskCache().totalSize(), 0u);
    EXPECT_EQ(loader->pendingCount(), 0u);
}

TEST_F(ImageLoaderTest, PicturesWithinTheLimitsAreDecodedNoLargerThanTheScreenAndCostWhatTheyHold) {
    // Members' pictures as Family & Friends met them: 7000 × 7000 pixels in a few hundred kilobytes,
    // within the 20 MB and 50-megapixel limits (one of them interlaced, whose passes each cover the
    // whole picture). The screen is 750 × 1334 pixels.
    UIScreen::main().setSize({375, 667}, 2);
    struct Case {
        std::string path;
        Data bytes;
        int width, height; // decoded
    };
    const std::vector<Case> cases{
        {"/member.png", pngOfTwoHalves(7000, 7000, kRed, kBlue), 1334, 1334},
        {"/interlaced.png", pngOfTwoHalves(7000, 3500, kRed, kBlue, true), 1334, 667},
        {"/small.png", pngOfTwoHalves(600, 400, kRed, kBlue), 600, 400},
        {"/small-interlaced.png", pngOfTwoHalves(600, 400, kRed, kBlue, true), 600, 400},
    };
    auto loader = makeLoader();
    std::size_t decodedBytes = 0;
    std::shared_ptr<UIImage> member;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_LT(c.bytes.size(), 1u << 20);
        server.reply("GET", c.path, Reply{200, test::asText(c.bytes), "image/png"});
        Outcome outcome;
        loader->retrieve(address(c.path), into(outcome));
        ASSERT_TRUE(settle(outcome));
        ASSERT_TRUE(outcome.image) << (outcome.error ? outcome.error->localizedDescription() : "");
        const auto& image = *outcome.image;
        EXPECT_EQ(image.pixelWidth(), c.width);
        EXPECT_EQ(image.pixelHeight(), c.height);
        // It lays out as the full picture would: its size in points is the picture's own.
        const CGSize full = declaredPixelSize(c.bytes) ? CGSize{double(declaredPixelSize(c.bytes)->width),
                                                                double(declaredPixelSize(c.bytes)->height)}
                                                       : CGSize{};
        EXPECT_NEAR(image.size().width, full.width, full.width / c.width);
        EXPECT_NEAR(image.size().height, full.height, full.height / c.height);
        // Each half keeps its colour, to the middle.
        for (int y : {0, c.height / 3, c.height - 1}) {
            EXPECT_EQ(image.pixel(0, y), kRed);
            EXPECT_EQ(image.pixel(c.width / 2 - 1, y), kRed);
            EXPECT_EQ(image.pixel(c.width / 2 + 1, y), kBlue);
            EXPECT_EQ(image.pixel(c.width - 1, y), kBlue);
        }
        decodedBytes += static_cast<std::size_t>(c.width) * c.height * 4;
        if (!member) member = outcome.image;
    }
    EXPECT_EQ(loader->memoryCache().totalCost(), decodedBytes);

    // A picture drawn at one size frame after frame keeps a resampled copy (200 × 200 pixels here):
    // the cache counts it from the next time the picture is asked for.
    UIGraphicsBeginImageContextWithOptions({100, 100}, true, 2);
    for (int frame = 0; frame < 2; ++frame)
        member->draw(CGRect{0, 0, 100, 100});
    UIGraphicsEndImageContext();
    Outcome again;
    loader->retrieve(address("/member.png"), into(again));
    EXPECT_EQ(again.type, ImageCacheType::memory);
    EXPECT_EQ(loader->memoryCache().totalCost(), decodedBytes + 200u * 200u * 4u);
}

TEST_F(ImageLoaderTest, MembersPicturesStayWithinTheMemoryBudget) {
    UIScreen::main().setSize({375, 667}, 2);
    const std::string picture = test::asText(pngOfTwoHalves(7000, 7000, kRed, kBlue));
    constexpr int kMembers = 5;
    for (int member = 0; member < kMembers; ++member)
        server.reply("GET", "/members/" + std::to_string(member) + ".png", Reply{200, picture, "image/png"});
    // Room for two and a half pictures of 1334 × 1334 pixels.
    const std::size_t decoded = 1334u * 1334u * 4u;
    auto loader = makeLoader(128u << 20, decoded * 5 / 2);
    std::vector<Outcome> outcomes(kMembers);
    for (int member = 0; member < kMembers; ++member)
        loader->retrieve(address("/members/" + std::to_string(member) + ".png"), into(outcomes[member]));
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.calls > 0; });
    }, 300));
    for (const auto& outcome : outcomes)
        ASSERT_TRUE(outcome.image);
    EXPECT_EQ(loader->memoryCache().count(), 2u);
    EXPECT_EQ(loader->memoryCache().totalCost(), 2 * decoded);
}

TEST_F(ImageLoaderTest, ACompressedReplyIsRefusedByWhatItInflatesTo) {
    // 30 MB of "picture" in a few tens of kilobytes on the wire, sent with Content-Encoding: gzip.
    const std::string wire = test::gzippedPNGStart(30u << 20);
    ASSERT_LT(wire.size(), 200u << 10);
    // The handler keeps its own copy: the loader may ask again while the test ends.
    server.setHandler([wire](const test::RecordedRequest&, httplib::Response& response) {
        response.set_content(wire, "image/png");
        response.set_header("Content-Encoding", "gzip");
    });
    auto loader = makeLoader();
    Outcome outcome;
    loader->retrieve(address("/inflating.png"), into(outcome));
    ASSERT_TRUE(settle(outcome));
    EXPECT_FALSE(outcome.image);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, NSURLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(loader->memoryCache().count(), 0u);
    EXPECT_EQ(loader->diskCache().totalSize(), 0u);
}

TEST_F(ImageLoaderTest, ACancelledRequestNeverCallsBackAndItsDownloadStops) {
    // The reply is held until the test lets it go; what the server's handler waits on is shared with
    // it, as the handler may still be returning when the test ends.
    auto held = std::make_shared<test::Gate>();
    test::OpenOnExit openAtEnd{held};
    auto holding = std::make_shared<std::atomic<bool>>(false);
    server.setHandler([held, holding](const test::RecordedRequest&, httplib::Response& response) {
        response.set_content(test::asText(pngOfColor(1, 1, kRed)), "image/png");
        *holding = true;
        held->wait();
    });
    auto loader = makeLoader();
    test::ReleaseCounter counter;
    int calls = 0;
    auto request = loader->retrieve(address("/held.png"), [&calls, probe = counter.make()](auto&&...) { ++calls; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return holding->load(); }));
    request->cancel();
    EXPECT_EQ(loader->pendingCount(), 0u);
    EXPECT_EQ(counter.gone, 1); // the callback and what it holds went at once, on the main thread
    held->open();
    RunLoop::main().runFor(0.05);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(counter.offMain, 0);
    EXPECT_EQ(loader->memoryCache().count(), 0u);
}

TEST(ImageCaches, MemoryForgetsTheLeastRecentlyUsedByDecodedBytes) {
    MemoryImageCache memory(3 * 100 * 4); // three 10 × 10 pictures
    auto picture = [](std::uint32_t color) {
        std::vector<std::uint32_t> pixels(100, color);
        return UIImage::fromPixels(10, 10, 1, pixels.data());
    };
    memory.insert("a", picture(kRed));
    memory.insert("b", picture(kRed));
    memory.insert("c", picture(kRed));
    EXPECT_TRUE(memory.image("a")); // a is now the most recent
    memory.insert("d", picture(kBlue));
    EXPECT_FALSE(memory.image("b"));
    EXPECT_TRUE(memory.image("a"));
    EXPECT_EQ(memory.totalCost(), 1200u);
    std::vector<std::uint32_t> wide(40 * 40, kRed);
    memory.insert("too big", UIImage::fromPixels(40, 40, 1, wide.data()));
    EXPECT_FALSE(memory.image("too big"));
    EXPECT_EQ(memory.count(), 3u);
}

TEST(ImageCaches, DiskKeepsItsSizeLimitAndItsOrderAcrossInstances) {
    test::TempDirectory directory{"cw-disk-cache"};
    const Data bytes(1000, 7);
    {
        DiskImageCache disk(directory.path(), 3000);
        ASSERT_TRUE(disk.write("a", bytes));
        ASSERT_TRUE(disk.write("b", bytes));
        ASSERT_TRUE(disk.write("c", bytes));
        EXPECT_TRUE(disk.read("a"));
        ASSERT_TRUE(disk.write("d", bytes)); // b is the least recently used
        EXPECT_FALSE(disk.read("b"));
        EXPECT_EQ(disk.totalSize(), 3000u);
        EXPECT_EQ(disk.fileFor("a").filename().string().size(), 32u);
        EXPECT_EQ(std::filesystem::status(disk.fileFor("a")).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    // A later run reads the directory and the use order from the files.
    std::ofstream(directory / ".partial.XXXXXX") << "left by an interrupted write";
    DiskImageCache disk(directory.path(), 3000);
    EXPECT_EQ(disk.totalSize(), 3000u);
    EXPECT_FALSE(std::filesystem::exists(directory / ".partial.XXXXXX"));
    EXPECT_TRUE(disk.read("c"));
    ASSERT_TRUE(disk.write("e", bytes)); // a, then d, then c were used last: a goes
    EXPECT_FALSE(disk.read("a"));
    EXPECT_TRUE(disk.read("d"));
    ASSERT_TRUE(disk.write("huge", Data(4000, 1)));
    EXPECT_FALSE(disk.read("huge"));
}

TEST(ImageData, SizesAreReadFromHeadersAndLimitsHold) {
    const Data png = pngOfColor(7, 5, kRed);
    auto size = declaredPixelSize(png);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 7);
    EXPECT_EQ(size->height, 5);
    std::vector<std::uint32_t> pixels(6 * 9, kBlue);
    const Data jpeg = *UIImage::fromPixels(6, 9, 1, pixels.data())->jpegData(0.8);
    size = declaredPixelSize(jpeg);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 6);
    EXPECT_EQ(size->height, 9);
    EXPECT_TRUE(decodePicture(jpeg));
    std::string why;
    EXPECT_FALSE(decodePicture(Data{'G', 'I', 'F', '8', '9', 'a'}, &why));
    EXPECT_EQ(why, "not a PNG or JPEG picture");
    EXPECT_FALSE(declaredPixelSize(Data(jpeg.begin(), jpeg.begin() + 4)));
}

// A progressive JPEG keeps every coefficient of the picture until its last scan, whatever size it is
// decoded to, and passes over all of them at each scan: a few hundred bytes declaring 7000 × 7000
// pixels in CMYK would take 392 MB, and 330 KB of 25,000 scans nearly a minute of a core. Such
// pictures are refused before that memory or that time is taken; a progressive picture a camera or a
// web page gives still decodes.
TEST(ImageData, AJPEGTooCostlyToDecodeIsRefusedBeforeItsCostIsTaken) {
    struct Case {
        const char* what;
        Data bytes;
        const char* refusal; // none: it decodes
    };
    const std::string scans = test::progressiveJpegOfScans(1448, 1448, 25'000);
    const std::vector<Case> cases{
        {"7000 x 7000 in CMYK", test::withDeclaredSize(test::progressiveJPEG(16, 16, 4), 7000, 7000),
         "JPEG: decoding it would take more than 96 MB"},
        {"25,000 scans", Data(scans.begin(), scans.end()), "JPEG: more than 100 scans"},
        {"a camera's photo", test::progressiveJPEG(3000, 2000, 3), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        auto image = decodePicture(c.bytes, &why, 1334);
        if (c.refusal) {
            EXPECT_FALSE(image);
            EXPECT_EQ(why, c.refusal);
            continue;
        }
        ASSERT_TRUE(image) << why;
        EXPECT_EQ(image->pixelWidth(), 1334);
        EXPECT_EQ(image->pixelHeight(), 889);
    }
}

// Each picture decoding may hold tens of megabytes: a feed of large pictures decodes two at a time
// while the others wait their turn, and every one of them still arrives.
TEST_F(ImageLoaderTest, PicturesAreDecodedTwoAtATime) {
    UIScreen::main().setSize({375, 667}, 2);
    constexpr int kPictures = 8;
    for (int i = 0; i < kPictures; ++i)
        server.reply("GET", "/feed/" + std::to_string(i) + ".png",
                     Reply{200, test::asText(pngOfTwoHalves(40 + i, 30, kRed, kBlue)), "image/png"});
    test::Gate gate;
    std::atomic<int> held{0};
    ImageLoader::Configuration configuration{caches / "images"};
    configuration.decodingBegins = [&] {
        ++held;
        gate.wait();
    };
    auto loader = std::make_unique<ImageLoader>(configuration);
    std::vector<Outcome> outcomes(kPictures);
    for (int i = 0; i < kPictures; ++i)
        loader->retrieve(address("/feed/" + std::to_string(i) + ".png"), into(outcomes[i]));
    // Every download is in and waits for a place: two decode (held at the gate), the rest wait. The
    // two decoding threads may reach the gate a moment after the last download is in.
    const bool queued =
        RunLoop::main().runUntil([&] { return loader->decodingCount() == kPictures && held >= 2; }, 30);
    RunLoop::main().runUntilIdle();
    const int heldWhileQueued = held;
    gate.open();
    ASSERT_TRUE(queued);
    EXPECT_EQ(heldWhileQueued, 2);
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](const Outcome& o) { return o.calls > 0; });
    }, 60));
    for (const auto& outcome : outcomes)
        EXPECT_TRUE(outcome.image);
    EXPECT_EQ(held, kPictures);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return loader->decodingCount() == 0; }, 10));
}

// Where decodings that began before the quick picture came are held as they go on: the hold they are
// in when it comes is let go, the next ones last until the end. Shared with the decoding threads,
// which may outlive a test that failed.
struct Stages {
    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0; // 1: the quick picture waits; 2: the end
    std::map<std::thread::id, int> began;
    std::atomic<int> goneOn{0};

    void begins() {
        std::lock_guard lock(mutex);
        began[std::this_thread::get_id()] = stage;
    }
    void goesOn() {
        ++goneOn;
        std::unique_lock lock(mutex);
        const int entered = stage;
        if (began[std::this_thread::get_id()] == 0 && entered < 2) changed.wait(lock, [&] { return stage > entered; });
    }
    void next() {
        {
            std::lock_guard lock(mutex);
            stage = std::min(stage + 1, 2);
        }
        changed.notify_all();
    }
};

// Two pictures that take long to decode, then one that decodes at once: the long ones keep one
// place between them, so the quick one is decoded in the other while both are still on their way.
TEST_F(ImageLoaderTest, NoPictureHoldsAnothersTurn) {
    UIScreen::main().setSize({375, 667}, 2);
    const std::string large = test::asText(pngOfTwoHalves(3000, 3000, kRed, kBlue));
    server.reply("GET", "/long-1.png", Reply{200, large, "image/png"});
    server.reply("GET", "/long-2.png", Reply{200, large, "image/png"});
    server.reply("GET", "/quick.png", Reply{200, test::asText(pngOfColor(4, 3, kRed)), "image/png"});
    auto stages = std::make_shared<Stages>();
    struct EndOnExit {
        std::shared_ptr<Stages> stages;
        ~EndOnExit() { stages->next(), stages->next(); }
    } endOnExit{stages};
    // Every decoding has had its turn as it starts.
    ImageLoader::Configuration configuration{caches / "images"};
    configuration.decodingTurnSeconds = 0;
    configuration.decodingBegins = [stages] { stages->begins(); };
    configuration.decodingGoesOn = [stages] { stages->goesOn(); };
    auto loader = std::make_unique<ImageLoader>(configuration);

    std::vector<Outcome> long_(2);
    loader->retrieve(address("/long-1.png"), into(long_[0]));
    loader->retrieve(address("/long-2.png"), into(long_[1]));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return stages->goneOn >= 2; }, 30));
    Outcome quick;
    loader->retrieve(address("/quick.png"), into(quick));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return loader->decodingCount() == 3; }, 30));
    stages->next();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return quick.calls > 0; }, 30)) << "it waited for a long one";
    EXPECT_TRUE(quick.image);
    EXPECT_EQ(long_[0].calls + long_[1].calls, 0);
    stages->next();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return long_[0].calls && long_[1].calls; }, 120));
    EXPECT_TRUE(long_[0].image && long_[1].image);
}

// A decoding whose picture nobody waits for any more (its view went away) goes no further.
TEST_F(ImageLoaderTest, ADecodingForNobodyStopsWhereItIs) {
    server.reply("GET", "/large.png", Reply{200, test::asText(pngOfTwoHalves(3000, 3000, kRed, kBlue)), "image/png"});
    auto held = std::make_shared<test::Gate>();
    test::OpenOnExit openOnExit{held};
    auto goneOn = std::make_shared<std::atomic<int>>(0);
    ImageLoader::Configuration configuration{caches / "images"};
    configuration.decodingGoesOn = [held, goneOn] {
        ++*goneOn;
        held->wait();
    };
    auto loader = std::make_unique<ImageLoader>(configuration);
    Outcome gone;
    auto request = loader->retrieve(address("/large.png"), into(gone));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return *goneOn > 0; }, 30));
    request->cancel();
    held->open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return loader->decodingCount() == 0; }, 120));
    EXPECT_EQ(*goneOn, 1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(gone.calls, 0);
}

// One picture's decoding is bounded in a core's time: one that takes longer (a hostile picture, or
// one no phone should decode) fails once it has taken its bound, and frees its place and its
// memory for the others, instead of holding them for as long as it would take. Here the bound is
// 10 ms against a 16-megapixel picture's tens of milliseconds; a small picture still decodes.
TEST_F(ImageLoaderTest, APictureThatTakesLongerThanItsBoundToDecodeIsRefused) {
    UIScreen::main().setSize({375, 667}, 2);
    server.reply("GET", "/slow.png", Reply{200, test::asText(pngOfTwoHalves(4000, 4000, kRed, kBlue)), "image/png"});
    server.reply("GET", "/quick.png", Reply{200, test::asText(pngOfColor(4, 3, kRed)), "image/png"});
    ImageLoader::Configuration configuration{caches / "images"};
    configuration.maxDecodingSeconds = 0.01;
    configuration.decodingTurnSeconds = 120;
    ImageLoader loader(configuration);
    Outcome slow, quick;
    loader.retrieve(address("/slow.png"), into(slow));
    ASSERT_TRUE(settle(slow));
    EXPECT_FALSE(slow.image);
    ASSERT_TRUE(slow.error);
    EXPECT_EQ(slow.error->code, NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(loader.memoryCache().count(), 0u);
    EXPECT_EQ(loader.diskCache().totalSize(), 0u);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return loader.decodingCount() == 0; }, 10));
    loader.retrieve(address("/quick.png"), into(quick));
    ASSERT_TRUE(settle(quick));
    EXPECT_TRUE(quick.image);
}

// A reply that sends its head and 1 KB of a picture, then nothing, fails as the API's requests do
// once nothing has come for their time-out, and sooner by the least pace: it no longer keeps its
// picture's request, and the view waiting for it, for a minute.
TEST_F(ImageLoaderTest, ADownloadThatStopsHalfwayFailsByTheTimeOutOrTheLeastPace) {
    auto stalled = std::make_shared<test::Gate>();
    test::OpenOnExit openOnExit{stalled};
    // Shared with the server's handler, which may still be sending it as the test ends.
    const auto picture =
        std::make_shared<const std::string>(test::asText(pngOfTwoHalves(4000, 3000, kRed, kBlue))); // tens of KB
    server.setHandler([picture, stalled](const test::RecordedRequest&, httplib::Response& response) {
        response.body.clear();
        response.set_content_provider(picture->size(), "image/png",
                                      [picture, stalled](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (offset == 0) return sink.write(picture->data(), 1024);
                                          stalled->wait();
                                          return false;
                                      });
    });
    struct Case {
        const char* what;
        double timeOut;
        NSURLRequest::Pace leastPace;
    };
    const std::vector<Case> cases{
        {"the API's time-out", 1, {1024, 600}},
        {"the least pace", 600, {1024, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ShortTimeOut timeOut(c.timeOut);
        ImageLoader::Configuration configuration{caches / c.what};
        configuration.leastPace = c.leastPace;
        ImageLoader loader(configuration);
        Outcome outcome;
        loader.retrieve(address("/stalled.png"), into(outcome));
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return outcome.calls > 0; }, 20));
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, NSURLErrorTimedOut);
    }
}

TEST(CachesDirectory, FollowsXdgCacheHomeThenHome) {
    cw::setCachesDirectory(std::nullopt);
    ::setenv("XDG_CACHE_HOME", "/srv/cache", 1);
    EXPECT_EQ(cw::cachesDirectory(), std::filesystem::path("/srv/cache/cradleway"));
    ::setenv("XDG_CACHE_HOME", "relative", 1);
    ::setenv("HOME", "/home/parent", 1);
    EXPECT_EQ(cw::cachesDirectory(), std::filesystem::path("/home/parent/.cache/cradleway"));
    cw::setCachesDirectory(std::filesystem::path("/chosen"));
    EXPECT_EQ(cw::cachesDirectory(), std::filesystem::path("/chosen"));
    cw::setCachesDirectory(std::nullopt);
}

} // namespace
} // namespace cw::images
