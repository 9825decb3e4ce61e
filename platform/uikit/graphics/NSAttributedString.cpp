#include "uikit/graphics/NSAttributedString.h"

#include "foundation/text/Utf8.h"

#include <algorithm>

// ---- UTF conversions ----------------------------------------------------------------------

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// Malformed sequences, surrogates and overlong forms give U+FFFD and consume one byte.
char32_t decodeUTF8(std::string_view s, std::size_t& i) { return cw::decodeUtf8(s, i).value_or(kReplacement); }

void appendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::u32string cw::utf8ToUTF32(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        out += decodeUTF8(text, i);
    return out;
}

std::u16string cw::utf8ToUTF16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = decodeUTF8(text, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string cw::utf16ToUTF8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement; // a lone surrogate, e.g. from an edit that split a pair
        }
        appendUTF8(out, cp);
    }
    return out;
}

// ---- attributes ---------------------------------------------------------------------------

void TextAttributes::merge(const TextAttributes& o) {
    if (o.font) font = o.font;
    if (o.foregroundColor) foregroundColor = o.foregroundColor;
    if (o.backgroundColor) backgroundColor = o.backgroundColor;
    if (o.paragraphStyle) paragraphStyle = o.paragraphStyle;
    if (o.link) link = o.link;
    if (o.underlineStyle) underlineStyle = o.underlineStyle;
    if (o.attachment) attachment = o.attachment;
}

void TextAttributes::remove(Key key) {
    switch (key) {
    case Key::font:
        font.reset();
        break;
    case Key::foregroundColor:
        foregroundColor.reset();
        break;
    case Key::backgroundColor:
        backgroundColor.reset();
        break;
    case Key::paragraphStyle:
        paragraphStyle.reset();
        break;
    case Key::attachment:
        attachment.reset();
        break;
    case Key::link:
        link.reset();
        break;
    case Key::underlineStyle:
        underlineStyle.reset();
        break;
    }
}

// ---- NSAttributedString -------------------------------------------------------------------

NSAttributedString::NSAttributedString(std::string_view text, const TextAttributes& attributes)
    : text_(cw::utf8ToUTF16(text)) {
    if (!text_.empty()) runs_.push_back({{0, text_.size()}, attributes});
}

NSAttributedString NSAttributedString::fromUTF16(std::u16string text, const TextAttributes& attributes) {
    NSAttributedString s;
    s.text_ = std::move(text);
    if (!s.text_.empty()) s.runs_.push_back({{0, s.text_.size()}, attributes});
    return s;
}

std::string NSAttributedString::string() const {
    return cw::utf16ToUTF8(text_);
}

void NSAttributedString::normalize() {
    std::vector<Run> out;
    out.reserve(runs_.size());
    std::size_t at = 0;
    for (auto& r : runs_) {
        if (r.range.length == 0) continue;
        if (!out.empty() && out.back().attributes == r.attributes) {
            out.back().range.length += r.range.length;
        } else {
            out.push_back({{at, r.range.length}, std::move(r.attributes)});
        }
        at += r.range.length;
    }
    runs_ = std::move(out);
}

void NSAttributedString::checkRange(NSRange& range) const {
    range.location = std::min(range.location, text_.size());
    range.length = std::min(range.length, text_.size() - range.location);
}

TextAttributes NSAttributedString::attributes(std::size_t index, NSRange* effectiveRange) const {
    for (const auto& r : runs_) {
        if (r.range.contains(index)) {
            if (effectiveRange) *effectiveRange = r.range;
            return r.attributes;
        }
    }
    if (effectiveRange) *effectiveRange = {std::min(index, text_.size()), 0};
    return {};
}

std::vector<NSAttributedString::Run> NSAttributedString::runs(std::optional<NSRange> range) const {
    NSRange limit = range.value_or(NSRange{0, text_.size()});
    checkRange(limit);
    std::vector<Run> out;
    for (const auto& r : runs_) {
        const std::size_t from = std::max(r.range.location, limit.location);
        const std::size_t to = std::min(r.range.end(), limit.end());
        if (from < to) out.push_back({{from, to - from}, r.attributes});
    }
    return out;
}

void NSAttributedString::enumerateAttributes(
    NSRange range, const std::function<void(const TextAttributes&, NSRange, bool&)>& body) const {
    bool stop = false;
    for (const auto& r : runs(range)) {
        body(r.attributes, r.range, stop);
        if (stop) break;
    }
}

NSAttributedString NSAttributedString::attributedSubstring(NSRange range) const {
    checkRange(range);
    NSAttributedString s;
    s.text_ = text_.substr(range.location, range.length);
    for (auto r : runs(range)) {
        r.range.location -= range.location;
        s.runs_.push_back(std::move(r));
    }
    return s;
}

