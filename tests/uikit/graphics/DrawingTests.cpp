#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/NamedImagePreparation.h"

#include "foundation/dispatch/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {
void expectColor(const UIColor& actual, const UIColor& expected, CGFloat tolerance = 0.02) {
    EXPECT_NEAR(actual.red(), expected.red(), tolerance) << actual;
    EXPECT_NEAR(actual.green(), expected.green(), tolerance) << actual;
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance) << actual;
    EXPECT_NEAR(actual.alpha(), expected.alpha(), tolerance) << actual;
}

std::filesystem::path scratchDir(const char* name) {
    auto dir =
        std::filesystem::temp_directory_path() / ("cw-graphics-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::create_directories(dir);
    return dir;
}

std::shared_ptr<UIImage> gradientImage(int w, int h) {
    return UIGraphicsImageRenderer({static_cast<CGFloat>(w), static_cast<CGFloat>(h)},
                                   {.scale = 1, .opaque = true})
        .image([&](UIGraphicsImageRendererContext& ctx) {
            ctx.cgContext().drawLinearGradient({UIColor(1, 0, 0, 1), UIColor(0, 0, 1, 1)}, {}, {0, 0},
                                               {static_cast<CGFloat>(w), 0});
        });
}
} // namespace

TEST(Drawing, RoundedRectangleLeavesCornersClear) {
    const UIColor green(47 / 255.0, 178 / 255.0, 153 / 255.0, 1);
    auto image = UIGraphicsImageRenderer({40, 20}).image([&](UIGraphicsImageRendererContext&) {
        green.setFill();
        UIBezierPath::roundedRect({0, 0, 40, 20}, 8).fill();
    });
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{40, 20}));
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->pixelWidth(), 80);
    expectColor(image->pixelColor(0, 0), UIColor(0, 0, 0, 0));   // outside the top-left arc
    expectColor(image->pixelColor(79, 39), UIColor(0, 0, 0, 0)); // bottom-right
    expectColor(image->pixelColor(40, 20), green);               // the middle
    expectColor(image->pixelColor(40, 0), green);                // a straight edge is filled to the border
    expectColor(image->pixelColor(6, 6), green);                 // inside the arc
}

