#pragma once

// The picture an image view waits for: a download, a photo-library request. A view has at most one,
// kept in its associated objects, and only that one may set the view's picture. Starting another,
// ending it, or any picture set on the view by other code meanwhile drops it: its deliveries never
// reach the view, and the work behind it is cancelled. So a reused table cell never ends up with
// the picture of the row it showed before.
//
// Main thread only. Callers keep the request weakly (the view owns it), so a view that goes takes
// its request, and the work behind it, along.

#include "uikit/view/UIImageView.h"

#include <functional>
#include <memory>

namespace cw::images {

class ImageViewRequest {
public:
    // Starts a request on `view`, dropping the one it had.
    static std::weak_ptr<ImageViewRequest> begin(UIImageView& view);
    // Drops the view's request, if any.
    static void end(UIImageView& view);
    // Whether the view waits for a picture: a request was begun and has not ended.
    static bool isWaiting(const UIImageView& view);

    explicit ImageViewRequest(UIImageView& view);
    ~ImageViewRequest();
    ImageViewRequest(const ImageViewRequest&) = delete;
    ImageViewRequest& operator=(const ImageViewRequest&) = delete;

    // What stops the work behind the request; run when the request is dropped before its last
    // delivery.
    void setCanceller(std::function<void()> cancel);
    // Shows `image` (none changes nothing), unless other code set a picture on the view since the
    // request began or last delivered; then the request is dropped instead. A `last` delivery, or a
    // refused one, ends the request. Returns whether the picture was set.
    bool deliver(const std::shared_ptr<UIImage>& image, bool last = true);
    // Ends the request leaving the view as it is (a failed download).
    void fail();
    // Whether the view still waits for this request's picture: it has not ended, and no other code
    // has set a picture on the view since it began or last delivered. Asking ends nothing.
    bool isWanted() const;

private:
    void finish();

    UIImageView* view_;
    std::uint64_t expectedSetCount_;
    std::function<void()> cancel_;
};

} // namespace cw::images
