#pragma once

// Asking where a picture comes from: screens that let the member choose a picture adopt
// ImageSourcePresenting and call presentImageSourceOptions() from their camera or photo button.
// It shows an action sheet with "Camera" (when the device has one), "Photo Library" (when it has
// one) and "Cancel"; the chosen source opens the photo picker over the screen's context, with the
// screen as the picker's delegate. The picked picture or the cancellation goes straight to the
// screen, which dismisses the picker; "Cancel" shows nothing further and calls neither. Until the
// sheet is gone its actions hold the screen. Main thread only.

#include "kits/cropper/RSKImageCropViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <type_traits>

namespace cw {
// The sheet itself, for screens of any type.
void presentImageSourceSheet(const UIViewControllerPtr& screen,
                             const std::shared_ptr<UIImagePickerControllerDelegate>& pickerDelegate);

// The next step once the picker has a picture: the picture as taken (the cropper cuts it itself)
// goes to a cropper in `mode`, kept from leaving empty space around the picture, presented over the
// picker. A custom mode asks `dataSource` for its mask. A pick that carries no picture presents
// nothing and returns false.
bool presentCropperForPickedImage(UIImagePickerController& picker, const UIImagePickerInfo& info,
                                  RSKImageCropMode mode, DelegateRef<RSKImageCropViewControllerDelegate> delegate,
                                  DelegateRef<RSKImageCropViewControllerDataSource> dataSource = nullptr);
} // namespace cw

// `Screen` is the adopting controller itself, which is also the picker's delegate.
template <class Screen> class ImageSourcePresenting {
public:
    void presentImageSourceOptions() {
        static_assert(std::is_base_of_v<UIViewController, Screen> &&
                          std::is_base_of_v<UIImagePickerControllerDelegate, Screen>,
                      "a screen that asks for a picture source is a controller and the picker's delegate");
        auto screen = std::static_pointer_cast<Screen>(static_cast<Screen&>(*this).shared_from_this());
        cw::presentImageSourceSheet(screen, screen);
    }

protected:
    ~ImageSourcePresenting() = default;
};
