#include "kits/cropper/RSKImageCropViewController.h"

#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace cw::cropper {

// Space left around the square mask on each side.
constexpr CGFloat kMaskInset = 15;
// How far past the starting scale two fingers may zoom in.
constexpr CGFloat kMaximumZoomFactor = 4;

bool usable(const CGRect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height) && r.size.width > 0 && r.size.height > 0;
}

CGPoint centroid(CGPoint a, CGPoint b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2};
}

CGFloat distance(CGPoint a, CGPoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Takes the fingers on the picture: one moves it, two zoom it about the point between them.
// Each change of the number of fingers starts the gesture anew from where they are, so lifting
// one of two fingers goes on moving with the other.
class TouchAreaView : public UIView {
public:
    explicit TouchAreaView(const CGRect& frame) : UIView(frame) { isMultipleTouchEnabled = true; }
    std::string className() const override { return "RSKTouchView"; }

    void setOwner(const std::shared_ptr<RSKImageCropViewController>& owner) { owner_ = owner; }

    void touchesBegan(const TouchSet& touches, const UIEvent*) override {
        for (auto& t : touches)
            if (std::find(fingers_.begin(), fingers_.end(), t) == fingers_.end()) fingers_.push_back(t);
        restart();
    }
    void touchesMoved(const TouchSet&, const UIEvent*) override {
        auto owner = owner_.lock();
        if (!owner || fingers_.empty()) return;
        const UIView* space = superviewPointer();
        if (fingers_.size() == 1) {
            const CGPoint now = fingers_[0]->location(space), before = fingers_[0]->previousLocation(space);
            owner->moveImage({now.x - before.x, now.y - before.y});
            return;
        }
        const CGPoint a = fingers_[0]->location(space), b = fingers_[1]->location(space);
        owner->zoomImage(startFrame_, startCentre_, centroid(a, b), distance(a, b) / startDistance_);
    }
    void touchesEnded(const TouchSet& touches, const UIEvent*) override { lift(touches); }
    void touchesCancelled(const TouchSet& touches, const UIEvent*) override { lift(touches); }

private:
    void lift(const TouchSet& touches) {
        std::erase_if(fingers_, [&](const std::shared_ptr<UITouch>& t) { return touches.count(t) > 0; });
        restart();
    }
    void restart() {
        auto owner = owner_.lock();
        if (!owner || fingers_.size() < 2) return;
        const UIView* space = superviewPointer();
        const CGPoint a = fingers_[0]->location(space), b = fingers_[1]->location(space);
        startFrame_ = owner->imageFrame();
        startCentre_ = centroid(a, b);
        // Two fingers on one spot would make every later spread an infinite zoom.
        startDistance_ = std::max<CGFloat>(distance(a, b), 1);
    }

    std::weak_ptr<RSKImageCropViewController> owner_;
    std::vector<std::shared_ptr<UITouch>> fingers_;
    CGRect startFrame_;
    CGPoint startCentre_;
    CGFloat startDistance_ = 1;
};

// The dimmed screen with the mask's outline cut out of it; touches pass through to the picture.
class MaskOverlayView : public UIView {
public:
    explicit MaskOverlayView(const CGRect& frame) : UIView(frame) {
        setOpaque(false);
        setUserInteractionEnabled(false);
    }
    std::string className() const override { return "RSKMaskOverlayView"; }

    void setMaskPath(UIBezierPath path) {
        path_ = std::move(path);
        setNeedsDisplay();
    }
    void draw(const CGRect&) override {
        UIBezierPath dim = UIBezierPath::rect(bounds());
        dim.append(path_);
        dim.usesEvenOddFillRule = true;
        UIColor(0, 0, 0, 0.7).setFill();
        dim.fill();
    }

private:
    UIBezierPath path_;
};

} // namespace cw::cropper

using cw::cropper::kMaskInset;
using cw::cropper::kMaximumZoomFactor;
using cw::cropper::MaskOverlayView;
using cw::cropper::TouchAreaView;
using cw::cropper::usable;

RSKImageCropViewController::RSKImageCropViewController(std::shared_ptr<UIImage> image, RSKImageCropMode cropMode)
    : image_(std::move(image)), cropMode_(cropMode) {
    // A picture without pixels has nothing to move or cut.
    if (image_ && (image_->pixelWidth() == 0 || image_->pixelHeight() == 0)) image_.reset();
}

RSKImageCropViewController::~RSKImageCropViewController() = default;

