#pragma once

// A decoded bitmap with a scale (pixels per point). Images are immutable and shared through
// std::shared_ptr; a missing or undecodable image is a null pointer.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIColor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Foundation's byte buffer (the same alias as foundation/defaults/Data.h).
using Data = std::vector<std::uint8_t>;

typedef struct _cairo_surface cairo_surface_t;

class UIImage {
    struct Passkey {};

public:
    // PNG or JPEG bytes, recognised by their signature. `error` (when given) says why nothing came back.
    // With `maxPixelSide`, a picture whose longer side has more pixels than that is reduced to it
    // as it is decoded (as the platform's image source makes a thumbnail): its full-size pixels are
    // never held, and each pixel kept is the mean of those it stands for. Its size in points stays
    // what it would have been (the scale grows by the reduction), so it lays out as the full
    // picture would.
    //
    // A JPEG of more than kMaxJPEGScans scans is refused as it reaches the next one: each scan is a
    // pass over the whole picture in a few bytes of its own, so a small file can ask for minutes of
    // decoding. `mayGoOn`, when given, is asked as the decoding goes (every row of every pass or
    // scan): false stops it there, with nothing back.
    static constexpr int kMaxJPEGScans = 100;
    static std::shared_ptr<UIImage> fromData(const Data& bytes, CGFloat scale = 1, std::string* error = nullptr,
                                             int maxPixelSide = 0, const std::function<bool()>& mayGoOn = nullptr);
    // A PNG or JPEG file; "name@2x.png" / "name@3x.png" give scale 2 / 3. `maxPixelSide` as for
    // fromData.
    static std::shared_ptr<UIImage> fromFile(const std::filesystem::path& path, std::string* error = nullptr,
                                             int maxPixelSide = 0);
    // Whether `error`, as fromData or fromFile gave it, says the picture was refused for its size
    // (more pixels than a picture may have, or more memory to decode than a decoding may take, as
    // a progressive JPEG of some 16 to 33 megapixels or more needs) rather than for damaged bytes.
    static bool isRefusedForItsSize(const std::string& error);
    // `UIImage(named:)`: looks in the resource directory for "<name>@2x.png", "<name>@3x.png",
    // "<name>.png", "<name>.jpg", "<name>.jpeg", "<name>" and an asset folder "<name>.imageset/".
    // A missing name gives none.
    static std::shared_ptr<UIImage> named(const std::string& name);
    // Where `named` looks; the bundle sets it when it loads. Safe to call from any thread.
    static void setResourceDirectory(const std::filesystem::path& directory);
    static std::filesystem::path resourceDirectory();

    // An image of premultiplied 32-bit ARGB pixels in native byte order (Cairo's ARGB32),
    // `stride` bytes per row (0 = width * 4).
    static std::shared_ptr<UIImage> fromPixels(int pixelWidth, int pixelHeight, CGFloat scale,
                                               const std::uint32_t* pixels, int stride = 0);
    // Takes a Cairo image surface (ARGB32) as it is; used by the drawing contexts.
    static std::shared_ptr<UIImage> fromSurface(cairo_surface_t* surface, CGFloat scale);

    UIImage(Passkey, cairo_surface_t* surface, CGFloat scale);
    ~UIImage();
    UIImage(const UIImage&) = delete;
    UIImage& operator=(const UIImage&) = delete;

    // Size in points: pixels divided by scale.
    CGSize size() const;
    CGFloat scale() const { return scale_; }
    int pixelWidth() const;
    int pixelHeight() const;
    // The colour of one pixel, unpremultiplied (RGB model); clear outside the image.
    UIColor pixelColor(int x, int y) const;
    // Premultiplied ARGB32 of one pixel; 0 outside the image.
    std::uint32_t pixel(int x, int y) const;

    // `jpegData(compressionQuality:)`, quality 0...1 (clamped). Transparent pixels are composed
    // onto black as the platform does. Gives none, and says why in `error`, when encoding fails.
    std::optional<Data> jpegData(CGFloat quality, std::string* error = nullptr) const;
    std::optional<Data> pngData(std::string* error = nullptr) const;
    // Writes PNG bytes to a file (through a temporary file, so a failed write leaves no half file).
    bool writePNG(const std::filesystem::path& path, std::string* error = nullptr) const;

    // Draws into the current graphics context, scaled to the rectangle.
    void draw(CGPoint point) const;
    void draw(const CGRect& rect, CGFloat alpha = 1) const;

    // The pixels for drawing code; owned by the image.
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
    CGFloat scale_;
};
