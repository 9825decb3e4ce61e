// HTML to styled text on libxml2's HTML parser, following the conventions of the platform's
// importer that callers rely on: block elements end in a line feed, list items read
// tab, marker, tab before their text, and every run carries a font, a colour and a paragraph
// style. The parser runs in recovery mode without network access, so damaged markup still gives
// text, and external entities are never fetched.

#include "uikit/graphics/NSAttributedString.h"

#include "foundation/text/Utf8.h"

#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

constexpr CGFloat kBaseSize = 12;
constexpr CGFloat kListIndent = 36;
constexpr CGFloat kMarkerIndent = 11;
// Elements deeper than this are read flat, in the style of the one at this depth: no real document
// nests so deep, and a walk that went on would take a stack frame for each level.
constexpr int kMaxDepth = 256;

struct Style {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool mono = false;
    CGFloat size = kBaseSize;
    std::optional<UIColor> color;
    std::optional<UIColor> background;
    std::optional<std::string> link;
};

struct List {
    bool ordered = false;
    long counter = 1;
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::optional<UIColor> parseColor(std::string_view text) {
    const std::string s = lower(trim(text));
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (!s.empty() && s[0] == '#') {
        const std::string_view d = std::string_view(s).substr(1);
        if (!std::all_of(d.begin(), d.end(), [&](char c) { return hex(c) >= 0; })) return std::nullopt;
        if (d.size() == 3)
            return UIColor(hex(d[0]) * 17 / 255.0, hex(d[1]) * 17 / 255.0, hex(d[2]) * 17 / 255.0, 1);
        if (d.size() == 6)
            return UIColor((hex(d[0]) * 16 + hex(d[1])) / 255.0, (hex(d[2]) * 16 + hex(d[3])) / 255.0,
                           (hex(d[4]) * 16 + hex(d[5])) / 255.0, 1);
        return std::nullopt;
    }
    if (s.rfind("rgb(", 0) == 0 && s.back() == ')') {
        int v[3];
        if (std::sscanf(s.c_str(), "rgb(%d ,%d ,%d )", &v[0], &v[1], &v[2]) == 3) {
            for (int& x : v)
                x = std::clamp(x, 0, 255);
            return UIColor(v[0] / 255.0, v[1] / 255.0, v[2] / 255.0, 1);
        }
        return std::nullopt;
    }
    static constexpr std::pair<std::string_view, unsigned> kNamed[] = {
        {"black", 0x000000},  {"white", 0xFFFFFF},  {"red", 0xFF0000},  {"green", 0x008000},
        {"blue", 0x0000FF},   {"gray", 0x808080},   {"grey", 0x808080}, {"yellow", 0xFFFF00},
        {"orange", 0xFFA500}, {"purple", 0x800080}, {"navy", 0x000080}, {"silver", 0xC0C0C0},
    };
    for (const auto& [name, rgb] : kNamed)
        if (s == name)
            return UIColor(((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0,
                           1);
    return std::nullopt;
}

std::string attribute(xmlNode* node, const char* name) {
    xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!v) return {};
    std::string out(reinterpret_cast<const char*>(v));
    xmlFree(v);
    return out;
}

bool in(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements whose content shows nothing.
bool isHidden(std::string_view name) {
    return in(name, {"head", "title", "script", "style", "noscript", "template", "iframe", "object", "svg", "meta",
                     "link", "select", "option"});
}

// Elements that stand on lines of their own.
bool isBlock(std::string_view name) {
    return in(name, {"p",      "div",        "section", "article",    "header", "footer", "nav",
                     "aside",  "main",       "address", "blockquote", "pre",    "h1",     "h2",
                     "h3",     "h4",         "h5",      "h6",         "ul",     "ol",     "li",
                     "dl",     "dt",         "dd",      "table",      "tr",     "form",   "fieldset",
                     "figure", "figcaption", "center",  "body",       "html"});
}

class Builder {
public:
    explicit Builder(bool keepPictures) : keepPictures_(keepPictures) {}

    NSAttributedString result() && {
        NSAttributedString s = NSMutableAttributedString(out_);
        return s;
    }

    void walk(xmlNode* node, int depth) {
        for (xmlNode* n = node; n; n = n->next) {
            switch (n->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (n->content) text(reinterpret_cast<const char*>(n->content));
                break;
            case XML_ELEMENT_NODE:
                element(n, depth);
                break;
            default:
                break;
            }
        }
    }

private:
    void element(xmlNode* n, int depth) {
        if (depth > kMaxDepth) {
            flatten(n);
            return;
        }
        const std::string name = lower(reinterpret_cast<const char*>(n->name));
        if (isHidden(name)) return;
        if (name == "br") {
            emit(u"\n");
            lineStart_ = true;
            pendingSpace_ = false;
            return;
        }
        if (name == "hr") {
            endBlock();
            return;
        }
        if (name == "img") {
            if (keepPictures_) picture(n);
            return;
        }

        const Style savedStyle = style_;
        const NSParagraphStyle savedParagraph = paragraph_;
        const bool savedPre = pre_;
        const bool block = isBlock(name);
        if (block) endBlock();

        if (in(name, {"b", "strong", "th"})) style_.bold = true;
        if (in(name, {"i", "em", "cite", "var", "dfn", "address"})) style_.italic = true;
        if (in(name, {"u", "ins"})) style_.underline = true;
        if (in(name, {"code", "tt", "kbd", "samp", "pre"})) style_.mono = true;
        if (name == "pre") pre_ = true;
        if (name == "small") style_.size *= 0.83;
        if (name == "big") style_.size *= 1.2;
        if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
            static constexpr CGFloat kHeading[] = {2.0, 1.5, 1.17, 1.0, 0.83, 0.67};
            style_.size = kBaseSize * kHeading[name[1] - '1'];
            style_.bold = true;
            paragraph_.paragraphSpacing = kBaseSize;
        }
        if (name == "a") {
            const std::string href = attribute(n, "href");
            if (!href.empty()) {
                style_.link = href;
                style_.underline = true;
                style_.color = UIColor(0, 0, 238 / 255.0, 1);
            }
        }
        if (name == "font") {
            if (auto c = parseColor(attribute(n, "color"))) style_.color = c;
        }
        applyInlineStyle(attribute(n, "style"));
        // A paragraph's bottom margin of one line's height becomes space after it.
        if (name == "p") paragraph_.paragraphSpacing = style_.size;
        if (name == "blockquote") {
            paragraph_.headIndent += 40;
            paragraph_.firstLineHeadIndent += 40;
        }
        if (name == "ul" || name == "ol") {
            List list;
            list.ordered = name == "ol";
            if (list.ordered) {
                const std::string startText = attribute(n, "start");
                char* endp = nullptr;
                const long v = std::strtol(startText.c_str(), &endp, 10);
                if (!startText.empty() && endp && *endp == '\0') list.counter = v;
            }
            lists_.push_back(list);
        }
        if (name == "li") listItem();

        walk(n->children, depth + 1);

        if (name == "ul" || name == "ol") {
            lists_.pop_back();
            // A list's bottom margin, like a paragraph's, becomes space after its last item.
            if (lists_.empty()) spaceAfterLastParagraph(kBaseSize);
        }
        if (in(name, {"td", "th"})) emit(u"\t");
        if (block) endBlock();
        style_ = savedStyle;
        paragraph_ = savedParagraph;
        pre_ = savedPre;
    }

    // Markup nested deeper than any real document: its text, line breaks, paragraphs and pictures
    // in the style it stands in, read without recursion, however deep it goes.
    void flatten(xmlNode* top) {
        xmlNode* n = top;
        while (n) {
            bool enter = false;
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                if (n->content) text(reinterpret_cast<const char*>(n->content));
            } else if (n->type == XML_ELEMENT_NODE) {
                const std::string name = lower(reinterpret_cast<const char*>(n->name));
                if (name == "br") {
                    emit(u"\n");
                    lineStart_ = true;
                    pendingSpace_ = false;
                } else if (name == "img") {
                    if (keepPictures_) picture(n);
                } else if (!isHidden(name)) {
                    if (isBlock(name)) endBlock();
                    enter = n->children != nullptr;
                }
            }
            if (enter) {
                n = n->children;
                continue;
            }
            // On to the next node, closing the blocks left on the way up.
            while (n != top && !n->next) {
                n = n->parent;
                if (n->type == XML_ELEMENT_NODE && isBlock(lower(reinterpret_cast<const char*>(n->name))))
                    endBlock();
            }
            if (n == top) break;
            n = n->next;
        }
        if (top->type == XML_ELEMENT_NODE && isBlock(lower(reinterpret_cast<const char*>(top->name)))) endBlock();
    }

    // A picture stands in the text like a word.
    void picture(xmlNode* n) {
        NSTextAttachment attachment;
        attachment.source = std::string(trim(attribute(n, "src")));
        if (attachment.source.empty()) return;
        const auto length = [&](const char* name) -> CGFloat {
            const std::string text = attribute(n, name);
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            return !text.empty() && end && (*end == '\0' || std::string_view(end) == "px") && v > 0 && v < 1e5 ? v : 0;
        };
        attachment.size = {length("width"), length("height")};
        attachment.alternateText = attribute(n, "alt");
        if (pendingSpace_ && !lineStart_ && !afterMarker_) emitPendingSpace();
        pendingSpace_ = false;
        lineStart_ = false;
        afterMarker_ = false;
        TextAttributes a = attributes();
        a.attachment = std::move(attachment);
        out_.append(NSAttributedString::fromUTF16(u"\uFFFC", a));
    }

    void applyInlineStyle(const std::string& css) {
        std::string_view rest = css;
        while (!rest.empty()) {
            const auto semi = rest.find(';');
            const std::string_view decl = rest.substr(0, semi);
            rest = semi == std::string_view::npos ? std::string_view{} : rest.substr(semi + 1);
            const auto colon = decl.find(':');
            if (colon == std::string_view::npos) continue;
            const std::string key = lower(trim(decl.substr(0, colon)));
            const std::string_view value = trim(decl.substr(colon + 1));
            const std::string v = lower(value);
            if (key == "color") {
                if (auto c = parseColor(value)) style_.color = c;
            } else if (key == "background-color" || key == "background") {
                if (auto c = parseColor(value)) style_.background = c;
            } else if (key == "font-weight") {
                style_.bold = v == "bold" || v == "bolder" ||
                              (std::isdigit(v.empty() ? 'x' : v[0]) && std::atoi(v.c_str()) >= 600);
            } else if (key == "font-style") {
                style_.italic = v == "italic" || v == "oblique";
            } else if (key == "text-decoration") {
                if (v.find("underline") != std::string::npos) style_.underline = true;
                if (v == "none") style_.underline = false;
            } else if (key == "text-align") {
                if (v == "center")
                    paragraph_.alignment = NSTextAlignment::center;
                else if (v == "right")
                    paragraph_.alignment = NSTextAlignment::right;
                else if (v == "justify")
                    paragraph_.alignment = NSTextAlignment::justified;
                else if (v == "left")
                    paragraph_.alignment = NSTextAlignment::left;
            }
        }
    }

    void listItem() {
        const std::size_t depth = std::max<std::size_t>(1, lists_.size());
        std::u16string marker(depth, u'\t');
        if (!lists_.empty() && lists_.back().ordered) {
            marker += cw::utf8ToUTF16(std::to_string(lists_.back().counter++) + ".");
        } else {
            static constexpr char16_t kMarkers[] = {u'\u2022', u'\u25E6', u'\u25AA'};
            marker += kMarkers[std::min<std::size_t>(depth, 3) - 1];
        }
        marker += u'\t';
        paragraph_.headIndent = kListIndent * static_cast<CGFloat>(depth);
        paragraph_.firstLineHeadIndent = 0;
        // The leading tabs reach the item's level, the marker stands a little in from the text and
        // the text starts at the head indent, so wrapped lines align with it.
        paragraph_.tabStops.clear();
        for (std::size_t level = 1; level < depth; ++level)
            paragraph_.tabStops.push_back(kListIndent * static_cast<CGFloat>(level));
        paragraph_.tabStops.push_back(paragraph_.headIndent - kListIndent + kMarkerIndent);
        paragraph_.tabStops.push_back(paragraph_.headIndent);
        emit(marker);
        lineStart_ = false;
        afterMarker_ = true;
        pendingSpace_ = false;
    }

    // Gives the last paragraph written at least `spacing` after it.
    void spaceAfterLastParagraph(CGFloat spacing) {
        const std::u16string& text = out_.utf16();
        if (text.empty() || text.back() != u'\n') return;
        const std::size_t previous = text.size() < 2 ? std::u16string::npos : text.rfind(u'\n', text.size() - 2);
        const std::size_t start = previous == std::u16string::npos ? 0 : previous + 1;
        for (const auto& run : out_.runs(NSRange{start, text.size() - start})) {
            TextAttributes a = run.attributes;
            if (!a.paragraphStyle) continue;
            a.paragraphStyle->paragraphSpacing = std::max(a.paragraphStyle->paragraphSpacing, spacing);
            out_.setAttributes(a, run.range);
        }
    }

    void endBlock() {
        if (!lineStart_) {
            emit(u"\n");
            lineStart_ = true;
        }
        pendingSpace_ = false;
        afterMarker_ = false;
    }

    void text(const char* utf8) {
        const std::u16string s = cw::utf8ToUTF16(utf8);
        std::u16string chunk;
        for (char16_t c : s) {
            const bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
            if (pre_) {
                chunk += c == u'\r' ? u'\n' : c;
                continue;
            }
            if (space) {
                if (!pendingSpace_) pendingSpaceAttributes_ = attributes();
                pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_ && !lineStart_ && !afterMarker_) {
                // A blank left over from the text before an element keeps that text's style, so the
                // blank before a link or a bold word is neither underlined nor bold.
                if (chunk.empty() && pendingSpaceAttributes_ != attributes())
                    emitPendingSpace();
                else
                    chunk += u' ';
            }
            pendingSpace_ = false;
            lineStart_ = false;
            afterMarker_ = false;
            chunk += c;
        }
        if (pre_ && !chunk.empty()) {
            lineStart_ = chunk.back() == u'\n';
            afterMarker_ = false;
        }
        emit(chunk);
    }

    TextAttributes attributes() const {
        TextAttributes a;
        std::string face;
        if (style_.mono)
            face = "CourierNewPS";
        else
            face = "TimesNewRomanPS";
        if (style_.bold && style_.italic)
            face += "-BoldItalicMT";
        else if (style_.bold)
            face += "-BoldMT";
        else if (style_.italic)
            face += "-ItalicMT";
        else
            face += "MT";
        a.font = UIFont::named(face, style_.size);
        a.foregroundColor = style_.color.value_or(UIColor(0, 0, 0, 1));
        a.backgroundColor = style_.background;
        a.link = style_.link;
        if (style_.underline) a.underlineStyle = NSUnderlineStyle::single;
        a.paragraphStyle = paragraph_;
        return a;
    }

    void emitPendingSpace() { out_.append(NSAttributedString::fromUTF16(u" ", pendingSpaceAttributes_)); }

    void emit(std::u16string_view s) {
        if (s.empty()) return;
        out_.append(NSAttributedString::fromUTF16(std::u16string(s), attributes()));
    }

    bool keepPictures_;
    NSMutableAttributedString out_;
    Style style_;
    NSParagraphStyle paragraph_;
    std::vector<List> lists_;
    bool pre_ = false;
    bool lineStart_ = true;
    bool afterMarker_ = false;
    bool pendingSpace_ = false;
    TextAttributes pendingSpaceAttributes_;
};

// The document as valid UTF-8: a UTF-16 byte-order mark selects UTF-16, invalid sequences and
// NUL characters become U+FFFD. A document that is valid UTF-8 already (nearly every one) is read
// where it lies; any other is copied once.
std::string_view normalizedUTF8(std::string_view data, std::string& storage) {
    if (data.size() >= 2 &&
        (static_cast<unsigned char>(data[0]) == 0xFF || static_cast<unsigned char>(data[0]) == 0xFE) &&
        static_cast<unsigned char>(data[1]) == (static_cast<unsigned char>(data[0]) ^ 0x01)) {
        const bool little = static_cast<unsigned char>(data[0]) == 0xFF;
        std::u16string units;
        units.reserve(data.size() / 2);
        for (std::size_t i = 2; i + 1 < data.size(); i += 2) {
            const auto b0 = static_cast<unsigned char>(data[i]), b1 = static_cast<unsigned char>(data[i + 1]);
            const auto c = static_cast<char16_t>(little ? (b1 << 8 | b0) : (b0 << 8 | b1));
            units += c == 0 ? u'\uFFFD' : c;
        }
        storage = cw::utf16ToUTF8(units);
        return storage;
    }
    if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
    if (cw::isValidUtf8(data) && data.find('\0') == std::string_view::npos) return data;
    storage.reserve(data.size());
    for (std::size_t i = 0; i < data.size();) {
        const std::size_t start = i;
        const auto c = cw::decodeUtf8(data, i);
        if (c && *c != 0)
            storage += data.substr(start, i - start);
        else
            storage += "\xEF\xBF\xBD"; // U+FFFD
    }
    return storage;
}

// Counts what the parser builds, calling libxml2's own tree builder for each element and text, and
// stops it at the first one past the limits: what was built so far is all a document past them costs.
struct Budget {
    HTMLImportLimits limits;
    std::size_t elements = 0;
    std::size_t characters = 0;
    bool exceeded = false;
    startElementSAXFunc startElement = nullptr;
    charactersSAXFunc characters_ = nullptr;
    commentSAXFunc comment = nullptr;
    processingInstructionSAXFunc instruction = nullptr;

