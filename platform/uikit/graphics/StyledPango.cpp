#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/UIColor.h"

#include "foundation/text/Utf8.h"

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

thread_local std::size_t shapedUnits = 0;

// A line holds at most this many characters for each point of its width per point of the text's
// size: the narrowest glyphs of the faces text is set in (a thin space, "i", "l") are a fifth of
// their size wide or more.
constexpr CGFloat kCharactersPerPoint = 8;
// Added to each line's worth, for what takes no width at all (combining marks, joiners).
constexpr std::size_t kLineSlack = 16;

bool separatesParagraphs(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x2029;
}

// Spaces and line ends, after which Pango's own wrapping finds a line's end at little cost.
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || separatesParagraphs(c) || c == 0x2028 || c == 0x3000;
}

bool isLeadSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// The smallest size of the fonts [start, end) is set in.
CGFloat smallestSize(const NSAttributedString& text, std::size_t start, std::size_t end, const UIFont& font) {
    CGFloat smallest = font.pointSize();
    text.enumerateAttributes(NSRange{start, end - start}, [&](const TextAttributes& a, NSRange, bool&) {
        if (a.font) smallest = std::min(smallest, a.font->pointSize());
    });
    return std::max<CGFloat>(1, smallest);
}

// The most UTF-16 units one line of `width` points can show in `size`-point text.
std::size_t lineUnits(CGFloat width, CGFloat size) {
    const CGFloat w = width > 0 ? std::min(width, kWidestShapedLine) : kWidestShapedLine;
    return static_cast<std::size_t>(std::ceil(w * kCharactersPerPoint / size)) + kLineSlack;
}

constexpr std::string_view kLineSeparator = "\u2028";
constexpr std::string_view kEllipsis = "\u2026";

// Where the lines of a layout wrapped by words (and within a word longer than a line, by
// characters) end, as Pango's own wrapping ends them: the byte offsets of `utf8` where a line ends
// other than after a space or at a line end of the text. The breaks come from Pango's analysis of
// the text (its break opportunities, the widths of the characters shaped once on one line), and
// each line is filled greedily as Pango fills it, trailing spaces hanging past its end.
//
// Pango looks for the end of a line by shaping the line again at each break opportunity near its
// end. Between words that is a few times a line; but within a word longer than a line it measures
// the rest of the word again from its start for every line, and in a colour emoji face it tries a
// dozen or more opportunities a line, each shaping the whole line: a post of 5,000 emoji, or of one
// long word, would take a tenth of a second or seconds. Handed lines that end where it would end
// them, Pango shapes each line once. A break after a space is left to Pango (a line separator there
// would make the space take room at the line's end), which finds it as cheaply.
std::vector<unsigned> lineEnds(PangoLayout* layout, const std::string& utf8, int width, int indent) {
    GObjectPtr<PangoLayout> measuring{pango_layout_copy(layout)};
    PangoLayout* m = measuring.get();
    pango_layout_set_width(m, -1);
    pango_layout_set_ellipsize(m, PANGO_ELLIPSIZE_NONE);
    pango_layout_set_height(m, -1);
    pango_layout_set_indent(m, 0);
    int count = 0;
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(m, &count);
    if (count <= 1) return {};
    const auto n = static_cast<std::size_t>(count - 1);

    // Each character's byte offset, and the width it takes on one unwrapped line.
    std::vector<unsigned> starts(n + 1);
    std::vector<unsigned> charAt(utf8.size() + 1, 0);
    {
        const char* p = utf8.data();
        for (std::size_t c = 0; c < n; ++c, p = g_utf8_next_char(p)) {
            starts[c] = static_cast<unsigned>(p - utf8.data());
            charAt[starts[c]] = static_cast<unsigned>(c);
        }
        starts[n] = static_cast<unsigned>(utf8.size());
        charAt[utf8.size()] = static_cast<unsigned>(n);
    }
    std::vector<int> widths(n, 0);
    for (GSList* l = pango_layout_get_lines_readonly(m); l; l = l->next) {
        for (GSList* r = static_cast<PangoLayoutLine*>(l->data)->runs; r; r = r->next) {
            auto* run = static_cast<PangoGlyphItem*>(r->data);
            const auto first = static_cast<std::size_t>(charAt[static_cast<std::size_t>(run->item->offset)]);
            if (first + static_cast<std::size_t>(run->item->num_chars) > n) continue;
            pango_glyph_item_get_logical_widths(run, utf8.c_str(), widths.data() + first);
        }
    }

    std::vector<unsigned> ends;
    std::size_t start = 0;
    bool paragraphStart = true;
    while (start < n) {
        // A positive indent takes room from a paragraph's first line, a negative one from the others.
        const int room = width - (paragraphStart ? std::max(indent, 0) : -std::min(indent, 0));
        int x = 0, inked = 0; // the line's width, and without its trailing spaces
        std::size_t wordBreak = 0, charBreak = 0, i = start;
        bool over = false;
        for (; i < n; ++i) {
            if (i > start && attrs[i].is_mandatory_break) break;
            if (i > start && attrs[i].is_line_break && inked <= room) wordBreak = i;
            if (i > start && attrs[i].is_char_break && x <= room) charBreak = i;
            x += widths[i];
            if (!attrs[i].is_white) inked = x;
            if (inked > room) {
                over = true;
                break;
            }
        }
        if (!over) {
            // The paragraph's end, or the text's.
            if (i >= n) break;
            const std::string_view before = std::string_view(utf8).substr(starts[i - 1], starts[i] - starts[i - 1]);
            paragraphStart = before == "\n" || before == "\r" || before == "\u2029";
            start = i;
            continue;
        }
        std::size_t end = wordBreak > start ? wordBreak : charBreak;
        if (end <= start) {
            // Not even one character fits: it takes the line alone.
            end = start + 1;
            while (end < n && !attrs[end].is_char_break)
                ++end;
        }
        if (!attrs[end - 1].is_white) ends.push_back(starts[end]);
        start = end;
        paragraphStart = false;
    }
    return ends;
}