// ---- NSMutableAttributedString ------------------------------------------------------------

void NSMutableAttributedString::replaceUTF16(NSRange range, std::u16string_view text,
                                             const std::vector<Run>* newRuns) {
    checkRange(range);
    if (range.length == 0 && range.location == text_.size()) {
        // Appending (how documents are built, piece by piece) touches only the end, so that building a
        // long text stays linear.
        if (text.empty()) return;
        if (!newRuns) {
            if (runs_.empty())
                runs_.push_back({{0, text.size()}, {}});
            else
                runs_.back().range.length += text.size();
        } else {
            for (const auto& r : *newRuns) {
                if (r.range.length == 0) continue;
                if (!runs_.empty() && runs_.back().attributes == r.attributes)
                    runs_.back().range.length += r.range.length;
                else
                    runs_.push_back({{text_.size(), r.range.length}, r.attributes});
                text_.append(text.substr(r.range.location, r.range.length));
            }
            return;
        }
        text_.append(text);
        return;
    }
    std::vector<Run> inserted;
    if (newRuns) {
        inserted = *newRuns;
    } else if (!text.empty()) {
        TextAttributes attrs;
        if (range.length > 0)
            attrs = attributes(range.location);
        else if (range.location > 0)
            attrs = attributes(range.location - 1);
        else
            attrs = attributes(0);
        inserted.push_back({{0, text.size()}, attrs});
    }
    std::vector<Run> result = runs(NSRange{0, range.location});
    for (auto& r : inserted)
        result.push_back(std::move(r));
    for (auto& r : runs(NSRange{range.end(), text_.size() - range.end()}))
        result.push_back(std::move(r));
    text_.replace(range.location, range.length, text);
    runs_ = std::move(result);
    normalize();
}

void NSMutableAttributedString::replaceCharacters(NSRange range, std::string_view text) {
    replaceUTF16(range, cw::utf8ToUTF16(text), nullptr);
}

void NSMutableAttributedString::replaceCharacters(NSRange range, const NSAttributedString& text) {
    auto r = text.runs();
    replaceUTF16(range, text.utf16(), &r);
}

void NSMutableAttributedString::insert(const NSAttributedString& text, std::size_t index) {
    replaceCharacters(NSRange{index, 0}, text);
}

void NSMutableAttributedString::append(const NSAttributedString& text) {
    replaceCharacters(NSRange{length(), 0}, text);
}

namespace {
template <typename Change>
void changeAttributes(std::vector<NSAttributedString::Run>& runs, NSRange range, Change change) {
    std::vector<NSAttributedString::Run> out;
    for (auto& r : runs) {
        const std::size_t from = std::max(r.range.location, range.location);
        const std::size_t to = std::min(r.range.end(), range.end());
        if (from >= to) {
            out.push_back(std::move(r));
            continue;
        }
        if (r.range.location < from)
            out.push_back({{r.range.location, from - r.range.location}, r.attributes});
        TextAttributes changed = r.attributes;
        change(changed);
        out.push_back({{from, to - from}, std::move(changed)});
        if (to < r.range.end()) out.push_back({{to, r.range.end() - to}, r.attributes});
    }
    runs = std::move(out);
}
} // namespace

void NSMutableAttributedString::setAttributes(const TextAttributes& attributes, NSRange range) {
    checkRange(range);
    changeAttributes(runs_, range, [&](TextAttributes& a) { a = attributes; });
    normalize();
}

void NSMutableAttributedString::addAttributes(const TextAttributes& attributes, NSRange range) {
    checkRange(range);
    changeAttributes(runs_, range, [&](TextAttributes& a) { a.merge(attributes); });
    normalize();
}

void NSMutableAttributedString::removeAttribute(TextAttributes::Key key, NSRange range) {
    checkRange(range);
    changeAttributes(runs_, range, [&](TextAttributes& a) { a.remove(key); });
    normalize();
}

std::size_t NSMutableAttributedString::replaceOccurrences(std::string_view target,
                                                          std::string_view replacement) {
    const std::u16string needle = cw::utf8ToUTF16(target);
    if (needle.empty()) return 0;
    const std::u16string with = cw::utf8ToUTF16(replacement);
    std::size_t count = 0;
    std::size_t at = 0;
    while ((at = text_.find(needle, at)) != std::u16string::npos) {
        replaceUTF16(NSRange{at, needle.size()}, with, nullptr);
        at += with.size();
        ++count;
    }
    return count;
}
