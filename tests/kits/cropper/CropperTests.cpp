#include "host/HeadlessHost.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "tests/support/WhiteScreenApp.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using ::testing::ElementsAre;

using cw::test::WhiteScreenApp;

namespace {

// A picture whose every pixel tells where it lies: red = x mod 256, green = y mod 256, blue =
// 16 × (x / 256) + y / 256.
std::shared_ptr<UIImage> coordinatePicture(int width, int height, CGFloat scale = 1) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                0xff000000u | (static_cast<std::uint32_t>(x & 255) << 16) |
                (static_cast<std::uint32_t>(y & 255) << 8) | static_cast<std::uint32_t>(16 * (x >> 8) + (y >> 8));
    return UIImage::fromPixels(width, height, scale, pixels.data());
}

CGPoint sourceOf(std::uint32_t pixel) {
    const int r = (pixel >> 16) & 255, g = (pixel >> 8) & 255, b = pixel & 255;
    return {static_cast<CGFloat>(r + 256 * (b / 16)), static_cast<CGFloat>(g + 256 * (b % 16))};
}

class RecordingCropDelegate : public RSKImageCropViewControllerDelegate {
public:
    void didCancelCrop(RSKImageCropViewController&) override { calls.push_back("cancel"); }
    void didCropImage(RSKImageCropViewController&, const std::shared_ptr<UIImage>& image, CGRect rect,
                      CGFloat angle) override {
        calls.push_back("crop");
        cropped = image;
        cropRect = rect;
        rotation = angle;
    }
    std::vector<std::string> calls;
    std::shared_ptr<UIImage> cropped;
    CGRect cropRect;
    CGFloat rotation = -1;
};

// The centred 2:1 mask the baby screens ask for, measured on the cropper's own view.
class HalfHeightMask : public RSKImageCropViewControllerDataSource {
public:
    CGRect customMaskRect(RSKImageCropViewController& cropper) override {
        calls.push_back("mask rect");
        const CGRect f = cropper.view()->frame();
        const CGFloat w = f.width(), h = f.height();
        const CGSize size = w / 2 < h ? CGSize{w, w / 2} : CGSize{2 * h, h};
        return {(w - size.width) / 2, (h - size.height) / 2, size.width, size.height};
    }
    UIBezierPath customMaskPath(RSKImageCropViewController& cropper) override {
        calls.push_back("mask path");
        pathAskedWith = cropper.maskRect();
        return UIBezierPath::rect(cropper.maskRect());
    }
    CGRect customMovementRect(RSKImageCropViewController& cropper) override {
        calls.push_back("movement rect");
        return cropper.maskRect();
    }
    std::vector<std::string> calls;
    CGRect pathAskedWith;
};

class Cropper : public ::testing::Test {
protected:
    explicit Cropper(CGSize screen = {375, 667}) : host(screen) { host.launch(app); }

    std::shared_ptr<RSKImageCropViewController> show(std::shared_ptr<UIImage> picture,
                                                     RSKImageCropMode mode = RSKImageCropMode::square,
                                                     bool avoidEmptySpace = true) {
        auto cropper = std::make_shared<RSKImageCropViewController>(std::move(picture), mode);
        cropper->avoidEmptySpaceAroundImage = avoidEmptySpace;
        cropper->setDelegate(delegate);
        app->root->present(cropper, true);
        host.settle();
        return cropper;
    }

    void expectFrame(const CGRect& actual, const CGRect& expected, const char* why = "") {
        SCOPED_TRACE(why);
        EXPECT_NEAR(actual.minX(), expected.minX(), 1e-6);
        EXPECT_NEAR(actual.minY(), expected.minY(), 1e-6);
        EXPECT_NEAR(actual.width(), expected.width(), 1e-6);
        EXPECT_NEAR(actual.height(), expected.height(), 1e-6);
    }

