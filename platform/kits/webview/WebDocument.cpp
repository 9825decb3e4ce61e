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

// One block per paragraph. A line feed that ends the text opens no further paragraph.
WebDocument split(const NSAttributedString& text, const UIFont& blankFont) {
    WebDocument doc;
    const std::u16string& s = text.utf16();
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t end = s.find(u'\n', start);
        if (end == std::u16string::npos) end = s.size();
        std::size_t length = end - start;
        if (length > 0 && s[end - 1] == u'\r') --length; // "\r\n" ends one line
        WebBlock block;
        const TextAttributes head = text.attributes(std::min(start, s.size() - 1));
        if (head.paragraphStyle) {
            block.spacingBefore = head.paragraphStyle->paragraphSpacingBefore;
            block.spacingAfter = head.paragraphStyle->paragraphSpacing;
        }
        if (length > 0)
            block.text = text.attributedSubstring({start, length});
        else
            block.blankHeight = head.font.value_or(blankFont).lineHeight();
        doc.blocks.push_back(std::move(block));
        start = end + 1;
    }
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
    const auto imported = NSAttributedString::fromHTML(body);
    if (!imported) return {};
    const CGFloat k = kBodyTextSize / kImportedBodySize;
    return split(scaled(*imported, k), UIFont::systemFont(kBodyTextSize));
}

WebDocument WebDocument::fromPlainText(std::string_view body) {
    const UIFont font = UIFont::named("CourierNewPSMT", kPlainTextSize).value_or(UIFont::systemFont(kPlainTextSize));
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
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
