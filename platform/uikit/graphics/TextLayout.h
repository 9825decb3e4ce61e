#pragma once

// Lays styled text out with Pango, one Pango layout per paragraph so that each paragraph keeps
// its own indents, spacing and alignment. Internal to the graphics library.

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/PangoSupport.h"

#include <optional>
#include <vector>

namespace cw::detail {

class TextLayout {
public:
    // `width` <= 0 lays every paragraph out on one unwrapped line. `maximumNumberOfLines` > 0
    // keeps that many lines in all, the last one cut with an ellipsis when text remains.
    TextLayout(const NSAttributedString& text, CGFloat width, int maximumNumberOfLines = 0);
    // The same, with the font and colour of runs that set none, and the alignment of paragraphs
    // without a paragraph style (a label's own settings).
    TextLayout(const NSAttributedString& text, CGFloat width, int maximumNumberOfLines, const UIFont& font,
               const UIColor& color, NSTextAlignment alignment);

    CGSize size() const { return size_; }
    // The lines shown, each with the left edge of its text and its baseline, from the layout's top left.
    int lineCount() const { return static_cast<int>(lines_.size()); }
    CGPoint lineOrigin(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    // Draws with the layout's top left at `origin` in the current user space of `cr`.
    void draw(cairo_t* cr, CGPoint origin) const;

    // Hit testing, from the layout's top left: the UTF-16 index of the character drawn under
    // `point` (none beside every line's text), and the boxes the characters of `range` take, one
    // per line they reach.
    std::optional<std::size_t> characterIndex(CGPoint point) const;
    std::vector<CGRect> rects(NSRange range) const;

private:
    struct Paragraph {
        GObjectPtr<PangoLayout> layout;
        LayoutTextMap map;
        CGFloat x = 0;
        CGFloat y = 0;
        std::size_t start = 0; // UTF-16 index of the paragraph's first character in the whole text
        std::size_t end = 0;   // and of its end
    };
    std::vector<Paragraph> paragraphs_;
    std::vector<CGPoint> lines_;
    CGSize size_;
};

// The font runs without one are measured and drawn in.
UIFont defaultTextFont();

// Hit testing within one Pango layout, with UTF-16 indices into the text `map` maps to the layout's
// and points from the layout's top left.
std::optional<std::size_t> layoutCharacterIndex(PangoLayout* layout, const LayoutTextMap& map, CGPoint point);
void appendLayoutRects(PangoLayout* layout, const LayoutTextMap& map, std::size_t start, std::size_t end,
                       CGPoint origin, std::vector<CGRect>& rects);

} // namespace cw::detail
