#include "Extensions/ImageSourcePresenting.h"
#include "host/HeadlessHost.h"
#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A screen that asks for a picture the way the baby and account screens do: the picked picture
// goes into the cropper with a centred 2:1 mask, and every answer closes what the screen presented.
class PhotoScreen : public UIViewController,
                    public UIImagePickerControllerDelegate,
                    public UINavigationControllerDelegate,
                    public ImageSourcePresenting<PhotoScreen>,
                    public RSKImageCropViewControllerDelegate,
                    public RSKImageCropViewControllerDataSource {
public:
    void didFinishPickingMediaWithInfo(UIImagePickerController& picker, const UIImagePickerInfo& info) override {
        calls.push_back("picked");
        auto found = info.find(UIImagePickerControllerOriginalImage);
        if (found == info.end()) return;
        auto cropper = std::make_shared<RSKImageCropViewController>(
            std::any_cast<std::shared_ptr<UIImage>>(found->second), RSKImageCropMode::custom);
        auto self = std::static_pointer_cast<PhotoScreen>(shared_from_this());
        cropper->setDelegate(self);
        cropper->setDataSource(self);
        cropper->avoidEmptySpaceAroundImage = true;
        picker.present(cropper, true);
    }
    void didCancel(UIImagePickerController&) override {
        calls.push_back("picker cancelled");
        dismiss(true);
    }
    void didCropImage(RSKImageCropViewController&, const std::shared_ptr<UIImage>& image, CGRect, CGFloat) override {
        calls.push_back("cropped");
        picture = image;
        dismiss(true);
    }
    void didCancelCrop(RSKImageCropViewController&) override {
        calls.push_back("crop cancelled");
        dismiss(true);
    }
    CGRect customMaskRect(RSKImageCropViewController& cropper) override {
        const CGFloat w = cropper.view()->frame().width(), h = cropper.view()->frame().height();
        const CGSize size = w / 2 < h ? CGSize{w, w / 2} : CGSize{2 * h, h};
        return {(w - size.width) / 2, (h - size.height) / 2, size.width, size.height};
    }
    UIBezierPath customMaskPath(RSKImageCropViewController& cropper) override {
        return UIBezierPath::rect(cropper.maskRect());
    }
    CGRect customMovementRect(RSKImageCropViewController& cropper) override { return cropper.maskRect(); }

    std::vector<std::string> calls;
    std::shared_ptr<UIImage> picture;
};

class ScreenApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
        screen = std::make_shared<PhotoScreen>();
        navigation = std::make_shared<UINavigationController>(screen);
        window_->setRootViewController(navigation);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    std::shared_ptr<PhotoScreen> screen;
    std::shared_ptr<UINavigationController> navigation;

private:
    std::shared_ptr<UIWindow> window_;
};

std::vector<std::string> titlesOf(const std::shared_ptr<UIAlertController>& sheet) {
    std::vector<std::string> titles;
    for (auto& a : sheet->actions()) titles.push_back(a->title().value_or(""));
    return titles;
}

class PictureSource : public ::testing::Test {
protected:
    PictureSource() {
        host.launch(app);
        picture = std::filesystem::path(::testing::TempDir()) / ("cw-picture-" + std::to_string(getpid()) + ".png");
        std::vector<std::uint32_t> pixels(400 * 300, 0xff3366ccu);
        UIImage::fromPixels(400, 300, 1, pixels.data())->writePNG(picture);
    }
    ~PictureSource() override { std::filesystem::remove(picture); }

    std::shared_ptr<UIAlertController> openSheet() {
        app->screen->presentImageSourceOptions();
        host.settle();
        return std::dynamic_pointer_cast<UIAlertController>(host.topViewController());
    }

    cw::HeadlessHost host;
    std::shared_ptr<ScreenApp> app = std::make_shared<ScreenApp>();
    std::filesystem::path picture;
};

} // namespace

