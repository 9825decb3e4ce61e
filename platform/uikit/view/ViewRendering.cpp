#include "uikit/view/ViewRendering.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstring>
#include <optional>
#include <typeinfo>
#include <sstream>
#include <vector>

namespace cw::detail {
void appendCairoPath(cairo_t* cr, const UIBezierPath& path);
} // namespace cw::detail

namespace {

void roundedRect(cairo_t* cr, const CGRect& r, CGFloat radius) {
    radius = std::max(0.0, std::min({radius, r.size.width / 2, r.size.height / 2}));
    if (radius <= 0) {
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        return;
    }
    const double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - radius, y0 + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x0 + radius, y1 - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + radius, y0 + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void setColor(cairo_t* cr, const UIColor& c, double alpha = 1) {
    cairo_set_source_rgba(cr, c.clampedRed(), c.clampedGreen(), c.clampedBlue(), c.clampedAlpha() * alpha);
}

cairo_matrix_t toCairo(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

} // namespace

namespace cw::detail {

// Three box blurs in each direction approximate a Gaussian of deviation `sigma` (pixels), on each
// channel of an A8 or ARGB32 surface. Past the edges lies nothing (a shadow fades out), or with
// `extendEdges` the edge pixels go on (a backdrop keeps its colour up to its border).
void boxBlur(cairo_surface_t* s, double sigma, bool extendEdges) {
    if (sigma < 0.3) return;
    const cairo_format_t format = cairo_image_surface_get_format(s);
    if (format != CAIRO_FORMAT_A8 && format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return;
    const int channels = format == CAIRO_FORMAT_A8 ? 1 : 4;
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    if (!data || w <= 0 || h <= 0) return;
    const int r = std::max(1, static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    const int window = 2 * r + 1;
    // One line at a time, copied into a buffer with r pixels on each side (zeros, or the edge
    // repeated) so the running sum needs no bounds checks.
    std::vector<int> line(static_cast<std::size_t>(std::max(w, h) + 2 * r + 1), 0);
    auto pass = [&](unsigned char* base, int n, int step) {
        for (int i = 0; i < n; ++i)
            line[static_cast<std::size_t>(i + r)] = base[i * step];
        const int before = extendEdges ? base[0] : 0, after = extendEdges ? base[(n - 1) * step] : 0;
        for (int i = 0; i < r; ++i)
            line[static_cast<std::size_t>(i)] = before;
        for (int i = n + r; i < n + 2 * r + 1; ++i)
            line[static_cast<std::size_t>(i)] = after;
        int sum = 0;
        for (int i = 0; i < window; ++i)
            sum += line[static_cast<std::size_t>(i)];
        for (int i = 0; i < n; ++i) {
            base[i * step] = static_cast<unsigned char>((sum + window / 2) / window);
            sum += line[static_cast<std::size_t>(i + window)] - line[static_cast<std::size_t>(i)];
        }
    };
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < channels; ++c) {
            for (int y = 0; y < h; ++y)
                pass(data + y * stride + c, w, channels);
            for (int x = 0; x < w; ++x)
                pass(data + x * channels + c, h, stride);
        }
    }
    cairo_surface_mark_dirty(s);
}

} // namespace cw::detail

namespace {

double deviceScale(cairo_t* cr) {
    double dx = 1, dy = 0;
    cairo_user_to_device_distance(cr, &dx, &dy);
    return std::max(0.25, std::hypot(dx, dy));
}

void drawTree(cairo_t* cr, CALayer& layer, bool applyGeometry);

// What is drawn: the presentation's values where an animation set them, else the model's.
std::optional<UIColor> shownBackground(const CALayer& l) {
    return l.presentation && l.presentation->backgroundColor ? l.presentation->backgroundColor
                                                             : l.backgroundColor;
}

// The frame in its superlayer of a sublayer that paints its whole frame in one opaque colour, with
// nothing (opacity, a mask, a turn, round corners) letting what lies beneath show through.
std::optional<CGRect> opaqueFrame(const CALayer& s) {
    if (s.hidden || s.shownOpacity() < 1 || s.mask || s.cornerRadius > 0 ||
        !CATransform3DIsIdentity(s.shownTransform()))
        return std::nullopt;
    const auto bg = shownBackground(s);
    if (!bg || bg->clampedAlpha() < 1) return std::nullopt;
    const CGRect b = s.shownBounds();
    const CGPoint p = s.shownPosition(), a = s.anchorPoint();
    return CGRect(p.x - a.x * b.size.width, p.y - a.y * b.size.height, b.size.width, b.size.height);
}

// Whether the background of `layer` (bounds `b`, the current user space of `cr`) would be painted
// over entirely by its sublayers' opaque backgrounds: a screen's root under its full-screen list, a
// list under the rows that fill it. Only whole device pixels count, and only inside a clip of whole
// pixels, so that skipping the background changes no pixel. The rows may stand one under another.
bool backgroundPaintedOver(cairo_t* cr, const CALayer& layer, const CGRect& b) {
    if (layer.sublayers().empty() || !CATransform3DIsIdentity(layer.sublayerTransform)) return false;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy != 0 || m.yx != 0 || m.xx <= 0 || m.yy <= 0) return false;
    cairo_rectangle_list_t* clip = cairo_copy_clip_rectangle_list(cr);
    const bool box = clip->status == CAIRO_STATUS_SUCCESS && clip->num_rectangles <= 1;
    const CGRect clipRect = box && clip->num_rectangles == 1
                                ? CGRect(clip->rectangles[0].x, clip->rectangles[0].y, clip->rectangles[0].width,
                                         clip->rectangles[0].height)
                                : CGRect{};
    const bool nothingShows = box && clip->num_rectangles == 0;
    cairo_rectangle_list_destroy(clip);
    if (nothingShows) return true;
    if (!box) return false;
    const CGRect shown = b.intersection(clipRect);
    if (shown.isNull() || shown.isEmpty()) return true;
    // The pixels the background would touch, and those each sublayer paints whole.
    const auto pixels = [&](const CGRect& r, bool touched) {
        double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
        cairo_user_to_device(cr, &x0, &y0);
        cairo_user_to_device(cr, &x1, &y1);
        return touched ? CGRect(std::floor(x0), std::floor(y0), std::ceil(x1) - std::floor(x0),
                                std::ceil(y1) - std::floor(y0))
                       : CGRect(std::ceil(x0), std::ceil(y0), std::floor(x1) - std::ceil(x0),
                                std::floor(y1) - std::ceil(y0));
    };
    const CGRect target = pixels(shown, true);
    std::vector<std::pair<double, double>> rows; // the spans down the target that sublayers cover across it
    for (const auto& s : layer.sublayers()) {
        const auto frame = opaqueFrame(*s);
        if (!frame) continue;
        const CGRect whole = pixels(*frame, false);
        if (whole.size.width <= 0 || whole.size.height <= 0) continue;
        if (whole.minX() <= target.minX() && whole.maxX() >= target.maxX()) rows.emplace_back(whole.minY(), whole.maxY());
    }
    std::sort(rows.begin(), rows.end());
    double covered = target.minY();
    for (const auto& [top, bottom] : rows) {
        if (top > covered) break;
        covered = std::max(covered, bottom);
    }
    return covered >= target.maxY();
}

// Whether a layer's bounds, with room for what a view draws a little past them, lie wholly outside
// what is being drawn: a page of thousands of paragraphs draws only those on screen.
bool outsideClip(cairo_t* cr, const CGRect& b) {
    constexpr double kOverhang = 64;
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return false;
    return b.maxX() + kOverhang <= x0 || b.minX() - kOverhang >= x1 || b.maxY() + kOverhang <= y0 ||
           b.minY() - kOverhang >= y1;
}

void drawBody(cairo_t* cr, CALayer& layer) {
    const CGRect b = layer.shownBounds();
    // Sublayers may stand outside their layer unless it clips them.
    if ((layer.masksToBounds || layer.sublayers().empty()) && outsideClip(cr, b)) return;
    cairo_save(cr);
    if (layer.masksToBounds) {
        roundedRect(cr, b, layer.cornerRadius);
        cairo_clip(cr);
    }
    if (const auto bg = shownBackground(layer);
        bg && bg->clampedAlpha() > 0 && !backgroundPaintedOver(cr, layer, b)) {
        roundedRect(cr, b, layer.cornerRadius);
        setColor(cr, *bg);
        cairo_fill(cr);
    }
    {
        CGContext ctx(cr);
        UIGraphicsPushContext(ctx);
        ctx.saveGState();
        layer.drawInContext(ctx);
        ctx.restoreGState();
        if (UIView* v = layer.delegateView()) {
            ctx.saveGState();
            v->draw(v->bounds());
            ctx.restoreGState();
        }
        UIGraphicsPopContext();
        layer.clearNeedsDisplay();
    }
    if (!layer.sublayers().empty()) {
        cairo_save(cr);
        if (!CATransform3DIsIdentity(layer.sublayerTransform)) {
            const CGPoint a = layer.anchorPoint();
            const double ax = b.origin.x + a.x * b.size.width, ay = b.origin.y + a.y * b.size.height;
            cairo_translate(cr, ax, ay);
            const cairo_matrix_t m = toCairo(CATransform3DGetAffineTransform(layer.sublayerTransform));
            cairo_transform(cr, &m);
            cairo_translate(cr, -ax, -ay);
        }
        const std::vector<std::shared_ptr<CALayer>> subs = layer.sublayers();
        for (const auto& s : subs)
            drawTree(cr, *s, true);
        cairo_restore(cr);
    }
    if (layer.borderWidth > 0 && layer.borderColor.clampedAlpha() > 0) {
        const double bw = layer.borderWidth;
        roundedRect(cr, b.insetBy(bw / 2, bw / 2).isNull() ? b : b.insetBy(bw / 2, bw / 2),
                    std::max(0.0, layer.cornerRadius - bw / 2));
        cairo_set_line_width(cr, bw);
        setColor(cr, layer.borderColor);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

std::string shadowKey(const CALayer& layer, double s) {
    std::ostringstream os;
    os.precision(9);
    os << layer.shadowRadius << '/' << s;
    for (const auto& e : layer.shadowPath->elements()) {
        os << '|' << static_cast<int>(e.kind);
        for (const auto& p : e.points)
            os << ',' << p.x << ',' << p.y;
    }
    return os.str();
}

void drawShadow(cairo_t* cr, CALayer& layer) {
    if (!layer.shadowColor) return;
    const double alpha = layer.shadowColor->clampedAlpha() * std::clamp(layer.shadowOpacity, 0.0f, 1.0f);
    if (alpha <= 0) return;
    const double radius = std::max(0.0, layer.shadowRadius);
    // A shadow with a path is kept at the device's resolution and on its pixel grid, so later
    // frames paint it 1:1; one that follows the content is made afresh each time, at half the
    // resolution when it is soft (it is blurry anyway).
    const double ds = deviceScale(cr);
    const double blurScale = radius < 2 ? ds : std::max(0.5, ds / 2);
    double s = blurScale;
    CGRect extents = layer.shadowPath ? layer.shadowPath->bounds() : layer.shownBounds();
    if (extents.isNull() || extents.isEmpty()) return;
    const double pad = std::ceil(radius * 2 + 2);
    CGRect area = extents.insetBy(-pad, -pad);
    const double x0 = std::floor(area.minX() * s) / s, y0 = std::floor(area.minY() * s) / s;
    area = CGRect(x0, y0, std::ceil(area.maxX() * s) / s - x0, std::ceil(area.maxY() * s) / s - y0);
    const int pw = static_cast<int>(std::ceil(area.size.width * s)),
              ph = static_cast<int>(std::ceil(area.size.height * s));
    if (pw <= 0 || ph <= 0 || pw > 8192 || ph > 8192) return;

    CALayer::ShadowCache& cache = layer.shadowCache();
    cairo_surface_t* mask = nullptr;
    std::string key;
    if (layer.shadowPath) {
        key = shadowKey(layer, ds);
        if (cache.image && cache.key == key) {
            mask = cache.image->surface();
            s = cache.image->scale();
        }
    }
    if (!mask) {
        mask = cairo_image_surface_create(CAIRO_FORMAT_A8, pw, ph);
        cairo_t* c2 = cairo_create(mask);
        cairo_scale(c2, s, s);
        cairo_translate(c2, -area.origin.x, -area.origin.y);
        if (layer.shadowPath) {
            cw::detail::appendCairoPath(c2, *layer.shadowPath);
            cairo_set_fill_rule(c2, layer.shadowPath->usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD
                                                                          : CAIRO_FILL_RULE_WINDING);
            cairo_set_source_rgba(c2, 0, 0, 0, 1);
            cairo_fill(c2);
        } else {
            drawBody(c2, layer);
        }
        cairo_destroy(c2);
        cw::detail::boxBlur(mask, radius / 2 * s, false);
        if (layer.shadowPath && blurScale != ds) {
            // Kept at the device's resolution, so that later frames paint it 1:1.
            const int dw = static_cast<int>(std::lround(area.size.width * ds)),
                      dh = static_cast<int>(std::lround(area.size.height * ds));
            cairo_surface_t* big = cairo_image_surface_create(CAIRO_FORMAT_A8, dw, dh);
            cairo_t* c3 = cairo_create(big);
            cairo_scale(c3, ds / s, ds / s);
            cairo_set_source_surface(c3, mask, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(c3), CAIRO_FILTER_GOOD);
            cairo_paint(c3);
            cairo_destroy(c3);
            cairo_surface_destroy(mask);
            mask = big;
            s = ds;
        }
        if (layer.shadowPath) {
            cache.image = UIImage::fromSurface(mask, s);
            cache.key = key;
            cache.area = area;
        }
    }
    cairo_save(cr);
    cairo_translate(cr, layer.shadowOffset.width + area.origin.x, layer.shadowOffset.height + area.origin.y);
    cairo_scale(cr, 1 / s, 1 / s);
    setColor(cr, *layer.shadowColor, std::clamp(layer.shadowOpacity, 0.0f, 1.0f));
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask);
    cairo_pattern_set_filter(pattern, s == ds ? CAIRO_FILTER_FAST : CAIRO_FILTER_GOOD);
    cairo_mask(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
    if (!layer.shadowPath) cairo_surface_destroy(mask);
}

// Where a mask can let anything through, in the coordinates of the layer it masks: its own
// rectangle and, for a shape, the stroked path. None when that cannot be told without drawing it (a
// transformed mask, one with sublayers or a shadow, or one that draws itself).
std::optional<CGRect> maskExtent(const CALayer& mask) {
    const bool plain = typeid(mask) == typeid(CALayer) || typeid(mask) == typeid(CAShapeLayer);
    if (!plain || !CATransform3DIsIdentity(mask.shownTransform()) || !mask.sublayers().empty() ||
        (mask.shadowColor && mask.shadowOpacity > 0))
        return std::nullopt;
    const CGRect b = mask.shownBounds();
    const CGPoint p = mask.shownPosition(), a = mask.anchorPoint();
    const CGPoint origin{p.x - a.x * b.size.width, p.y - a.y * b.size.height};
    CGRect extent(origin.x, origin.y, b.size.width, b.size.height);
    if (const auto* shape = dynamic_cast<const CAShapeLayer*>(&mask); shape && shape->path) {
        // Miters and caps reach past the path: room for the longest of them.
        const CGFloat reach = std::max<CGFloat>(0, shape->lineWidth) * 5 + 1;
        CGRect path = shape->path->bounds().insetBy(-reach, -reach);
        path.origin.x += origin.x - b.origin.x;
        path.origin.y += origin.y - b.origin.y;
        extent = extent.isEmpty() ? path : extent.unionWith(path);
    }
    return extent;
}

void drawTree(cairo_t* cr, CALayer& layer, bool applyGeometry) {
    const float opacity = layer.shownOpacity();
    if (layer.hidden || opacity <= 0) return;
    cairo_save(cr);
    const CGRect b = layer.shownBounds();
    if (applyGeometry) {
        const CGPoint p = layer.shownPosition(), a = layer.anchorPoint();
        cairo_translate(cr, p.x, p.y);
        if (const CATransform3D t = layer.shownTransform(); !CATransform3DIsIdentity(t)) {
            const CGAffineTransform f = CATransform3DGetAffineTransform(t);
            // A layer scaled to nothing (a view that grows out of a point) shows nothing; drawing
            // it through a matrix without an inverse would stop all drawing of the frame.
            const double det = f.a * f.d - f.b * f.c;
            if (!std::isfinite(det) || std::abs(det) < 1e-12) {
                cairo_restore(cr);
                return;
            }
            const cairo_matrix_t m = toCairo(f);
            cairo_transform(cr, &m);
        }
        cairo_translate(cr, -a.x * b.size.width - b.origin.x, -a.y * b.size.height - b.origin.y);
    } else {
        cairo_translate(cr, -b.origin.x, -b.origin.y);
    }
    const bool group = opacity < 1 || layer.mask;
    if (layer.mask) {
        // Nothing shows outside what the mask draws: the groups below are made only that large,
        // rather than as large as the whole picture being drawn.
        if (const auto extent = maskExtent(*layer.mask)) {
            cairo_rectangle(cr, extent->origin.x, extent->origin.y, extent->size.width, extent->size.height);
            cairo_clip(cr);
        }
    }
    if (group) cairo_push_group(cr);
    drawShadow(cr, layer);
    drawBody(cr, layer);
    if (group) {
        cairo_pattern_t* content = cairo_pop_group(cr);
        if (layer.mask) {
            cairo_push_group(cr);
            drawTree(cr, *layer.mask, true);
            cairo_pattern_t* maskPattern = cairo_pop_group(cr);
            cairo_push_group(cr);
            cairo_set_source(cr, content);
            cairo_mask(cr, maskPattern);
            cairo_pattern_destroy(maskPattern);
            cairo_pattern_destroy(content);
            content = cairo_pop_group(cr);
        }
        cairo_set_source(cr, content);
        cairo_paint_with_alpha(cr, std::clamp(static_cast<double>(opacity), 0.0, 1.0));
        cairo_pattern_destroy(content);
    }
    cairo_restore(cr);
}

} // namespace

void CALayer::render(CGContext& context) {
    // Clipped to the whole pixels it may draw on (which changes nothing drawn), so that a context
    // without a clip has one of whole pixels too and backgrounds painted over can be skipped.
    cairo_t* cr = context.cairo();
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    cairo_save(cr);
    if (x1 > x0 && y1 > y0) {
        double xs[] = {x0, x1, x0, x1}, ys[] = {y0, y0, y1, y1};
        for (int i = 0; i < 4; ++i)
            cairo_user_to_device(cr, &xs[i], &ys[i]);
        const double left = std::floor(*std::min_element(xs, xs + 4)), top = std::floor(*std::min_element(ys, ys + 4));
        const double right = std::ceil(*std::max_element(xs, xs + 4)), bottom = std::ceil(*std::max_element(ys, ys + 4));
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_new_path(cr);
        cairo_rectangle(cr, left, top, right - left, bottom - top);
        cairo_restore(cr);
        cairo_clip(cr);
    }
    drawTree(cr, *this, false);
    cairo_restore(cr);
}

bool UIView::drawHierarchy(const CGRect& rect, bool afterScreenUpdates) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return false;
    if (afterScreenUpdates) layoutIfNeeded();
    const CGSize size = bounds().size;
    ctx->saveGState();
    ctx->translateBy(rect.origin.x, rect.origin.y);
    if (size.width > 0 && size.height > 0)
        ctx->scaleBy(rect.size.width / size.width, rect.size.height / size.height);
    layer()->render(*ctx);
    ctx->restoreGState();
    return true;
}

namespace cw {

std::shared_ptr<UIImage> renderView(UIView& view, CGFloat scale) {
    view.layoutIfNeeded();
    UIGraphicsImageRendererFormat format;
    format.scale = scale > 0 ? scale : 2;
    format.opaque = false;
    UIGraphicsImageRenderer renderer(view.bounds().size, format);
    return renderer.image(
        [&](UIGraphicsImageRendererContext& ctx) { view.layer()->render(ctx.cgContext()); });
}

bool writeViewPNG(UIView& view, const std::filesystem::path& path, CGFloat scale, std::string* error) {
    auto image = renderView(view, scale);
    if (!image) {
        if (error) *error = "the view could not be drawn";
        return false;
    }
    return image->writePNG(path, error);
}

} // namespace cw
