#include "Extensions/ServerImages/UIImageView+UpdateImage.h"

#include "Services/BaseHTTPService.h"
#include "kits/images/ImageViewRequest.h"
#include "kits/images/UIImageView+AFNetworking.h"
#include "kits/photos/Photos.h"

namespace {

using cw::images::ImageViewRequest;

constexpr CGSize kLibraryPictureSize{200, 200};

void showServerPicture(UIImageView& imageView, const std::string& text) {
    auto url = BaseHTTPService::imageURL(text);
    if (!url) {
        // No valid server address to resolve against: a full address still stands on its own.
        if (auto encoded = cw::percentEncodeQuery(text)) url = URL::fromString(*encoded);
    }
    if (!url) {
        cancelImageDownloadTask(imageView);
        imageView.setImage(nullptr);
        return;
    }
    setImageWithURL(imageView, *url);
}

void showLibraryPicture(UIImageView& imageView, const std::string& text) {
    // The earlier request goes whether or not this address names a picture.
    auto request = ImageViewRequest::begin(imageView);
    auto url = URL::fromString(text);
    if (!url) {
        ImageViewRequest::end(imageView);
        return;
    }
    auto assets = PHAsset::fetchAssetsWithALAssetURLs({*url});
    if (assets.empty()) {
        ImageViewRequest::end(imageView);
        return;
    }
    auto& manager = PHImageManager::defaultManager();
    const PHImageRequestID id = manager.requestImage(
        assets.front(), kLibraryPictureSize, PHImageContentMode::aspectFill,
        [request](std::shared_ptr<UIImage> image, const PHImageInfo& info) {
            auto waiting = request.lock();
            if (!waiting) return;
            auto degraded = info.find(PHImageResultIsDegradedKey);
            const bool last = degraded == info.end() || !std::any_cast<bool>(degraded->second);
            waiting->deliver(image, last);
        });
    if (auto waiting = request.lock()) waiting->setCanceller([id] { PHImageManager::defaultManager().cancelImageRequest(id); });
}

} // namespace

void updateImageWith(UIImageView& imageView, const std::string& text) {
    if (text.find("images/upload") != std::string::npos || text.find("static-files/images") != std::string::npos) {
        showServerPicture(imageView, text);
    } else if (text.find("assets-library") != std::string::npos) {
        showLibraryPicture(imageView, text);
    }
}
