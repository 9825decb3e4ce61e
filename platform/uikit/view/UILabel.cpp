#include "uikit/view/UILabel.h"

#include "uikit/graphics/PangoSupport.h"
#include "uikit/graphics/TextLayout.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>

namespace cw::detail {

namespace {

constexpr double kScale = kMainScreenScale; // the pixel grid sizes are rounded up to

double ceilToPixel(double v) {
    return std::ceil(v * kScale - 1e-6) / kScale;
}

} // namespace

LabelText::LabelText(const NSAttributedString& text, const UIFont& font, const UIColor& color,
                     NSTextAlignment alignment, NSLineBreakMode mode, CGFloat width, long lines,
                     bool perParagraph)
    : width_(width), lines_(lines) {
    if (text.empty()) return;
    const bool truncating = mode == NSLineBreakMode::byTruncatingTail ||
                            mode == NSLineBreakMode::byTruncatingHead ||
                            mode == NSLineBreakMode::byTruncatingMiddle;
    if (perParagraph) {
        // One line that does not fit is cut at the edge rather than wrapped.
        clipped_ = width > 0 && lines == 1 && !truncating;
        const CGFloat wrapWidth = clipped_ ? 0 : width;
        paragraphs_ = std::make_unique<TextLayout>(text, wrapWidth, static_cast<int>(std::max(0L, lines)),
                                                   font, color, alignment);
        lineCount_ = paragraphs_->lineCount();
        if (lineCount_ > 0) {
            firstBaseline_ = paragraphs_->lineOrigin(0).y;
            lastBaseline_ = paragraphs_->lineOrigin(lineCount_ - 1).y;
        }
        const CGSize s = paragraphs_->size();
        const double w = width > 0 ? std::min<double>(s.width, width) : s.width;
        size_ = {ceilToPixel(w), ceilToPixel(s.height)};
        return;
    }
    PangoLayout* l = pango_layout_new(measuringContext());
    layout_ = l;
    // Only what the label's lines can show is shaped.
    const bool clipsOneLine = width > 0 && lines == 1 && !truncating;
    ShapingLimits limits;
    limits.width = width;
    limits.lines = lines;
    limits.wrapsWords = width > 0 && !clipsOneLine && mode != NSLineBreakMode::byCharWrapping;
    const NSParagraphStyle style = text.attributes(0).paragraphStyle.value_or(NSParagraphStyle{});
    switch (alignment) {
    case NSTextAlignment::center:
        pango_layout_set_alignment(l, PANGO_ALIGN_CENTER);
        break;
    case NSTextAlignment::right:
        pango_layout_set_alignment(l, PANGO_ALIGN_RIGHT);
        break;
    case NSTextAlignment::justified:
        pango_layout_set_justify(l, TRUE);
        break;
    case NSTextAlignment::left:
    case NSTextAlignment::natural:
        break;
    }
    if (style.lineSpacing > 0) pango_layout_set_spacing(l, static_cast<int>(style.lineSpacing * PANGO_SCALE));
    // Justified or not, the text is set after the alignment (it finds the ends of lines only Pango may
    // stretch).
    map_ = std::make_unique<LayoutTextMap>(setStyledText(l, text, 0, text.utf16().size(), font, color, limits));
    if (width > 0) {
        pango_layout_set_width(l, static_cast<int>(std::floor(width * PANGO_SCALE)));
        pango_layout_set_wrap(l, mode == NSLineBreakMode::byCharWrapping ? PANGO_WRAP_CHAR
                                                                         : PANGO_WRAP_WORD_CHAR);
        if (lines == 1 && !truncating) {
            // One line that does not fit is cut at the edge rather than wrapped.
            pango_layout_set_width(l, -1);
            clipped_ = true;
        }
        if (truncating && lines > 0) {
            pango_layout_set_ellipsize(l, mode == NSLineBreakMode::byTruncatingHead ? PANGO_ELLIPSIZE_START
                                          : mode == NSLineBreakMode::byTruncatingMiddle
                                              ? PANGO_ELLIPSIZE_MIDDLE
                                              : PANGO_ELLIPSIZE_END);
            pango_layout_set_height(l, static_cast<int>(-lines));
        }
    }
    // Measure the lines shown: every line, or the first `lines` of them.
    PangoLayoutIter* it = pango_layout_get_iter(l);
    double bottom = 0, right = 0;
    int count = 0;
    do {
        if (lines > 0 && count >= lines) break;
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        const double baseline = pango_layout_iter_get_baseline(it) / double(PANGO_SCALE);
        if (count == 0) firstBaseline_ = baseline;
        lastBaseline_ = baseline;
        bottom = (logical.y + logical.height) / double(PANGO_SCALE);
        right = std::max(right, (logical.x + logical.width) / double(PANGO_SCALE));
        ++count;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    lineCount_ = count;
    PangoRectangle all;
    pango_layout_get_extents(l, nullptr, &all);
    double w = width > 0 && !clipped_ ? std::min<double>(all.width / double(PANGO_SCALE), width)
                                      : all.width / double(PANGO_SCALE);
    if (clipped_ && width > 0) w = std::min<double>(w, width);
    (void)right;
    size_ = {ceilToPixel(w), ceilToPixel(bottom)};
}

LabelText::~LabelText() {
    if (layout_) g_object_unref(static_cast<PangoLayout*>(layout_));
}

CGPoint LabelText::lineOrigin(int index) const {
    if (index < 0 || index >= lineCount_) return {};
    if (paragraphs_) return paragraphs_->lineOrigin(index);
    PangoLayoutIter* it = pango_layout_get_iter(static_cast<PangoLayout*>(layout_));
    for (int i = 0; i < index; ++i)
        pango_layout_iter_next_line(it);
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(it, nullptr, &logical);
    const CGPoint origin{logical.x / double(PANGO_SCALE),
                         pango_layout_iter_get_baseline(it) / double(PANGO_SCALE)};
    pango_layout_iter_free(it);
    return origin;
}

std::optional<std::size_t> LabelText::characterIndex(CGPoint point) const {
    if (point.y < 0 || point.y >= size_.height) return std::nullopt;
    if (clipped_ && width_ > 0 && point.x >= width_) return std::nullopt;
    if (paragraphs_) return paragraphs_->characterIndex(point);
    if (layout_) return layoutCharacterIndex(static_cast<PangoLayout*>(layout_), *map_, point);
    return std::nullopt;
}

std::vector<CGRect> LabelText::rects(NSRange range) const {
    std::vector<CGRect> out;
    if (paragraphs_)
        out = paragraphs_->rects(range);
    else if (layout_)
        appendLayoutRects(static_cast<PangoLayout*>(layout_), *map_, range.location, range.end(), {0, 0}, out);
    // Only what is shown: lines past the label's line limit are not drawn.
    std::erase_if(out, [&](const CGRect& r) { return r.minY() >= size_.height; });
    return out;
}

void LabelText::draw(cairo_t* cr, CGPoint origin) const {
    if (!layout_ && !paragraphs_) return;
    cairo_save(cr);
    if (clipped_ || lines_ > 0) {
        cairo_rectangle(cr, origin.x, origin.y, clipped_ && width_ > 0 ? width_ : 1e6, size_.height);
        cairo_clip(cr);
    }
    if (paragraphs_) {
        paragraphs_->draw(cr, origin);
    } else {
        cairo_move_to(cr, origin.x, origin.y);
        pango_cairo_show_layout(cr, static_cast<PangoLayout*>(layout_));
    }
    cairo_restore(cr);
}

} // namespace cw::detail

UILabel::UILabel() : UILabel(CGRect{}) {}

UILabel::UILabel(const CGRect& frame) : UIView(frame), font_(UIFont::systemFont(17)) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

UILabel::~UILabel() = default;

std::optional<std::string> UILabel::text() const {
    if (attributed_) return attributed_->string();
    return text_;
}

void UILabel::setText(const std::optional<std::string>& text) {
    if (!attributed_ && text == text_) return;
    text_ = text;
    attributed_.reset();
    textChanged();
}

std::optional<NSAttributedString> UILabel::attributedText() const {
    if (attributed_) return attributed_;
    if (!text_) return std::nullopt;
    return styledContent();
}

void UILabel::setAttributedText(const std::optional<NSAttributedString>& text) {
    attributed_ = text;
    text_.reset();
    textChanged();
}

void UILabel::setFont(const UIFont& font) {
    if (font == font_) return;
    font_ = font;
    textChanged();
}

void UILabel::setTextColor(const UIColor& color) {
    if (color == textColor_) return;
    textColor_ = color;
    // The colour is part of the laid-out text: lay it out again (its size stays).
    dropLayouts();
    setNeedsDisplay();
}

void UILabel::dropLayouts() {
    for (auto& c : cache_)
        c.reset();
    shrunk_.reset();
    shrunkWidth_ = -1;
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    textChanged();
}

void UILabel::setNumberOfLines(long lines) {
    lines = std::max(0L, lines);
    if (lines == numberOfLines_) return;
    numberOfLines_ = lines;
    textChanged();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode) {
    lineBreakMode_ = mode;
    textChanged();
}

void UILabel::setPreferredMaxLayoutWidth(CGFloat width) {
    if (width == preferredMaxLayoutWidth_) return;
    preferredMaxLayoutWidth_ = std::max(0.0, width);
    invalidateIntrinsicContentSize();
}

void UILabel::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void UILabel::setAdjustsFontSizeToFitWidth(bool adjusts) {
    if (adjusts == adjustsFontSize_) return;
    adjustsFontSize_ = adjusts;
    dropLayouts();
    setNeedsDisplay();
}

void UILabel::setMinimumScaleFactor(CGFloat factor) {
    factor = std::isfinite(factor) ? std::clamp(factor, 0.0, 1.0) : 0.0;
    if (factor == minimumScaleFactor_) return;
    minimumScaleFactor_ = factor;
    dropLayouts();
    setNeedsDisplay();
}

void UILabel::textChanged() {
    layoutWidthHintOutdated();
    dropLayouts();
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

namespace {

// No layout shapes more characters of a text than kMostShapedCharacters: the label hands its layouts
// no more UTF-16 units than those characters can take (two each), and one more, by which they know
// it goes on.
constexpr std::size_t kShapedUnits = 2 * cw::detail::kMostShapedCharacters + 1;

// The start of a UTF-8 text that holds at least kShapedUnits UTF-16 units, or all of it: each unit
// takes at most three bytes (a character of two units, four). Cut between characters.
std::string_view shapedPart(std::string_view text) {
    std::size_t bytes = std::min(text.size(), 3 * kShapedUnits);
    while (bytes < text.size() && bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;
    return text.substr(0, bytes);
}

} // namespace

NSAttributedString UILabel::styledContent(CGFloat scale, bool shapedOnly) const {
    if (attributed_) {
        const bool cut = shapedOnly && attributed_->length() > kShapedUnits;
        if (scale == 1) return cut ? attributed_->attributedSubstring({0, kShapedUnits}) : *attributed_;
        NSMutableAttributedString scaled(cut ? attributed_->attributedSubstring({0, kShapedUnits}) : *attributed_);
        for (const auto& run : scaled.runs()) {
            if (!run.attributes.font) continue;
            TextAttributes a = run.attributes;
            a.font = a.font->withSize(a.font->pointSize() * scale);
            scaled.setAttributes(a, run.range);
        }
        return scaled;
    }
    TextAttributes a;
    a.font = scale == 1 ? font_ : font_.withSize(font_.pointSize() * scale);
    a.foregroundColor = textColor_;
    NSParagraphStyle p;
    p.alignment = alignment_;
    p.lineBreakMode = lineBreakMode_;
    a.paragraphStyle = p;
    const std::string_view text = text_ ? std::string_view(*text_) : std::string_view();
    return NSAttributedString(shapedOnly ? shapedPart(text) : text, a);
}

namespace {

// Whether Pango sets the text right to left (its first letter that has a direction has that one),
// and so places it from the right edge of whatever width it is laid out in.
bool runsRightToLeft(std::string_view text) {
    // The very call a layout makes to choose its direction; kept although newer Pango marks it old.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    return pango_find_base_dir(text.data(), static_cast<int>(text.size())) == PANGO_DIRECTION_RTL;
    G_GNUC_END_IGNORE_DEPRECATIONS
}

} // namespace

const cw::detail::LabelText& UILabel::layoutFor(CGFloat width, long lines) const {
    width = width > 0 ? width : 0;
    for (auto& c : cache_)
        if (c && c->width() == width && c->lines() == lines) return *c;
    // One line of plain text, left-aligned, cut with an ellipsis only where it does not fit: where
    // it fits it is laid out alike at any width, so the unbounded layout measuring made is drawn
    // at the label's width too, rather than a new one every time a row comes into view.
    const bool truncating = lineBreakMode_ == NSLineBreakMode::byTruncatingTail ||
                            lineBreakMode_ == NSLineBreakMode::byTruncatingHead ||
                            lineBreakMode_ == NSLineBreakMode::byTruncatingMiddle;
    if (width > 0 && lines == 1 && truncating && !attributed_ &&
        (alignment_ == NSTextAlignment::natural || alignment_ == NSTextAlignment::left) &&
        !runsRightToLeft(shapedPart(text_ ? std::string_view(*text_) : std::string_view()))) {
        const auto& unbounded = layoutFor(0, 1);
        if (unbounded.size().width <= width) return unbounded;
    }
    auto& slot = cache_[cacheNext_++ % 3];
    slot = std::make_unique<cw::detail::LabelText>(styledContent(1, true), font_, textColor_, alignment_,
                                                   lineBreakMode_, width, lines, attributed_.has_value());
    return *slot;
}

namespace {
// Bounds this large stand for "no limit" (the platform passes its largest float).
constexpr CGFloat kUnbounded = 1e6;
} // namespace

CGRect UILabel::textRect(const CGRect& bounds, long numberOfLines) const {
    const bool boundedWidth = bounds.size.width > 0 && bounds.size.width < kUnbounded;
    const bool boundedHeight = bounds.size.height > 0 && bounds.size.height < kUnbounded;
    const auto& t = layoutFor(boundedWidth ? bounds.size.width : 0, numberOfLines);
    CGSize s = t.size();
    if (boundedWidth) s.width = std::min(s.width, bounds.size.width);
    if (boundedHeight) s.height = std::min(s.height, bounds.size.height);
    return {bounds.origin, s};
}

CGFloat UILabel::scaleToFit(CGFloat width) const {
    if (!adjustsFontSize_ || numberOfLines_ != 1 || width <= 0 || font_.pointSize() <= 0) return 1;
    const CGFloat natural = layoutFor(0, 1).size().width;
    if (natural <= width) return 1;
    // Never below a point-sized font, whatever the factor allows.
    const CGFloat floor = std::max(minimumScaleFactor_, std::min(1.0, 1 / font_.pointSize()));
    // Text does not grow quite in proportion to its font (hinting, the pixel grid): measure again
    // at the scale found, and narrow it down until it fits.
    CGFloat scale = std::max(floor, width / natural);
    for (int i = 0; i < 6 && scale > floor; ++i) {
        const cw::detail::LabelText t(styledContent(scale, true), font_.withSize(font_.pointSize() * scale),
                                      textColor_, alignment_, lineBreakMode_, 0, 1, attributed_.has_value());
        if (t.size().width <= width) break;
        scale = std::max(floor, scale * width / t.size().width - 0.001);
    }
    return scale;
}

const cw::detail::LabelText& UILabel::drawingLayout(CGFloat width) const {
    const CGFloat scale = scaleToFit(width);
    if (scale >= 1) return layoutFor(width, numberOfLines_);
    if (!shrunk_ || shrunkWidth_ != width) {
        shrunk_ = std::make_unique<cw::detail::LabelText>(
            styledContent(scale, true), font_.withSize(font_.pointSize() * scale), textColor_, alignment_,
            lineBreakMode_, width, numberOfLines_, attributed_.has_value());
        shrunkWidth_ = width;
        shrunkScale_ = scale;
    }
    return *shrunk_;
}

CGFloat UILabel::actualScaleFactor() const {
    const CGFloat width = bounds().size.width;
    if (shrunk_ && shrunkWidth_ == width) return shrunkScale_;
    return scaleToFit(width);
}

void UILabel::drawText(const CGRect& rect) {
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const auto& t = drawingLayout(rect.size.width);
    const CGFloat y = rect.origin.y + std::max(0.0, (rect.size.height - t.size().height) / 2);
    ctx->saveGState();
    ctx->clip(rect.insetBy(-1, 0));
    if (!enabled_) ctx->setAlpha(0.5);
    t.draw(ctx->cairo(), {rect.origin.x, y});
    ctx->restoreGState();
}

std::optional<std::size_t> UILabel::characterIndex(CGPoint point) const {
    const CGRect b = bounds();
    const auto& t = layoutFor(b.size.width, numberOfLines_);
    const CGFloat y = b.origin.y + std::max(0.0, (b.size.height - t.size().height) / 2);
    return t.characterIndex({point.x - b.origin.x, point.y - y});
}

std::vector<CGRect> UILabel::rects(NSRange range) const {
    const CGRect b = bounds();
    const auto& t = layoutFor(b.size.width, numberOfLines_);
    const CGFloat y = b.origin.y + std::max(0.0, (b.size.height - t.size().height) / 2);
    std::vector<CGRect> out = t.rects(range);
    for (auto& r : out)
        r = r.offsetBy(b.origin.x, y);
    return out;
}

void UILabel::draw(const CGRect&) {
    drawText(bounds());
}

// Sizes go through `textRect`, so that a label that overrides it (to keep its text inset, say)
// measures by it too.
CGSize UILabel::sizeThatFits(CGSize size) const {
    const CGFloat width = numberOfLines_ == 1 || size.width <= 0 ? kUnbounded * 10 : size.width;
    const CGRect r = textRect(CGRect(0, 0, width, kUnbounded * 10), numberOfLines_);
    return {cw::detail::ceilToPixel(r.size.width), cw::detail::ceilToPixel(r.size.height)};
}

bool UILabel::intrinsicSizeDependsOnWidth() const {
    return numberOfLines_ != 1 && preferredMaxLayoutWidth_ <= 0;
}

CGSize UILabel::intrinsicContentSize() const {
    if (numberOfLines_ == 1) return sizeThatFits({0, 0});
    if (preferredMaxLayoutWidth_ > 0) return sizeThatFits({preferredMaxLayoutWidth_, 0});
    const CGFloat width = layoutWidthHint();
    // A width wider than any screen (a fitting that leaves the label the width of its unwrapped
    // text) shows what the unwrapped lines show: laid out there, a long text would be shaped and
    // broken into lines only to be laid out again at the width a screen gives it.
    if (width <= 0 || width > cw::detail::kWidestShapedLine) return sizeThatFits({0, 0});
    // The width layout gave the text before it changed says nothing of what the new text needs:
    // measured there, a longer text would ask for no more than the old one had (a reused cell's
    // title wrapped inside the last title's width) and the layout would never give it more. Until
    // layout gives a width for this text, it asks for its unwrapped width.
    if (layoutWidthHintIsStale()) return {sizeThatFits({0, 0}).width, sizeThatFits({width, 0}).height};
    return sizeThatFits({width, 0});
}

CGFloat UILabel::lastBaselineOffsetFromBottom() const {
    const CGFloat width = numberOfLines_ == 1       ? 0
                          : bounds().size.width > 0 ? bounds().size.width
                                                    : layoutWidthHint();
    const auto& t = layoutFor(width, numberOfLines_);
    if (t.lineCount() == 0) return 0;
    return t.size().height - t.lastBaseline();
}

CGFloat UILabel::firstBaselineOffsetFromTop() const {
    const auto& t = layoutFor(0, 1);
    return t.lineCount() ? t.firstBaseline() : 0;
}
