#pragma once

// A read-only text view: plain text in one font and colour, or styled text; one line or many,
// wrapped and truncated by its line-break mode. Its intrinsic size is the size of its text,
// measured with Pango; with several lines and no preferred width, the width the layout gives it.

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/view/UIView.h"

typedef struct _cairo cairo_t;

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw::detail {
class LabelText;
class LayoutTextMap;
class TextLayout;
} // namespace cw::detail

class UILabel : public UIView {
public:
    UILabel();
    explicit UILabel(const CGRect& frame);
    ~UILabel() override;

    std::string className() const override { return "UILabel"; }

    // Setting the plain text replaces any styled text, and the other way round.
    std::optional<std::string> text() const;
    void setText(const std::optional<std::string>& text);
    std::optional<NSAttributedString> attributedText() const;
    void setAttributedText(const std::optional<NSAttributedString>& text);

    // The font, colour and alignment of plain text, and of styled-text runs that set none.
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    // 0 means as many lines as the text needs.
    long numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(long lines);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    // The width multi-line text wraps at for the intrinsic size; 0 = the width layout gives.
    CGFloat preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(CGFloat width);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // Shrinking to fit: single-line text too wide for the label is drawn smaller, down to
    // `minimumScaleFactor` of its size (0: as small as it takes); what still does not fit is cut by
    // the line-break mode. The label's sizes (intrinsic, fitting) stay those of the full-size text.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    CGFloat minimumScaleFactor() const { return minimumScaleFactor_; }
    // Kept within 0...1.
    void setMinimumScaleFactor(CGFloat factor);
    // The scale the text is drawn at in the label's current bounds: 1 unless it shrinks to fit.
    CGFloat actualScaleFactor() const;

    // Where the text goes within `bounds`, at most `numberOfLines` lines (0 = no limit).
    virtual CGRect textRect(const CGRect& bounds, long numberOfLines) const;
    // Draws the text, centred vertically in `rect`, into the current graphics context.
    virtual void drawText(const CGRect& rect);

    // Hit testing of the text as `drawText` draws it in the bounds (a tapped link, the place of a
    // word): the UTF-16 index of the character under `point`, none beside the text; and the boxes
    // the characters of `range` take, one per line they reach. Points and boxes are in the
    // label's own coordinates.
    std::optional<std::size_t> characterIndex(CGPoint point) const;
    std::vector<CGRect> rects(NSRange range) const;

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    bool intrinsicSizeDependsOnWidth() const override;
    CGFloat lastBaselineOffsetFromBottom() const override;
    CGFloat firstBaselineOffsetFromTop() const override;
    void draw(const CGRect& rect) override;

private:
    void textChanged();
    void dropLayouts();
    // The text with every font at `scale` of its size; `shapedOnly`: no more of it than a layout
    // shapes.
    NSAttributedString styledContent(CGFloat scale = 1, bool shapedOnly = false) const;
    const cw::detail::LabelText& layoutFor(CGFloat width, long lines) const;
    // The scale at which the text fits `width` on one line (1 when it fits or may not shrink), and
    // the text laid out at that scale in `width`.
    CGFloat scaleToFit(CGFloat width) const;
    const cw::detail::LabelText& drawingLayout(CGFloat width) const;

    std::optional<std::string> text_;
    std::optional<NSAttributedString> attributed_;
    UIFont font_;
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::natural;
    long numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakMode::byTruncatingTail;
    CGFloat preferredMaxLayoutWidth_ = 0;
    bool enabled_ = true;
    bool adjustsFontSize_ = false;
    CGFloat minimumScaleFactor_ = 0;
    // The shrunk text of the last width drawn at.
    mutable std::unique_ptr<cw::detail::LabelText> shrunk_;
    mutable CGFloat shrunkWidth_ = -1;
    mutable CGFloat shrunkScale_ = 1;
    // Laid-out text for the last few widths asked for.
    mutable std::unique_ptr<cw::detail::LabelText> cache_[3];
    mutable unsigned cacheNext_ = 0;
};

namespace cw::detail {

// A text laid out once with Pango for a width and line limit: its size, baselines and drawing.
class LabelText {
public:
    // `width` <= 0 lays the text out unwrapped; `lines` 0 = no limit. Styled text (`perParagraph`)
    // is laid out paragraph by paragraph, each with its own indents, spacing and alignment, the
    // way NSAttributedString measures and draws it; `alignment` then applies to paragraphs
    // without a paragraph style.
    LabelText(const NSAttributedString& text, const UIFont& font, const UIColor& color,
              NSTextAlignment alignment, NSLineBreakMode mode, CGFloat width, long lines,
              bool perParagraph = false);
    ~LabelText();
    LabelText(const LabelText&) = delete;
    LabelText& operator=(const LabelText&) = delete;

    CGFloat width() const { return width_; }
    long lines() const { return lines_; }
    CGSize size() const { return size_; }
    CGFloat firstBaseline() const { return firstBaseline_; }
    CGFloat lastBaseline() const { return lastBaseline_; }
    int lineCount() const { return lineCount_; }
    // The left edge of line `index`'s text and its baseline, from the text's top left.
    CGPoint lineOrigin(int index) const;
    // Draws with the text's top left at `origin`.
    void draw(cairo_t* cr, CGPoint origin) const;
    // Hit testing from the text's top left (see UILabel).
    std::optional<std::size_t> characterIndex(CGPoint point) const;
    std::vector<CGRect> rects(NSRange range) const;

private:
    void* layout_ = nullptr; // PangoLayout
    std::unique_ptr<LayoutTextMap> map_;
    std::unique_ptr<TextLayout> paragraphs_;
    CGFloat width_;
    long lines_;
    CGSize size_;
    CGFloat firstBaseline_ = 0;
    CGFloat lastBaseline_ = 0;
    int lineCount_ = 0;
    bool clipped_ = false;
};

} // namespace cw::detail
