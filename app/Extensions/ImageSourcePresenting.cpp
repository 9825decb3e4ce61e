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

} // namespace cw
