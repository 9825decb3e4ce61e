#include "uikit/graphics/UIImage.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/graphics/NamedImagePreparation.h"

#include "foundation/dispatch/DispatchQueue.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <jpeglib.h>
#include <jerror.h>
#include <mutex>
#include <png.h>
#include <system_error>
#include <utility>
#include <unordered_map>

namespace {

// Larger images would be a damaged or hostile file, not a picture the app shows.
constexpr long long kMaxPixels = 64LL * 1024 * 1024;
constexpr int kMaxSide = 32768;
// The most memory libjpeg may take for one picture. A baseline JPEG needs a few rows whatever its
// size, but a progressive one keeps every coefficient of the picture until its last scan, even when
// it is decoded reduced: three to eight bytes a pixel, so a few hundred bytes can declare a picture
// that would take gigabytes. Beyond this (a progressive colour picture of some 16 to 33 megapixels)
// it is refused before the memory is taken.
constexpr long kMaxJPEGDecodingBytes = 96L * 1024 * 1024;
// The reasons given for a picture refused for its size (they follow the format's name).
constexpr const char* kTooManyPixels = "image too large";
constexpr const char* kTooMuchMemory = "decoding it would take more than";

std::mutex resourceMutex;
std::filesystem::path resourceDir;

void setError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
}

std::uint32_t premultiplied(unsigned r, unsigned g, unsigned b, unsigned a) {
    if (a == 255) return 0xFF000000u | (r << 16) | (g << 8) | b;
    auto pm = [a](unsigned c) { return (c * a + 127) / 255; };
    return (a << 24) | (pm(r) << 16) | (pm(g) << 8) | pm(b);
}

// Unpremultiplied RGBA bytes of every pixel.
std::vector<std::uint8_t> rgbaBytes(cairo_surface_t* s) {
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = row[x];
            const unsigned a = p >> 24;
            auto un = [a](unsigned c) { return a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a); };
            std::uint8_t* o = &out[(static_cast<std::size_t>(y) * w + x) * 4];
            o[0] = static_cast<std::uint8_t>(un((p >> 16) & 0xFF));
            o[1] = static_cast<std::uint8_t>(un((p >> 8) & 0xFF));
            o[2] = static_cast<std::uint8_t>(un(p & 0xFF));
            o[3] = static_cast<std::uint8_t>(a);
        }
    }
    return out;
}

