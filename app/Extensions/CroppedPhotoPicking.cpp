#include "Extensions/CroppedPhotoPicking.h"

#include "Extensions/ImageSourcePresenting.h"

std::shared_ptr<CroppedPhotoPicking> CroppedPhotoPicking::sharedPicking() {
    return std::shared_ptr<CroppedPhotoPicking>(photoScreen().shared_from_this(), this);
}

void CroppedPhotoPicking::didFinishPickingMediaWithInfo(UIImagePickerController& picker,
                                                        const UIImagePickerInfo& info) {
    // The picture as taken: the cropper makes the cut itself.
    auto self = sharedPicking();
    cw::presentCropperForPickedImage(picker, info, photoCropMode(),
                                     std::static_pointer_cast<RSKImageCropViewControllerDelegate>(self),
                                     std::dynamic_pointer_cast<RSKImageCropViewControllerDataSource>(self));
}

void CroppedPhotoPicking::didCancel(UIImagePickerController&) {
    photoScreen().dismiss(true);
}

void CroppedPhotoPicking::didCropImage(RSKImageCropViewController&,
                                       const std::shared_ptr<UIImage>& croppedImage, CGRect, CGFloat) {
    croppedPhoto_ = croppedImage;
    if (auto view = photoView()) view->setImage(croppedImage);
    photoScreen().dismiss(true);
}

void CroppedPhotoPicking::didCancelCrop(RSKImageCropViewController&) {
    photoScreen().dismiss(true);
}

CGRect WideBandCropMask::customMaskRect(RSKImageCropViewController& cropper) {
    const CGRect frame = cropper.view()->frame();
    const CGFloat w = frame.width(), h = frame.height();
    const CGSize size = w / 2 < h ? CGSize{w, w / 2} : CGSize{2 * h, h};
    return {(w - size.width) / 2, (h - size.height) / 2, size.width, size.height};
}

UIBezierPath WideBandCropMask::customMaskPath(RSKImageCropViewController& cropper) {
    return UIBezierPath::rect(cropper.maskRect());
}

CGRect WideBandCropMask::customMovementRect(RSKImageCropViewController& cropper) {
    return cropper.maskRect();
}