    static Budget& of(void* context) {
        return *static_cast<Budget*>(static_cast<htmlParserCtxtPtr>(context)->_private);
    }
    bool take(void* context, std::size_t& count, std::size_t amount, std::size_t limit) {
        if (exceeded) return false;
        count += amount;
        if (count <= limit) return true;
        exceeded = true;
        xmlStopParser(static_cast<htmlParserCtxtPtr>(context));
        return false;
    }
    // An element's attributes are nodes of the tree as well.
    static void countedElement(void* context, const xmlChar* name, const xmlChar** attributes) {
        Budget& budget = of(context);
        std::size_t nodes = 1;
        for (const xmlChar** a = attributes; a && *a; a += 2)
            ++nodes;
        if (budget.take(context, budget.elements, nodes, budget.limits.elements))
            budget.startElement(context, name, attributes);
    }
    // Comments and processing instructions are nodes of the tree too, though nothing shows them.
    static void countedComment(void* context, const xmlChar* text) {
        Budget& budget = of(context);
        if (budget.take(context, budget.elements, 1, budget.limits.elements)) budget.comment(context, text);
    }
    static void countedInstruction(void* context, const xmlChar* target, const xmlChar* data) {
        Budget& budget = of(context);
        if (budget.take(context, budget.elements, 1, budget.limits.elements))
            budget.instruction(context, target, data);
    }
    static void countedCharacters(void* context, const xmlChar* text, int length) {
        Budget& budget = of(context);
        if (length > 0 &&
            budget.take(context, budget.characters, static_cast<std::size_t>(length), budget.limits.characters))
            budget.characters_(context, text, length);
    }
};

// Watches the document on its way to the parser for a start tag of more attributes than the
// limit. The parser checks each attribute of a start tag against every one before it, before any
// callback of ours sees the tag: one tag of a few megabytes would hold it for minutes.
//
// It reads a start tag as the parser does (its name, blanks, "=" and a value quoted or not, junk
// skipped to the next blank, and a name cut into pieces of at most a hundred characters) from
// every "<" that may open one, wherever that "<" stands: in text, in a comment, in a script or in
// another tag's value. It cannot always tell which of them the parser takes for a tag, so it
// follows them all; readings that reach the same point go on alike from there, so for each point
// it keeps only the most attributes any reading there has met. Whatever surrounds it, no tag the
// parser reads holds more attributes than counted here, and each byte costs the same however long
// the tag.
class StartTagWatch {
public:
    explicit StartTagWatch(std::size_t limit)
        : limit_(static_cast<long>(std::min<std::size_t>(limit, LONG_MAX - 1))) {
        most_.fill(kNone);
    }

