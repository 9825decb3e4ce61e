#include "server/Pictures.h"

#include "server/Database.h"
#include "server/Http.h"
#include "server/Quotas.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace cw::server {

namespace {

struct Colour {
    double r, g, b;
};

const Colour kPalette[] = {
    {0.18, 0.62, 0.51}, {0.53, 0.77, 0.96}, {0.94, 0.67, 0.88}, {0.98, 0.80, 0.45},
    {0.59, 0.85, 0.92}, {0.95, 0.69, 0.76}, {0.62, 0.80, 0.55}, {0.80, 0.72, 0.93},
};

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
public:
    // Transparent until something is painted on it.
    Canvas(int w, int h) : w_(w), h_(h), pixels_(static_cast<size_t>(w * h * 4)) {}

    void gradient(Colour top, Colour bottom) {
        for (int y = 0; y < h_; ++y) {
            Colour c = mix(top, bottom, h_ > 1 ? double(y) / (h_ - 1) : 0);
            for (int x = 0; x < w_; ++x)
                set(x, y, c, 1);
        }
    }

    // An anti-aliased filled ellipse blended with the given opacity.
    void ellipse(double cx, double cy, double rx, double ry, Colour c, double opacity = 1) {
        int x0 = std::max(0, int(cx - rx - 1)), x1 = std::min(w_ - 1, int(cx + rx + 1));
        int y0 = std::max(0, int(cy - ry - 1)), y1 = std::min(h_ - 1, int(cy + ry + 1));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                double d = std::sqrt(dx * dx + dy * dy);
                double edge = std::clamp((1 - d) * std::min(rx, ry), 0.0, 1.0);
                if (edge > 0) set(x, y, c, edge * opacity);
            }
    }

    // A picture whose every pixel is opaque is written without an alpha channel.
    std::string png() const {
        bool opaque = true;
        for (size_t i = 3; i < pixels_.size() && opaque; i += 4)
            opaque = pixels_[i] >= 1;
        const size_t channels = opaque ? 3 : 4;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = static_cast<png_uint_32>(w_);
        image.height = static_cast<png_uint_32>(h_);
        image.format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
        std::vector<unsigned char> bytes(static_cast<size_t>(w_ * h_) * channels);
        for (size_t p = 0, n = static_cast<size_t>(w_ * h_); p < n; ++p)
            for (size_t k = 0; k < channels; ++k)
                bytes[p * channels + k] =
                    static_cast<unsigned char>(std::lround(std::clamp(pixels_[p * 4 + k], 0.0, 1.0) * 255));
        // Encoded once, into room for the largest it can be, and quickly: a fresh demo draws some
        // ninety pictures before it answers.
        image.flags = PNG_IMAGE_FLAG_FAST;
        std::string out(PNG_IMAGE_PNG_SIZE_MAX(image), '\0');
        png_alloc_size_t size = out.size();
        if (!png_image_write_to_memory(&image, out.data(), &size, 0, bytes.data(), 0, nullptr))
            throw std::runtime_error("cannot encode a picture");
        out.resize(size);
        return out;
    }

private:
    // Paints `c` over the pixel with the given coverage (colours not premultiplied).
    void set(int x, int y, Colour c, double alpha) {
        double* p = &pixels_[static_cast<size_t>((y * w_ + x) * 4)];
        const double below = p[3] * (1 - alpha);
        const double out = alpha + below;
        if (out <= 0) return;
        p[0] = (c.r * alpha + p[0] * below) / out;
        p[1] = (c.g * alpha + p[1] * below) / out;
        p[2] = (c.b * alpha + p[2] * below) / out;
        p[3] = out;
    }

    int w_, h_;
    std::vector<double> pixels_;
};

} // namespace

