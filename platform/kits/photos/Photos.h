#pragma once

// The photo library, as far as the app reaches into it: the pictures the photo picker handed over
// in this process, found again by the library address the picker gave ("assets-library://…"), and
// pictures of them at a size the caller asks for.

#include "foundation/url/URL.h"
#include "uikit/graphics/UIImage.h"

#include <any>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class PHAsset {
public:
    PHAsset(std::string localIdentifier, std::filesystem::path file);

    const std::string& localIdentifier() const { return localIdentifier_; }
    // Where the picture's bytes are kept.
    const std::filesystem::path& file() const { return file_; }

    // `fetchAssetsWithALAssetURLs:options:`: the assets behind the addresses, in order; addresses that
    // name no picture are left out.
    static std::vector<std::shared_ptr<PHAsset>> fetchAssetsWithALAssetURLs(const std::vector<URL>& urls);

private:
    std::string localIdentifier_;
    std::filesystem::path file_;
};

enum class PHImageContentMode { aspectFit, aspectFill };

using PHImageRequestID = std::int32_t;
inline constexpr PHImageRequestID PHInvalidImageRequestID = 0;

// Keys of the information handed with each picture.
inline const std::string PHImageResultIsDegradedKey = "PHImageResultIsDegradedKey"; // bool
inline const std::string PHImageResultRequestIDKey = "PHImageResultRequestIDKey";   // PHImageRequestID
inline const std::string PHImageErrorKey = "PHImageErrorKey";                       // std::string
using PHImageInfo = std::map<std::string, std::any>;

// Pictures of assets at a requested size.
//
// Contract: call from the main thread. The file is read and scaled off the main thread; the result
// handler runs on the main thread: first with a small picture (degraded), then with the final one,
// which covers (aspect fill) or fits into (aspect fit) the target size in pixels, never enlarged. A
// file that cannot be read gives one call without a picture and with PHImageErrorKey. After
// cancelImageRequest the handler is not called again.
class PHImageManager {
public:
    using ResultHandler = std::function<void(std::shared_ptr<UIImage>, const PHImageInfo&)>;

    static PHImageManager& defaultManager();

    PHImageRequestID requestImage(const std::shared_ptr<PHAsset>& asset, CGSize targetSize,
                                  PHImageContentMode contentMode, ResultHandler resultHandler);
    void cancelImageRequest(PHImageRequestID request);

    // How much smaller than the final picture the first delivery is.
    static constexpr int kDegradedFactor = 4;

private:
    PHImageManager() = default;
    std::map<PHImageRequestID, std::shared_ptr<ResultHandler>> pending_; // main thread only
    PHImageRequestID nextID_ = 1;
};
