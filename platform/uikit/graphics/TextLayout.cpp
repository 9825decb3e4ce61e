#include "uikit/graphics/TextLayout.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cw::detail {

UIFont defaultTextFont() {
    return UIFont::systemFont(12);
}

namespace {

bool isParagraphSeparator(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x2029;
}

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
        return PANGO_UNDERLINE_SINGLE;
    case NSUnderlineStyle::thick:
        return PANGO_UNDERLINE_SINGLE;
    case NSUnderlineStyle::double_:
        return PANGO_UNDERLINE_DOUBLE;
    }
    return PANGO_UNDERLINE_NONE;
}

} // namespace

TextLayout::TextLayout(const NSAttributedString& text, CGFloat width, int maximumNumberOfLines) {
    int linesLeft = maximumNumberOfLines > 0 ? maximumNumberOfLines : std::numeric_limits<int>::max();
    const std::u16string& s = text.utf16();
    PangoContext* ctx = measuringContext();
    std::size_t start = 0;
    CGFloat y = 0;
    CGFloat maxWidth = 0;
    bool first = true;
    while (true) {
        std::size_t end = start;
        while (end < s.size() && !isParagraphSeparator(s[end]))
            ++end;
        // A carriage return and line feed pair ends one paragraph.
        std::size_t next = end;
        if (next < s.size())
            next += (s[next] == u'\r' && next + 1 < s.size() && s[next + 1] == u'\n') ? 2 : 1;

        const TextAttributes head = text.attributes(std::min(start, s.empty() ? 0 : s.size() - 1));
        const NSParagraphStyle style = head.paragraphStyle.value_or(NSParagraphStyle{});

        // UTF-8 text of the paragraph with the byte offset of every UTF-16 index.
        std::string utf8;
        std::vector<unsigned> offsets;
        offsets.reserve(end - start + 1);
        for (std::size_t i = start; i < end; ++i) {
            offsets.push_back(static_cast<unsigned>(utf8.size()));
            const bool pair =
                s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < end && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
            utf8 += cw::utf16ToUTF8(std::u16string_view(s).substr(i, pair ? 2 : 1));
            if (pair) {
                offsets.push_back(static_cast<unsigned>(utf8.size()));
                ++i;
            }
        }
        offsets.push_back(static_cast<unsigned>(utf8.size()));

        Paragraph p;
        p.layout.reset(pango_layout_new(ctx));
        PangoLayout* layout = p.layout.get();
        auto baseFont = fontDescription(head.font.value_or(defaultTextFont()));
        pango_layout_set_font_description(layout, baseFont.get());
        pango_layout_set_auto_dir(layout, TRUE);
        PangoAttrList* attrs = pango_attr_list_new();
        for (const auto& run : text.runs(NSRange{start, end - start})) {
            const unsigned a = offsets[run.range.location - start];
            const unsigned b = offsets[run.range.end() - start];
            const auto& at = run.attributes;
            auto fd = fontDescription(at.font.value_or(defaultTextFont()));
            insert(attrs, pango_attr_font_desc_new(fd.get()), a, b);
            const UIColor fg = at.foregroundColor.value_or(UIColor::blackColor());
            insert(attrs,
                   pango_attr_foreground_new(channel(fg.red()), channel(fg.green()), channel(fg.blue())), a,
                   b);
            insert(attrs, pango_attr_foreground_alpha_new(std::max<guint16>(1, channel(fg.alpha()))), a, b);
            if (at.backgroundColor && at.backgroundColor->alpha() > 0) {
                const UIColor& bg = *at.backgroundColor;
                insert(attrs,
                       pango_attr_background_new(channel(bg.red()), channel(bg.green()), channel(bg.blue())),
                       a, b);
                insert(attrs, pango_attr_background_alpha_new(std::max<guint16>(1, channel(bg.alpha()))), a,
                       b);
            }
            if (at.underlineStyle)
                insert(attrs, pango_attr_underline_new(underline(*at.underlineStyle)), a, b);
        }
        pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);

        // Indents: the first line starts at firstLineHeadIndent, the others at headIndent.
        const CGFloat left = std::min(style.firstLineHeadIndent, style.headIndent);
        const CGFloat indent = style.firstLineHeadIndent - style.headIndent;
        pango_layout_set_indent(layout, static_cast<int>(indent * PANGO_SCALE));
        pango_layout_set_spacing(layout, static_cast<int>(std::max(0.0, style.lineSpacing) * PANGO_SCALE));
        switch (style.alignment) {
        case NSTextAlignment::center:
            pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
            break;
        case NSTextAlignment::right:
            pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
            break;
        case NSTextAlignment::justified:
            pango_layout_set_justify(layout, TRUE);
            break;
        default:
            break;
        }
        if (width > 0) {
            CGFloat lineWidth = width - left;
            if (style.tailIndent > 0)
                lineWidth = std::min(lineWidth, style.tailIndent - left);
            else if (style.tailIndent < 0)
                lineWidth += style.tailIndent;
            lineWidth = std::max(1.0, lineWidth);
            pango_layout_set_width(layout, static_cast<int>(lineWidth * PANGO_SCALE));
            switch (style.lineBreakMode) {
            case NSLineBreakMode::byWordWrapping:
                pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
                break;
            case NSLineBreakMode::byCharWrapping:
                pango_layout_set_wrap(layout, PANGO_WRAP_CHAR);
                break;
            case NSLineBreakMode::byClipping:
                pango_layout_set_height(layout, 0);
                break;
            case NSLineBreakMode::byTruncatingHead:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_START);
                break;
            case NSLineBreakMode::byTruncatingTail:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
                break;
            case NSLineBreakMode::byTruncatingMiddle:
                pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
                break;
            }
        }

        const int lines = pango_layout_get_line_count(layout);
        const bool cut = lines > linesLeft;
        if (cut && width > 0) {
            pango_layout_set_height(layout, -linesLeft);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
        linesLeft -= std::min(lines, linesLeft);

        if (!first) y += style.paragraphSpacingBefore;
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        p.x = left;
        p.y = y;
        const CGFloat w = left + static_cast<CGFloat>(logical.x + logical.width) / PANGO_SCALE;
        maxWidth = std::max(maxWidth, w);
        y += static_cast<CGFloat>(logical.height) / PANGO_SCALE;
        paragraphs_.push_back(std::move(p));
        first = false;
        if (end >= s.size() || linesLeft == 0) break;
        y += style.paragraphSpacing;
        start = next;
    }
    size_ = {maxWidth, y};
}

