#include "uikit/graphics/TextLayout.h"
#include "uikit/graphics/UIGraphics.h"

#include "foundation/text/Utf8.h"

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

// A paragraph counts as its line end, one character, against what a text may shape: a text a member
// wrote is laid out whole however many paragraphs it has.
constexpr std::size_t kParagraphCharacters = 1;

} // namespace

std::optional<std::size_t> layoutCharacterIndex(PangoLayout* layout, const LayoutTextMap& map, CGPoint point) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const int x = static_cast<int>(std::lround(point.x * PANGO_SCALE));
    const int y = static_cast<int>(std::lround(point.y * PANGO_SCALE));
    if (y < logical.y || y >= logical.y + logical.height) return std::nullopt;
    int index = 0, trailing = 0;
    if (!pango_layout_xy_to_index(layout, x, y, &index, &trailing)) return std::nullopt;
    return map.utf16Index(index);
}

void appendLayoutRects(PangoLayout* layout, const LayoutTextMap& map, std::size_t start, std::size_t end,
                       CGPoint origin, std::vector<CGRect>& rects) {
    if (end <= start) return;
    const int a = map.byteIndex(start), b = map.byteIndex(end);
    if (a >= b) return;
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        const int lineStart = line->start_index, lineEnd = line->start_index + line->length;
        if (lineEnd <= a || lineStart >= b) continue;
        PangoRectangle extents;
        pango_layout_iter_get_line_extents(it, nullptr, &extents);
        int* ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(line, std::max(a, lineStart), std::min(b, lineEnd), &ranges, &count);
        // Ranges of one line that touch (bidirectional text comes in several) make one box.
        int left = 0, right = 0;
        for (int i = 0; i < count; ++i) {
            left = i == 0 ? ranges[2 * i] : std::min(left, ranges[2 * i]);
            right = i == 0 ? ranges[2 * i + 1] : std::max(right, ranges[2 * i + 1]);
        }
        g_free(ranges);
        if (count == 0 || right <= left) continue;
        rects.push_back({origin.x + static_cast<CGFloat>(left) / PANGO_SCALE,
                         origin.y + static_cast<CGFloat>(extents.y) / PANGO_SCALE,
                         static_cast<CGFloat>(right - left) / PANGO_SCALE,
                         static_cast<CGFloat>(extents.height) / PANGO_SCALE});
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
}

TextLayout::TextLayout(const NSAttributedString& text, CGFloat width, int maximumNumberOfLines)
    : TextLayout(text, width, maximumNumberOfLines, defaultTextFont(), UIColor::blackColor(),
                 NSTextAlignment::natural) {}

TextLayout::TextLayout(const NSAttributedString& text, CGFloat width, int maximumNumberOfLines,
                       const UIFont& font, const UIColor& color, NSTextAlignment alignment) {
    int linesLeft = maximumNumberOfLines > 0 ? maximumNumberOfLines : std::numeric_limits<int>::max();
    std::size_t charactersLeft = kMostShapedCharacters;
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
        NSParagraphStyle plain;
        plain.alignment = alignment;
        const NSParagraphStyle style = head.paragraphStyle.value_or(plain);

        Paragraph p;
        p.start = start;
        p.end = end;
        p.layout.reset(pango_layout_new(ctx));
        PangoLayout* layout = p.layout.get();
        pango_layout_set_auto_dir(layout, TRUE);

        // Indents: the first line starts at firstLineHeadIndent, the others at headIndent.
        const CGFloat left = std::min(style.firstLineHeadIndent, style.headIndent);
        const CGFloat indent = style.firstLineHeadIndent - style.headIndent;
        pango_layout_set_indent(layout, static_cast<int>(indent * PANGO_SCALE));
        pango_layout_set_spacing(layout, static_cast<int>(std::max(0.0, style.lineSpacing) * PANGO_SCALE));
        if (!style.tabStops.empty()) {
            // Pango places tabs from the layout's own left edge, which lies at `left`.
            PangoTabArray* tabs = pango_tab_array_new(static_cast<gint>(style.tabStops.size()), FALSE);
            for (std::size_t i = 0; i < style.tabStops.size(); ++i)
                pango_tab_array_set_tab(tabs, static_cast<gint>(i), PANGO_TAB_LEFT,
                                        static_cast<gint>(std::max(0.0, style.tabStops[i] - left) * PANGO_SCALE));
            pango_layout_set_tabs(layout, tabs);
            pango_tab_array_free(tabs);
        }
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

        // Only what the paragraph's lines can show is shaped.
        ShapingLimits limits;
        const bool truncates = style.lineBreakMode == NSLineBreakMode::byTruncatingHead ||
                               style.lineBreakMode == NSLineBreakMode::byTruncatingTail ||
                               style.lineBreakMode == NSLineBreakMode::byTruncatingMiddle;
        if (width > 0) {
            limits.width = std::max(1, pango_layout_get_width(layout)) / static_cast<CGFloat>(PANGO_SCALE);
            limits.wrapsWords = style.lineBreakMode == NSLineBreakMode::byWordWrapping;
        }
        limits.lines = width > 0 && truncates ? 1 : maximumNumberOfLines > 0 ? linesLeft : 0;
        limits.characters = charactersLeft;
        p.map = setStyledText(layout, text, start, end, font, color, limits);
        charactersLeft -= std::min(charactersLeft, p.map.shapedCharacters() + kParagraphCharacters);

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
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        do {
            PangoRectangle line;
            pango_layout_iter_get_line_extents(it, nullptr, &line);
            lines_.push_back({left + static_cast<CGFloat>(line.x) / PANGO_SCALE,
                              y + static_cast<CGFloat>(pango_layout_iter_get_baseline(it)) / PANGO_SCALE});
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        const CGFloat w = left + static_cast<CGFloat>(logical.x + logical.width) / PANGO_SCALE;
        maxWidth = std::max(maxWidth, w);
        y += static_cast<CGFloat>(logical.height) / PANGO_SCALE;
        paragraphs_.push_back(std::move(p));
        first = false;
        if (end >= s.size() || linesLeft == 0 || charactersLeft == 0) break;
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

std::optional<std::size_t> TextLayout::characterIndex(CGPoint point) const {
    for (const auto& p : paragraphs_) {
        if (auto i = layoutCharacterIndex(p.layout.get(), p.map, {point.x - p.x, point.y - p.y})) return p.start + *i;
    }
    return std::nullopt;
}

std::vector<CGRect> TextLayout::rects(NSRange range) const {
    std::vector<CGRect> out;
    for (const auto& p : paragraphs_) {
        const std::size_t from = std::max(range.location, p.start);
        const std::size_t to = std::min(range.end(), p.end);
        if (from < to) appendLayoutRects(p.layout.get(), p.map, from - p.start, to - p.start, {p.x, p.y}, out);
    }
    return out;
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
