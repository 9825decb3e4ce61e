#include "kits/images/Kingfisher.h"

#include "kits/images/ImageViewRequest.h"
#include "kits/images/UIImageView+AFNetworking.h"

using cw::images::ImageViewRequest;

void KingfisherImageView::setImage(const std::optional<URL>& resource) {
    base_.setImage(nullptr);
    if (!resource) {
        ImageViewRequest::end(base_);
        return;
    }
    setImageWithURL(base_, *resource);
}

void KingfisherImageView::cancelDownloadTask() {
    ImageViewRequest::end(base_);
}

KingfisherManager& KingfisherManager::shared() {
    static KingfisherManager* manager = new KingfisherManager();
    return *manager;
}

RetrieveImageTask KingfisherManager::retrieveImage(const URL& resource, CompletionHandler completionHandler) {
    return RetrieveImageTask(cw::images::ImageLoader::shared().retrieve(
        resource, [resource, completionHandler = std::move(completionHandler)](
                      std::shared_ptr<UIImage> image, const std::optional<NSError>& error, CacheType type) {
            if (completionHandler) completionHandler(std::move(image), error, type, resource);
        }));
}