std::string drawPicture(int width, int height, uint32_t seed, PictureStyle style) {
    if (width <= 0 || height <= 0 || width > 2048 || height > 2048)
        throw std::invalid_argument("picture size");
    Canvas canvas(width, height);
    const Colour white{1, 1, 1};
    Colour a = kPalette[seed % 8], b = kPalette[(seed / 8 + 3) % 8];
    double w = width, h = height, s = std::min(w, h);
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1 << 24);
    };

    switch (style) {
    case PictureStyle::Scene:
        canvas.gradient(mix(a, white, 0.45), mix(b, white, 0.15));
        for (int i = 0; i < 6; ++i)
            canvas.ellipse(next() * w, next() * h, s * (0.12 + next() * 0.25), s * (0.12 + next() * 0.25),
                           mix(kPalette[(seed + i) % 8], white, 0.3), 0.55);
        canvas.ellipse(w * 0.5, h * 1.05, w * 0.75, h * 0.35, mix(a, Colour{0, 0, 0}, 0.15), 0.5);
        break;
    case PictureStyle::Baby: {
        canvas.gradient(mix(a, white, 0.6), mix(a, white, 0.3));
        Colour skin{0.98, 0.86, 0.76}, line{0.45, 0.32, 0.28};
        canvas.ellipse(w * 0.5, h * 0.95, w * 0.42, h * 0.3, mix(b, white, 0.4)); // blanket
        canvas.ellipse(w * 0.5, h * 0.52, s * 0.3, s * 0.32, skin);               // face
        canvas.ellipse(w * 0.5, h * 0.24, s * 0.22, s * 0.1, mix(a, white, 0.1)); // cap
        canvas.ellipse(w * 0.4, h * 0.5, s * 0.05, s * 0.012, line);              // closed eyes
        canvas.ellipse(w * 0.6, h * 0.5, s * 0.05, s * 0.012, line);
        canvas.ellipse(w * 0.35, h * 0.6, s * 0.05, s * 0.03, Colour{0.97, 0.66, 0.66}, 0.6);
        canvas.ellipse(w * 0.65, h * 0.6, s * 0.05, s * 0.03, Colour{0.97, 0.66, 0.66}, 0.6);
        canvas.ellipse(w * 0.5, h * 0.66, s * 0.03, s * 0.015, line, 0.8);
        break;
    }
    case PictureStyle::Person: {
        canvas.gradient(mix(a, white, 0.5), mix(a, white, 0.2));
        Colour skin = mix(Colour{0.96, 0.82, 0.7}, Colour{0.55, 0.38, 0.27}, next() * 0.8);
        canvas.ellipse(w * 0.5, h * 1.0, w * 0.38, h * 0.32, mix(b, Colour{0, 0, 0}, 0.2)); // shoulders
        canvas.ellipse(w * 0.5, h * 0.42, s * 0.2, s * 0.23, skin);                         // head
        canvas.ellipse(w * 0.5, h * 0.27, s * 0.22, s * 0.12, mix(skin, Colour{0.2, 0.12, 0.08}, 0.75));
        break;
    }
    case PictureStyle::Icon:
        // An icon is its disc alone: what lies around it is clear, so the icon sits on whatever
        // the row behind it shows (white, or the grey of a row being touched).
        canvas.ellipse(w * 0.5, h * 0.5, s * 0.46, s * 0.46, a);
        canvas.ellipse(w * 0.5, h * 0.5, s * 0.3, s * 0.3, white);
        canvas.ellipse(w * 0.5, h * 0.5, s * 0.18, s * 0.18, b);
        break;
    }
    return canvas.png();
}

namespace {

using Clock = std::chrono::steady_clock;

// The decoding of one picture, as far as it went.
struct Reading {
    const PictureBounds& bounds;
    Clock::time_point deadline;
    PictureVerdict fault = PictureVerdict::NotAPicture;

    bool sizeAllowed(uint64_t width, uint64_t height) const {
        return width > 0 && height > 0 && width <= static_cast<uint64_t>(bounds.maxSide) &&
               height <= static_cast<uint64_t>(bounds.maxSide) &&
               width * height <= static_cast<uint64_t>(bounds.maxPixels);
    }
};

struct JpegFailure {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    Reading* reading;
};

JpegFailure& failureOf(j_common_ptr info) {
    return *reinterpret_cast<JpegFailure*>(info->err);
}

[[noreturn]] void jpegFailed(j_common_ptr info) {
    JpegFailure& failure = failureOf(info);
    // libjpeg's own refusal to hold more than its memory limit (it has nowhere else to keep the rest).
    if (info->err->msg_code == JERR_NO_BACKING_STORE || info->err->msg_code == JERR_OUT_OF_MEMORY)
        failure.reading->fault = PictureVerdict::TooLarge;
    std::longjmp(failure.jump, 1);
}

[[noreturn]] void jpegGaveUp(j_common_ptr info, PictureVerdict fault) {
    JpegFailure& failure = failureOf(info);
    failure.reading->fault = fault;
    std::longjmp(failure.jump, 1);
}

// A warning means damaged data (a cut-off file among them): not a picture we keep.
void jpegWarning(j_common_ptr info, int level) {
    if (level < 0) std::longjmp(failureOf(info).jump, 1);
}

// Called as the decoder goes, row after row of every scan: a progressive picture may hold thousands
// of scans, each a pass over the whole picture.
void jpegProgress(j_common_ptr info) {
    const Reading& reading = *failureOf(info).reading;
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > reading.bounds.maxScans) jpegGaveUp(info, PictureVerdict::TooComplex);
    if (Clock::now() >= reading.deadline) jpegGaveUp(info, PictureVerdict::TooSlow);
}