cairo_surface_t* newSurface(int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

bool sizeAcceptable(long long w, long long h) {
    return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// ---- Decoded rows, kept at the size asked for -----------------------------------------------

// The size a picture of `width` × `height` is decoded to when its longer side may have at most
// `maxSide` pixels (0: no bound): the same aspect, the longer side exactly the bound.
void reducedSize(int width, int height, int maxSide, int& outWidth, int& outHeight) {
    outWidth = width, outHeight = height;
    const int longer = std::max(width, height);
    if (maxSide <= 0 || longer <= maxSide) return;
    const double factor = static_cast<double>(maxSide) / longer;
    outWidth = std::clamp(static_cast<int>(std::lround(width * factor)), 1, maxSide);
    outHeight = std::clamp(static_cast<int>(std::lround(height * factor)), 1, maxSide);
}

// Takes a picture's rows as the decoder produces them (premultiplied ARGB32) and keeps them at the
// size asked for: copied as they are when that is the picture's own size, otherwise each kept pixel
// the average of the box of decoded pixels it covers. Rows that arrive in order need one row of
// sums; an interlaced picture, whose passes each cover the whole picture, needs sums for every kept
// pixel. Either way the full-size picture is never held. The decoder calls `begin` once it knows
// the sizes; the sink belongs to the caller, so a decoder that jumps out on an error leaves
// nothing behind.
class PixelSink {
public:
    explicit PixelSink(int maxSide) : maxSide_(maxSide) {}
    ~PixelSink() {
        if (surface_) cairo_surface_destroy(surface_);
    }
    PixelSink(const PixelSink&) = delete;
    PixelSink& operator=(const PixelSink&) = delete;

    // `declaredWidth` × `declaredHeight` is the picture's own size, `width` × `height` that of the
    // rows the decoder delivers (smaller when it reduces as it decodes).
    bool begin(int declaredWidth, int declaredHeight, int width, int height, bool rowsInOrder) {
        declaredLonger_ = std::max(declaredWidth, declaredHeight);
        width_ = width, height_ = height;
        reducedSize(declaredWidth, declaredHeight, maxSide_, outWidth_, outHeight_);
        outWidth_ = std::min(outWidth_, width), outHeight_ = std::min(outHeight_, height);
        inOrder_ = rowsInOrder;
        surface_ = newSurface(outWidth_, outHeight_);
        if (!surface_) return false;
        data_ = cairo_image_surface_get_data(surface_);
        stride_ = cairo_image_surface_get_stride(surface_);
        scratch_.resize(static_cast<std::size_t>(width));
        if (copies()) return true;
        boxes(width_, outWidth_, column_, boxWidth_);
        boxes(height_, outHeight_, row_, boxHeight_);
        sums_.assign(static_cast<std::size_t>(outWidth_) * (inOrder_ ? 1 : outHeight_) * 4, 0);
        return true;
    }

    // Room for one delivered row's pixels.
    std::uint32_t* scratch() { return scratch_.data(); }

    // `count` pixels of delivered row `y`, at columns x0, x0 + dx, ...
    void put(int y, int x0, int dx, const std::uint32_t* pixels, int count) {
        if (copies()) {
            auto* to = reinterpret_cast<std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(y) * stride_);
            for (int i = 0, x = x0; i < count; ++i, x += dx)
                to[x] = pixels[i];
            return;
        }
        const int keptRow = row_[static_cast<std::size_t>(y)];
        std::uint32_t* sums = &sums_[inOrder_ ? 0 : static_cast<std::size_t>(keptRow) * outWidth_ * 4];
        for (int i = 0, x = x0; i < count; ++i, x += dx) {
            std::uint32_t* s = sums + static_cast<std::size_t>(column_[static_cast<std::size_t>(x)]) * 4;
            const std::uint32_t p = pixels[i];
            s[0] += p >> 24, s[1] += (p >> 16) & 0xFF, s[2] += (p >> 8) & 0xFF, s[3] += p & 0xFF;
        }
        // In order, a kept row is done with the last delivered row of its box.
        if (inOrder_ && (y + 1 == height_ || row_[static_cast<std::size_t>(y) + 1] != keptRow)) {
            store(keptRow, sums);
            std::fill(sums_.begin(), sums_.end(), 0u);
        }
    }

    // The kept pixels (the caller owns them now), and the scale that keeps the picture's size in
    // points what it would have been at full size.
    cairo_surface_t* finish(CGFloat& scale) {
        if (!copies() && !inOrder_)
            for (int y = 0; y < outHeight_; ++y)
                store(y, &sums_[static_cast<std::size_t>(y) * outWidth_ * 4]);
        scale *= static_cast<CGFloat>(std::max(outWidth_, outHeight_)) / declaredLonger_;
        cairo_surface_mark_dirty(surface_);
        return std::exchange(surface_, nullptr);
    }

private:
    bool copies() const { return outWidth_ == width_ && outHeight_ == height_; }

    // Which kept pixel each delivered one falls in, and how many fall in each.
    static void boxes(int from, int to, std::vector<int>& owner, std::vector<std::uint32_t>& extent) {
        owner.resize(static_cast<std::size_t>(from));
        extent.assign(static_cast<std::size_t>(to), 0);
        for (int i = 0; i < from; ++i) {
            const auto box = static_cast<std::size_t>(static_cast<std::int64_t>(i) * to / from);
            owner[static_cast<std::size_t>(i)] = static_cast<int>(box);
            ++extent[box];
        }
    }

    void store(int keptRow, const std::uint32_t* sums) {
        auto* to = reinterpret_cast<std::uint32_t*>(data_ + static_cast<std::ptrdiff_t>(keptRow) * stride_);
        const std::uint32_t height = boxHeight_[static_cast<std::size_t>(keptRow)];
        for (int x = 0; x < outWidth_; ++x) {
            const std::uint32_t area = boxWidth_[static_cast<std::size_t>(x)] * height;
            const std::uint32_t* s = sums + static_cast<std::size_t>(x) * 4;
            auto mean = [area](std::uint32_t sum) { return (sum + area / 2) / area; };
            to[x] = (mean(s[0]) << 24) | (mean(s[1]) << 16) | (mean(s[2]) << 8) | mean(s[3]);
        }
    }

    const int maxSide_;
    int declaredLonger_ = 1;
    int width_ = 0, height_ = 0, outWidth_ = 0, outHeight_ = 0;
    bool inOrder_ = true;
    cairo_surface_t* surface_ = nullptr;
    unsigned char* data_ = nullptr;
    int stride_ = 0;
    std::vector<std::uint32_t> scratch_;
    std::vector<int> column_, row_;
    std::vector<std::uint32_t> boxWidth_, boxHeight_;
    std::vector<std::uint32_t> sums_; // alpha, red, green, blue of each kept pixel of the rows summed
};

// ---- PNG ----------------------------------------------------------------------------------

struct PngSource {
    const png_byte* data;
    std::size_t size;
    std::size_t at;
    char message[200];
    const std::function<bool()>* mayGoOn;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) png_error(png, "the data ends early");
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

void pngFail(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

// Reads the rows one at a time into `sink` (the passes of an interlaced picture as they come).
// Only plain data lives in this frame across setjmp.
bool decodePNGInto(const Data& bytes, PixelSink& sink, PngSource& source) {
    source = {bytes.data(), bytes.size(), 0, {}, source.mayGoOn};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, pngFail, pngWarn);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    // Set after setjmp and read after the jump: volatile, or the jump may bring back the null it
    // held when setjmp ran and the row leaks with every picture refused halfway.
    png_bytep volatile row = nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        if (row) png_free(png, row);
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, pngRead);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (!sizeAcceptable(width, height)) png_error(png, kTooManyPixels);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    // Every kind of pixel becomes 8-bit RGBA in the sRGB gamma.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_alpha_mode(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) png_error(png, "unexpected pixel format");
    if (!sink.begin(static_cast<int>(width), static_cast<int>(height), static_cast<int>(width),
                    static_cast<int>(height), !interlaced))
        png_error(png, "out of memory");
    row = static_cast<png_bytep>(png_malloc(png, static_cast<png_alloc_size_t>(width) * 4));
    // Without libpng's interlace handling each pass comes as the small picture it is.
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const png_uint_32 columns = interlaced ? PNG_PASS_COLS(width, pass) : width;
        const png_uint_32 rows = interlaced ? PNG_PASS_ROWS(height, pass) : height;
        if (columns == 0 || rows == 0) continue;
        for (png_uint_32 r = 0; r < rows; ++r) {
            if (*source.mayGoOn && !(*source.mayGoOn)()) png_error(png, "stopped");
            png_read_row(png, row, nullptr);
            std::uint32_t* pixels = sink.scratch();
            for (png_uint_32 i = 0; i < columns; ++i) {
                const png_byte* p = row + static_cast<std::size_t>(i) * 4;
                pixels[i] = premultiplied(p[0], p[1], p[2], p[3]);
            }
            if (interlaced)
                sink.put(static_cast<int>(PNG_ROW_FROM_PASS_ROW(r, pass)),
                         static_cast<int>(PNG_COL_FROM_PASS_COL(0, pass)), 1 << PNG_PASS_COL_SHIFT(pass), pixels,
                         static_cast<int>(columns));
            else
                sink.put(static_cast<int>(r), 0, 1, pixels, static_cast<int>(columns));
        }
    }
    png_read_end(png, nullptr);
    png_free(png, row);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