void RSKImageCropViewController::loadView() {
    const CGRect screen = UIScreen::main().bounds();
    auto root = std::make_shared<UIView>(screen);
    root->setBackgroundColor(UIColor::blackColor());
    root->setClipsToBounds(true);
    auto self = std::static_pointer_cast<RSKImageCropViewController>(shared_from_this());

    touchArea_ = std::make_shared<TouchAreaView>(screen);
    touchArea_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    touchArea_->setOwner(self);
    root->addSubview(touchArea_);

    imageView_ = std::make_shared<UIImageView>(image_);
    imageView_->setContentMode(UIViewContentMode::scaleToFill);
    imageView_->setUserInteractionEnabled(false);
    touchArea_->addSubview(imageView_);

    overlay_ = std::make_shared<MaskOverlayView>(screen);
    overlay_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root->addSubview(overlay_);

    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setText("Move and Scale");
    titleLabel_->setFont(UIFont::systemFont(17));
    titleLabel_->setTextColor(UIColor::whiteColor());
    titleLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(titleLabel_);

    auto makeButton = [&](const std::string& title, void (RSKImageCropViewController::*action)()) {
        auto b = std::make_shared<UIButton>(UIButtonType::custom);
        b->setTitle(title, UIControlStateNormal);
        b->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        b->setTitleColor(UIColor::withWhite(1, 0.4), UIControlStateDisabled);
        b->titleLabel()->setFont(UIFont::systemFont(17));
        b->setContentEdgeInsets({10, 10, 10, 10});
        b->setTranslatesAutoresizingMaskIntoConstraints(false);
        b->addTarget(self, action, UIControlEventTouchUpInside);
        root->addSubview(b);
        return b;
    };
    cancelButton_ = makeButton("Cancel", &RSKImageCropViewController::cancelCrop);
    chooseButton_ = makeButton("Choose", &RSKImageCropViewController::cropImage);
    chooseButton_->setEnabled(image_ != nullptr);

    auto safe = root->safeAreaLayoutGuide();
    NSLayoutConstraint::activate({
        titleLabel_->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
        titleLabel_->topAnchor().constraintEqualTo(safe->topAnchor(), 20),
        cancelButton_->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 3),
        cancelButton_->bottomAnchor().constraintEqualTo(safe->bottomAnchor(), -4),
        chooseButton_->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -3),
        chooseButton_->bottomAnchor().constraintEqualTo(safe->bottomAnchor(), -4),
    });
    setView(root);
}

void RSKImageCropViewController::setDataSource(cw::DelegateRef<RSKImageCropViewControllerDataSource> d) {
    dataSource_ = std::move(d);
    if (auto v = viewIfLoaded()) {
        laidOutSize_ = {-1, -1};
        v->setNeedsLayout();
    }
}

void RSKImageCropViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    const CGSize size = view()->bounds().size;
    if (size == laidOutSize_) return;
    laidOutSize_ = size;
    updateMask();
    placeImageAtStart();
}

void RSKImageCropViewController::updateMask() {
    const CGRect bounds = view()->bounds();
    const CGFloat shorter = std::min(bounds.width(), bounds.height());
    const CGFloat side = shorter > 2 * kMaskInset ? shorter - 2 * kMaskInset : shorter;
    const CGRect square{bounds.midX() - side / 2, bounds.midY() - side / 2, side, side};

    maskRect_ = square;
    maskPath_ = cropMode_ == RSKImageCropMode::circle ? UIBezierPath::ovalIn(square) : UIBezierPath::rect(square);
    movementRect_ = square;
    if (cropMode_ == RSKImageCropMode::custom) {
        auto keep = shared_from_this();
        if (auto source = dataSource_.get()) {
            const CGRect mask = source->customMaskRect(*this);
            if (usable(mask)) maskRect_ = mask.standardized();
            maskPath_ = source->customMaskPath(*this);
            if (maskPath_.isEmpty()) maskPath_ = UIBezierPath::rect(maskRect_);
            const CGRect movement = source->customMovementRect(*this);
            movementRect_ = usable(movement) ? movement.standardized() : maskRect_;
        }
    }
    overlay_->setMaskPath(maskPath_);
}

CGFloat RSKImageCropViewController::startScale() const {
    const CGSize s = image_->size();
    return std::max(maskRect_.width() / s.width, maskRect_.height() / s.height);
}

void RSKImageCropViewController::placeImageAtStart() {
    if (!image_) return;
    const CGSize s = image_->size();
    const CGFloat z = startScale();
    const CGSize size{s.width * z, s.height * z};
    setImageFrame(constrained(
        {maskRect_.midX() - size.width / 2, maskRect_.midY() - size.height / 2, size.width, size.height}));
}

