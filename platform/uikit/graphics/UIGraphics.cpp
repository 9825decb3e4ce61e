#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace cw::detail {
void setCairoPath(cairo_t* cr, const UIBezierPath& path);
} // namespace cw::detail

namespace {

struct ImageContext {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    std::unique_ptr<CGContext> context;
    CGFloat scale = 1;

    ~ImageContext() {
        context.reset();
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }
};

thread_local std::vector<CGContext*> contextStack;
thread_local std::vector<std::unique_ptr<ImageContext>> imageContexts;

cairo_operator_t cairoOperator(CGBlendMode mode) {
    switch (mode) {
    case CGBlendMode::normal:
        return CAIRO_OPERATOR_OVER;
    case CGBlendMode::multiply:
        return CAIRO_OPERATOR_MULTIPLY;
    case CGBlendMode::screen:
        return CAIRO_OPERATOR_SCREEN;
    case CGBlendMode::overlay:
        return CAIRO_OPERATOR_OVERLAY;
    case CGBlendMode::clear:
        return CAIRO_OPERATOR_CLEAR;
    case CGBlendMode::copy:
        return CAIRO_OPERATOR_SOURCE;
    case CGBlendMode::sourceIn:
        return CAIRO_OPERATOR_IN;
    case CGBlendMode::sourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case CGBlendMode::destinationIn:
        return CAIRO_OPERATOR_DEST_IN;
    case CGBlendMode::destinationOut:
        return CAIRO_OPERATOR_DEST_OUT;
    }
    return CAIRO_OPERATOR_OVER;
}

std::unique_ptr<ImageContext> makeImageContext(CGSize size, bool opaque, CGFloat scale) {
    if (!(scale > 0) || !std::isfinite(scale)) scale = kMainScreenScale;
    auto pixels = [&](CGFloat points) {
        const CGFloat px = std::ceil(std::max(0.0, points) * scale);
        return std::isfinite(px) ? static_cast<int>(std::min(px, 16384.0)) : 0;
    };
    auto ic = std::make_unique<ImageContext>();
    ic->scale = scale;
    ic->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(size.width), pixels(size.height));
    ic->cr = cairo_create(ic->surface);
    if (opaque) {
        cairo_set_source_rgb(ic->cr, 0, 0, 0);
        cairo_paint(ic->cr);
    }
    cairo_scale(ic->cr, scale, scale);
    ic->context = std::make_unique<CGContext>(ic->cr);
    return ic;
}

std::shared_ptr<UIImage> snapshot(const ImageContext& ic) {
    cairo_surface_flush(ic.surface);
    const int w = cairo_image_surface_get_width(ic.surface), h = cairo_image_surface_get_height(ic.surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(copy);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, ic.surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return UIImage::fromSurface(copy, ic.scale);
}

} // namespace

// ---- CGContext ----------------------------------------------------------------------------

CGContext::CGContext(cairo_t* cr) : cr_(cairo_reference(cr)) {}

CGContext::~CGContext() {
    cairo_destroy(cr_);
}

void CGContext::saveGState() {
    cairo_save(cr_);
    fill_.push_back(fill_.back());
    stroke_.push_back(stroke_.back());
    alpha_.push_back(alpha_.back());
}

void CGContext::restoreGState() {
    if (fill_.size() <= 1) return; // unbalanced restore: ignored rather than corrupting the state
    cairo_restore(cr_);
    fill_.pop_back();
    stroke_.pop_back();
    alpha_.pop_back();
}

void CGContext::translateBy(CGFloat x, CGFloat y) {
    cairo_translate(cr_, x, y);
}
void CGContext::scaleBy(CGFloat sx, CGFloat sy) {
    if (sx != 0 && sy != 0) cairo_scale(cr_, sx, sy);
}
void CGContext::rotate(CGFloat angle) {
    cairo_rotate(cr_, angle);
}

void CGContext::concatenate(const CGAffineTransform& t) {
    if (t.a * t.d - t.b * t.c == 0) return; // Cairo cannot hold a singular matrix
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(cr_, &m);
}

