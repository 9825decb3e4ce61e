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
// A character of a word broken between its characters costs Pango three to four times what one of
// words that wrap costs (a break opportunity before each, and its line shaped again): it counts four
// times against what a layout may shape.
constexpr std::size_t kBrokenWordUnitCost = 4;
// Added to each line's worth, for what takes no width at all (combining marks, joiners).
constexpr std::size_t kLineSlack = 16;

bool separatesParagraphs(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x2029;
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

// Whether a character ends a run of text without break opportunities, as far as a quick look can
// tell: spaces and line ends.
bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || separatesParagraphs(c) || c == 0x2028 || c == 0x3000 || c == 0x200B;
}

constexpr std::string_view kZeroWidthSpace = "\u200B";
constexpr std::string_view kEllipsis = "\u2026";

// Puts a zero-width space before every character (grapheme cluster) of a stretch without line-break
// opportunities once the stretch is `after` clusters long, so that Pango breaks it between
// characters without searching the rest of it for a break line after line; `offsets` follow the
// bytes they name.
void breakLongWords(std::string& utf8, std::vector<unsigned>& offsets, std::size_t after) {
    const glong characters = g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size()));
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
    pango_get_log_attrs(utf8.data(), static_cast<int>(utf8.size()), -1, pango_language_get_default(), attrs.data(),
                        static_cast<int>(attrs.size()));
    std::vector<unsigned> inserted; // byte offsets, in the text as it was, before which a space goes
    std::size_t clusters = 0;
    const char* p = utf8.data();
    for (glong c = 0; c < characters; ++c, p = g_utf8_next_char(p)) {
        const PangoLogAttr& a = attrs[static_cast<std::size_t>(c)];
        if (a.is_line_break || a.is_mandatory_break) clusters = 0;
        if (!a.is_char_break) continue;
        if (clusters >= after) inserted.push_back(static_cast<unsigned>(p - utf8.data()));
        ++clusters;
    }
    if (inserted.empty()) return;
    std::string out;
    out.reserve(utf8.size() + inserted.size() * kZeroWidthSpace.size());
    std::size_t from = 0;
    for (unsigned at : inserted) {
        out.append(utf8, from, at - from).append(kZeroWidthSpace);
        from = at;
    }
    out.append(utf8, from, std::string::npos);
    utf8 = std::move(out);
    // A character that starts where a space went in now starts after it: the space belongs to the
    // character before, as the break does.
    std::size_t passed = 0;
    for (unsigned& offset : offsets) {
        while (passed < inserted.size() && inserted[passed] <= offset)
            ++passed;
        offset += static_cast<unsigned>(passed * kZeroWidthSpace.size());
    }
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
    // not wrap, and never more than kMostShapedUnits.
    const std::size_t perLine =
        lineUnits(limits.width, smallestSize(text, start, std::min(end, start + kMostShapedUnits), font));
    std::size_t budget = std::min(kMostShapedUnits, limits.units);
    if (limits.lines > 0) budget = std::min(budget, static_cast<std::size_t>(limits.lines) * perLine);
    const bool unwrapped = limits.width <= 0;

    // UTF-8 text of what is shaped, with the byte offset of each of its UTF-16 units.
    std::string utf8;
    std::vector<unsigned> offsets;
    std::vector<LayoutTextMap::Gap> gaps;
    offsets.reserve(std::min(end - start, budget + 1) + 1);
    std::size_t inParagraph = 0, run = 0, longestRun = 0, spent = 0;
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
        run = isBlank(c) ? 0 : run + 1;
        longestRun = std::max(longestRun, run);
        spent += limits.wrapsWords && run > perLine ? kBrokenWordUnitCost : 1;
        // Pango reads text only up to a NUL: the character draws nothing, as on the platform, and the
        // text after it is laid out on.
        if (c == u'\0') continue;
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < end && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
        utf8 += cw::utf16ToUTF8(std::u16string_view(s).substr(i, pair ? 2 : 1));
        if (pair) {
            offsets.push_back(static_cast<unsigned>(utf8.size()));
            ++i;
            ++spent;
        }
    }
    const std::size_t scannedEnd = i;
    const bool cut = scannedEnd < end || !gaps.empty();
    offsets.push_back(static_cast<unsigned>(utf8.size()));
    if (limits.wrapsWords && !unwrapped && longestRun > perLine) breakLongWords(utf8, offsets, perLine);
    // Wrapped text that runs on without a limit of lines says it was cut; a layout of so many lines
    // has its own ellipsis or edge.
    const auto shown = static_cast<unsigned>(utf8.size());
    if (cut && !unwrapped && limits.lines <= 0) utf8.append(kEllipsis);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    shapedUnits += offsets.size() - 1;
    LayoutTextMap map(std::move(offsets), std::move(gaps));

    const FontDescriptionPtr base = fontDescription(font);
    pango_layout_set_font_description(layout, base.get());
    PangoAttrList* list = pango_attr_list_new();
    // A word broken between its characters shows no hyphen at the break, as on the platform.
    insert(list, pango_attr_insert_hyphens_new(FALSE), 0, static_cast<unsigned>(utf8.size()));
    for (const auto& run : text.runs(NSRange{start, scannedEnd - start})) {
        const auto a = static_cast<unsigned>(map.byteIndex(run.range.location - start));
        auto b = static_cast<unsigned>(map.byteIndex(run.range.end() - start));
        // The ellipsis takes the look of the text it follows.
        if (b == shown && a < shown) b = static_cast<unsigned>(utf8.size());
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
    return map;
}

} // namespace cw::detail