void TextLayout::draw(cairo_t* cr, CGPoint origin) const {
    for (const auto& p : paragraphs_) {
        cairo_save(cr);
        cairo_move_to(cr, origin.x + p.x, origin.y + p.y);
        pango_cairo_show_layout(cr, p.layout.get());
        cairo_restore(cr);
    }
}

} // namespace cw::detail

// ---- NSAttributedString measuring and drawing ---------------------------------------------

CGRect NSAttributedString::boundingRect(CGSize size, NSStringDrawingOptions options,
                                        int maximumNumberOfLines) const {
    const bool wraps = options == NSStringDrawingOptions::usesLineFragmentOrigin;
    const cw::detail::TextLayout layout(*this, wraps ? size.width : 0, maximumNumberOfLines);
    return {0, 0, layout.size().width, layout.size().height};
}

CGSize NSAttributedString::size() const {
    return cw::detail::TextLayout(*this, 0).size();
}

void NSAttributedString::draw(CGPoint point) const {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    cw::detail::TextLayout(*this, 0).draw(ctx->cairo(), point);
}

void NSAttributedString::draw(const CGRect& rect, int maximumNumberOfLines) const {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx || rect.isNull()) return;
    cairo_t* cr = ctx->cairo();
    cairo_save(cr);
    cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr);
    cw::detail::TextLayout(*this, rect.width(), maximumNumberOfLines).draw(cr, rect.origin);
    cairo_restore(cr);
}

CGSize textSize(std::string_view text, const TextAttributes& attributes) {
    return NSAttributedString(text, attributes).size();
}

CGRect textBoundingRect(std::string_view text, CGSize size, const TextAttributes& attributes,
                        NSStringDrawingOptions options) {
    return NSAttributedString(text, attributes).boundingRect(size, options);
}