cairo_surface_t* decodePNG(const Data& bytes, int maxSide, CGFloat& scale, std::string* error,
                           const std::function<bool()>& mayGoOn) {
    PixelSink sink(maxSide);
    PngSource source{};
    source.mayGoOn = &mayGoOn;
    if (!decodePNGInto(bytes, sink, source)) {
        setError(error, std::string("PNG: ") + (source.message[0] ? source.message : "out of memory"));
        return nullptr;
    }
    return sink.finish(scale);
}

// ---- JPEG ---------------------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool ownMessage; // set by our own checks rather than libjpeg
    const std::function<bool()>* mayGoOn;
};

void jpegErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

[[noreturn]] void jpegGiveUp(JpegError& err, const char* message) {
    std::snprintf(err.message, sizeof err.message, "%s", message);
    err.ownMessage = true;
    std::longjmp(err.jump, 1);
}

// Called as the decoder goes, row after row of every scan, and before each scan's first row.
void jpegProgress(j_common_ptr info) {
    auto& err = *reinterpret_cast<JpegError*>(info->err);
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > UIImage::kMaxJPEGScans) {
        char message[64];
        std::snprintf(message, sizeof message, "more than %d scans", UIImage::kMaxJPEGScans);
        jpegGiveUp(err, message);
    }
    if (*err.mayGoOn && !(*err.mayGoOn)()) jpegGiveUp(err, "stopped");
}

