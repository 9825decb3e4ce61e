#include "uikit/view/UIVisualEffectView.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace cw::detail {
void boxBlur(cairo_surface_t* surface, double sigma, bool extendEdges);
} // namespace cw::detail

namespace {

// The colour each style lays over the blur.
UIColor tint(UIBlurEffectStyle style) {
    switch (style) {
    case UIBlurEffectStyle::light:
        return UIColor(1, 1, 1, 0.3);
    case UIBlurEffectStyle::dark:
        return UIColor(0.11, 0.11, 0.11, 0.73);
    case UIBlurEffectStyle::extraLight:
        break;
    }
    return UIColor(0.97, 0.97, 0.97, 0.8);
}

// Blurs, in place on the surface being drawn to, the pixels under `rect` (user coordinates).
void blurBeneath(cairo_t* cr, const CGRect& rect, double radius) {
    cairo_surface_t* target = cairo_get_group_target(cr);
    if (!target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return;
    const cairo_format_t format = cairo_image_surface_get_format(target);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return;
    // The rectangle's box on the surface, in its pixels.
    double xs[4] = {rect.minX(), rect.maxX(), rect.minX(), rect.maxX()};
    double ys[4] = {rect.minY(), rect.minY(), rect.maxY(), rect.maxY()};
    for (int i = 0; i < 4; ++i)
        cairo_user_to_device(cr, &xs[i], &ys[i]);
    double offsetX = 0, offsetY = 0;
    cairo_surface_get_device_offset(target, &offsetX, &offsetY);
    const int width = cairo_image_surface_get_width(target), height = cairo_image_surface_get_height(target);
    const int x0 = std::clamp(static_cast<int>(std::floor(*std::min_element(xs, xs + 4) + offsetX)), 0, width);
    const int y0 = std::clamp(static_cast<int>(std::floor(*std::min_element(ys, ys + 4) + offsetY)), 0, height);
    const int x1 = std::clamp(static_cast<int>(std::ceil(*std::max_element(xs, xs + 4) + offsetX)), 0, width);
    const int y1 = std::clamp(static_cast<int>(std::ceil(*std::max_element(ys, ys + 4) + offsetY)), 0, height);
    if (x1 <= x0 || y1 <= y0) return;
    // What lies just outside the rectangle blurs into its edges too.
    double dx = radius, dy = 0;
    cairo_user_to_device_distance(cr, &dx, &dy);
    const double sigma = std::hypot(dx, dy);
    const int pad = static_cast<int>(std::ceil(sigma * 2));
    const int px0 = std::max(0, x0 - pad), py0 = std::max(0, y0 - pad);
    const int px1 = std::min(width, x1 + pad), py1 = std::min(height, y1 + pad);

    cairo_surface_flush(target);
    cairo_surface_t* patch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, px1 - px0, py1 - py0);
    cairo_surface_flush(patch);
    const unsigned char* from = cairo_image_surface_get_data(target);
    unsigned char* to = cairo_image_surface_get_data(patch);
    const int fromStride = cairo_image_surface_get_stride(target), toStride = cairo_image_surface_get_stride(patch);
    if (!from || !to) {
        cairo_surface_destroy(patch);
        return;
    }
    for (int y = py0; y < py1; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(to + (y - py0) * toStride);
        std::memcpy(row, from + y * fromStride + px0 * 4, static_cast<std::size_t>(px1 - px0) * 4);
        if (format == CAIRO_FORMAT_RGB24)
            for (int x = 0; x < px1 - px0; ++x)
                row[x] |= 0xFF000000u; // its unused byte: opaque
    }
    cairo_surface_mark_dirty(patch);
    cw::detail::boxBlur(patch, sigma, true);

    cairo_save(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, patch, px0 - offsetX, py0 - offsetY);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(patch);
}

} // namespace

UIVisualEffectView::UIVisualEffectView(std::shared_ptr<UIVisualEffect> effect) : effect_(std::move(effect)) {
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
    setOpaque(false);
}

void UIVisualEffectView::setEffect(std::shared_ptr<UIVisualEffect> effect) {
    effect_ = std::move(effect);
    setNeedsDisplay();
}

void UIVisualEffectView::layoutSubviews() {
    UIView::layoutSubviews();
    if (!(contentView_->frame() == bounds())) contentView_->setFrame(bounds());
}

void UIVisualEffectView::draw(const CGRect& rect) {
    const auto* blur = dynamic_cast<const UIBlurEffect*>(effect_.get());
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!blur || !ctx) return;
    const CGRect area = bounds();
    blurBeneath(ctx->cairo(), area, blurRadius);
    ctx->setFillColor(tint(blur->style()));
    ctx->fill(area);
    (void)rect;
}