    // Two fingers at `a` and `b` that move to `a2` and `b2` and lift.
    void pinch(CGPoint a, CGPoint b, CGPoint a2, CGPoint b2) {
        auto window = host.window();
        cw::sendTouch(window, a, UITouchPhase::began, 1);
        cw::sendTouch(window, b, UITouchPhase::began, 2);
        for (int i = 1; i <= 4; ++i) {
            const CGFloat k = i / 4.0;
            cw::sendTouch(window, {a.x + (a2.x - a.x) * k, a.y + (a2.y - a.y) * k}, UITouchPhase::moved, 1);
            cw::sendTouch(window, {b.x + (b2.x - b.x) * k, b.y + (b2.y - b.y) * k}, UITouchPhase::moved, 2);
        }
        cw::sendTouch(window, a2, UITouchPhase::ended, 1);
        cw::sendTouch(window, b2, UITouchPhase::ended, 2);
        host.settle();
    }

    cw::HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app = std::make_shared<WhiteScreenApp>();
    std::shared_ptr<RecordingCropDelegate> delegate = std::make_shared<RecordingCropDelegate>();
};

class LandscapeCropper : public Cropper {
protected:
    LandscapeCropper() : Cropper({667, 375}) {}
};

} // namespace

TEST_F(Cropper, ThePictureStartsAspectFilledAndCentredInTheMaskAndChooseCutsOutThePixelsUnderIt) {
    auto cropper = show(coordinatePicture(400, 200));
    expectFrame(cropper->maskRect(), {15, 161, 345, 345});
    // 345 / 200 = 1.725 points per picture point: 690 × 345, centred on the mask.
    expectFrame(cropper->imageFrame(), {-157.5, 161, 690, 345});
    EXPECT_TRUE(host.isShowing("Cancel"));
    EXPECT_TRUE(host.isShowing("Choose"));

    // What the screen shows: the picture in the window, dimmed around it.
    auto shot = cw::renderView(*host.window(), 1);
    ASSERT_TRUE(shot);
    const CGPoint inside = sourceOf(shot->pixel(100, 300));
    EXPECT_NEAR(inside.x, (100 + 157.5) / 1.725, 1.5);
    EXPECT_NEAR(inside.y, (300 - 161) / 1.725, 1.5);
    EXPECT_LT(shot->pixelColor(187, 600).white(), 0.05) << "below the picture the screen is black";
    const UIColor dimmed = shot->pixelColor(5, 300), clear = shot->pixelColor(20, 300);
    EXPECT_NEAR(dimmed.red(), clear.red() * 0.3, 0.02) << "beside the mask the picture is dimmed";

    ASSERT_TRUE(host.tapText("Choose"));
    EXPECT_THAT(delegate->calls, ElementsAre("crop"));
    expectFrame(delegate->cropRect, {100, 0, 200, 200});
    EXPECT_EQ(delegate->rotation, 0);
    ASSERT_TRUE(delegate->cropped);
    EXPECT_EQ(delegate->cropped->pixelWidth(), 200);
    EXPECT_EQ(delegate->cropped->pixelHeight(), 200);
    EXPECT_EQ(sourceOf(delegate->cropped->pixel(0, 0)), (CGPoint{100, 0}));
    EXPECT_EQ(sourceOf(delegate->cropped->pixel(199, 199)), (CGPoint{299, 199}));
    EXPECT_EQ(host.topViewController(), cropper) << "the delegate dismisses the cropper, not the cropper itself";
}

TEST_F(Cropper, OneFingerMovesThePictureButNeverUncoversTheMask) {
    auto cropper = show(coordinatePicture(400, 200, 2)); // 200 × 100 points at scale 2
    expectFrame(cropper->imageFrame(), {-157.5, 161, 690, 345});
    host.drag({200, 300}, {250, 300});
    expectFrame(cropper->imageFrame(), {-107.5, 161, 690, 345});
    host.drag({200, 300}, {200, 200});
    expectFrame(cropper->imageFrame(), {-107.5, 161, 690, 345}, "the picture is as high as the mask");
    host.drag({100, 300}, {360, 400});
    expectFrame(cropper->imageFrame(), {15, 161, 690, 345}, "held at the mask's left edge");

    host.tapText("Choose");
    // The left 345 of 690 points: the picture's left half, in its own pixels.
    expectFrame(delegate->cropRect, {0, 0, 200, 200});
    EXPECT_EQ(delegate->cropped->scale(), 2);
    EXPECT_EQ(sourceOf(delegate->cropped->pixel(199, 0)), (CGPoint{199, 0}));
}

