#include "kits/photos/Photos.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>

PHAsset::PHAsset(std::string localIdentifier, std::filesystem::path file)
    : localIdentifier_(std::move(localIdentifier)), file_(std::move(file)) {}

std::vector<std::shared_ptr<PHAsset>> PHAsset::fetchAssetsWithALAssetURLs(const std::vector<URL>& urls) {
    std::vector<std::shared_ptr<PHAsset>> assets;
    for (const auto& url : urls) {
        const std::string& address = url.absoluteString();
        auto file = UIImagePickerController::pickedFile(address);
        if (!file) continue;
        std::string identifier = address;
        if (auto query = url.query()) {
            const auto start = query->find("id=");
            if (start != std::string::npos) identifier = query->substr(start + 3, query->find('&', start) - start - 3);
        }
        assets.push_back(std::make_shared<PHAsset>(std::move(identifier), std::move(*file)));
    }
    return assets;
}

namespace {

// `image` scaled by `factor` (≤ 1), at least one pixel each way.
std::shared_ptr<UIImage> scaled(const std::shared_ptr<UIImage>& image, double factor) {
    if (factor >= 1) return image;
    const CGSize size{std::max(1.0, std::round(image->pixelWidth() * factor)),
                      std::max(1.0, std::round(image->pixelHeight() * factor))};
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    image->draw(CGRect{{0, 0}, size});
    auto result = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return result;
}

double fittingFactor(const UIImage& image, CGSize target, PHImageContentMode mode) {
    if (!(target.width > 0) || !(target.height > 0)) return 1;
    const double sx = target.width / image.pixelWidth(), sy = target.height / image.pixelHeight();
    return std::min(1.0, mode == PHImageContentMode::aspectFill ? std::max(sx, sy) : std::min(sx, sy));
}

} // namespace

PHImageManager& PHImageManager::defaultManager() {
    static PHImageManager* manager = new PHImageManager();
    return *manager;
}

PHImageRequestID PHImageManager::requestImage(const std::shared_ptr<PHAsset>& asset, CGSize targetSize,
                                              PHImageContentMode contentMode, ResultHandler resultHandler) {
    if (!asset) return PHInvalidImageRequestID;
    const PHImageRequestID id = nextID_++;
    auto handler = std::make_shared<ResultHandler>(std::move(resultHandler));
    pending_[id] = handler;
    // Each delivery runs the handler unless the request was cancelled (or ended) meanwhile.
    auto deliver = [this, id](std::shared_ptr<UIImage> image, PHImageInfo info, bool last) {
        auto found = pending_.find(id);
        if (found == pending_.end()) return;
        auto run = found->second;
        if (last) pending_.erase(found);
        info[PHImageResultRequestIDKey] = id;
        if (*run) (*run)(std::move(image), info);
    };
    DispatchQueue::global(DispatchQoS::userInitiated)
        .async([file = asset->file(), targetSize, contentMode, deliver] {
            std::string error;
            auto original = UIImage::fromFile(file, &error);
            if (!original) {
                DispatchQueue::main().async([deliver, error] {
                    deliver(nullptr, {{PHImageErrorKey, error.empty() ? std::string("unreadable") : error}}, true);
                });
                return;
            }
            const double factor = fittingFactor(*original, targetSize, contentMode);
            auto small = scaled(original, factor / PHImageManager::kDegradedFactor);
            DispatchQueue::main().async([deliver, small] { deliver(small, {{PHImageResultIsDegradedKey, true}}, false); });
            auto final = scaled(original, factor);
            DispatchQueue::main().async([deliver, final] { deliver(final, {{PHImageResultIsDegradedKey, false}}, true); });
        });
    return id;
}

void PHImageManager::cancelImageRequest(PHImageRequestID request) {
    pending_.erase(request);
}
