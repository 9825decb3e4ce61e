#include "kits/webview/WebDocument.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace cw::webview {

namespace {

// The size the HTML importer gives body text (the platform importer's default).
constexpr CGFloat kImportedBodySize = 12;

NSParagraphStyle scaled(NSParagraphStyle p, CGFloat k) {
    p.lineSpacing *= k;
    p.paragraphSpacing *= k;
    p.paragraphSpacingBefore *= k;
    p.headIndent *= k;
    p.firstLineHeadIndent *= k;
    p.tailIndent *= k;
    p.minimumLineHeight *= k;
    p.maximumLineHeight *= k;
    for (auto& stop : p.tabStops)
        stop *= k;
    return p;
}

NSAttributedString scaled(const NSAttributedString& text, CGFloat k) {
    NSMutableAttributedString out;
    const std::u16string& s = text.utf16();
    for (const auto& run : text.runs()) {
        TextAttributes a = run.attributes;
        if (a.font) a.font = a.font->withSize(a.font->pointSize() * k);
        if (a.paragraphStyle) a.paragraphStyle = scaled(*a.paragraphStyle, k);
        out.append(NSAttributedString::fromUTF16(s.substr(run.range.location, run.range.length), a));
    }
    return out;
}

bool blank(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0; });
}

// A paragraph's blocks: its text, cut where pictures stand (text that is only blanks between
// them goes), the paragraph's spacing before the first and after the last.
void appendParagraph(WebDocument& doc, const NSAttributedString& text, NSRange range, WebBlock spacing) {
    const std::u16string& s = text.utf16();
    const std::size_t first = doc.blocks.size();
    std::size_t start = range.location;
    // The blanks beside a picture went with the line it stood on.
    auto cut = [&](std::size_t end, bool beforePicture) {
        const bool afterPicture = start > range.location;
        const auto isBlank = [&](std::size_t i) { return blank(std::u16string_view(s).substr(i, 1)); };
        while (afterPicture && start < end && isBlank(start))
            ++start;
        while (beforePicture && end > start && isBlank(end - 1))
            --end;
        if (end > start && !blank(std::u16string_view(s).substr(start, end - start)))
            doc.blocks.push_back({.text = text.attributedSubstring({start, end - start})});
    };
    for (std::size_t i = range.location; i < range.end(); ++i) {
        if (s[i] != u'\uFFFC') continue;
        auto attachment = text.attributes(i).attachment;
        if (!attachment) continue;
        cut(i, true);
        WebBlock picture;
        picture.picture = std::move(attachment);
        doc.blocks.push_back(std::move(picture));
        start = i + 1;
    }
    if (first == doc.blocks.size())
        doc.blocks.push_back({.text = text.attributedSubstring(range)});
    else
        cut(range.end(), false);
    doc.blocks[first].spacingBefore = spacing.spacingBefore;
    doc.blocks.back().spacingAfter = spacing.spacingAfter;
}

WebDocument tooLongDocument() {
    WebDocument doc;
    doc.tooLong = true;
    return doc;
}

// One block per paragraph (or more, with pictures). A line feed that ends the text opens no
// further paragraph.
WebDocument split(const NSAttributedString& text, const UIFont& blankFont) {
    WebDocument doc;
    const std::u16string& s = text.utf16();
    std::size_t start = 0;
    while (start < s.size()) {
        if (doc.blocks.size() > kMaxPageBlocks) return tooLongDocument();
        std::size_t end = s.find(u'\n', start);
        if (end == std::u16string::npos) end = s.size();
        std::size_t length = end - start;
        if (length > 0 && s[end - 1] == u'\r') --length; // "\r\n" ends one line
        WebBlock spacing;
        const TextAttributes head = text.attributes(std::min(start, s.size() - 1));
        if (head.paragraphStyle) {
            spacing.spacingBefore = head.paragraphStyle->paragraphSpacingBefore;
            spacing.spacingAfter = head.paragraphStyle->paragraphSpacing;
        }
        if (length > 0) {
            appendParagraph(doc, text, {start, length}, std::move(spacing));
        } else {
            spacing.blankHeight = head.font.value_or(blankFont).lineHeight();
            doc.blocks.push_back(std::move(spacing));
        }
        start = end + 1;
    }
    if (doc.blocks.size() > kMaxPageBlocks) return tooLongDocument();
    return doc;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

WebDocument WebDocument::fromHTML(std::string_view body) {
    bool tooLarge = false;
    const auto imported = NSAttributedString::fromHTML(body, /*keepPictures=*/true, {}, &tooLarge);
    if (tooLarge) return tooLongDocument();
    if (!imported) return {};
    const CGFloat k = kBodyTextSize / kImportedBodySize;
    return split(scaled(*imported, k), UIFont::systemFont(kBodyTextSize));
}

WebDocument WebDocument::fromPlainText(std::string_view body) {
    const UIFont font = UIFont::named("CourierNewPSMT", kPlainTextSize).value_or(UIFont::systemFont(kPlainTextSize));
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    // Counted before the text is made: each line would be a block.
    if (body.size() > HTMLImportLimits{}.characters ||
        static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')) > kMaxPageBlocks)
        return tooLongDocument();
    TextAttributes a;
    a.font = font;
    a.foregroundColor = UIColor(0, 0, 0, 1);
    return split(NSAttributedString(body, a), font);
}

void WebDocument::measure(CGFloat textWidth) {
    for (auto& block : blocks) {
        if (block.text.empty()) continue;
        const CGFloat h = block.text.boundingRect({textWidth, 0}).size.height;
        block.measuredHeight = std::ceil(h * kMainScreenScale - 1e-6) / kMainScreenScale;
    }
    measuredWidth = textWidth;
}

WebContentKind webContentKind(const std::optional<std::string>& mimeType, std::string_view body) {
    if (!mimeType || mimeType->empty()) {
        const auto first = std::find_if(body.begin(), body.end(),
                                        [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
        if (body.empty() || first == body.end() || *first == '<') return WebContentKind::html;
        return WebContentKind::plainText;
    }
    const std::string type = lower(*mimeType);
    if (type == "text/html" || type == "application/xhtml+xml") return WebContentKind::html;
    // Text of any kind, and the script and data types a browser shows as text.
    if (type.starts_with("text/") || type == "application/json" || type == "application/javascript")
        return WebContentKind::plainText;
    return WebContentKind::unsupported;
}

} // namespace cw::webview
