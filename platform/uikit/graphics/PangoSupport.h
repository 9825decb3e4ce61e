#pragma once

// Internal glue between the graphics values and Pango/Cairo. Not for app code.

#include "uikit/graphics/UIFont.h"

#include <cstddef>

#include <memory>
#include <pango/pangocairo.h>

class NSAttributedString;
class UIColor;

namespace cw::detail {

struct GObjectDeleter {
    void operator()(void* p) const;
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct FontDescriptionDeleter {
    void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionDeleter>;

// A font description whose absolute size is the font's point size, so one point is one unit
// of the Cairo user space that draws it.
FontDescriptionPtr fontDescription(const UIFont& font);

// A Pango context of this thread's Cairo font map, for measuring. Pango font maps may not be
// shared between threads; each thread gets its own, so styled text can be measured and drawn
// on background queues.
PangoContext* measuringContext();

// Sets `layout`'s text to the UTF-16 range [start, end) of `text`, with one attribute list of the
// runs' fonts, colours, background colours and underlines; runs without a font or a colour are
// shown in `font` and `color`.
void setStyledText(PangoLayout* layout, const NSAttributedString& text, std::size_t start, std::size_t end,
                   const UIFont& font, const UIColor& color);

} // namespace cw::detail
