#pragma once

// The photo picker. The photo library shows the pictures of the host's library folder
// (UIApplication's host settings) as a grid of tiles, newest first, their thumbnails made off the
// main thread as the tiles come into view; a tap on a tile picks its picture. A host or a test may
// also hand the picker a file itself, or cancel. The delegate hears the picked image (and, when
// editing is allowed, the same image as the edited one) or the cancellation, and dismisses the
// picker itself; without a delegate that answers a cancel, the picker dismisses itself. A picture
// that cannot be opened is not picked: the picker says why on screen and stays.
// Which sources exist is the host's to say (UIApplication's host settings): the photo library
// unless a test removes it, a camera only when the host offers one. A camera picker on a device
// without a camera takes no picture.

#include "uikit/controllers/UIViewController.h"
#include "uikit/graphics/UIImage.h"

#include <any>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace cw {
class PhotoLibraryGrid;
}

enum class UIImagePickerControllerSourceType { photoLibrary, camera, savedPhotosAlbum };
enum class UIImagePickerControllerCameraDevice { rear = 0, front = 1 };

inline const std::string UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline const std::string UIImagePickerControllerEditedImage = "UIImagePickerControllerEditedImage";
inline const std::string UIImagePickerControllerImageURL = "UIImagePickerControllerImageURL";
inline const std::string UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType";
// The picked picture's address in the photo library ("assets-library://asset/asset.JPG?id=…&ext=JPG").
inline const std::string UIImagePickerControllerReferenceURL = "UIImagePickerControllerReferenceURL";

class UIImagePickerController;

// The values under the keys above: images as std::shared_ptr<UIImage>, the rest as std::string.
using UIImagePickerInfo = std::map<std::string, std::any>;

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    virtual void didFinishPickingMediaWithInfo(UIImagePickerController&, const UIImagePickerInfo&) {}
    // The base dismisses the picker, as the platform does for delegates that do not answer.
    virtual void didCancel(UIImagePickerController& picker);
};

class UIImagePickerController : public UIViewController {
public:
    UIImagePickerController();

    UIImagePickerControllerSourceType sourceType = UIImagePickerControllerSourceType::photoLibrary;
    bool allowsEditing = false;
    // Which camera a camera picker opens on.
    UIImagePickerControllerCameraDevice cameraDevice = UIImagePickerControllerCameraDevice::rear;
    std::vector<std::string> mediaTypes{"public.image"};
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIImagePickerControllerDelegate>& d) { delegate_ = d; }

    // Which sources this device has, as the host says.
    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType type);

    // A picture picked, as a tap on its tile picks it. pick() reads a PNG or JPEG file, reduced as
    // it is read to no more than the screen's longer side in pixels (its size in points kept); a
    // file that cannot be read, or a camera picker on a device without a camera, is refused (false,
    // and why in `error`) and the picker stays open, telling the person on screen why a file it
    // could not open was not picked.
    bool pick(const std::filesystem::path& imageFile, std::string* error = nullptr);
    void cancel();

    // The photo library of this device is what the pickers handed over: the file behind a reference
    // address they gave in this process; none for any other text. Safe from any thread.
    static std::optional<std::filesystem::path> pickedFile(const std::string& referenceURL);

    // The pictures a library folder shows, newest first (by when each file last changed): its PNG
    // and JPEG files (by their names' endings) of at most kMaxLibraryFileBytes, the newest
    // kMaxLibraryPictures among the first kMaxLibraryEntriesRead entries of the folder, so that a
    // folder of any size costs a bounded look. None for a folder that cannot be read.
    static constexpr std::size_t kMaxLibraryPictures = 500;
    static constexpr std::size_t kMaxLibraryEntriesRead = 5000;
    static constexpr std::uintmax_t kMaxLibraryFileBytes = 64u << 20;
    static std::vector<std::filesystem::path> libraryPictures(const std::filesystem::path& folder);

    void loadView() override;
    std::string className() const override { return "UIImagePickerController"; }

private:
    // Tells the person, over the picker, why the picture she chose was not picked.
    void showWhyNotPicked(const std::string& error);

    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    std::shared_ptr<cw::PhotoLibraryGrid> grid_;
    bool finished_ = false;
};

using UIImagePickerControllerPtr = std::shared_ptr<UIImagePickerController>;
