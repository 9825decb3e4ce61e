#include "uikit/view/UIVisualEffectView.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

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
    const int x0 =
        std::clamp(static_cast<int>(std::floor(*std::min_element(xs, xs + 4) + offsetX)), 0, width);
    const int y0 =
        std::clamp(static_cast<int>(std::floor(*std::min_element(ys, ys + 4) + offsetY)), 0, height);
    const int x1 = std::clamp(static_cast<int>(std::ceil(*std::max_element(xs, xs + 4) + offsetX)), 0, width);
    const int y1 =
        std::clamp(static_cast<int>(std::ceil(*std::max_element(ys, ys + 4) + offsetY)), 0, height);
    if (x1 <= x0 || y1 <= y0) return;
    // What lies just outside the rectangle blurs into its edges too.
    double dx = radius, dy = 0;
    cairo_user_to_device_distance(cr, &dx, &dy);
    const double sigma = std::hypot(dx, dy);
    const int pad = static_cast<int>(std::ceil(sigma * 2));
    const int px0 = std::max(0, x0 - pad), py0 = std::max(0, y0 - pad);
    const int px1 = std::min(width, x1 + pad), py1 = std::min(height, y1 + pad);

    // The blur is worked out on a copy a few times smaller (it is smooth anyway), then stretched
    // back over the rectangle: a header blurred each frame costs little.
    const double factor = std::max(1.0, std::floor(sigma / 4));
    const int sw = static_cast<int>(std::ceil((px1 - px0) / factor));
    const int sh = static_cast<int>(std::ceil((py1 - py0) / factor));
    cairo_surface_flush(target);
    cairo_surface_t* pixels = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(target), format, width, height, cairo_image_surface_get_stride(target));
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh);
    cairo_t* copy = cairo_create(small);
    cairo_scale(copy, 1 / factor, 1 / factor);
    cairo_set_source_surface(copy, pixels, -px0, -py0);
    cairo_pattern_set_filter(cairo_get_source(copy), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(copy), CAIRO_EXTEND_PAD);
    cairo_set_operator(copy, CAIRO_OPERATOR_SOURCE);
    cairo_paint(copy);
    cairo_destroy(copy);
    cairo_surface_destroy(pixels);
    cw::detail::boxBlur(small, sigma / factor, true);

    cairo_save(cr);
    cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_clip(cr);
    cairo_identity_matrix(cr);
    cairo_translate(cr, px0 - offsetX, py0 - offsetY);
    cairo_scale(cr, factor, factor);
    cairo_set_source_surface(cr, small, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(small);
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
