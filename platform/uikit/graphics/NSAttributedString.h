#pragma once

// Styled text: a text with attribute runs (font, colours, paragraph style, link, underline).
// Indices and ranges count UTF-16 code units, as the platform's do, so that ranges computed on
// the plain text match; `string()` gives the text as UTF-8. Values are plain data with no shared
// state, so they can be built, measured and drawn on any thread (the feed renders them on a
// background queue), one thread at a time per value.

#include "foundation/text/NSRange.h"
#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class NSTextAlignment { left, center, right, justified, natural };
enum class NSLineBreakMode {
    byWordWrapping,
    byCharWrapping,
    byClipping,
    byTruncatingHead,
    byTruncatingTail,
    byTruncatingMiddle
};
enum class NSUnderlineStyle { none, single, thick, double_ };

// A paragraph's layout: the platform's immutable and mutable paragraph styles are one value
// type here; a "mutable copy" is a copy.
struct NSParagraphStyle {
    NSTextAlignment alignment = NSTextAlignment::natural;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::byWordWrapping;
    CGFloat lineSpacing = 0;            // extra space between the lines of the paragraph
    CGFloat paragraphSpacing = 0;       // space after the paragraph
    CGFloat paragraphSpacingBefore = 0; // space before the paragraph
    CGFloat headIndent = 0;             // indent of every line but the first
    CGFloat firstLineHeadIndent = 0;    // indent of the first line
    CGFloat tailIndent = 0; // > 0: line width from the leading edge; < 0: inset from the trailing edge
    CGFloat minimumLineHeight = 0;
    CGFloat maximumLineHeight = 0;
    // Left tab stops, in points from the leading edge, in increasing order; past the last one (or
    // with none) tabs stop at Pango's default interval.
    std::vector<CGFloat> tabStops;

    static NSParagraphStyle defaultStyle() { return {}; }
    friend bool operator==(const NSParagraphStyle&, const NSParagraphStyle&) = default;
};
using NSMutableParagraphStyle = NSParagraphStyle;

// A picture standing in the text in place of U+FFFC, the object replacement character. The HTML
// importer keeps an <img> as one when asked to: the address as the page wrote it, the size the page
// gave it (0 where it gave none) and its alternative text. Nothing is fetched.
struct NSTextAttachment {
    std::string source;
    CGSize size;
    std::string alternateText;
    friend bool operator==(const NSTextAttachment&, const NSTextAttachment&) = default;
};

// What an HTML import may build at most: elements (those the markup names, those the parser
// supplies, their attributes, and comments) and characters of text (counted as UTF-8 bytes). What a document
// costs is what it becomes, not its bytes: a few bytes of markup make an element, and each element costs
// hundreds. The largest article holds a few thousand of each.
//
// And the attributes of one start tag: the parser checks each against all before it in the same
// tag, before anything is built, so a tag's cost grows with the square of their number. A page's
// tags hold a handful each. They are counted before the parser reads the tag, wherever the markup
// around it may hide one (a long name counts once for each 64 characters of it).
struct HTMLImportLimits {
    std::size_t elements = 50'000;
    std::size_t characters = 1'000'000;
    std::size_t tagAttributes = 256;
};

// The attributes of one run; an empty field means the attribute is absent.
struct TextAttributes {
    enum class Key { font, foregroundColor, backgroundColor, paragraphStyle, link, underlineStyle, attachment };

    std::optional<UIFont> font = std::nullopt;
    std::optional<UIColor> foregroundColor = std::nullopt;
    std::optional<UIColor> backgroundColor = std::nullopt;
    std::optional<NSParagraphStyle> paragraphStyle = std::nullopt;
    std::optional<std::string> link = std::nullopt;
    std::optional<NSUnderlineStyle> underlineStyle = std::nullopt;
    std::optional<NSTextAttachment> attachment = std::nullopt;

    bool empty() const { return *this == TextAttributes{}; }
    // Sets every field that `other` holds, keeping the rest.
    void merge(const TextAttributes& other);
    void remove(Key key);
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// `NSStringDrawingOptions`: without `usesLineFragmentOrigin` a text is measured and drawn as one line.
enum class NSStringDrawingOptions : unsigned { none = 0, usesLineFragmentOrigin = 1 };

class NSAttributedString {
public:
    struct Run {
        NSRange range;
        TextAttributes attributes;
    };

    NSAttributedString() = default;
    // UTF-8 text with one set of attributes over the whole of it. Invalid UTF-8 becomes U+FFFD.
    explicit NSAttributedString(std::string_view text, const TextAttributes& attributes = {});
    static NSAttributedString fromUTF16(std::u16string text, const TextAttributes& attributes = {});