TEST(Drawing, OnlyChosenCornersAreRounded) {
    auto image = UIGraphicsImageRenderer({20, 20}, {.scale = 1}).image([&](UIGraphicsImageRendererContext&) {
        UIColor::blackColor().setFill();
        UIBezierPath::roundedRect({0, 0, 20, 20}, UIRectCornerTopLeft | UIRectCornerBottomRight, {8, 8})
            .fill();
    });
    EXPECT_EQ(image->pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(image->pixelColor(19, 0).alpha(), 1);
    EXPECT_EQ(image->pixelColor(0, 19).alpha(), 1);
    EXPECT_EQ(image->pixelColor(19, 19).alpha(), 0);
}

TEST(Drawing, DashedStrokeLeavesGaps) {
    auto image = UIGraphicsImageRenderer({40, 4}, {.scale = 1}).image([&](UIGraphicsImageRendererContext&) {
        UIColor::blackColor().setStroke();
        UIBezierPath line;
        line.move({0, 2});
        line.addLine({40, 2});
        line.lineWidth = 2;
        line.setLineDash({5, 5}, 0);
        line.stroke();
    });
    EXPECT_GT(image->pixelColor(2, 2).alpha(), 0.9);
    EXPECT_LT(image->pixelColor(7, 2).alpha(), 0.1);
    EXPECT_GT(image->pixelColor(12, 2).alpha(), 0.9);
}

TEST(Drawing, PathGeometry) {
    auto oval = UIBezierPath::ovalIn({0, 0, 10, 10});
    EXPECT_TRUE(oval.contains({5, 5}));
    EXPECT_FALSE(oval.contains({0.5, 0.5}));
    EXPECT_EQ(oval.bounds(), (CGRect{0, 0, 10, 10}));
    oval.apply(CGAffineTransform::makeTranslation(10, 0));
    EXPECT_TRUE(oval.contains({15, 5}));
    const auto arc = UIBezierPath::arc({0, 0}, 10, 0, 3.14159265358979 / 2, true);
    EXPECT_NEAR(arc.currentPoint().x, 0, 1e-9);
    EXPECT_NEAR(arc.currentPoint().y, 10, 1e-9); // clockwise runs towards +y
    EXPECT_TRUE(UIBezierPath().bounds().isNull());
}

TEST(Drawing, BeginEndPairAndNesting) {
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    EXPECT_EQ(UIGraphicsGetImageFromCurrentImageContext(), nullptr);
    UIGraphicsBeginImageContextWithOptions({10, 10}, false, 1);
    UIColor::redColor().setFill();
    UIGraphicsGetCurrentContext()->fill(CGRect{0, 0, 10, 10});
    UIGraphicsBeginImageContextWithOptions({4, 4}, true, 3);
    auto inner = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto outer = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    UIGraphicsEndImageContext(); // unbalanced end: ignored
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
    ASSERT_TRUE(inner && outer);
    EXPECT_EQ(inner->pixelWidth(), 12);
    expectColor(inner->pixelColor(1, 1), UIColor(0, 0, 0, 1)); // opaque contexts start black
    expectColor(outer->pixelColor(5, 5), UIColor(1, 0, 0, 1));
}

TEST(Drawing, TextAndImagesDrawIntoTheContext) {
    auto dot = UIGraphicsImageRenderer({2, 2}, {.scale = 1}).image([](UIGraphicsImageRendererContext& c) {
        UIColor::blueColor().setFill();
        c.fill({0, 0, 2, 2});
    });
    auto image = UIGraphicsImageRenderer({60, 30}, {.scale = 1}).image([&](UIGraphicsImageRendererContext&) {
        NSAttributedString(
            "MMMM", {.font = UIFont::named("Avenir-Black", 20), .foregroundColor = UIColor::blackColor()})
            .draw(CGPoint{0, 0});
        dot->draw(CGRect{50, 20, 10, 10});
    });
    int inked = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 45; ++x)
            inked += image->pixelColor(x, y).alpha() > 0.5;
    EXPECT_GT(inked, 50);
    expectColor(image->pixelColor(55, 25), UIColor(0, 0, 1, 1));
}

TEST(Images, JPEGRoundTripKeepsSizeAndColours) {
    auto source = gradientImage(64, 32);
    std::string error;
    const auto jpeg = source->jpegData(0.5, &error);
    ASSERT_TRUE(jpeg) << error;
    EXPECT_EQ((*jpeg)[0], 0xFF);
    EXPECT_EQ((*jpeg)[1], 0xD8);
    auto decoded = UIImage::fromData(*jpeg, 2, &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->pixelWidth(), 64);
    EXPECT_EQ(decoded->pixelHeight(), 32);
    EXPECT_EQ(decoded->size(), (CGSize{32, 16}));
    expectColor(decoded->pixelColor(1, 16), source->pixelColor(1, 16), 0.08);
    expectColor(decoded->pixelColor(62, 16), source->pixelColor(62, 16), 0.08);
    // A lower quality gives fewer bytes.
    EXPECT_LT(source->jpegData(0.1)->size(), source->jpegData(1.0)->size());
}