void jpegSilence(j_common_ptr, int) {}

// libjpeg's default handler prints and exits the process; ours jumps back with the message.
jpeg_error_mgr* jpegErrors(JpegError& err) {
    jpeg_error_mgr* manager = jpeg_std_error(&err.manager);
    manager->error_exit = jpegErrorExit;
    manager->emit_message = jpegSilence;
    return manager;
}

// Decodes into `sink`, letting libjpeg itself reduce by 1/2, 1/4 or 1/8 as far as the size asked
// for allows (its cheapest reduction), the sink the rest. Only plain data lives in this frame
// across setjmp; the row buffer is libjpeg's own.
bool decodeJPEGInto(const Data& bytes, PixelSink& sink, int maxSide, char* message,
                    const std::function<bool()>& mayGoOn) {
    jpeg_decompress_struct info{};
    JpegError err{};
    info.err = jpegErrors(err);
    err.mayGoOn = &mayGoOn;
    err.progress.progress_monitor = jpegProgress;
    if (setjmp(err.jump)) {
        // Memory past the limit is asked for as backing store, which there is none of.
        if (!err.ownMessage && err.manager.msg_code == JERR_NO_BACKING_STORE)
            std::snprintf(message, JMSG_LENGTH_MAX, "%s %ld MB", kTooMuchMemory, kMaxJPEGDecodingBytes >> 20);
        else
            std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    // Set after creating, which clears everything but the error handler.
    info.progress = &err.progress;
    info.mem->max_memory_to_use = kMaxJPEGDecodingBytes;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!sizeAcceptable(info.image_width, info.image_height)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", kTooManyPixels);
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    int wantedWidth = 0, wantedHeight = 0;
    reducedSize(static_cast<int>(info.image_width), static_cast<int>(info.image_height), maxSide, wantedWidth,
                wantedHeight);
    for (unsigned denominator : {8u, 4u, 2u}) {
        if ((info.image_width + denominator - 1) / denominator >= static_cast<unsigned>(wantedWidth) &&
            (info.image_height + denominator - 1) / denominator >= static_cast<unsigned>(wantedHeight)) {
            info.scale_num = 1;
            info.scale_denom = denominator;
            break;
        }
    }
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width), n = info.output_components;
    if (!sink.begin(static_cast<int>(info.image_width), static_cast<int>(info.image_height), width,
                    static_cast<int>(info.output_height), true)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "out of memory");
        jpeg_destroy_decompress(&info);
        return false;
    }
    JSAMPARRAY buffer = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                  static_cast<JDIMENSION>(width * n), 1);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        jpeg_read_scanlines(&info, buffer, 1);
        std::uint32_t* pixels = sink.scratch();
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = buffer[0] + static_cast<std::size_t>(x) * n;
            unsigned r, g, b;
            if (cmyk && n == 4) {
                // Adobe writes CMYK JPEGs inverted.
                r = p[0] * p[3] / 255;
                g = p[1] * p[3] / 255;
                b = p[2] * p[3] / 255;
            } else if (n >= 3) {
                r = p[0];
                g = p[1];
                b = p[2];
            } else {
                r = g = b = p[0];
            }
            pixels[x] = premultiplied(r, g, b, 255);
        }
        sink.put(y, 0, 1, pixels, width);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

