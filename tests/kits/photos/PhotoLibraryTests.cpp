#include "foundation/dispatch/RunLoop.h"
#include "kits/photos/Photos.h"
#include "tests/support/PictureBytes.h"
#include "tests/support/TempDirectory.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIScreen.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Hears what the picker hands over.
class PickDelegate : public UIImagePickerControllerDelegate {
public:
    void didFinishPickingMediaWithInfo(UIImagePickerController&, const UIImagePickerInfo& found) override {
        info = found;
    }
    UIImagePickerInfo info;
};

struct Delivery {
    std::shared_ptr<UIImage> image;
    bool degraded = false;
    std::optional<std::string> error;
};

TEST(PhotoLibrary, APickedPictureIsFoundByItsAddressAndDeliveredSmallThenFinal) {
    cw::test::TempDirectory directory{"cw-photos"};
    const auto file = directory / "baby.png";
    std::vector<std::uint32_t> pixels(800 * 400, 0xFF208040);
    ASSERT_TRUE(UIImage::fromPixels(800, 400, 1, pixels.data())->writePNG(file));

    auto delegate = std::make_shared<PickDelegate>();
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(delegate);
    ASSERT_TRUE(picker->pick(file));
    const auto reference = std::any_cast<std::string>(delegate->info.at(UIImagePickerControllerReferenceURL));
    EXPECT_TRUE(reference.starts_with("assets-library://asset/asset.PNG?id=")) << reference;
    EXPECT_TRUE(reference.ends_with("&ext=PNG")) << reference;

    auto assets = PHAsset::fetchAssetsWithALAssetURLs({*URL::fromString(reference)});
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(assets[0]->file(), std::filesystem::absolute(file));
    // Addresses the picker never gave name nothing.
    EXPECT_TRUE(PHAsset::fetchAssetsWithALAssetURLs(
                    {*URL::fromString("assets-library://asset/asset.PNG?id=00000000-0000-0000-0000-000000000000&ext=PNG")})
                    .empty());

    std::vector<Delivery> deliveries;
    PHImageManager::defaultManager().requestImage(
        assets[0], {200, 200}, PHImageContentMode::aspectFill,
        [&](std::shared_ptr<UIImage> image, const PHImageInfo& info) {
            deliveries.push_back({image, std::any_cast<bool>(info.at(PHImageResultIsDegradedKey)), std::nullopt});
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return deliveries.size() == 2; }));
    EXPECT_TRUE(deliveries[0].degraded);
    EXPECT_FALSE(deliveries[1].degraded);
    // Aspect fill of 200 × 200: the height reaches 200, the width follows.
    EXPECT_EQ(deliveries[1].image->pixelWidth(), 400);
    EXPECT_EQ(deliveries[1].image->pixelHeight(), 200);
    EXPECT_LT(deliveries[0].image->pixelHeight(), deliveries[1].image->pixelHeight());
    EXPECT_EQ(deliveries[1].image->pixel(10, 10), 0xFF208040u);

    // Aspect fit, and a cancelled request that never answers.
    deliveries.clear();
    PHImageManager::defaultManager().requestImage(assets[0], {200, 200}, PHImageContentMode::aspectFit,
                                                  [&](std::shared_ptr<UIImage> image, const PHImageInfo&) {
                                                      deliveries.push_back({image, false, std::nullopt});
                                                  });
    int cancelledCalls = 0;
    const auto cancelled = PHImageManager::defaultManager().requestImage(
        assets[0], {200, 200}, PHImageContentMode::aspectFit,
        [&](std::shared_ptr<UIImage>, const PHImageInfo&) { ++cancelledCalls; });
    PHImageManager::defaultManager().cancelImageRequest(cancelled);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return deliveries.size() == 2; }));
    EXPECT_EQ(deliveries[1].image->pixelWidth(), 200);
    EXPECT_EQ(deliveries[1].image->pixelHeight(), 100);
    RunLoop::main().runFor(0.05);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(cancelledCalls, 0);

    // The file went away: one call without a picture.
    std::filesystem::remove(file);
    deliveries.clear();
    PHImageManager::defaultManager().requestImage(assets[0], {200, 200}, PHImageContentMode::aspectFill,
                                                  [&](std::shared_ptr<UIImage> image, const PHImageInfo& info) {
                                                      deliveries.push_back({image, false,
                                                                            std::any_cast<std::string>(info.at(PHImageErrorKey))});
                                                  });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return deliveries.size() == 1; }));
    RunLoop::main().runUntilIdle();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_FALSE(deliveries[0].image);
    EXPECT_TRUE(deliveries[0].error);
}

// A picture picked from the library is decoded no larger than the screen, as it is read: a
// 7000 × 7000 photo would take 196 MB at full size, and the screens show it and send it no larger
// than the screen anyway. It keeps its size in points, so it lays out as the whole picture would.
TEST(PhotoLibrary, APickedPictureIsDecodedNoLargerThanTheScreen) {
    UIScreen::main().setSize({375, 667}, 2);
    cw::test::TempDirectory directory{"cw-photos-large"};
    const auto file = directory / "large.png";
    const Data bytes = cw::test::pngOfTwoHalves(7000, 3500, 0xFFE0A0A0, 0xFFA0C0E0);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));

    auto delegate = std::make_shared<PickDelegate>();
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(delegate);
    ASSERT_TRUE(picker->pick(file));
    const auto image = std::any_cast<std::shared_ptr<UIImage>>(delegate->info.at(UIImagePickerControllerOriginalImage));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 1334);
    EXPECT_EQ(image->pixelHeight(), 667);
    EXPECT_NEAR(image->size().width, 7000, 6);
    EXPECT_NEAR(image->size().height, 3500, 6);
    EXPECT_EQ(image->pixel(10, 10), 0xFFE0A0A0u);
    EXPECT_EQ(image->pixel(1320, 600), 0xFFA0C0E0u);
    // What a screen sends is what it holds.
    const auto sent = UIImage::fromData(*image->jpegData(0.5));
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->pixelWidth(), 1334);
}

} // namespace
