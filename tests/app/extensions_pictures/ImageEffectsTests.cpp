#include "Extensions/UIImage+ImageEffects.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/graphics/vImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// Premultiplied ARGB32 of an opaque colour, as 0–255 channels.
std::uint32_t opaque(int r, int g, int b) {
    return 0xff000000u | static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b);
}

std::shared_ptr<UIImage> filled(int width, int height, CGFloat scale, std::uint32_t pixel) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, pixel);
    return UIImage::fromPixels(width, height, scale, pixels.data());
}

struct RGBA {
    int r, g, b, a;
};
RGBA channels(std::uint32_t p) {
    return {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p & 255),
            static_cast<int>(p >> 24)};
}

void expectPixel(const UIImage& image, int x, int y, RGBA expected, int tolerance = 1) {
    const RGBA got = channels(image.pixel(x, y));
    SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
    EXPECT_NEAR(got.r, expected.r, tolerance);
    EXPECT_NEAR(got.g, expected.g, tolerance);
    EXPECT_NEAR(got.b, expected.b, tolerance);
    EXPECT_NEAR(got.a, expected.a, tolerance);
}

class ImageEffects : public ::testing::Test {
protected:
    ImageEffects() { UIScreen::main().setSize({375, 667}, 2); }
};

} // namespace

TEST(vImagePasses, BoxConvolutionAveragesWithTheEdgesExtendedAndTheMatrixMixesChannels) {
    // One row, every channel alike: 0 30 60 90 255. A 3 × 3 box repeats the edge pixels.
    std::array<std::uint8_t, 20> row{};
    const int values[5] = {0, 30, 60, 90, 255};
    for (int x = 0; x < 5; ++x)
        for (int c = 0; c < 4; ++c) row[x * 4 + c] = static_cast<std::uint8_t>(values[x]);
    std::array<std::uint8_t, 20> out{};
    vImage_Buffer src{row.data(), 1, 5, 20}, dest{out.data(), 1, 5, 20};
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&src, &dest, nullptr, 0, 0, 3, 3, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    const int expected[5] = {10, 30, 60, 135, 200};
    for (int x = 0; x < 5; ++x) EXPECT_NEAR(out[x * 4 + 1], expected[x], 1) << x;

    // A region of interest two pixels in, centred on source pixels 2 and 3; then the same buffer
    // in and out.
    vImage_Buffer roi{out.data(), 1, 2, 20};
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&src, &roi, nullptr, 2, 0, 1, 5, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_NEAR(out[0], (0 + 30 + 60 + 90 + 255) / 5, 1);
    EXPECT_NEAR(out[4], (30 + 60 + 90 + 255 + 255) / 5, 1);
    ASSERT_EQ(vImageBoxConvolve_ARGB8888(&src, &src, nullptr, 0, 0, 1, 3, nullptr, kvImageEdgeExtend),
              kvImageNoError);
    EXPECT_NEAR(row[3 * 4], 135, 1);

    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&src, &dest, nullptr, 0, 0, 2, 3, nullptr, kvImageEdgeExtend),
              kvImageInvalidKernelSize);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&src, &dest, nullptr, 0, 0, 3, 3, nullptr, kvImageNoFlags),
              kvImageInvalidEdgeStyle);
    EXPECT_EQ(vImageBoxConvolve_ARGB8888(&src, &dest, nullptr, 1, 0, 3, 3, nullptr, kvImageEdgeExtend),
              kvImageRoiLargerThanInputBuffer);

    // Rows are source channels, columns destination channels; a post-bias, then the divisor.
    std::array<std::uint8_t, 4> pixel{10, 20, 30, 255}, mixed{};
    vImage_Buffer p{pixel.data(), 1, 1, 4}, m{mixed.data(), 1, 1, 4};
    const std::int16_t swap[16] = {0, 0, 256, 0, 0, 256, 0, 0, 256, 0, 0, 0, 0, 0, 0, 256};
    const std::int32_t bias[4] = {256 * 5, 0, 0, 0};
    ASSERT_EQ(vImageMatrixMultiply_ARGB8888(&p, &m, swap, 256, nullptr, bias, kvImageNoFlags), kvImageNoError);
    EXPECT_EQ(mixed, (std::array<std::uint8_t, 4>{35, 20, 10, 255}));
    EXPECT_EQ(vImageMatrixMultiply_ARGB8888(&p, &m, swap, 0, nullptr, nullptr, kvImageNoFlags),
              kvImageInvalidParameter);
}

TEST_F(ImageEffects, BoxSizesAtScaleTwoAreOdd) {
    EXPECT_EQ(UIImageEffects::blurBoxSize(3, 2), 11u);
    EXPECT_EQ(UIImageEffects::blurBoxSize(20, 2), 75u);
    EXPECT_EQ(UIImageEffects::blurBoxSize(30, 2), 113u);
    EXPECT_EQ(UIImageEffects::blurBoxSize(10, 2), 39u);
    // An endless radius still blurs, with a box no wider than the picture needs.
    EXPECT_EQ(UIImageEffects::blurBoxSize(INFINITY, 2), 65537u);
    auto dark = filled(4, 2, 2, opaque(0, 0, 0));
    auto image = UIImageEffects::applyBlurWithRadius(*dark, INFINITY, std::nullopt, 1.0, nullptr);
    ASSERT_TRUE(image);
    expectPixel(*image, 0, 0, {0, 0, 0, 255});
}