cairo_surface_t* decodeJPEG(const Data& bytes, int maxSide, CGFloat& scale, std::string* error,
                            const std::function<bool()>& mayGoOn) {
    PixelSink sink(maxSide);
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeJPEGInto(bytes, sink, maxSide, message, mayGoOn)) {
        setError(error, std::string("JPEG: ") + message);
        return nullptr;
    }
    return sink.finish(scale);
}

bool encodeJPEGFrom(const std::vector<unsigned char>& rgb, int width, int height, int quality,
                    unsigned char** out, unsigned long* size, char* message) {
    jpeg_compress_struct info{};
    JpegError err{};
    info.err = jpegErrors(err);
    if (setjmp(err.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<std::size_t>(info.next_scanline) * width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

CGFloat scaleFromFileName(const std::filesystem::path& path) {
    const std::string stem = path.stem().string();
    if (stem.size() > 3 && stem.compare(stem.size() - 3, 3, "@3x") == 0) return 3;
    if (stem.size() > 3 && stem.compare(stem.size() - 3, 3, "@2x") == 0) return 2;
    return 1;
}

bool isRegularFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

// Named images are kept once decoded, as the platform keeps them: a table shows the same icons
// row after row, and decoding them for every row that scrolls in costs frames. A file written
// again since is read again; the least recently used go once their pixels pass the bound.
class NamedImages {
public:
    std::shared_ptr<UIImage> load(const std::filesystem::path& path) {
        std::error_code ec;
        const auto written = std::filesystem::last_write_time(path, ec);
        if (ec) return nullptr;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec) return nullptr;
        const std::string key = path.string();
        {
            std::lock_guard lock(mutex_);
            if (auto it = kept_.find(key); it != kept_.end()) {
                if (it->second.written == written && it->second.size == size) {
                    it->second.used = ++clock_;
                    return it->second.image;
                }
                drop(it);
            }
        }
        auto image = UIImage::fromFile(path);
        if (!image) return nullptr;
        const std::size_t bytes = static_cast<std::size_t>(image->pixelWidth()) *
                                  static_cast<std::size_t>(image->pixelHeight()) * 4;
        if (bytes > kBound) return image;
        std::lock_guard lock(mutex_);
        if (auto it = kept_.find(key); it != kept_.end()) drop(it);
        while (bytes_ + bytes > kBound) {
            auto oldest = std::min_element(kept_.begin(), kept_.end(),
                                           [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
            drop(oldest);
        }
        kept_.emplace(key, Kept{written, size, image, bytes, ++clock_});
        bytes_ += bytes;
        return image;
    }

private:
    static constexpr std::size_t kBound = 32u << 20;
    struct Kept {
        std::filesystem::file_time_type written;
        std::uintmax_t size;
        std::shared_ptr<UIImage> image;
        std::size_t bytes;
        std::uint64_t used;
    };
    void drop(std::unordered_map<std::string, Kept>::iterator it) {
        bytes_ -= it->second.bytes;
        kept_.erase(it);
    }
    std::mutex mutex_;
    std::unordered_map<std::string, Kept> kept_;
    std::size_t bytes_ = 0;
    std::uint64_t clock_ = 0;
};

NamedImages& namedImages() {
    static NamedImages* images = new NamedImages();
    return *images;
}

} // namespace

// Images never change after this, so their pixels are flushed once here and then only read,
// from any thread.
UIImage::UIImage(Passkey, cairo_surface_t* surface, CGFloat scale) : surface_(surface), scale_(scale) {
    cairo_surface_flush(surface_);
}

UIImage::~UIImage() {
    cairo_surface_destroy(surface_);
}

std::shared_ptr<UIImage> UIImage::fromSurface(cairo_surface_t* surface, CGFloat scale) {
    if (!surface) return nullptr;
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
    return std::make_shared<UIImage>(Passkey{}, surface, scale);
}

std::shared_ptr<UIImage> UIImage::fromData(const Data& bytes, CGFloat scale, std::string* error, int maxPixelSide,
                                           const std::function<bool()>& mayGoOn) {
    static constexpr unsigned char kPNG[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    cairo_surface_t* s = nullptr;
    if (bytes.size() >= 8 && std::equal(kPNG, kPNG + 8, bytes.begin())) {
        s = decodePNG(bytes, maxPixelSide, scale, error, mayGoOn);
    } else if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        s = decodeJPEG(bytes, maxPixelSide, scale, error, mayGoOn);
    } else {
        setError(error, bytes.empty() ? "no image data" : "not a PNG or JPEG image");
    }
    return fromSurface(s, scale);
}

bool UIImage::isRefusedForItsSize(const std::string& error) {
    return error.ends_with(kTooManyPixels) || error.find(kTooMuchMemory) != std::string::npos;
}

std::shared_ptr<UIImage> UIImage::fromFile(const std::filesystem::path& path, std::string* error,
                                           int maxPixelSide) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        setError(error, "cannot open " + path.string());
        return nullptr;
    }
    Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return fromData(bytes, scaleFromFileName(path), error, maxPixelSide);
}

void UIImage::setResourceDirectory(const std::filesystem::path& directory) {
    std::lock_guard lock(resourceMutex);
    resourceDir = directory;
}

std::filesystem::path UIImage::resourceDirectory() {
    std::lock_guard lock(resourceMutex);
    return resourceDir;
}

std::shared_ptr<UIImage> UIImage::named(const std::string& name) {
    // A name is one file name: anything that could leave the resources folder finds nothing.
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
        name == "." || name == "..")
        return nullptr;
    const std::filesystem::path dir = resourceDirectory();
    if (dir.empty()) return nullptr;
    const std::string candidates[] = {name + "@2x.png", name + "@3x.png", name + ".png",
                                      name + ".jpg",    name + ".jpeg",   name};
    for (const auto& file : candidates) {
        const auto path = dir / file;
        if (isRegularFile(path))
            if (auto image = namedImages().load(path)) return image;
    }
    // An asset folder: prefer the @2x file, then any PNG or JPEG in it.
    std::error_code ec;
    const auto assets = dir / (name + ".imageset");
    if (std::filesystem::is_directory(assets, ec)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(assets, ec))
            if (entry.is_regular_file(ec)) files.push_back(entry.path());
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
            const bool a2 = scaleFromFileName(a) == 2, b2 = scaleFromFileName(b) == 2;
            return a2 != b2 ? a2 : a < b;
        });
        for (const auto& f : files) {
            const auto ext = f.extension().string();
            if (ext == ".png" || ext == ".jpg" || ext == ".jpeg")
                if (auto image = namedImages().load(f)) return image;
        }
    }
    return nullptr;
}