CGAffineTransform CGContext::currentTransform() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void CGContext::setFillColor(const UIColor& c) {
    fill_.back() = c;
}
void CGContext::setStrokeColor(const UIColor& c) {
    stroke_.back() = c;
}
void CGContext::setLineWidth(CGFloat w) {
    cairo_set_line_width(cr_, std::max(0.0, w));
}
void CGContext::setAlpha(CGFloat alpha) {
    alpha_.back() = std::clamp(alpha, 0.0, 1.0);
}
void CGContext::setBlendMode(CGBlendMode mode) {
    cairo_set_operator(cr_, cairoOperator(mode));
}

void CGContext::source(const UIColor& c) {
    cairo_set_source_rgba(cr_, c.clampedRed(), c.clampedGreen(), c.clampedBlue(),
                          c.clampedAlpha() * alpha_.back());
}

void CGContext::fill(const CGRect& r) {
    if (r.isNull()) return;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    source(fill_.back());
    cairo_fill(cr_);
}

void CGContext::stroke(const CGRect& r) {
    if (r.isNull()) return;
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    source(stroke_.back());
    cairo_stroke(cr_);
}

void CGContext::clear(const CGRect& r) {
    if (r.isNull()) return;
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void CGContext::fillEllipse(const CGRect& r) {
    fill(UIBezierPath::ovalIn(r));
}

void CGContext::fill(const UIBezierPath& path) {
    cw::detail::setCairoPath(cr_, path);
    cairo_set_fill_rule(cr_, path.usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    source(fill_.back());
    cairo_fill(cr_);
}

void CGContext::stroke(const UIBezierPath& path) {
    cairo_save(cr_);
    cw::detail::setCairoPath(cr_, path);
    cairo_set_line_width(cr_, std::max(0.0, path.lineWidth));
    cairo_set_line_cap(cr_, path.lineCapStyle == CGLineCap::round    ? CAIRO_LINE_CAP_ROUND
                            : path.lineCapStyle == CGLineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                                     : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, path.lineJoinStyle == CGLineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                             : path.lineJoinStyle == CGLineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                       : CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr_, path.miterLimit);
    // A pattern of only zeros (or negatives) would stop Cairo drawing: such a pattern draws solid.
    const bool validDash =
        std::any_of(path.dashPattern.begin(), path.dashPattern.end(), [](CGFloat v) { return v > 0; }) &&
        std::none_of(path.dashPattern.begin(), path.dashPattern.end(), [](CGFloat v) { return v < 0; });
    if (validDash)
        cairo_set_dash(cr_, path.dashPattern.data(), static_cast<int>(path.dashPattern.size()),
                       path.dashPhase);
    source(stroke_.back());
    cairo_stroke(cr_);
    cairo_restore(cr_);
}

void CGContext::clip(const CGRect& r) {
    cairo_new_path(cr_);
    if (r.isNull())
        cairo_rectangle(cr_, 0, 0, 0, 0);
    else
        cairo_rectangle(cr_, r.minX(), r.minY(), r.width(), r.height());
    cairo_clip(cr_);
}

void CGContext::clip(const UIBezierPath& path) {
    cw::detail::setCairoPath(cr_, path);
    cairo_set_fill_rule(cr_, path.usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

void CGContext::drawLinearGradient(const std::vector<UIColor>& colors, const std::vector<CGFloat>& locations,
                                   CGPoint start, CGPoint end) {
    if (colors.empty()) return;
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const CGFloat at = i < locations.size() ? locations[i]
                           : colors.size() == 1
                               ? 0
                               : static_cast<CGFloat>(i) / static_cast<CGFloat>(colors.size() - 1);
        const UIColor& c = colors[i];
        cairo_pattern_add_color_stop_rgba(pattern, std::clamp(at, 0.0, 1.0), c.clampedRed(), c.clampedGreen(),
                                          c.clampedBlue(), c.clampedAlpha() * alpha_.back());
    }
    cairo_set_source(cr_, pattern);
    cairo_paint(cr_);
    cairo_pattern_destroy(pattern);
}

namespace {

// A picture drawn scaled is resampled pixel by pixel (a convolution when it shrinks), which costs
// far more than copying it. A picture shown at one size frame after frame (a card's photo while the
// list scrolls) is therefore resampled once into a copy on the device's pixel grid, kept with the
// picture's pixels, and later frames copy that 1:1. A copy is only made the second time the same
// size and grid offset is asked for, so that a picture whose size animates makes no copies it
// would drop at once.
struct ScaledCopy {
    double width = 0, height = 0;       // the drawn rectangle in device pixels
    double offsetX = 0, offsetY = 0;    // its origin's offset from the pixel grid, in [0, 1)
    cairo_surface_t* surface = nullptr; // none yet: asked for once
};

struct ScaledCopies {
    std::vector<ScaledCopy> copies; // most recently used first
    ~ScaledCopies() {
        for (auto& c : copies)
            if (c.surface) cairo_surface_destroy(c.surface);
    }
};

constexpr std::size_t kScaledCopiesKept = 4;
constexpr double kLargestScaledCopy = 2048.0 * 2048.0; // pixels; larger ones are drawn directly
const cairo_user_data_key_t scaledCopiesKey{};
// Pictures are drawn on queues too (thumbnails made off the main thread).
std::mutex scaledCopiesLock;

// Makes `image`, stretched over `rect` of the user space of `cr`, the source, sampled as every
// drawn picture is (the user space is left moved and scaled to the picture's pixels).
void setStretchedSource(cairo_t* cr, const UIImage& image, const CGRect& rect) {
    cairo_translate(cr, rect.minX(), rect.minY());
    cairo_scale(cr, rect.width() / image.pixelWidth(), rect.height() / image.pixelHeight());
    cairo_set_source_surface(cr, image.surface(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
}

// `image` resampled as drawing it at the device rectangle of `key` would, on a surface whose pixel
// (0, 0) is the device pixel the rectangle's origin falls in.
cairo_surface_t* resample(const UIImage& image, const ScaledCopy& key) {
    const int w = static_cast<int>(std::ceil(key.offsetX + key.width)),
              h = static_cast<int>(std::ceil(key.offsetY + key.height));
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(copy);
    setStretchedSource(cr, image, {key.offsetX, key.offsetY, key.width, key.height});
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy);
    // A copy without a see-through pixel (most photos) is kept without alpha: painted over
    // what lies beneath it is then copied rather than blended.
    const unsigned char* data = cairo_image_surface_get_data(copy);
    const int stride = cairo_image_surface_get_stride(copy);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x)
            if (row[x] >> 24 != 0xFF) return copy;
    }
    cairo_surface_t* opaque = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* to = cairo_image_surface_get_data(opaque);
    const int toStride = cairo_image_surface_get_stride(opaque);
    for (int y = 0; y < h; ++y)
        std::memcpy(to + static_cast<std::ptrdiff_t>(y) * toStride, data + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(w) * 4);
    cairo_surface_mark_dirty(opaque);
    cairo_surface_destroy(copy);
    return opaque;
}

// The kept copy for `key` (a new reference), or none when the picture is to be drawn directly.
cairo_surface_t* scaledCopy(const UIImage& image, const ScaledCopy& key) {
    std::lock_guard lock(scaledCopiesLock);
    cairo_surface_t* pixels = image.surface();
    auto* kept = static_cast<ScaledCopies*>(cairo_surface_get_user_data(pixels, &scaledCopiesKey));
    if (!kept) {
        kept = new ScaledCopies;
        if (cairo_surface_set_user_data(pixels, &scaledCopiesKey, kept,
                                        [](void* p) { delete static_cast<ScaledCopies*>(p); }) !=
            CAIRO_STATUS_SUCCESS) {
            delete kept;
            return nullptr;
        }
    }
    auto& copies = kept->copies;
    const auto same = [&](const ScaledCopy& c) {
        return c.width == key.width && c.height == key.height && c.offsetX == key.offsetX &&
               c.offsetY == key.offsetY;
    };
    auto it = std::find_if(copies.begin(), copies.end(), same);
    if (it == copies.end()) {
        if (copies.size() == kScaledCopiesKept) {
            if (copies.back().surface) cairo_surface_destroy(copies.back().surface);
            copies.pop_back();
        }
        copies.insert(copies.begin(), key);
        return nullptr;
    }
    std::rotate(copies.begin(), it, it + 1);
    ScaledCopy& found = copies.front();
    if (!found.surface) found.surface = resample(image, key);
    return cairo_surface_reference(found.surface);
}

} // namespace

std::size_t scaledCopiesBytes(const UIImage& image) {
    std::lock_guard lock(scaledCopiesLock);
    const auto* kept = static_cast<const ScaledCopies*>(cairo_surface_get_user_data(image.surface(), &scaledCopiesKey));
    std::size_t bytes = 0;
    if (kept)
        for (const auto& copy : kept->copies)
            if (copy.surface)
                bytes += static_cast<std::size_t>(cairo_image_surface_get_stride(copy.surface)) *
                         static_cast<std::size_t>(cairo_image_surface_get_height(copy.surface));
    return bytes;
}

void CGContext::draw(const UIImage& image, const CGRect& rect) {
    if (rect.isEmpty() || image.pixelWidth() == 0 || image.pixelHeight() == 0) return;
    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr_);
    // Where the user space is only scaled and moved, a kept copy on the device's grid stands in.
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    if (m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0) {
        double x = rect.minX(), y = rect.minY();
        cairo_user_to_device(cr_, &x, &y);
        const double gridX = std::floor(x), gridY = std::floor(y);
        const ScaledCopy key{rect.width() * m.xx, rect.height() * m.yy, x - gridX, y - gridY, nullptr};
        const bool resampled = key.width != image.pixelWidth() || key.height != image.pixelHeight() ||
                               key.offsetX != 0 || key.offsetY != 0;
        if (resampled && std::isfinite(gridX) && std::isfinite(gridY) &&
            (key.width + 1) * (key.height + 1) <= kLargestScaledCopy) {
            if (cairo_surface_t* copy = scaledCopy(image, key)) {
                cairo_identity_matrix(cr_);
                cairo_set_source_surface(cr_, copy, gridX, gridY);
                cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
                cairo_paint_with_alpha(cr_, alpha_.back());
                cairo_surface_destroy(copy);
                cairo_restore(cr_);
                return;
            }
        }
    }
    setStretchedSource(cr_, image, rect);
    cairo_paint_with_alpha(cr_, alpha_.back());
    cairo_restore(cr_);
}

// ---- current contexts ---------------------------------------------------------------------

CGContext* UIGraphicsGetCurrentContext() {
    return contextStack.empty() ? nullptr : contextStack.back();
}

void UIGraphicsPushContext(CGContext& context) {
    contextStack.push_back(&context);
}

void UIGraphicsPopContext() {
    if (!contextStack.empty()) contextStack.pop_back();
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale) {
    auto ic = makeImageContext(size, opaque, scale);
    contextStack.push_back(ic->context.get());
    imageContexts.push_back(std::move(ic));
}

void UIGraphicsBeginImageContext(CGSize size) {
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
}

std::shared_ptr<UIImage> UIGraphicsGetImageFromCurrentImageContext() {
    if (imageContexts.empty()) return nullptr;
    return snapshot(*imageContexts.back());
}

void UIGraphicsEndImageContext() {
    if (imageContexts.empty()) return;
    CGContext* c = imageContexts.back()->context.get();
    contextStack.erase(std::remove(contextStack.begin(), contextStack.end(), c), contextStack.end());
    imageContexts.pop_back();
}

std::shared_ptr<UIImage>
UIGraphicsImageRenderer::image(const std::function<void(UIGraphicsImageRendererContext&)>& actions) const {
    auto ic = makeImageContext(size_, format_.opaque, format_.scale);
    contextStack.push_back(ic->context.get());
    struct Pop {
        CGContext* c;
        ~Pop() {
            contextStack.erase(std::remove(contextStack.begin(), contextStack.end(), c), contextStack.end());
        }
    } pop{ic->context.get()};
    UIGraphicsImageRendererContext rc(*ic->context);
    if (actions) actions(rc);
    return snapshot(*ic);
}

Data UIGraphicsImageRenderer::pngData(
    const std::function<void(UIGraphicsImageRendererContext&)>& actions) const {
    return image(actions)->pngData().value_or(Data{});
}

// ---- colour shortcuts ---------------------------------------------------------------------

void UIColor::setFill() const {
    if (CGContext* c = UIGraphicsGetCurrentContext()) c->setFillColor(*this);
}
void UIColor::setStroke() const {
    if (CGContext* c = UIGraphicsGetCurrentContext()) c->setStrokeColor(*this);
}
void UIColor::set() const {
    setFill();
    setStroke();
}
