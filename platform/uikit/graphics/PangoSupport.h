#pragma once

// Internal glue between the graphics values and Pango/Cairo. Not for app code.

#include "uikit/graphics/UIFont.h"

#include <cstddef>
#include <cstdint>

#include <memory>
#include <vector>
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

// What a layout can show, which bounds the text it hands to Pango. Shaping costs time and memory
// in proportion to the text shaped, whatever little of it is shown: a label of one line given ten
// megabytes would shape them all.
struct ShapingLimits {
    // The width lines wrap at; <= 0: each paragraph is one unwrapped line.
    CGFloat width = 0;
    // The most lines shown; 0: any number.
    long lines = 0;
    // Lines wrap between words and break a word longer than a line between its characters.
    bool wrapsWords = false;
    // The most characters (code points) shaped, whatever the lines show (what is left of a text's
    // share when it is laid out a paragraph at a time).
    std::size_t characters = SIZE_MAX;
};

// The most characters (code points) of a text any layout shapes: more than the longest text a
// member can write (5,000 characters, as the server counts them), in any script, so that whatever
// a person wrote is laid out whole; what a hostile server sends past it is cut and ends in an
// ellipsis. Laying a text out costs time in proportion to its characters (a word longer than a line
// and a line of emoji included, see setStyledText), so this bounds a layout's time too.
inline constexpr std::size_t kMostShapedCharacters = 8'192;
// The widest an unwrapped line is laid out, in points: past any screen.
inline constexpr CGFloat kWidestShapedLine = 2048;

// Where the characters of the UTF-16 range handed to a layout lie in the layout's UTF-8 text, which
// may hold less (what no line can show is cut) or more (line separators put in where lines end).
class LayoutTextMap {
public:
    // A character skipped from `original` (from the range's start) up to `originalEnd`, where the
    // layout's text went on with its character `shaped`.
    struct Gap {
        std::size_t original = 0;
        std::size_t originalEnd = 0;
        std::size_t shaped = 0;
    };
    LayoutTextMap() = default;
    LayoutTextMap(std::vector<unsigned> offsets, std::vector<Gap> gaps, std::size_t characters = 0)
        : offsets_(std::move(offsets)), gaps_(std::move(gaps)), characters_(characters) {}
    // The UTF-16 index, from the range's start, of the character at (or holding) `byteIndex`.
    std::size_t utf16Index(int byteIndex) const;
    // The byte index in the layout's text of UTF-16 index `index` from the range's start: for a
    // character that was cut, where the text goes on past it.
    int byteIndex(std::size_t index) const;
    // The UTF-16 units shaped.
    std::size_t shapedUnits() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    // The characters (code points) shaped.
    std::size_t shapedCharacters() const { return characters_; }

private:
    // The byte offset of every UTF-16 unit shaped, and of their end.
    std::vector<unsigned> offsets_;
    // In order.
    std::vector<Gap> gaps_;
    std::size_t characters_ = 0;
};

// Sets `layout`'s text to the UTF-16 range [start, end) of `text`, with one attribute list of the
// runs' fonts, colours, background colours and underlines; runs without a font or a colour are
// shown in `font` and `color`. Only what `limits` can show is shaped: the rest is cut. Lines
// wrapped by words (with the layout's indent, set before) get a line separator wherever a line ends
// other than after a space, found in one pass over the text shaped on one line, so that Pango
// shapes each line once instead of searching for its end (see lineEnds in StyledPango.cpp).
LayoutTextMap setStyledText(PangoLayout* layout, const NSAttributedString& text, std::size_t start,
                            std::size_t end, const UIFont& font, const UIColor& color,
                            const ShapingLimits& limits = {});

// The UTF-16 units this thread's layouts have handed to Pango, since the thread started: what
// laying text out has cost, for tests and benchmarks.
std::size_t shapedUnitCount();

} // namespace cw::detail