TEST(Images, FailuresSaySo) {
    std::string error;
    auto empty = UIGraphicsImageRenderer({0, 0}).image(nullptr);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->jpegData(0.5, &error));
    EXPECT_NE(error.find("no pixels"), std::string::npos);

    auto jpeg = *gradientImage(16, 16)->jpegData(0.5);
    jpeg.resize(jpeg.size() / 3);
    jpeg.insert(jpeg.begin() + 20, 50, 0x00); // damaged header
    error.clear();
    EXPECT_FALSE(UIImage::fromData(jpeg, 1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(UIImage::fromData(Data{'G', 'I', 'F', '8'}, 1, &error));
    EXPECT_FALSE(UIImage::fromData(Data{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}, 1, &error));
    EXPECT_FALSE(UIImage::fromData(Data{}, 1));
}

TEST(Images, PNGRoundTripKeepsAlpha) {
    const std::uint32_t pixels[] = {0x80800000u, 0xFF00FF00u, 0x00000000u, 0xFF0000FFu}; // premultiplied ARGB
    auto image = UIImage::fromPixels(2, 2, 1, pixels);
    ASSERT_TRUE(image);
    const auto dir = scratchDir("png");
    std::string error;
    ASSERT_TRUE(image->writePNG(dir / "a@2x.png", &error)) << error;
    auto back = UIImage::fromFile(dir / "a@2x.png", &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->scale(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            expectColor(back->pixelColor(x, y), image->pixelColor(x, y), 0.01);
    EXPECT_FALSE(image->writePNG(dir / "missing-dir" / "x.png", &error));
    std::filesystem::remove_all(dir);
}

TEST(Images, NamedImagesComeFromTheResourceDirectory) {
    const auto dir = scratchDir("named");
    gradientImage(8, 4)->writePNG(dir / "logo@2x.png");
    gradientImage(8, 4)->writePNG(dir / "flat.png");
    std::filesystem::create_directories(dir / "icon.imageset");
    gradientImage(6, 6)->writePNG(dir / "icon.imageset" / "icon@2x.png");
    std::ofstream(dir / "broken.png") << "not a picture";
    UIImage::setResourceDirectory(dir);
    auto logo = UIImage::named("logo");
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->size(), (CGSize{4, 2}));
    ASSERT_TRUE(UIImage::named("flat"));
    EXPECT_EQ(UIImage::named("flat")->scale(), 1);
    ASSERT_TRUE(UIImage::named("icon"));
    EXPECT_EQ(UIImage::named("icon")->size(), (CGSize{3, 3}));
    EXPECT_FALSE(UIImage::named("missing"));
    EXPECT_FALSE(UIImage::named("broken"));
    EXPECT_FALSE(UIImage::named("../named/flat"));
    EXPECT_FALSE(UIImage::named(""));

    // A name is decoded once and shared; a file written again is read again, a removed one is gone.
    EXPECT_EQ(UIImage::named("logo"), logo);
    gradientImage(12, 4)->writePNG(dir / "logo@2x.png");
    ASSERT_TRUE(UIImage::named("logo"));
    EXPECT_EQ(UIImage::named("logo")->size(), (CGSize{6, 2}));
    EXPECT_EQ(logo->size(), (CGSize{4, 2}));
    std::filesystem::remove(dir / "logo@2x.png");
    EXPECT_FALSE(UIImage::named("logo"));
    UIImage::setResourceDirectory({});
    EXPECT_FALSE(UIImage::named("flat"));
    std::filesystem::remove_all(dir);
}

// Pictures a screen is about to show are decoded ahead on a background queue and then served by
// name from what was decoded, without reading their files again on the main thread.
TEST(Images, NamedPicturesPreparedAheadAreServedAsDecoded) {
    const auto dir = scratchDir("prepared");
    UIImage::setResourceDirectory(dir);
    gradientImage(12, 4)->writePNG(dir / "card@2x.png");
    gradientImage(6, 6)->writePNG(dir / "logo.png");
    bool done = false;
    cw::prepareNamedImages({"card", "logo", "card", "missing", "../card", "images/upload/1.jpg"},
                           [&] { done = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done; }));

    // The file spoilt in place (same size and time): only the picture decoded ahead can be shown.
    const auto path = dir / "card@2x.png";
    const auto written = std::filesystem::last_write_time(path);
    const auto size = std::filesystem::file_size(path);
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    std::filesystem::last_write_time(path, written);
    const auto card = UIImage::named("card");
    ASSERT_TRUE(card);
    EXPECT_EQ(card->size(), (CGSize{6, 2}));
    EXPECT_EQ(UIImage::named("logo")->size(), (CGSize{6, 6}));
    EXPECT_FALSE(UIImage::named("missing"));

    // Nothing to prepare still says so.
    done = false;
    cw::prepareNamedImages({}, [&] { done = true; });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return done; }));
    UIImage::setResourceDirectory({});
    std::filesystem::remove_all(dir);
}

TEST(Images, DrawingOnBackgroundThreads) {
    std::vector<std::thread> threads;
    std::vector<UIColor> centres(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&centres, i] {
            auto img = UIGraphicsImageRenderer({10, 10}).image([](UIGraphicsImageRendererContext&) {
                UIColor::greenColor().setFill();
                UIBezierPath::ovalIn({0, 0, 10, 10}).fill();
            });
            centres[i] = img->pixelColor(10, 10);
        });
    for (auto& t : threads)
        t.join();
    for (const auto& c : centres)
        expectColor(c, UIColor(0, 1, 0, 1));
}

