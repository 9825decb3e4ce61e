#include "uikit/controllers/UIImagePickerController.h"

#include "uikit/controllers/SystemSheetView.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>

namespace {

struct PickedFiles {
    std::mutex mutex;
    std::map<std::string, std::filesystem::path> byReference;
};
PickedFiles& pickedFiles() {
    static PickedFiles files;
    return files;
}

// A new library address for a picked file. The identifier is random, so an address kept from
// another run of the program never names a different picture.
std::string referenceFor(const std::filesystem::path& file) {
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}()};
    std::uint64_t high, low;
    {
        std::lock_guard lock(mutex);
        high = random();
        low = random();
    }
    char id[40];
    std::snprintf(id, sizeof id, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    ext = ext == ".PNG" ? "PNG" : "JPG"; // the picker reads nothing else
    return "assets-library://asset/asset." + ext + "?id=" + id + "&ext=" + ext;
}

} // namespace

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
    // No screen shows a picture larger than the screen, or sends one larger than it shows: the
    // picture is reduced to the screen's longer side in pixels as it is read, never holding its
    // full-size pixels (a phone's library hands over pictures that are drawn as they are needed).
    const CGRect screen = UIScreen::main().bounds();
    const int side =
        static_cast<int>(std::ceil(std::max(screen.width(), screen.height()) * UIScreen::main().scale()));
    std::string why;
    auto image = UIImage::fromFile(imageFile, &why, side);
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
    const std::string reference = referenceFor(imageFile);
    {
        auto& files = pickedFiles();
        std::lock_guard lock(files.mutex);
        files.byReference[reference] = std::filesystem::absolute(imageFile);
    }
    info[UIImagePickerControllerReferenceURL] = reference;
    auto keep = shared_from_this();
    if (auto d = delegate())
        d->didFinishPickingMediaWithInfo(*this, info);
    else
        dismiss(true);
    return true;
}

std::optional<std::filesystem::path> UIImagePickerController::pickedFile(const std::string& referenceURL) {
    auto& files = pickedFiles();
    std::lock_guard lock(files.mutex);
    auto found = files.byReference.find(referenceURL);
    if (found == files.byReference.end()) return std::nullopt;
    return found->second;
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