    // Reads the next piece of the document; false once a start tag in what was read is past the
    // limit.
    bool read(std::string_view piece) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (!live_ && !afterLess_) {
                // Text between tags: only a "<" may start one.
                const std::size_t less = piece.find('<', i);
                if (less == std::string_view::npos) return true;
                i = less;
            }
            if (!step(static_cast<unsigned char>(piece[i]))) return false;
        }
        return true;
    }

private:
    // Where a reading of a start tag stands after a character.
    enum Point : std::uint8_t {
        name,      // in a name (the tag's own or an attribute's)
        afterName, // blanks after an attribute's name: "=" or another name may come
        between,   // between attributes
        equals,    // after "=" and any blanks
        doubleQuoted,
        singleQuoted,
        unquoted,
        junk, // what cannot start a name, skipped to the next blank
        kPoints,
        ended = kPoints,
    };
    enum Kind : std::uint8_t {
        blank,
        nameStart,
        nameRest,
        equalSign,
        doubleQuote,
        singleQuote,
        greater,
        other,
        kKinds
    };

    static Kind kindOf(unsigned char c) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return blank;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c == '.')
            return nameStart;
        if ((c >= '0' && c <= '9') || c == '-') return nameRest;
        if (c == '=') return equalSign;
        if (c == '"') return doubleQuote;
        if (c == '\'') return singleQuote;
        if (c == '>') return greater;
        return other;
    }

    // Where a reading goes from each point on each kind of character.
    // clang-format off
    static constexpr Point kNext[kPoints][kKinds] = {
        //             blank         nameStart     nameRest      "="           '"'           "'"           ">"           other
        /* name */    {afterName,    name,         name,         equals,       junk,         junk,         ended,        junk},
        /* afterName */{afterName,   name,         junk,         equals,       junk,         junk,         ended,        junk},
        /* between */ {between,      name,         junk,         junk,         junk,         junk,         ended,        junk},
        /* equals */  {equals,       unquoted,     unquoted,     unquoted,     doubleQuoted, singleQuoted, ended,        unquoted},
        /* "…" */     {doubleQuoted, doubleQuoted, doubleQuoted, doubleQuoted, between,      doubleQuoted, doubleQuoted, doubleQuoted},
        /* '…' */     {singleQuoted, singleQuoted, singleQuoted, singleQuoted, singleQuoted, between,      singleQuoted, singleQuoted},
        /* unquoted */{between,      unquoted,     unquoted,     unquoted,     unquoted,     unquoted,     ended,        unquoted},
        /* junk */    {between,      junk,         junk,         junk,         junk,         junk,         ended,        junk},
    };
    // clang-format on
    // The parser takes at most a hundred characters for a name and reads the rest as the next
    // name: a run of name characters counts once more each time it grows by this much.
    static constexpr std::size_t kNameSplit = 64;
    static constexpr long kNone = -1;

    bool step(unsigned char c) {
        const Kind kind = kindOf(c);
        nameRun_ = kind == nameStart || kind == nameRest ? nameRun_ + 1 : 0;
        std::array<long, kPoints> next;
        next.fill(kNone);
        if (live_) {
            for (std::size_t from = 0; from < kPoints; ++from) {
                if (most_[from] == kNone) continue;
                const Point to = kNext[from][kind];
                if (to == ended) continue;
                const bool anotherName = to == name && (from != name || nameRun_ % kNameSplit == 0);
                next[to] = std::max(next[to], most_[from] + (anotherName ? 1 : 0));
            }
        }
        // A new reading: the tag's own name is no attribute.
        if (afterLess_ && kind == nameStart) next[name] = std::max(next[name], 0L);
        afterLess_ = c == '<';
        most_ = next;
        live_ = std::any_of(most_.begin(), most_.end(), [](long count) { return count != kNone; });
        return most_[name] <= limit_;
    }

    long limit_;
    // For each point, the most attributes a reading standing there has met (kNone: no reading).
    std::array<long, kPoints> most_;
    bool live_ = false;
    bool afterLess_ = false;
    std::size_t nameRun_ = 0;
};