TEST_F(PictureSource, TheSheetOffersOnlyTheSourcesTheDeviceHas) {
    auto sheet = openSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->preferredStyle(), UIAlertControllerStyle::actionSheet);
    EXPECT_FALSE(sheet->title());
    EXPECT_FALSE(sheet->message());
    EXPECT_THAT(titlesOf(sheet), ElementsAre("Photo Library", "Cancel"));
    EXPECT_EQ(sheet->actionTitled("Cancel")->style(), UIAlertActionStyle::cancel);
    host.pickAlertAction("Cancel");

    UIApplication::shared().hostSettings().hasCamera = true;
    EXPECT_THAT(titlesOf(openSheet()), ElementsAre("Camera", "Photo Library", "Cancel"));
    host.pickAlertAction("Cancel");

    UIApplication::shared().hostSettings().hasCamera = false;
    UIApplication::shared().hostSettings().hasPhotoLibrary = false;
    EXPECT_THAT(titlesOf(openSheet()), ElementsAre("Cancel"));
    host.pickAlertAction("Cancel");
}

TEST_F(PictureSource, TheCameraOpensOnTheFrontDeviceOverTheScreensContext) {
    UIApplication::shared().hostSettings().hasCamera = true;
    openSheet();
    ASSERT_TRUE(host.pickAlertAction("Camera"));
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(host.topViewController());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->sourceType, UIImagePickerControllerSourceType::camera);
    EXPECT_EQ(picker->cameraDevice, UIImagePickerControllerCameraDevice::front);
    EXPECT_EQ(picker->modalPresentationStyle, UIModalPresentationStyle::overCurrentContext);
    EXPECT_FALSE(picker->allowsEditing);
    EXPECT_EQ(picker->presentingViewController(), app->navigation);
    EXPECT_EQ(picker->delegate(), app->screen);
    EXPECT_TRUE(host.isShowing("Front camera"));

    // A camera the device no longer has takes no picture.
    UIApplication::shared().hostSettings().hasCamera = false;
    std::string error;
    EXPECT_FALSE(host.pickImage(picture, &error));
    EXPECT_EQ(error, "this device has no camera");
    UIApplication::shared().hostSettings().hasCamera = true;
    EXPECT_TRUE(host.pickImage(picture));
    EXPECT_THAT(app->screen->calls, ElementsAre("picked"));
}

TEST_F(PictureSource, CancelShowsNothingFurtherAndLetsTheScreenGo) {
    std::weak_ptr<PhotoScreen> screen = app->screen;
    openSheet();
    ASSERT_TRUE(host.pickAlertAction("Cancel"));
    EXPECT_EQ(host.topViewController(), app->navigation);
    EXPECT_THAT(app->screen->calls, IsEmpty());

    // The sheet's actions held the screen only while it was up.
    app->screen.reset();
    app->navigation->setViewControllers({std::make_shared<UIViewController>()}, false);
    host.settle();
    EXPECT_TRUE(screen.expired());
}

TEST_F(PictureSource, ThePickerPresentsTheCropperAndOneDismissFromTheScreenClosesBoth) {
    openSheet();
    ASSERT_TRUE(host.pickAlertAction("Photo Library"));
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(host.topViewController());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->sourceType, UIImagePickerControllerSourceType::photoLibrary);
    ASSERT_TRUE(host.pickImage(picture));
    auto cropper = std::dynamic_pointer_cast<RSKImageCropViewController>(host.topViewController());
    ASSERT_TRUE(cropper);
    EXPECT_EQ(cropper->presentingViewController(), picker);
    EXPECT_EQ(cropper->maskRect(), (CGRect{0, 239.75, 375, 187.5}));

    ASSERT_TRUE(host.tapText("Choose"));
    EXPECT_THAT(app->screen->calls, ElementsAre("picked", "cropped"));
    ASSERT_TRUE(app->screen->picture);
    // 400 × 300 filled into 375 × 281.25 points; the mask shows 187.5 of them, all 400 wide.
    EXPECT_EQ(app->screen->picture->pixelWidth(), 400);
    EXPECT_EQ(app->screen->picture->pixelHeight(), 200);
    EXPECT_EQ(host.topViewController(), app->navigation);
    EXPECT_FALSE(app->navigation->presentedViewController());
    EXPECT_FALSE(picker->presentingViewController());

    // Cancelling the crop closes both as well, and so does cancelling the picker.
    openSheet();
    host.pickAlertAction("Photo Library");
    host.pickImage(picture);
    ASSERT_TRUE(host.tapText("Cancel"));
    EXPECT_EQ(host.topViewController(), app->navigation);
    openSheet();
    host.pickAlertAction("Photo Library");
    host.cancelImagePicker();
    EXPECT_EQ(host.topViewController(), app->navigation);
    EXPECT_THAT(app->screen->calls, ElementsAre("picked", "cropped", "picked", "crop cancelled", "picker cancelled"));
}
