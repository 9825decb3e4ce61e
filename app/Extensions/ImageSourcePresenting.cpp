#include "Extensions/ImageSourcePresenting.h"

#include "uikit/controllers/UIAlertController.h"

namespace cw {

namespace {

UIAlertActionPtr sourceAction(const std::string& title, UIImagePickerControllerSourceType source,
                              const UIViewControllerPtr& screen,
                              const std::shared_ptr<UIImagePickerControllerDelegate>& pickerDelegate) {
    return UIAlertAction::make(title, UIAlertActionStyle::default_, [screen, pickerDelegate, source](UIAlertAction&) {
        auto picker = std::make_shared<UIImagePickerController>();
        picker->setDelegate(pickerDelegate);
        picker->modalPresentationStyle = UIModalPresentationStyle::overCurrentContext;
        picker->sourceType = source;
        if (source == UIImagePickerControllerSourceType::camera)
            picker->cameraDevice = UIImagePickerControllerCameraDevice::front;
        screen->present(picker, true);
    });
}

} // namespace

void presentImageSourceSheet(const UIViewControllerPtr& screen,
                             const std::shared_ptr<UIImagePickerControllerDelegate>& pickerDelegate) {
    if (!screen) return;
    auto sheet = UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet);
    if (UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType::camera))
        sheet->addAction(sourceAction("Camera", UIImagePickerControllerSourceType::camera, screen, pickerDelegate));
    if (UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType::photoLibrary))
        sheet->addAction(
            sourceAction("Photo Library", UIImagePickerControllerSourceType::photoLibrary, screen, pickerDelegate));
    sheet->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    screen->present(sheet, true);
}

bool presentCropperForPickedImage(UIImagePickerController& picker, const UIImagePickerInfo& info,
                                  RSKImageCropMode mode, DelegateRef<RSKImageCropViewControllerDelegate> delegate,
                                  DelegateRef<RSKImageCropViewControllerDataSource> dataSource) {
    auto found = info.find(UIImagePickerControllerOriginalImage);
    if (found == info.end()) return false;
    const auto* image = std::any_cast<std::shared_ptr<UIImage>>(&found->second);
    if (!image || !*image) return false;
    auto cropper = std::make_shared<RSKImageCropViewController>(*image, mode);
    cropper->setDelegate(std::move(delegate));
    cropper->setDataSource(std::move(dataSource));
    cropper->avoidEmptySpaceAroundImage = true;
    picker.present(cropper, true);
    return true;
}

} // namespace cw
