#include "kits/images/UIImageView+AFNetworking.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "kits/images/ImageLoader.h"
#include "kits/images/ImageViewRequest.h"
#include "net/NSURLSessionDataTask.h"

#include <algorithm>

using cw::images::ImageLoader;
using cw::images::ImageViewRequest;

namespace {

// Failures that say nothing of the picture, only of the way to it: a link that dropped or went
// quiet, a server out of reach for a moment. Asked again, the picture may well come.
bool isPassing(const std::optional<NSError>& error) {
    if (!error || error->domain != NSURLErrorDomain) return false;
    switch (error->code) {
    case NSURLErrorTimedOut:
    case NSURLErrorNetworkConnectionLost:
    case NSURLErrorCannotConnectToHost:
    case NSURLErrorCannotFindHost:
        return true;
    default:
        return false;
    }
}

// Asks the loader for the view's picture; after a passing failure, while the view still waits for
// it, asks again once `pause` has gone, each pause twice the last up to the longest.
void load(const std::weak_ptr<ImageViewRequest>& request, const URL& url, double pause) {
    auto loading = ImageLoader::shared().retrieve(
        url, [request, url, pause](std::shared_ptr<UIImage> image, const std::optional<NSError>& error,
                                   cw::images::ImageCacheType) {
            auto waiting = request.lock();
            if (!waiting) return;
            if (image) {
                waiting->deliver(image);
                return;
            }
            if (!isPassing(error)) {
                waiting->fail();
                return;
            }
            const double next = std::min(pause * 2, kLongestPictureRetryPause);
            const auto timer = RunLoop::main().addTimer(Clock::uptime() + pause, [request, url, next] {
                auto waiting = request.lock();
                if (!waiting) return;
                if (waiting->isWanted())
                    load(request, url, next);
                else
                    waiting->fail(); // the view was given another picture meanwhile
            });
            // A view that goes, or is given another picture, meanwhile asks nothing more.
            waiting->setCanceller([timer] { RunLoop::main().cancelTimer(timer); });
        });
    // A picture from memory has already been delivered, and the request has ended.
    if (auto waiting = request.lock()) waiting->setCanceller([loading] { loading->cancel(); });
}

} // namespace

void setImageWithURL(UIImageView& imageView, const URL& url) {
    load(ImageViewRequest::begin(imageView), url, kFirstPictureRetryPause);
}

void cancelImageDownloadTask(UIImageView& imageView) {
    ImageViewRequest::end(imageView);
}