    // Imports an HTML document (UTF-8, or UTF-16 with a byte-order mark) the way the platform's
    // importer does: paragraphs end in a line feed, list items read tab, bullet, tab before their
    // text, bold/italic/headings/links/underline become fonts and attributes, and every run
    // carries a paragraph style. Damaged markup is repaired; nothing is fetched from the network.
    // Gives none when the data holds no document at all, or a document past `limits` (read no
    // further than the first element, character or tag past them; `tooLarge`, when given, says so).
    // Pictures (<img>) are left out, unless `keepPictures`: then each is a U+FFFC with its
    // attachment (a web view shows them).
    static std::optional<NSAttributedString> fromHTML(std::string_view data, bool keepPictures = false,
                                                     const HTMLImportLimits& limits = {},
                                                     bool* tooLarge = nullptr);

    std::string string() const;
    const std::u16string& utf16() const { return text_; }
    std::size_t length() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

    // Attributes at a UTF-16 index, and the range of the run that holds them. An index at or past
    // the end gives empty attributes and an empty range.
    TextAttributes attributes(std::size_t index, NSRange* effectiveRange = nullptr) const;
    // The runs that meet `range`, clipped to it, in order. Adjacent equal runs are merged.
    std::vector<Run> runs(std::optional<NSRange> range = std::nullopt) const;
    // Calls `body` for each run of `runs(range)`; setting `stop` ends the walk.
    void
    enumerateAttributes(NSRange range,
                        const std::function<void(const TextAttributes&, NSRange, bool& stop)>& body) const;

    NSAttributedString attributedSubstring(NSRange range) const;

    // Measuring, with Pango. `boundingRect` lays the text out within the width of `size` (0 = no
    // limit) and gives the box of its lines; `maximumNumberOfLines` > 0 keeps at most that many
    // lines (as a label does), the last one ending in an ellipsis when text is cut. `size()` is the
    // size of the text as one line per paragraph, unwrapped. Runs without a font are measured in
    // the default font (system 12 points, as the platform's text drawing does).
    CGRect boundingRect(CGSize size,
                        NSStringDrawingOptions options = NSStringDrawingOptions::usesLineFragmentOrigin,
                        int maximumNumberOfLines = 0) const;
    CGSize size() const;

    // Drawing into the current graphics context (see UIGraphics.h); nothing happens without one.
    void draw(CGPoint point) const;
    void draw(const CGRect& rect, int maximumNumberOfLines = 0) const;

    friend bool operator==(const NSAttributedString&, const NSAttributedString&) = default;

protected:
    void normalize();
    void checkRange(NSRange& range) const;

    std::u16string text_;
    // Runs cover the text exactly and in order; stored as lengths with attributes.
    std::vector<Run> runs_;
};

class NSMutableAttributedString : public NSAttributedString {
public:
    NSMutableAttributedString() = default;
    explicit NSMutableAttributedString(std::string_view text, const TextAttributes& attributes = {})
        : NSAttributedString(text, attributes) {}
    NSMutableAttributedString(const NSAttributedString& other) : NSAttributedString(other) {}

    // Range arguments are clipped to the text; out-of-range edits change nothing past the end.
    // New characters take the attributes of the first replaced character, or of the character
    // before them when nothing is replaced.
    void replaceCharacters(NSRange range, std::string_view text);
    void replaceCharacters(NSRange range, const NSAttributedString& text);
    void insert(const NSAttributedString& text, std::size_t index);
    void append(const NSAttributedString& text);
    void append(std::string_view text) { replaceCharacters(NSRange{length(), 0}, text); }
    void deleteCharacters(NSRange range) { replaceCharacters(range, std::string_view{}); }

    void setAttributes(const TextAttributes& attributes, NSRange range);
    void addAttributes(const TextAttributes& attributes, NSRange range);
    void removeAttribute(TextAttributes::Key key, NSRange range);

    // `mutableString.replaceOccurrences(of:with:options:range:)` with no options over the whole text:
    // literal, left to right, non-overlapping. Gives the number of replacements.
    std::size_t replaceOccurrences(std::string_view target, std::string_view replacement);

private:
    void replaceUTF16(NSRange range, std::u16string_view text, const std::vector<Run>* runs);
};

// Plain-text helpers of the platform's NSString drawing additions.
CGSize textSize(std::string_view text, const TextAttributes& attributes);
CGRect textBoundingRect(std::string_view text, CGSize size, const TextAttributes& attributes,
                        NSStringDrawingOptions options = NSStringDrawingOptions::usesLineFragmentOrigin);

namespace cw {
std::u16string utf8ToUTF16(std::string_view text);
std::string utf16ToUTF8(std::u16string_view text);
// Code points of a UTF-8 text; invalid bytes become U+FFFD.
std::u32string utf8ToUTF32(std::string_view text);
} // namespace cw