TEST_F(ImageEffects, ThreeBoxPassesBlurAnEdge) {
    // 3 × 1 points at scale 2: three black columns of pixels, then three white. Radius 0.8 gives
    // a box of 3; three passes along the row (rows are alike, so the vertical mean changes nothing).
    std::vector<std::uint32_t> pixels(12);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) pixels[y * 6 + x] = x < 3 ? opaque(0, 0, 0) : opaque(255, 255, 255);
    auto image = UIImage::fromPixels(6, 2, 2, pixels.data());
    EXPECT_EQ(UIImageEffects::blurBoxSize(0.8, 2), 3u);
    auto blurred = UIImageEffects::applyBlurWithRadius(*image, 0.8, std::nullopt, 1.0, nullptr);
    ASSERT_TRUE(blurred);
    EXPECT_EQ(blurred->scale(), 2);
    const int expected[6] = {9, 38, 94, 161, 217, 246};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) expectPixel(*blurred, x, y, {expected[x], expected[x], expected[x], 255});
}

TEST_F(ImageEffects, SaturationZeroGivesTheBT709GreyAndMinusOneTurnsColoursAroundIt) {
    // red 140, green 120, blue 100: grey 0.2126·140 + 0.7152·120 + 0.0722·100 = 122.8.
    auto image = filled(4, 4, 2, opaque(140, 120, 100));
    auto grey = UIImageEffects::applyBlurWithRadius(*image, 0, std::nullopt, 0, nullptr);
    ASSERT_TRUE(grey);
    expectPixel(*grey, 1, 1, {123, 123, 123, 255});
    auto inverted = UIImageEffects::applyBlurWithRadius(*image, 0, std::nullopt, -1, nullptr);
    ASSERT_TRUE(inverted);
    // Twice the grey less each channel.
    expectPixel(*inverted, 2, 3, {106, 126, 146, 255});
}

TEST_F(ImageEffects, AMaskLimitsTheEffectButNotTheTint) {
    auto image = filled(8, 4, 2, opaque(255, 0, 0));
    std::vector<std::uint32_t> maskPixels(8 * 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) maskPixels[y * 8 + x] = 0xff000000u;
    auto mask = UIImage::fromPixels(8, 4, 2, maskPixels.data());
    auto result = UIImageEffects::applyBlurWithRadius(*image, 0, UIColor::withWhite(1, 0.5), 0, mask);
    ASSERT_TRUE(result);
    // Left: the grey of red (54), then half white over it. Right: red, half white over it.
    expectPixel(*result, 1, 1, {155, 155, 155, 255});
    expectPixel(*result, 6, 2, {255, 128, 128, 255});
}

TEST_F(ImageEffects, NoBlurAndNoSaturationChangeRedrawsThePictureWithTheTintAtTheScreensScale) {
    auto image = filled(3, 2, 1, opaque(0, 0, 255));
    std::vector<std::uint32_t> none(6, 0);
    auto transparentMask = UIImage::fromPixels(3, 2, 1, none.data());
    auto plain = UIImageEffects::applyBlurWithRadius(*image, 0, std::nullopt, 1.0, transparentMask);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->pixelWidth(), 6);
    EXPECT_EQ(plain->pixelHeight(), 4);
    expectPixel(*plain, 5, 3, {0, 0, 255, 255});
    auto tinted = UIImageEffects::applyBlurWithRadius(*image, 0, UIColor(1, 0, 0, 0.25), 1.0, nullptr);
    ASSERT_TRUE(tinted);
    expectPixel(*tinted, 0, 0, {64, 0, 191, 255});
}

TEST_F(ImageEffects, ThePresetsTintAsTheyShould) {
    auto white = filled(20, 20, 2, opaque(255, 255, 255));
    // Blurring and saturating white keeps it white; the dark tint is grey 0.11 at 73 %.
    auto dark = UIImageEffects::applyDarkEffect(*white);
    ASSERT_TRUE(dark);
    expectPixel(*dark, 10, 10, {89, 89, 89, 255}, 2);
    auto light = UIImageEffects::applyLightEffect(*white);
    ASSERT_TRUE(light);
    expectPixel(*light, 0, 0, {255, 255, 255, 255});
    ASSERT_TRUE(UIImageEffects::applySubtleEffect(*white));
    auto extraLight = UIImageEffects::applyExtraLightEffect(*white);
    ASSERT_TRUE(extraLight);
    expectPixel(*extraLight, 19, 19, {249, 249, 249, 255}, 2);

    // The tint preset turns colours around their grey and lays the colour over at 60 %,
    // whatever the colour's own opacity, grey or not.
    auto colour = filled(20, 20, 2, opaque(140, 120, 100));
    auto greyTint = UIImageEffects::applyTintEffectWithColor(*colour, UIColor::withWhite(0.5, 1));
    ASSERT_TRUE(greyTint);
    expectPixel(*greyTint, 10, 10, {119, 127, 135, 255}, 2);
    auto blueTint = UIImageEffects::applyTintEffectWithColor(*colour, UIColor(0, 0, 1, 0.2));
    ASSERT_TRUE(blueTint);
    expectPixel(*blueTint, 10, 10, {42, 50, 211, 255}, 2);
}

TEST_F(ImageEffects, APictureUnderOnePointIsRefusedWithItsSize) {
    auto thin = filled(1, 20, 2, opaque(0, 0, 0)); // 0.5 × 10 points
    testing::internal::CaptureStderr();
    EXPECT_FALSE(UIImageEffects::applyLightEffect(*thin));
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_THAT(printed, StartsWith("*** error: invalid size: (0.50 x 10.00). Both dimensions must be >= 1: <UIImage: 0x"));
    EXPECT_THAT(printed, HasSubstr(">, {0.5, 10}\n"));
}
