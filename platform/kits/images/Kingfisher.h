#pragma once

// Kingfisher's calls, on the shared image loader (the same caches as AFNetworking's image-view
// calls).
//
// `kf(imageView).setImage(url)` first clears the view (no placeholder is given), then shows the
// picture at the address as `setImageWithURL` does; without an address the view just stays clear
// and its earlier request is dropped. `KingfisherManager::shared().retrieveImage` hands the picture
// (or the error) to its completion on the main thread, at once when it is in the memory cache.
// Main thread only.

#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "kits/images/ImageLoader.h"
#include "uikit/view/UIImageView.h"

#include <functional>
#include <memory>
#include <optional>

using CacheType = cw::images::ImageCacheType;

// The `kf` namespace of an image view.
class KingfisherImageView {
public:
    explicit KingfisherImageView(UIImageView& base) : base_(base) {}
    // `setImage(with:placeholder:options:progressBlock:completionHandler:)` with none of the others.
    void setImage(const std::optional<URL>& resource);
    void cancelDownloadTask();

private:
    UIImageView& base_;
};

inline KingfisherImageView kf(UIImageView& imageView) {
    return KingfisherImageView(imageView);
}

// A retrieval in progress; cancelling it means its completion never runs.
class RetrieveImageTask {
public:
    explicit RetrieveImageTask(std::shared_ptr<cw::images::ImageLoader::Request> request)
        : request_(std::move(request)) {}
    void cancel() { request_->cancel(); }

private:
    std::shared_ptr<cw::images::ImageLoader::Request> request_;
};

class KingfisherManager {
public:
    using CompletionHandler = std::function<void(std::shared_ptr<UIImage> image, const std::optional<NSError>& error,
                                                 CacheType cacheType, const std::optional<URL>& imageURL)>;

    static KingfisherManager& shared();

    // `retrieveImage(with:options:progressBlock:completionHandler:)` without options or progress.
    RetrieveImageTask retrieveImage(const URL& resource, CompletionHandler completionHandler);

private:
    KingfisherManager() = default;
};
