#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/UIColor.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace cw::detail {

namespace {

guint16 channel(CGFloat v) {
    return static_cast<guint16>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
}

void insert(PangoAttrList* list, PangoAttribute* attr, unsigned start, unsigned end) {
    attr->start_index = start;
    attr->end_index = end;
    pango_attr_list_insert(list, attr);
}

PangoUnderline underline(NSUnderlineStyle style) {
    switch (style) {
    case NSUnderlineStyle::none:
        return PANGO_UNDERLINE_NONE;
    case NSUnderlineStyle::single:
    case NSUnderlineStyle::thick:
        return PANGO_UNDERLINE_SINGLE;
    case NSUnderlineStyle::double_:
        return PANGO_UNDERLINE_DOUBLE;
    }
    return PANGO_UNDERLINE_NONE;
}

} // namespace

void setStyledText(PangoLayout* layout, const NSAttributedString& text, std::size_t start, std::size_t end,
                   const UIFont& font, const UIColor& color) {
    const std::u16string& s = text.utf16();
    end = std::min(end, s.size());
    start = std::min(start, end);

    // UTF-8 text of the range with the byte offset of every UTF-16 index in it.
    std::string utf8;
    std::vector<unsigned> offsets;
    offsets.reserve(end - start + 1);
    for (std::size_t i = start; i < end; ++i) {
        offsets.push_back(static_cast<unsigned>(utf8.size()));
        // Pango reads text only up to a NUL: the character draws nothing, as on the platform, and the
        // text after it is laid out on.
        if (s[i] == u'\0') continue;
        const bool pair =
            s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < end && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
        utf8 += cw::utf16ToUTF8(std::u16string_view(s).substr(i, pair ? 2 : 1));
        if (pair) {
            offsets.push_back(static_cast<unsigned>(utf8.size()));
            ++i;
        }
    }
    offsets.push_back(static_cast<unsigned>(utf8.size()));
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));

    const FontDescriptionPtr base = fontDescription(font);
    pango_layout_set_font_description(layout, base.get());
    PangoAttrList* list = pango_attr_list_new();
    for (const auto& run : text.runs(NSRange{start, end - start})) {
        const unsigned a = offsets[run.range.location - start];
        const unsigned b = offsets[run.range.end() - start];
        if (a >= b) continue;
        const auto& at = run.attributes;
        if (at.font && !(*at.font == font))
            insert(list, pango_attr_font_desc_new(fontDescription(*at.font).get()), a, b);
        const UIColor fg = at.foregroundColor.value_or(color);
        insert(list, pango_attr_foreground_new(channel(fg.red()), channel(fg.green()), channel(fg.blue())), a,
               b);
        if (fg.alpha() < 1)
            insert(list, pango_attr_foreground_alpha_new(std::max<guint16>(1, channel(fg.alpha()))), a, b);
        if (at.backgroundColor && at.backgroundColor->alpha() > 0) {
            const UIColor& bg = *at.backgroundColor;
            insert(list,
                   pango_attr_background_new(channel(bg.red()), channel(bg.green()), channel(bg.blue())), a,
                   b);
            insert(list, pango_attr_background_alpha_new(std::max<guint16>(1, channel(bg.alpha()))), a, b);
        }
        if (at.underlineStyle && *at.underlineStyle != NSUnderlineStyle::none)
            insert(list, pango_attr_underline_new(underline(*at.underlineStyle)), a, b);
    }
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
}

} // namespace cw::detail
