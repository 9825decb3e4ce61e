// The picture cropper as the baby screens show it: a centred 2:1 mask over the picked picture.

#include "GalleryPage.h"
#include "LandscapePicture.h"

#include "kits/cropper/RSKImageCropViewController.h"

namespace cw::gallery {

namespace {

class HalfHeightMask : public RSKImageCropViewControllerDataSource {
public:
    CGRect customMaskRect(RSKImageCropViewController& cropper) override {
        const CGFloat w = cropper.view()->frame().width(), h = cropper.view()->frame().height();
        const CGSize size = w / 2 < h ? CGSize{w, w / 2} : CGSize{2 * h, h};
        return {(w - size.width) / 2, (h - size.height) / 2, size.width, size.height};
    }
    UIBezierPath customMaskPath(RSKImageCropViewController& cropper) override {
        return UIBezierPath::rect(cropper.maskRect());
    }
    CGRect customMovementRect(RSKImageCropViewController& cropper) override { return cropper.maskRect(); }
};

bool drawCropper(Context& context, std::string* error) {
    auto source = std::make_shared<HalfHeightMask>();
    auto cropper = std::make_shared<RSKImageCropViewController>(landscapePicture(), RSKImageCropMode::custom);
    cropper->avoidEmptySpaceAroundImage = true;
    cropper->setDataSource(source);
    context.root->present(cropper, false);
    context.host.settle();
    if (!context.host.screenshot(context.outputDirectory / "cropper.png", error)) return false;

    // The circle mode, after the picture was moved up by a finger.
    auto circle = std::make_shared<RSKImageCropViewController>(landscapePicture(), RSKImageCropMode::circle);
    circle->avoidEmptySpaceAroundImage = true;
    cropper->dismiss(false);
    context.host.settle();
    context.root->present(circle, false);
    context.host.settle();
    context.host.drag({187, 420}, {187, 300});
    return context.host.screenshot(context.outputDirectory / "cropper-circle.png", error);
}

Registration cropperPage{"cropper", drawCropper};

} // namespace

} // namespace cw::gallery