// Puts `separator` at each of the byte offsets `at` (in order) of `utf8`; `offsets` follow the
// bytes they name, a character that started at an offset now starting after the separator (which
// belongs to the character before, as the break does).
void insertAt(std::string& utf8, std::vector<unsigned>& offsets, const std::vector<unsigned>& at,
              std::string_view separator) {
    if (at.empty()) return;
    std::string out;
    out.reserve(utf8.size() + at.size() * separator.size());
    std::size_t from = 0;
    for (unsigned a : at) {
        out.append(utf8, from, a - from).append(separator);
        from = a;
    }
    out.append(utf8, from, std::string::npos);
    utf8 = std::move(out);
    std::size_t passed = 0;
    for (unsigned& offset : offsets) {
        while (passed < at.size() && at[passed] <= offset)
            ++passed;
        offset += static_cast<unsigned>(passed * separator.size());
    }
}

// The attributes of the runs of [start, end) of `text`, in the layout's text `map` maps to; the
// ellipsis that ends a cut text (from byte `shown`) takes the look of the text it follows.
PangoAttrList* runAttributes(const NSAttributedString& text, std::size_t start, std::size_t end,
                             const LayoutTextMap& map, unsigned shown, unsigned length, const UIFont& font,
                             const UIColor& color) {
    PangoAttrList* list = pango_attr_list_new();
    // A word broken between its characters shows no hyphen at the break, as on the platform.
    insert(list, pango_attr_insert_hyphens_new(FALSE), 0, length);
    for (const auto& run : text.runs(NSRange{start, end - start})) {
        const auto a = static_cast<unsigned>(map.byteIndex(run.range.location - start));
        auto b = static_cast<unsigned>(map.byteIndex(run.range.end() - start));
        if (b == shown && a < shown) b = length;
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
    return list;
}

} // namespace

std::size_t LayoutTextMap::utf16Index(int byteIndex) const {
    if (offsets_.empty()) return 0;
    const auto b = static_cast<unsigned>(std::max(0, byteIndex));
    // The last character at or before the byte (a break put in belongs to the character before it).
    const auto it = std::upper_bound(offsets_.begin(), offsets_.end(), b);
    const std::size_t shaped = it == offsets_.begin() ? 0 : static_cast<std::size_t>(it - offsets_.begin() - 1);
    const auto gap = std::upper_bound(gaps_.begin(), gaps_.end(), shaped,
                                      [](std::size_t k, const Gap& g) { return k < g.shaped; });
    if (gap == gaps_.begin()) return shaped;
    const Gap& g = *std::prev(gap);
    return g.originalEnd + (shaped - g.shaped);
}

int LayoutTextMap::byteIndex(std::size_t index) const {
    if (offsets_.empty()) return 0;
    std::size_t shaped = index;
    const auto gap = std::upper_bound(gaps_.begin(), gaps_.end(), index,
                                      [](std::size_t i, const Gap& g) { return i < g.original; });
    if (gap != gaps_.begin()) {
        const Gap& g = *std::prev(gap);
        shaped = index < g.originalEnd ? g.shaped : g.shaped + (index - g.originalEnd);
    }
    return static_cast<int>(offsets_[std::min(shaped, offsets_.size() - 1)]);
}