// Decoding happens in functions of their own, below the ones that call setjmp, so that nothing the
// jump skips over is a local of the function it returns to.
void readJpeg(jpeg_decompress_struct& info, jpeg_progress_mgr* progress, std::vector<unsigned char>& row,
              const std::string& bytes, const Reading& reading) {
    jpeg_create_decompress(&info);
    // Set after creating, which clears everything but the error handler.
    info.progress = progress;
    info.mem->max_memory_to_use = reading.bounds.maxMemory;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) jpegFailed(reinterpret_cast<j_common_ptr>(&info));
    if (!reading.sizeAllowed(info.image_width, info.image_height))
        jpegGaveUp(reinterpret_cast<j_common_ptr>(&info), PictureVerdict::TooLarge);
    // Scaled down: every coefficient is still decoded, at a fraction of the work of drawing the pixels.
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    row.resize(static_cast<size_t>(info.output_width) * static_cast<size_t>(info.output_components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
}

PictureVerdict jpegVerdict(const std::string& bytes, Reading& reading) {
    jpeg_decompress_struct info{};
    JpegFailure failure{};
    failure.reading = &reading;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpegFailed;
    failure.manager.emit_message = jpegWarning;
    failure.progress.progress_monitor = jpegProgress;
    std::vector<unsigned char> row;
    PictureVerdict verdict = PictureVerdict::Decodes;
    if (!setjmp(failure.jump))
        readJpeg(info, &failure.progress, row, bytes, reading);
    else
        verdict = reading.fault;
    jpeg_destroy_decompress(&info);
    return verdict;
}

struct PngSource {
    const std::string* bytes;
    Reading* reading;
    size_t offset = 0;
    std::vector<unsigned char> row;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->bytes->size() - source->offset < length) png_error(png, "the picture ends early");
    std::memcpy(out, source->bytes->data() + source->offset, length);
    source->offset += length;
}

void pngWarning(png_structp, png_const_charp) {}

// A refusal is the request's answer; libpng's own handler would also print it, a console line for
// every broken picture anybody sends, counted in none of the console's bounds.
[[noreturn]] void pngFailed(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void readPng(png_structp png, png_infop info, png_infop end, PngSource& source) {
    png_set_read_fn(png, &source, pngRead);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (!source.reading->sizeAllowed(width, height)) {
        source.reading->fault = PictureVerdict::TooLarge;
        png_error(png, "the picture is too large");
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    source.row.resize(png_get_rowbytes(png, info));
    // Row by row into one row's memory: every row is inflated and unfiltered, none is kept.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            if (Clock::now() >= source.reading->deadline) {
                source.reading->fault = PictureVerdict::TooSlow;
                png_error(png, "the picture takes too long to read");
            }
            png_read_row(png, source.row.data(), nullptr);
        }
    png_read_end(png, end);
}

PictureVerdict pngVerdict(const std::string& bytes, Reading& reading) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarning);
    if (!png) return PictureVerdict::NotAPicture;
    png_infop info = png_create_info_struct(png);
    png_infop end = png_create_info_struct(png);
    PngSource source{&bytes, &reading, 0, {}};
    PictureVerdict verdict = PictureVerdict::NotAPicture;
    if (info && end && !setjmp(png_jmpbuf(png))) {
        readPng(png, info, end, source);
        verdict = PictureVerdict::Decodes;
    } else if (info && end) {
        verdict = reading.fault;
    }
    png_destroy_read_struct(&png, &info, &end);
    return verdict;
}

// Each sender's turn to have a picture decoded (one at a time, a few more waiting), and its group's
// count of pictures held; held only while one of their pictures is, so never more than the workers.
class SenderTurns {
public:
    enum class Outcome { Taken, Crowded, GroupCrowded, TimedOut };

    Outcome take(const std::string& sender, const std::string& group, Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (!group.empty()) {
            int& held = groups_[group];
            if (held >= kPicturesPerSenderGroup) return Outcome::GroupCrowded;
            ++held;
        }
        Sender& own = senders_[sender];
        if (!own.decoding) {
            own.decoding = true;
            return Outcome::Taken;
        }
        if (own.waiting >= kPictureWaitsPerSender) {
            leave(group);
            return Outcome::Crowded;
        }
        ++own.waiting;
        ++waiting_;
        // References to the table's entries stay valid as it grows.
        const bool free = freed_.wait_until(lock, deadline, [&own] { return !own.decoding; });
        --own.waiting;
        --waiting_;
        if (!free) {
            leave(group);
            return Outcome::TimedOut;
        }
        own.decoding = true;
        return Outcome::Taken;
    }

    void give(const std::string& sender, const std::string& group) {
        {
            std::lock_guard lock(mutex_);
            auto found = senders_.find(sender);
            found->second.decoding = false;
            if (found->second.waiting == 0) senders_.erase(found);
            leave(group);
        }
        freed_.notify_all();
    }

