#pragma once

// The photo road of a screen that shows one picture the member picks: once the photo picker (the
// image-source sheet's) has a picture, it goes to a cropper presented over the picker, in the
// screen's crop mode; the cropped picture becomes the screen's photo. Cancelling the picker or the
// cropper, or cropping, dismisses whatever the screen presents. A screen whose crop mode is custom
// is also the cropper's data source (RSKImageCropViewControllerDataSource) and gives the mask.
//
// The screen adopts CroppedPhotoPicking beside UIViewController and says which it is and where its
// photo shows. Main thread only.

#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIImageView.h"

#include <memory>

class CroppedPhotoPicking : public UIImagePickerControllerDelegate, public RSKImageCropViewControllerDelegate {
public:
    void didFinishPickingMediaWithInfo(UIImagePickerController& picker, const UIImagePickerInfo& info) override;
    void didCancel(UIImagePickerController& picker) override;
    void didCropImage(RSKImageCropViewController& cropper, const std::shared_ptr<UIImage>& croppedImage,
                      CGRect cropRect, CGFloat rotationAngle) override;
    void didCancelCrop(RSKImageCropViewController& cropper) override;

    // The picture the member cropped last; none until she has: whatever the photo view shows before
    // (a placeholder, the picture the server has) is not hers to send.
    const std::shared_ptr<UIImage>& croppedPhoto() const { return croppedPhoto_; }

protected:
    ~CroppedPhotoPicking() override = default;
    // The screen itself, the view its photo shows in, and the cropper's mode (square unless said).
    virtual UIViewController& photoScreen() = 0;
    virtual std::shared_ptr<UIImageView> photoView() = 0;
    virtual RSKImageCropMode photoCropMode() const { return RSKImageCropMode::square; }
    // This part of the screen, sharing the screen's ownership.
    std::shared_ptr<CroppedPhotoPicking> sharedPicking();

private:
    std::shared_ptr<UIImage> croppedPhoto_;
};

// The mask of a screen whose picture shows as a band twice as wide as high (a baby's card): the
// largest such band the cropper's view holds, centred, and the picture moves under it only. The
// screen adopts it beside CroppedPhotoPicking and crops in the custom mode.
class WideBandCropMask : public RSKImageCropViewControllerDataSource {
public:
    CGRect customMaskRect(RSKImageCropViewController& cropper) override;
    UIBezierPath customMaskPath(RSKImageCropViewController& cropper) override;
    CGRect customMovementRect(RSKImageCropViewController& cropper) override;

protected:
    ~WideBandCropMask() override = default;
};