TEST(Drawing, StateSavesRestoresAndClips) {
    auto image = UIGraphicsImageRenderer({20, 10}, {.scale = 1}).image([](UIGraphicsImageRendererContext& r) {
        CGContext& c = r.cgContext();
        c.setFillColor(UIColor::redColor());
        c.saveGState();
        c.setFillColor(UIColor::blueColor());
        c.clip(CGRect{0, 0, 10, 10});
        c.translateBy(5, 0);
        c.fill(CGRect{0, 0, 20, 10}); // clipped to the left half, starting at x = 5
        c.restoreGState();
        c.restoreGState(); // one too many: ignored
        EXPECT_EQ(c.fillColor(), UIColor::redColor());
        EXPECT_TRUE(c.currentTransform().isIdentity());
        c.setAlpha(0.5);
        c.fill(CGRect{15, 0, 5, 10});
    });
    EXPECT_EQ(image->pixelColor(2, 5).alpha(), 0);             // before the translated fill
    expectColor(image->pixelColor(7, 5), UIColor(0, 0, 1, 1)); // inside the clip
    EXPECT_EQ(image->pixelColor(12, 5).alpha(), 0);            // outside the clip
    expectColor(image->pixelColor(17, 5), UIColor(1, 0, 0, 0.5));
}

TEST(Drawing, ImagesScaleIntoTheirRectangle) {
    const std::uint32_t pixels[] = {0xFFFF0000u, 0xFF0000FFu}; // red | blue
    auto source = UIImage::fromPixels(2, 1, 1, pixels);
    auto image = UIGraphicsImageRenderer({20, 10}, {.scale = 1}).image([&](UIGraphicsImageRendererContext&) {
        source->draw(CGRect{0, 0, 20, 10});
    });
    expectColor(image->pixelColor(1, 5), UIColor(1, 0, 0, 1), 0.05);
    expectColor(image->pixelColor(18, 5), UIColor(0, 0, 1, 1), 0.05);
    // Drawing without a current context does nothing and does not crash.
    source->draw(CGPoint{0, 0});
    UIBezierPath::rect({0, 0, 1, 1}).fill();
    NSAttributedString("x").draw(CGPoint{});
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

TEST(Drawing, TextWrapsInsideItsRectangle) {
    const TextAttributes attrs{.font = UIFont::named("Avenir-Black", 16),
                               .foregroundColor = UIColor::blackColor()};
    auto image = UIGraphicsImageRenderer({60, 80}, {.scale = 1}).image([&](UIGraphicsImageRendererContext&) {
        NSAttributedString("MMMM MMMM MMMM MMMM", attrs).draw(CGRect{0, 0, 60, 80});
    });
    auto inkedRows = [&](int from, int to) {
        int count = 0;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < 60; ++x)
                count += image->pixelColor(x, y).alpha() > 0.5;
        return count;
    };
    EXPECT_GT(inkedRows(0, 20), 20);
    EXPECT_GT(inkedRows(20, 40), 20); // the text went on to a second line
}

namespace {

// A photo-like picture: every pixel its own colour, so that any resampling shows.
// With `seeThrough`, every other pixel is half transparent (premultiplied).
std::shared_ptr<UIImage> noisyPicture(int w, int h, unsigned seed, bool seeThrough = false) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        pixels[i] = seeThrough && i % 2 ? 0x80000000u | (seed >> 9 & 0x7F7F7Fu) : 0xFF000000u | (seed >> 8 & 0xFFFFFFu);
    }
    return UIImage::fromPixels(w, h, 1, pixels.data());
}

// `picture` drawn into `rect` (points) of a 60 x 40 point picture at scale 2, at `alpha`.
std::shared_ptr<UIImage> drawnInto(const UIImage& picture, const CGRect& rect, CGFloat alpha = 1) {
    return UIGraphicsImageRenderer({60, 40}).image([&](UIGraphicsImageRendererContext& r) {
        UIColor::whiteColor().setFill();
        UIBezierPath::rect({0, 0, 60, 40}).fill();
        r.cgContext().setAlpha(alpha);
        r.cgContext().draw(picture, rect);
    });
}