    size_t waiting() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

private:
    struct Sender {
        bool decoding = false;
        int waiting = 0;
    };
    // A picture of the group's is held no more (mutex_ held).
    void leave(const std::string& group) {
        if (group.empty()) return;
        auto found = groups_.find(group);
        if (--found->second == 0) groups_.erase(found);
    }

    std::mutex mutex_;
    std::condition_variable freed_;
    std::unordered_map<std::string, Sender> senders_;
    std::unordered_map<std::string, int> groups_;
    size_t waiting_ = 0;
};

SenderTurns& senderTurns() {
    static SenderTurns turns;
    return turns;
}

// A sender's turn held for the life of a decoding.
class SenderTurn {
public:
    SenderTurn(const PictureBounds& bounds, Clock::time_point deadline) : bounds_(bounds) {
        if (!bounds_.sender.empty()) outcome_ = senderTurns().take(bounds_.sender, bounds_.senderGroup, deadline);
    }
    ~SenderTurn() {
        if (!bounds_.sender.empty() && outcome_ == SenderTurns::Outcome::Taken)
            senderTurns().give(bounds_.sender, bounds_.senderGroup);
    }
    SenderTurn(const SenderTurn&) = delete;
    SenderTurn& operator=(const SenderTurn&) = delete;
    SenderTurns::Outcome outcome() const { return outcome_; }

private:
    const PictureBounds& bounds_;
    SenderTurns::Outcome outcome_ = SenderTurns::Outcome::Taken;
};

} // namespace

Gate& pictureDecodingGate() {
    static Gate gate(kPictureDecodingPlaces, std::chrono::milliseconds(10));
    return gate;
}

size_t picturesWaitingForTheirSenders() {
    return senderTurns().waiting();
}

std::optional<PictureKind> pictureKind(const std::string& bytes) {
    if (bytes.size() > 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF)
        return PictureKind::Jpeg;
    if (bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return PictureKind::Png;
    return std::nullopt;
}

PictureVerdict checkPicture(const std::string& bytes, PictureKind kind, const PictureBounds& bounds) {
    if (Transaction::openOnThisThread())
        throw std::logic_error("a picture is being decoded inside a write transaction");
    // The sender's own turn first: her other pictures wait behind her first, not in the places of
    // other senders' pictures.
    const auto deadline = Clock::now() + bounds.patience;
    SenderTurn own(bounds, deadline);
    if (own.outcome() == SenderTurns::Outcome::Crowded) return PictureVerdict::SenderBusy;
    if (own.outcome() == SenderTurns::Outcome::GroupCrowded) return PictureVerdict::GroupBusy;
    if (own.outcome() == SenderTurns::Outcome::TimedOut) return PictureVerdict::Busy;
    Gate::Turn turn(pictureDecodingGate(),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::max(deadline - Clock::now(), Clock::duration::zero())),
                    bounds.claimant);
    if (!turn) return PictureVerdict::Busy;
    if (bounds.started) bounds.started();
    Reading reading{bounds, Clock::now() + bounds.maxTime};
    return kind == PictureKind::Jpeg ? jpegVerdict(bytes, reading) : pngVerdict(bytes, reading);
}

PictureKind requirePicture(const std::string& bytes, const std::string& field, const PictureBounds& bounds) {
    const std::string name = "The picture \"" + field + "\"";
    auto kind = pictureKind(bytes);
    if (!kind) throw HttpError(415, name + " is not a JPEG or PNG image.");
    switch (checkPicture(bytes, *kind, bounds)) {
    case PictureVerdict::Decodes:
        return *kind;
    case PictureVerdict::NotAPicture:
        throw HttpError(415, name + " is not a JPEG or PNG image.");
    case PictureVerdict::TooLarge:
        throw HttpError(413, name + " is too large to read: at most " + std::to_string(bounds.maxSide) +
                                 " pixels a side and " + std::to_string(bounds.maxPixels / 1'000'000) +
                                 " million pixels, and " + std::to_string(bounds.maxMemory / (1024 * 1024)) +
                                 " MB to decode.");
    case PictureVerdict::TooSlow:
        throw HttpError(413, name + " takes too long to read: at most " +
                                 std::to_string(bounds.maxTime.count() / 1000) +
                                 " seconds of decoding. Please send a smaller picture.");
    case PictureVerdict::TooComplex:
        throw HttpError(415, name + " is encoded in more than " + std::to_string(bounds.maxScans) +
                                 " scans; please send an ordinary JPEG or PNG.");
    case PictureVerdict::SenderBusy:
        throw HttpError(429, "Your other pictures are still being read. Please try again in a moment.");
    case PictureVerdict::GroupBusy:
        throw HttpError(429, "Too many pictures from this network are being read. Please try again in a moment.");
    case PictureVerdict::Busy:
        break;
    }
    throw HttpError(429, "The server is busy reading other pictures. Please try again in a moment.");
}

} // namespace cw::server