TEST_F(Cropper, TwoFingersZoomAboutThePointBetweenThemWithinLimits) {
    auto cropper = show(coordinatePicture(400, 200));
    // Fingers 100 points apart spread to 200, about (200, 300): the picture point there stays.
    pinch({150, 300}, {250, 300}, {100, 300}, {300, 300});
    expectFrame(cropper->imageFrame(), {200 - (357.5 / 1.725) * 3.45, 300 - (139 / 1.725) * 3.45, 1380, 690});

    // No more than four times the starting scale.
    pinch({180, 330}, {220, 330}, {0, 330}, {375, 330});
    EXPECT_NEAR(cropper->imageFrame().width(), 400 * 1.725 * 4, 1e-6);

    // Pinching in stops where the picture still covers the mask.
    pinch({1, 330}, {374, 330}, {180, 330}, {190, 330});
    expectFrame(cropper->imageFrame(), {cropper->imageFrame().minX(), 161, 690, 345});
    EXPECT_LE(cropper->imageFrame().minX(), 15);
    EXPECT_GE(cropper->imageFrame().maxX(), 360);

    // Lifting one of two fingers goes on moving with the other.
    const CGRect before = cropper->imageFrame();
    auto window = host.window();
    cw::sendTouch(window, {150, 300}, UITouchPhase::began, 1);
    cw::sendTouch(window, {250, 300}, UITouchPhase::began, 2);
    cw::sendTouch(window, {250, 300}, UITouchPhase::ended, 2);
    cw::sendTouch(window, {170, 300}, UITouchPhase::moved, 1);
    cw::sendTouch(window, {170, 300}, UITouchPhase::ended, 1);
    host.settle();
    expectFrame(cropper->imageFrame(), before.offsetBy(20, 0));
}

TEST_F(Cropper, WithoutAvoidingEmptySpaceThePictureShrinksToFitAndStaysCentred) {
    auto cropper = show(coordinatePicture(400, 200), RSKImageCropMode::circle, false);
    expectFrame(cropper->imageFrame(), {-157.5, 161, 690, 345}, "it still starts aspect-filled");
    pinch({1, 330}, {374, 330}, {150, 330}, {250, 330});
    // As small as fits: 345 × 172.5, in the middle of the mask's height.
    expectFrame(cropper->imageFrame(), {15, 161 + 86.25, 345, 172.5});
    host.drag({200, 330}, {200, 100});
    expectFrame(cropper->imageFrame(), {15, 161 + 86.25, 345, 172.5});

    host.tapText("Choose");
    // Only the picture's own pixels: the empty space above and below is not part of it.
    expectFrame(delegate->cropRect, {0, 0, 400, 200});
}

TEST_F(Cropper, CancelTellsTheDelegateAndWithoutOneTheCropperClosesItself) {
    auto cropper = show(coordinatePicture(40, 40));
    ASSERT_TRUE(host.tapText("Cancel"));
    EXPECT_THAT(delegate->calls, ElementsAre("cancel"));

    cropper->setDelegate(nullptr);
    host.tapText("Cancel");
    EXPECT_EQ(host.topViewController(), app->root);

    auto another = show(coordinatePicture(40, 40));
    another->setDelegate(nullptr);
    host.tapText("Choose");
    EXPECT_EQ(host.topViewController(), app->root);
    EXPECT_THAT(delegate->calls, ElementsAre("cancel"));
}

