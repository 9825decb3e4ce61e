#pragma once

// What a web view shows of a page: its body turned into blocks of styled text, one per paragraph,
// ready to be laid out at any width. HTML goes through the styled-text importer and is scaled so
// that body text is 16 points (headings, spacing and indents in proportion, as a browser's default
// style sheet has them), and each picture is a block of its own; other text shows as it is, in a
// fixed-width face. Plain values: they can be built on any thread.

#include "uikit/graphics/NSAttributedString.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cw::webview {

inline constexpr CGFloat kBodyTextSize = 16;
inline constexpr CGFloat kPlainTextSize = 13;
// Between the page's text and the edges of the view.
inline constexpr CGFloat kPageMargin = 16;
// The most blocks a page lays out (each a label of its own, a few kilobytes): a long article holds
// a few hundred. The importer's limits (HTMLImportLimits) bound its elements and characters.
inline constexpr std::size_t kMaxPageBlocks = 10'000;

struct WebBlock {
    // One paragraph without its line feed, or the text of one between its pictures. Empty, and no
    // picture: a blank line `blankHeight` high.
    NSAttributedString text;
    // A picture of the page (<img>), shown at most as wide as the text.
    std::optional<NSTextAttachment> picture = std::nullopt;
    CGFloat blankHeight = 0;
    CGFloat spacingBefore = 0;
    CGFloat spacingAfter = 0;
    // The text's height at the document's `measuredWidth`.
    CGFloat measuredHeight = 0;
};

struct WebDocument {
    std::vector<WebBlock> blocks;
    // The text width the blocks were measured at (none: not measured).
    CGFloat measuredWidth = -1;
    // The page would lay out more than a page may (more blocks than kMaxPageBlocks, or more than
    // the importer's limits): it has no blocks, and is read no further than its first block or
    // character past them.
    bool tooLong = false;

    // Measures every block's text at `textWidth`, rounded to the pixel grid as a label rounds its
    // size, so a page read away from the main thread is shown there without measuring again.
    void measure(CGFloat textWidth);

    // A document that cannot be read at all gives an empty page, as a browser shows one.
    static WebDocument fromHTML(std::string_view body);
    static WebDocument fromPlainText(std::string_view body);
};

// How a reply is shown, by its content type (without parameters, lower-cased). A reply that
// names none is read as HTML when its first character that is not a blank is "<".
enum class WebContentKind { html, plainText, unsupported };
WebContentKind webContentKind(const std::optional<std::string>& mimeType, std::string_view body);

} // namespace cw::webview
