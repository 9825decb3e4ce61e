#pragma once

// What counts as a picture when bytes come from a server or a cache file.

#include "uikit/graphics/UIImage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cw::images {

// Replies larger than this are not pictures the app shows (20 MiB), counted as they are decoded from
// the transfer (a compressed reply counts what it inflates to): the download is stopped there.
inline constexpr std::size_t kMaxPictureBytes = 20u * 1024u * 1024u;
// Nor are pictures that would decode to more pixels than this (50 megapixels, 200 MB of pixels).
inline constexpr std::int64_t kMaxPicturePixels = 50'000'000;

struct PixelSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// The size a PNG or JPEG header declares, read without decoding; none for other bytes or a header
// cut short.
std::optional<PixelSize> declaredPixelSize(const Data& bytes);

// Decodes a PNG or JPEG within the limits above (scale 1), and the decoder's own (a JPEG of at most
// UIImage::kMaxJPEGScans scans). None, with the reason in `error`, for anything else: other formats,
// too many bytes, too many pixels or scans, damaged data. With `maxPixelSide` a larger picture is
// decoded reduced to that many pixels on its longer side (its size in points unchanged), never
// holding its full-size pixels. `mayGoOn`, asked as the decoding goes, stops it by returning false.
// Safe on any thread.
std::shared_ptr<UIImage> decodePicture(const Data& bytes, std::string* error = nullptr, int maxPixelSide = 0,
                                       const std::function<bool()>& mayGoOn = nullptr);

} // namespace cw::images