// Fed in pieces, so that the parser holds no copy of the whole document and stops reading once
// the document is past the limits.
constexpr std::size_t kChunk = 64 * 1024;

} // namespace

std::optional<NSAttributedString> NSAttributedString::fromHTML(std::string_view data, bool keepPictures,
                                                              const HTMLImportLimits& limits, bool* tooLarge) {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // The parser gives up at the 257th level of nesting and drops the rest of the document,
        // whatever follows; the element limit bounds how deep a document can go, and the walk
        // below reads what lies past kMaxDepth flat. The parser keeps its open elements in a list,
        // not on the stack.
        xmlParserMaxDepth = std::max<unsigned>(xmlParserMaxDepth, 1'000'000);
    });
    if (tooLarge) *tooLarge = false;

    std::string storage;
    const std::string_view html = normalizedUTF8(data, storage);
    htmlSAXHandler sax{};
    xmlSAX2InitHtmlDefaultSAXHandler(&sax);
    Budget budget{.limits = limits,
                  .startElement = sax.startElement,
                  .characters_ = sax.characters,
                  .comment = sax.comment,
                  .instruction = sax.processingInstruction};
    sax.startElement = Budget::countedElement;
    if (sax.comment) sax.comment = Budget::countedComment;
    if (sax.processingInstruction) sax.processingInstruction = Budget::countedInstruction;
    // Blanks come as characters too: blanks are kept.
    sax.characters = Budget::countedCharacters;
    htmlParserCtxtPtr context = htmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (!context) return std::nullopt;
    context->_private = &budget;
    htmlCtxtUseOptions(context,
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    StartTagWatch tags(limits.tagAttributes);
    for (std::size_t at = 0; at < html.size() && !budget.exceeded; at += kChunk) {
        const std::string_view piece = html.substr(at, kChunk);
        // The parser never sees a piece that completes a tag past the limit.
        if (!tags.read(piece)) {
            budget.exceeded = true;
            break;
        }
        htmlParseChunk(context, piece.data(), static_cast<int>(piece.size()), 0);
    }
    if (!budget.exceeded) htmlParseChunk(context, nullptr, 0, 1);
    htmlDocPtr doc = context->myDoc;
    context->myDoc = nullptr;
    htmlFreeParserCtxt(context);
    if (budget.exceeded) {
        if (doc) xmlFreeDoc(doc);
        if (tooLarge) *tooLarge = true;
        return std::nullopt;
    }
    if (!doc) return std::nullopt;
    Builder builder(keepPictures);
    builder.walk(xmlDocGetRootElement(doc), 0);
    xmlFreeDoc(doc);
    return std::move(builder).result();
}