std::size_t shapedUnitCount() {
    return shapedUnits;
}

LayoutTextMap setStyledText(PangoLayout* layout, const NSAttributedString& text, std::size_t start, std::size_t end,
                            const UIFont& font, const UIColor& color, const ShapingLimits& limits) {
    const std::u16string& s = text.utf16();
    end = std::min(end, s.size());
    start = std::min(start, end);

    // What the layout can show: a line's worth for each line, each paragraph's one line when lines do
    // not wrap, and never more than kMostShapedCharacters.
    const std::size_t perLine =
        lineUnits(limits.width, smallestSize(text, start, std::min(end, start + 2 * kMostShapedCharacters), font));
    std::size_t budget = std::min(kMostShapedCharacters, limits.characters);
    if (limits.lines > 0) budget = std::min(budget, static_cast<std::size_t>(limits.lines) * perLine);
    const bool unwrapped = limits.width <= 0;

    // UTF-8 text of what is shaped, with the byte offset of each of its UTF-16 units.
    std::string utf8;
    std::vector<unsigned> offsets;
    std::vector<LayoutTextMap::Gap> gaps;
    offsets.reserve(std::min(end - start, 2 * budget + 1) + 1);
    std::size_t inParagraph = 0, spent = 0, run = 0, longestRun = 0;
    bool tabs = false;
    std::size_t i = start;
    for (; i < end && spent < budget; ++i) {
        const char16_t c = s[i];
        const bool separator = separatesParagraphs(c);
        if (unwrapped && !separator && inParagraph >= perLine) {
            // The rest of the paragraph lies past any screen's edge: go on at its end.
            std::size_t next = i;
            while (next < end && !separatesParagraphs(s[next]))
                ++next;
            gaps.push_back({i - start, next - start, offsets.size()});
            i = next - 1;
            continue;
        }
        offsets.push_back(static_cast<unsigned>(utf8.size()));
        inParagraph = separator ? 0 : inParagraph + 1;
        ++spent;
        tabs = tabs || c == u'\t';
        run = isBlank(c) ? 0 : run + 1;
        longestRun = std::max(longestRun, run);
        // Pango reads text only up to a NUL: the character draws nothing, as on the platform, and the
        // text after it is laid out on.
        if (c == u'\0') continue;
        const bool pair = isLeadSurrogate(c) && i + 1 < end && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
        utf8 += cw::utf16ToUTF8(std::u16string_view(s).substr(i, pair ? 2 : 1));
        if (pair) {
            offsets.push_back(static_cast<unsigned>(utf8.size()));
            ++i;
        }
    }
    const std::size_t scannedEnd = i;
    const bool cut = scannedEnd < end || !gaps.empty();
    offsets.push_back(static_cast<unsigned>(utf8.size()));
    const FontDescriptionPtr base = fontDescription(font);
    pango_layout_set_font_description(layout, base.get());
    // Lines wrapped by words end where Pango would end them, found in one pass (see lineEnds), in
    // text where Pango's own search costs more than that: a stretch without spaces longer than a
    // fraction of a line (a long word, emoji, ideographs, a letter under many marks). Tabs take the
    // width of where they stand, and justified lines stretch only where Pango wrapped them: those
    // Pango wraps alone.
    if (limits.wrapsWords && !unwrapped && !tabs && !pango_layout_get_justify(layout) &&
        longestRun > perLine / 4) {
        pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
        const LayoutTextMap plain(offsets, gaps);
        PangoAttrList* list = runAttributes(text, start, scannedEnd, plain, static_cast<unsigned>(utf8.size()),
                                            static_cast<unsigned>(utf8.size()), font, color);
        pango_layout_set_attributes(layout, list);
        pango_attr_list_unref(list);
        const int width = static_cast<int>(std::floor(limits.width * PANGO_SCALE));
        insertAt(utf8, offsets, lineEnds(layout, utf8, width, pango_layout_get_indent(layout)), kLineSeparator);
    }
    // Wrapped text that runs on without a limit of lines says it was cut; a layout of so many lines
    // has its own ellipsis or edge.
    const auto shown = static_cast<unsigned>(utf8.size());
    if (cut && !unwrapped && limits.lines <= 0) utf8.append(kEllipsis);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    shapedUnits += offsets.size() - 1;
    LayoutTextMap map(std::move(offsets), std::move(gaps), spent);
    PangoAttrList* list =
        runAttributes(text, start, scannedEnd, map, shown, static_cast<unsigned>(utf8.size()), font, color);
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
    return map;
}

} // namespace cw::detail
