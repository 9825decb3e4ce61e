#pragma once

// The picture cropper: a full screen that shows a picture behind a dimmed layer with a clear
// window in it (the mask), "Move and Scale" at the top and "Cancel" and "Choose" at the bottom.
//
// - The mask of the square and circle modes is the largest square that fits the view with 15
//   points to spare on each side, centred; the circle mode shows it as a circle. The custom mode
//   asks its data source, in this order, for the mask rectangle, the outline drawn for it and the
//   movement rectangle (the area the picture may not leave uncovered) each time the view's size
//   changes; `maskRect()` already holds the new mask when the last two are asked. An empty or
//   non-finite answer (or no data source) falls back to the square mask, and the movement
//   rectangle to the mask.
// - The picture starts aspect-filled in the mask and centred on it, and starts so again whenever
//   the mask moves. One finger moves it; two fingers zoom it about the point between them, up to
//   four times the starting scale. With `avoidEmptySpaceAroundImage` it always covers the movement
//   rectangle; without, it may shrink until it fits inside, and a side shorter than the movement
//   rectangle stays centred on it.
// - "Cancel" tells the delegate `didCancelCrop`; "Choose" cuts out the picture's pixels under the
//   mask rectangle (as the picture was given, at its scale; the outline is not applied) and tells
//   the delegate `didCropImage` with the new picture, the rectangle it was cut from in the
//   picture's pixels, and the rotation (always 0: the picture cannot be turned). Both run on the
//   main thread at once, exactly one per tap; the delegate dismisses the cropper. Without a
//   delegate the cropper dismisses itself. Without a picture "Choose" is disabled.
//
// The delegate and the data source are held weakly when given as shared objects.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/Delegate.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIImage.h"

#include <memory>

class RSKImageCropViewController;
class UIButton;
class UIImageView;
class UILabel;

namespace cw::cropper {
class TouchAreaView;
class MaskOverlayView;
} // namespace cw::cropper

enum class RSKImageCropMode { circle, square, custom };

class RSKImageCropViewControllerDelegate {
public:
    virtual ~RSKImageCropViewControllerDelegate() = default;
    virtual void didCancelCrop(RSKImageCropViewController&) {}
    virtual void didCropImage(RSKImageCropViewController&, const std::shared_ptr<UIImage>& /*croppedImage*/,
                              CGRect /*cropRect*/, CGFloat /*rotationAngle*/) {}
};

class RSKImageCropViewControllerDataSource {
public:
    virtual ~RSKImageCropViewControllerDataSource() = default;
    // In the cropper's view coordinates.
    virtual CGRect customMaskRect(RSKImageCropViewController&) = 0;
    virtual UIBezierPath customMaskPath(RSKImageCropViewController&) = 0;
    virtual CGRect customMovementRect(RSKImageCropViewController&) = 0;
};

class RSKImageCropViewController : public UIViewController {
public:
    explicit RSKImageCropViewController(std::shared_ptr<UIImage> image,
                                        RSKImageCropMode cropMode = RSKImageCropMode::circle);
    ~RSKImageCropViewController() override;
    std::string className() const override { return "RSKImageCropViewController"; }

    const std::shared_ptr<UIImage>& originalImage() const { return image_; }
    RSKImageCropMode cropMode() const { return cropMode_; }
    // Read when the view is laid out next.
    bool avoidEmptySpaceAroundImage = false;

    cw::DelegateRef<RSKImageCropViewControllerDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<RSKImageCropViewControllerDelegate> d) { delegate_ = std::move(d); }
    cw::DelegateRef<RSKImageCropViewControllerDataSource> dataSource() const { return dataSource_; }
    // A data source given once the view is laid out is asked at the next layout, as a new size would be.
    void setDataSource(cw::DelegateRef<RSKImageCropViewControllerDataSource> d);

    // In the view's coordinates, as the last layout set them (empty before it).
    CGRect maskRect() const { return maskRect_; }
    const UIBezierPath& maskPath() const { return maskPath_; }
    CGRect movementRect() const { return movementRect_; }
    // Where the picture lies now, in the view's coordinates.
    CGRect imageFrame() const { return imageFrame_; }
    // The rectangle of the picture's pixels under the mask now, and the rotation "Choose" reports.
    CGRect cropRect() const;
    CGFloat rotationAngle() const { return 0; }

    // What the buttons do.
    void cancelCrop();
    void cropImage();

    void loadView() override;
    void viewDidLayoutSubviews() override;
    bool prefersStatusBarHidden() const override { return true; }

private:
    friend class cw::cropper::TouchAreaView;
    void updateMask();
    void placeImageAtStart();
    // Keeps a frame within the zoom range and the movement rectangle.
    CGRect constrained(CGRect frame) const;
    CGFloat startScale() const;
    void setImageFrame(const CGRect& frame);
    // From the touch area: the picture moved by `delta`, or zoomed by `factor` about `centre`,
    // starting from `from`.
    void moveImage(CGPoint delta);
    void zoomImage(const CGRect& from, CGPoint fromCentre, CGPoint centre, CGFloat factor);

    std::shared_ptr<UIImage> image_;
    RSKImageCropMode cropMode_;
    cw::DelegateRef<RSKImageCropViewControllerDelegate> delegate_;
    cw::DelegateRef<RSKImageCropViewControllerDataSource> dataSource_;

    std::shared_ptr<cw::cropper::TouchAreaView> touchArea_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<cw::cropper::MaskOverlayView> overlay_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIButton> cancelButton_;
    std::shared_ptr<UIButton> chooseButton_;

    CGSize laidOutSize_{-1, -1};
    CGRect maskRect_;
    UIBezierPath maskPath_;
    CGRect movementRect_;
    CGRect imageFrame_;
};

using RSKImageCropViewControllerPtr = std::shared_ptr<RSKImageCropViewController>;
