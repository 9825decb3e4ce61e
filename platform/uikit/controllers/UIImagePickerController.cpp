#include "uikit/controllers/UIImagePickerController.h"

#include "uikit/controllers/SystemSheetView.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"

void UIImagePickerControllerDelegate::didCancel(UIImagePickerController& picker) {
    picker.dismiss(true);
}

UIImagePickerController::UIImagePickerController() = default;

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type) {
    const auto& host = UIApplication::shared().hostSettings();
    return type == UIImagePickerControllerSourceType::camera ? host.hasCamera : host.hasPhotoLibrary;
}

bool UIImagePickerController::pick(const std::filesystem::path& imageFile, std::string* error) {
    if (finished_) {
        if (error) *error = "the picker has already finished";
        return false;
    }
    if (!isSourceTypeAvailable(sourceType)) {
        if (error)
            *error = sourceType == UIImagePickerControllerSourceType::camera ? "this device has no camera"
                                                                              : "this device has no photo library";
        return false;
    }
    std::string why;
    auto image = UIImage::fromFile(imageFile, &why);
    if (!image) {
        if (error) *error = why.empty() ? "not an image: " + imageFile.string() : why;
        return false;
    }
    finished_ = true;
    UIImagePickerInfo info;
    info[UIImagePickerControllerOriginalImage] = image;
    if (allowsEditing) info[UIImagePickerControllerEditedImage] = image;
    info[UIImagePickerControllerImageURL] = std::filesystem::absolute(imageFile).string();
    info[UIImagePickerControllerMediaType] = std::string("public.image");
    auto keep = shared_from_this();
    if (auto d = delegate())
        d->didFinishPickingMediaWithInfo(*this, info);
    else
        dismiss(true);
    return true;
}

void UIImagePickerController::cancel() {
    if (finished_) return;
    finished_ = true;
    auto keep = shared_from_this();
    if (auto d = delegate())
        d->didCancel(*this);
    else
        dismiss(true);
}

void UIImagePickerController::loadView() {
    const bool camera = sourceType == UIImagePickerControllerSourceType::camera;
    auto v = std::make_shared<cw::SystemSheetView>(UIScreen::main().bounds(), camera ? "Camera" : "Photos");
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    v->setRightButton("Cancel", [weakSelf] {
        if (auto s = std::static_pointer_cast<UIImagePickerController>(weakSelf.lock())) s->cancel();
    });
    if (camera)
        v->addText(cameraDevice == UIImagePickerControllerCameraDevice::front ? "Front camera" : "Rear camera", true);
    else
        v->addText("Choose a picture", true);
    setView(v);
}