std::shared_ptr<UIImage> UIImage::fromPixels(int w, int h, CGFloat scale, const std::uint32_t* pixels,
                                             int stride) {
    if (!pixels || !sizeAcceptable(w, h)) return nullptr;
    if (stride <= 0) stride = w * 4;
    cairo_surface_t* s = newSurface(w, h);
    if (!s) return nullptr;
    unsigned char* data = cairo_image_surface_get_data(s);
    const int dst = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * dst,
                    reinterpret_cast<const unsigned char*>(pixels) + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(w) * 4);
    cairo_surface_mark_dirty(s);
    return fromSurface(s, scale);
}

CGSize UIImage::size() const {
    return {pixelWidth() / scale_, pixelHeight() / scale_};
}
int UIImage::pixelWidth() const {
    return cairo_image_surface_get_width(surface_);
}
int UIImage::pixelHeight() const {
    return cairo_image_surface_get_height(surface_);
}

std::uint32_t UIImage::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return 0;
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) *
                                                             cairo_image_surface_get_stride(surface_))[x];
}

UIColor UIImage::pixelColor(int x, int y) const {
    const std::uint32_t p = pixel(x, y);
    const unsigned a = p >> 24;
    if (a == 0) return UIColor(0, 0, 0, 0);
    auto un = [a](unsigned c) { return std::min(1.0, static_cast<CGFloat>(c) / a); };
    return UIColor(un((p >> 16) & 0xFF), un((p >> 8) & 0xFF), un(p & 0xFF), a / 255.0);
}

