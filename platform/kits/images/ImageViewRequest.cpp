#include "kits/images/ImageViewRequest.h"

namespace cw::images {

namespace {
const char requestKey = 0;
using Slot = std::shared_ptr<ImageViewRequest>;
} // namespace

std::weak_ptr<ImageViewRequest> ImageViewRequest::begin(UIImageView& view) {
    auto request = std::make_shared<ImageViewRequest>(view);
    // The earlier request goes as this one takes its place, cancelling its work.
    view.setAssociatedObject(&requestKey, Slot(request));
    return request;
}

void ImageViewRequest::end(UIImageView& view) {
    view.setAssociatedObject(&requestKey, {});
}

bool ImageViewRequest::isWaiting(const UIImageView& view) {
    const Slot* slot = view.associatedObject<Slot>(&requestKey);
    return slot && *slot;
}

ImageViewRequest::ImageViewRequest(UIImageView& view) : view_(&view), expectedSetCount_(view.imageSetCount()) {}

ImageViewRequest::~ImageViewRequest() {
    if (auto cancel = std::move(cancel_)) cancel();
}

void ImageViewRequest::setCanceller(std::function<void()> cancel) {
    cancel_ = std::move(cancel);
}

// Callers reach the request through a locked weak reference, which keeps it alive while finish()
// lets the view drop it.
bool ImageViewRequest::deliver(const std::shared_ptr<UIImage>& image, bool last) {
    if (view_->imageSetCount() != expectedSetCount_) {
        // Someone else chose the picture meanwhile: theirs stays.
        finish();
        return false;
    }
    if (image) {
        view_->setImage(image);
        expectedSetCount_ = view_->imageSetCount();
    }
    if (last) finish();
    return static_cast<bool>(image);
}

bool ImageViewRequest::isWanted() const {
    const Slot* slot = view_->associatedObject<Slot>(&requestKey);
    return slot && slot->get() == this && view_->imageSetCount() == expectedSetCount_;
}

void ImageViewRequest::fail() {
    finish();
}

void ImageViewRequest::finish() {
    // Nothing is left to cancel; dropping the view's reference may end this object.
    cancel_ = nullptr;
    const Slot* slot = view_->associatedObject<Slot>(&requestKey);
    if (slot && slot->get() == this) end(*view_);
}

} // namespace cw::images
