#include "uikit/graphics/CGBitmapContext.h"

#include <cairo.h>

namespace {
cairo_surface_t* bitmapOf(CGContext* context) {
    if (!context) return nullptr;
    cairo_surface_t* target = cairo_get_target(context->cairo());
    if (!target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
        return nullptr;
    return target;
}
} // namespace

void* CGBitmapContextGetData(CGContext* context) {
    cairo_surface_t* s = bitmapOf(context);
    if (!s) return nullptr;
    cairo_surface_flush(s);
    // Image surfaces keep no copy of their pixels elsewhere, so cairo sees later writes at once;
    // marking them dirty says so all the same.
    cairo_surface_mark_dirty(s);
    return cairo_image_surface_get_data(s);
}

std::size_t CGBitmapContextGetWidth(CGContext* context) {
    cairo_surface_t* s = bitmapOf(context);
    return s ? static_cast<std::size_t>(cairo_image_surface_get_width(s)) : 0;
}

std::size_t CGBitmapContextGetHeight(CGContext* context) {
    cairo_surface_t* s = bitmapOf(context);
    return s ? static_cast<std::size_t>(cairo_image_surface_get_height(s)) : 0;
}

std::size_t CGBitmapContextGetBytesPerRow(CGContext* context) {
    cairo_surface_t* s = bitmapOf(context);
    return s ? static_cast<std::size_t>(cairo_image_surface_get_stride(s)) : 0;
}