std::optional<Data> UIImage::jpegData(CGFloat quality, std::string* error) const {
    const int w = pixelWidth(), h = pixelHeight();
    if (w <= 0 || h <= 0) {
        setError(error, "JPEG: the image has no pixels");
        return std::nullopt;
    }
    if (std::isnan(quality)) quality = 0;
    const int q = std::clamp(static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)), 1, 100);
    // Premultiplied colour is the colour composed onto black.
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            unsigned char* o = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            o[0] = static_cast<unsigned char>((row[x] >> 16) & 0xFF);
            o[1] = static_cast<unsigned char>((row[x] >> 8) & 0xFF);
            o[2] = static_cast<unsigned char>(row[x] & 0xFF);
        }
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = encodeJPEGFrom(rgb, w, h, q, &out, &size, message);
    std::optional<Data> result;
    if (ok && out && size > 0)
        result = Data(out, out + size);
    else
        setError(error, std::string("JPEG: ") + (message[0] ? message : "encoding failed"));
    std::free(out);
    return result;
}

std::optional<Data> UIImage::pngData(std::string* error) const {
    const int w = pixelWidth(), h = pixelHeight();
    if (w <= 0 || h <= 0) {
        setError(error, "PNG: the image has no pixels");
        return std::nullopt;
    }
    const auto rgba = rgbaBytes(surface_);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
        setError(error, std::string("PNG: ") + image.message);
        return std::nullopt;
    }
    Data out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) {
        setError(error, std::string("PNG: ") + image.message);
        return std::nullopt;
    }
    out.resize(size);
    return out;
}

bool UIImage::writePNG(const std::filesystem::path& path, std::string* error) const {
    const auto bytes = pngData(error);
    if (!bytes) return false;
    std::filesystem::path temp = path;
    temp += ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            setError(error, "cannot write " + path.string());
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        if (!out.flush()) {
            setError(error, "cannot write " + path.string());
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        setError(error, "cannot write " + path.string() + ": " + ec.message());
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

void UIImage::draw(CGPoint point) const {
    draw(CGRect{point, size()});
}

void UIImage::draw(const CGRect& rect, CGFloat alpha) const {
    CGContext* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->saveGState();
    c->setAlpha(c->alpha() * alpha);
    c->draw(*this, rect);
    c->restoreGState();
}

void cw::prepareNamedImages(std::vector<std::string> names, std::function<void()> done) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    DispatchQueue::global(DispatchQoS::utility).async([names = std::move(names), done = std::move(done)]() mutable {
        for (const auto& name : names)
            UIImage::named(name);
        if (done) DispatchQueue::main().async(std::move(done));
    });
}