TEST_F(Cropper, WithoutAPictureOnlyCancelWorks) {
    auto cropper = show(nullptr);
    auto choose = std::dynamic_pointer_cast<UIButton>(host.findByText("Choose")->superview());
    ASSERT_TRUE(choose);
    EXPECT_FALSE(choose->isEnabled());
    cropper->cropImage();
    host.drag({100, 300}, {200, 300});
    EXPECT_TRUE(delegate->calls.empty());
    host.tapText("Cancel");
    EXPECT_THAT(delegate->calls, ElementsAre("cancel"));
}

TEST_F(Cropper, ACustomMaskComesFromTheDataSourceInOrder) {
    auto source = std::make_shared<HalfHeightMask>();
    auto cropper = std::make_shared<RSKImageCropViewController>(coordinatePicture(300, 300), RSKImageCropMode::custom);
    cropper->avoidEmptySpaceAroundImage = true;
    cropper->setDelegate(delegate);
    cropper->setDataSource(source);
    app->root->present(cropper, true);
    host.settle();

    EXPECT_THAT(source->calls, ElementsAre("mask rect", "mask path", "movement rect"));
    expectFrame(cropper->maskRect(), {0, 239.75, 375, 187.5});
    expectFrame(source->pathAskedWith, {0, 239.75, 375, 187.5});
    expectFrame(cropper->movementRect(), cropper->maskRect());
    // A square picture fills the width; the mask's height shows its middle half.
    expectFrame(cropper->imageFrame(), {0, 333.5 - 187.5, 375, 375});
    host.drag({100, 400}, {100, 900});
    expectFrame(cropper->imageFrame(), {0, 239.75, 375, 375});
    host.tapText("Choose");
    expectFrame(delegate->cropRect, {0, 0, 300, 150});
}

TEST_F(LandscapeCropper, ACustomMaskFollowsTheViewItIsMeasuredOn) {
    auto source = std::make_shared<HalfHeightMask>();
    auto cropper = std::make_shared<RSKImageCropViewController>(coordinatePicture(10, 10), RSKImageCropMode::custom);
    cropper->setDataSource(source);
    app->root->present(cropper, true);
    host.settle();
    expectFrame(cropper->maskRect(), {0, 20.75, 667, 333.5});
}

namespace {
class UnusableMask : public RSKImageCropViewControllerDataSource {
public:
    CGRect customMaskRect(RSKImageCropViewController&) override { return {NAN, 0, 100, 100}; }
    UIBezierPath customMaskPath(RSKImageCropViewController&) override { return {}; }
    CGRect customMovementRect(RSKImageCropViewController&) override { return {0, 0, 0, 0}; }
};
} // namespace

TEST_F(Cropper, UnusableCustomAnswersFallBackToTheSquareMask) {
    auto source = std::make_shared<UnusableMask>();
    auto cropper = std::make_shared<RSKImageCropViewController>(coordinatePicture(100, 100), RSKImageCropMode::custom);
    cropper->setDataSource(source);
    app->root->present(cropper, true);
    host.settle();
    expectFrame(cropper->maskRect(), {15, 161, 345, 345});
    expectFrame(cropper->movementRect(), {15, 161, 345, 345});
    EXPECT_FALSE(cropper->maskPath().isEmpty());
    expectFrame(cropper->imageFrame(), {15, 161, 345, 345});
}

TEST_F(Cropper, ADataSourceGivenOnceTheCropperIsShownGivesItsMask) {
    auto cropper = show(coordinatePicture(300, 300), RSKImageCropMode::custom);
    expectFrame(cropper->maskRect(), {15, 161, 345, 345}, "the square mask, with no data source yet");
    auto source = std::make_shared<HalfHeightMask>();
    cropper->setDataSource(source);
    host.settle();
    EXPECT_THAT(source->calls, ElementsAre("mask rect", "mask path", "movement rect"));
    expectFrame(cropper->maskRect(), {0, 239.75, 375, 187.5});
    expectFrame(cropper->imageFrame(), {0, 333.5 - 187.5, 375, 375});
}
