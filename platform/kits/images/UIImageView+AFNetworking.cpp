#include "kits/images/UIImageView+AFNetworking.h"

#include "kits/images/ImageLoader.h"
#include "kits/images/ImageViewRequest.h"

using cw::images::ImageLoader;
using cw::images::ImageViewRequest;

void setImageWithURL(UIImageView& imageView, const URL& url) {
    auto request = ImageViewRequest::begin(imageView);
    auto loading = ImageLoader::shared().retrieve(
        url, [request](std::shared_ptr<UIImage> image, const std::optional<NSError>&, cw::images::ImageCacheType) {
            auto waiting = request.lock();
            if (!waiting) return;
            if (image)
                waiting->deliver(image);
            else
                waiting->fail();
        });
    // A picture from memory has already been delivered, and the request has ended.
    if (auto waiting = request.lock()) waiting->setCanceller([loading] { loading->cancel(); });
}

void cancelImageDownloadTask(UIImageView& imageView) {
    ImageViewRequest::end(imageView);
}