CGRect RSKImageCropViewController::constrained(CGRect frame) const {
    if (!image_ || !usable(movementRect_) || !usable(frame)) return frame;
    const CGSize s = image_->size();
    const CGRect& m = movementRect_;
    const CGFloat cover = std::max(m.width() / s.width, m.height() / s.height);
    const CGFloat fit = std::min(m.width() / s.width, m.height() / s.height);
    const CGFloat minimum = avoidEmptySpaceAroundImage ? cover : fit;
    const CGFloat maximum = std::max(minimum, startScale() * kMaximumZoomFactor);
    const CGFloat z = std::clamp(frame.width() / s.width, minimum, maximum);
    const CGPoint centre = frame.center();
    frame = {centre.x - s.width * z / 2, centre.y - s.height * z / 2, s.width * z, s.height * z};

    // Along each axis the picture either covers the movement rectangle or, when shorter, sits
    // in its middle. A hair of tolerance keeps the covering scale itself from counting as short.
    auto place = [](CGFloat origin, CGFloat length, CGFloat low, CGFloat span) {
        if (length + 1e-9 >= span) return std::clamp(origin, low + span - length, low);
        return low + (span - length) / 2;
    };
    frame.origin.x = place(frame.origin.x, frame.size.width, m.minX(), m.width());
    frame.origin.y = place(frame.origin.y, frame.size.height, m.minY(), m.height());
    return frame;
}

void RSKImageCropViewController::setImageFrame(const CGRect& frame) {
    imageFrame_ = frame;
    if (imageView_) imageView_->setFrame(frame);
}

void RSKImageCropViewController::moveImage(CGPoint delta) {
    if (!image_) return;
    setImageFrame(constrained(imageFrame_.offsetBy(delta.x, delta.y)));
}

void RSKImageCropViewController::zoomImage(const CGRect& from, CGPoint fromCentre, CGPoint centre, CGFloat factor) {
    if (!image_ || !usable(from) || !std::isfinite(factor) || factor <= 0) return;
    const CGSize s = image_->size();
    const CGFloat z0 = from.width() / s.width;
    // Find the zoom the frame may take first, so that the point under the fingers stays there.
    const CGRect limits = constrained({from.origin, {s.width * z0 * factor, s.height * z0 * factor}});
    const CGFloat z = limits.width() / s.width;
    const CGPoint under{(fromCentre.x - from.minX()) / z0, (fromCentre.y - from.minY()) / z0};
    setImageFrame(constrained({centre.x - under.x * z, centre.y - under.y * z, s.width * z, s.height * z}));
}

CGRect RSKImageCropViewController::cropRect() const {
    if (!image_ || !usable(imageFrame_) || !usable(maskRect_)) return CGRect::zero();
    const CGFloat perPoint = image_->pixelWidth() / imageFrame_.width();
    const CGFloat perPointY = image_->pixelHeight() / imageFrame_.height();
    auto edge = [](CGFloat v, int limit) { return std::clamp<CGFloat>(std::round(v), 0, limit); };
    const CGFloat x0 = edge((maskRect_.minX() - imageFrame_.minX()) * perPoint, image_->pixelWidth());
    const CGFloat x1 = edge((maskRect_.maxX() - imageFrame_.minX()) * perPoint, image_->pixelWidth());
    const CGFloat y0 = edge((maskRect_.minY() - imageFrame_.minY()) * perPointY, image_->pixelHeight());
    const CGFloat y1 = edge((maskRect_.maxY() - imageFrame_.minY()) * perPointY, image_->pixelHeight());
    return {x0, y0, x1 - x0, y1 - y0};
}

void RSKImageCropViewController::cancelCrop() {
    auto keep = shared_from_this();
    if (auto d = delegate_.get())
        d->didCancelCrop(*this);
    else
        dismiss(true);
}

void RSKImageCropViewController::cropImage() {
    if (!image_) return;
    auto keep = shared_from_this();
    const CGRect rect = cropRect();
    const int x = static_cast<int>(rect.minX()), y = static_cast<int>(rect.minY());
    const int w = static_cast<int>(rect.width()), h = static_cast<int>(rect.height());
    std::shared_ptr<UIImage> cropped;
    if (w > 0 && h > 0) {
        cairo_surface_t* source = image_->surface();
        cairo_surface_flush(source);
        const int stride = cairo_image_surface_get_stride(source);
        const unsigned char* origin = cairo_image_surface_get_data(source) +
                                      static_cast<std::ptrdiff_t>(y) * stride + static_cast<std::ptrdiff_t>(x) * 4;
        cropped = UIImage::fromPixels(w, h, image_->scale(), reinterpret_cast<const std::uint32_t*>(origin), stride);
    }
    // The mask lies wholly beside the picture (possible only when empty space is allowed):
    // there is nothing to hand over, and saying it was cropped would be untrue.
    if (!cropped) return;
    if (auto d = delegate_.get())
        d->didCropImage(*this, cropped, rect, rotationAngle());
    else
        dismiss(true);
}
