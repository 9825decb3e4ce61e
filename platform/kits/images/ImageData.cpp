#include "kits/images/ImageData.h"

#include <algorithm>

namespace cw::images {

namespace {

std::int64_t bigEndian16(const Data& b, std::size_t at) {
    return (std::int64_t{b[at]} << 8) | b[at + 1];
}

std::int64_t bigEndian32(const Data& b, std::size_t at) {
    return (bigEndian16(b, at) << 16) | bigEndian16(b, at + 2);
}

bool isPNG(const Data& b) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    return b.size() >= 8 && std::equal(kSignature, kSignature + 8, b.begin());
}

bool isJPEG(const Data& b) {
    return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

// The first frame header's size: markers are walked by their lengths until a start-of-frame.
std::optional<PixelSize> jpegSize(const Data& b) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) return std::nullopt;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        // Markers without a length: TEM and the restart markers.
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return std::nullopt; // end or scan data before a frame
        const std::int64_t length = bigEndian16(b, at + 2);
        if (length < 2) return std::nullopt;
        const bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                                  marker != 0xCC;
        if (startOfFrame) {
            if (at + 9 > b.size()) return std::nullopt;
            return PixelSize{bigEndian16(b, at + 7), bigEndian16(b, at + 5)};
        }
        at += 2 + static_cast<std::size_t>(length);
    }
    return std::nullopt;
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

} // namespace

std::optional<PixelSize> declaredPixelSize(const Data& bytes) {
    if (isPNG(bytes)) {
        // The IHDR chunk comes first: length, "IHDR", width, height.
        if (bytes.size() < 24 || !std::equal(bytes.begin() + 12, bytes.begin() + 16, "IHDR"))
            return std::nullopt;
        return PixelSize{bigEndian32(bytes, 16), bigEndian32(bytes, 20)};
    }
    if (isJPEG(bytes)) return jpegSize(bytes);
    return std::nullopt;
}

std::shared_ptr<UIImage> decodePicture(const Data& bytes, std::string* error, int maxPixelSide,
                                       const std::function<bool()>& mayGoOn) {
    if (bytes.size() > kMaxPictureBytes) {
        setError(error, "larger than 20 MB (" + std::to_string(bytes.size()) + " bytes)");
        return nullptr;
    }
    if (!isPNG(bytes) && !isJPEG(bytes)) {
        setError(error, bytes.empty() ? "no data" : "not a PNG or JPEG picture");
        return nullptr;
    }
    // Checked before decoding: a small file can declare a huge picture.
    const auto size = declaredPixelSize(bytes);
    if (!size) {
        setError(error, "damaged picture header");
        return nullptr;
    }
    if (size->width * size->height > kMaxPicturePixels) {
        setError(error, "more than 50 megapixels (" + std::to_string(size->width) + " x " +
                            std::to_string(size->height) + ")");
        return nullptr;
    }
    std::string why;
    auto image = UIImage::fromData(bytes, 1, &why, maxPixelSide, mayGoOn);
    if (!image) setError(error, why.empty() ? "the picture cannot be decoded" : why);
    return image;
}

} // namespace cw::images