// The largest difference of one channel of one pixel, out of 255.
int largestDifference(const UIImage& a, const UIImage& b) {
    int largest = 0;
    for (int y = 0; y < a.pixelHeight(); ++y)
        for (int x = 0; x < a.pixelWidth(); ++x)
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(static_cast<int>(a.pixel(x, y) >> shift & 0xFF) -
                                                     static_cast<int>(b.pixel(x, y) >> shift & 0xFF)));
    return largest;
}

} // namespace

// A picture shown at one size frame after frame is resampled once and kept; every later frame must
// look exactly like the first, and a new size, place on the pixel grid, opacity or picture must be drawn
// anew rather than from what was kept.
TEST(Drawing, APictureDrawnAgainLooksTheSameAndFollowsItsSizeAndPlace) {
    const auto picture = noisyPicture(70, 50, 1);
    const CGRect at{3, 2, 41.5, 27.25};
    const auto first = drawnInto(*picture, at);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(largestDifference(*drawnInto(*picture, at), *first), 0) << "frame " << frame;

    // Each case against the same pixels in a picture never drawn before, so drawn directly.
    const std::vector<std::pair<const char*, CGRect>> changes{
        {"wider", {3, 2, 50, 27.25}},
        {"moved by whole pixels", {13.5, 7, 41.5, 27.25}},
        {"moved off the pixel grid", {3.25, 2.25, 41.5, 27.25}},
        {"shown at the picture's own size", {3, 2, 35, 25}},
    };
    for (const auto& [what, rect] : changes) {
        for (int frame = 0; frame < 3; ++frame) {
            const auto drawn = drawnInto(*picture, rect);
            EXPECT_EQ(largestDifference(*drawn, *drawnInto(*noisyPicture(70, 50, 1), rect)), 0) << what;
        }
    }
    // Back at the first size after the others: still as at first.
    EXPECT_EQ(largestDifference(*drawnInto(*picture, at), *first), 0);

    // Half transparent, from what was kept.
    EXPECT_LE(largestDifference(*drawnInto(*picture, at, 0.5), *drawnInto(*noisyPicture(70, 50, 1), at, 0.5)), 1);
    EXPECT_GT(largestDifference(*drawnInto(*picture, at, 0.5), *first), 40);

    // A picture one sees through is blended with what lies beneath, frame after frame.
    const auto glass = noisyPicture(70, 50, 3, true);
    const auto firstGlass = drawnInto(*glass, at);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_EQ(largestDifference(*drawnInto(*glass, at), *firstGlass), 0) << "frame " << frame;

    // Another picture of the same size shows its own pixels.
    const auto other = noisyPicture(70, 50, 2);
    drawnInto(*other, at);
    EXPECT_GT(largestDifference(*drawnInto(*other, at), *first), 100);
    EXPECT_LE(largestDifference(*drawnInto(*other, at), *drawnInto(*noisyPicture(70, 50, 2), at)), 1);
}

// Where the drawing is turned, the picture is resampled as it is drawn, and kept copies are not used.
TEST(Drawing, ATurnedPictureIsDrawnTurned) {
    const std::uint32_t pixels[] = {0xFFFF0000u, 0xFF0000FFu}; // red | blue
    const auto picture = UIImage::fromPixels(2, 1, 1, pixels);
    std::shared_ptr<UIImage> turned;
    for (int frame = 0; frame < 3; ++frame)
        turned = UIGraphicsImageRenderer({20, 20}, {.scale = 1}).image([&](UIGraphicsImageRendererContext& r) {
            r.cgContext().draw(*picture, {0, 0, 20, 20}); // kept unturned
            r.cgContext().translateBy(20, 0);
            r.cgContext().rotate(M_PI / 2);
            r.cgContext().draw(*picture, {0, 0, 20, 20});
        });
    expectColor(turned->pixelColor(10, 2), UIColor(1, 0, 0, 1), 0.05);
    expectColor(turned->pixelColor(10, 17), UIColor(0, 0, 1, 1), 0.05);
}
