#include "uikit/graphics/UIFont.h"
#include "uikit/graphics/PangoSupport.h"

#include <fontconfig/fontconfig.h>

#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <string_view>

void cw::detail::GObjectDeleter::operator()(void* p) const {
    if (p) g_object_unref(p);
}

// Whether this build runs under ThreadSanitizer, which sees threads and the locks of the C library,
// but not GLib's own locks: they are made of atomic operations and futexes inside a library that is
// not built with the sanitizer.
#if defined(__SANITIZE_THREAD__)
#define CW_FONT_THREADS_ON_CALLER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CW_FONT_THREADS_ON_CALLER 1
#endif
#endif

#if CW_FONT_THREADS_ON_CALLER
// Pango starts a thread of its own to load fontconfig's configuration when its first font map is
// made, and two more for every new font pattern (its first match and its fallback list, which
// Pango waits for when it needs them), and hands their results over under GLib's locks. Run under
// ThreadSanitizer, nothing of that may go on beside the program's own threads: what ordered it
// would be invisible to the sanitizer, and its verdict would depend on how the font library's
// threads happened to interleave. So a font pattern's match and fallback list are made on the
// thread that asks for them, where Pango would have waited for them anyway, and the loading
// thread is joined before any text is measured. Every other thread GLib is asked for is made as
// GLib makes it.
namespace {
std::atomic<GThread*> fontconfigLoader{nullptr};
} // namespace

extern "C" GThread* g_thread_new(const gchar* name, GThreadFunc func, gpointer data) {
    const std::string_view named = name ? name : "";
    if (named == "[pango] FcFontSetMatch" || named == "[pango] FcFontSetSort") {
        func(data);
        return g_thread_ref(g_thread_self()); // Pango lets go of the thread it was given at once
    }
    GError* error = nullptr;
    GThread* thread = g_thread_try_new(name, func, data, &error);
    if (!thread) g_error("creating thread '%s': %s", name ? name : "", error->message);
    // Pango makes this one holding the lock the thread itself takes: it can only be joined later.
    if (named == "[pango] FcInit") fontconfigLoader.store(g_thread_ref(thread));
    return thread;
}
#endif

namespace {
// Loads fontconfig's configuration and the list of installed fonts once, on the thread that is the
// first to measure text, before it does: Pango would load them on a thread of its own and have that
// first measuring wait for them all the same.
bool prepareFontLibraries() {
    FcInit();
    // Pango's first font map starts its own loading thread, which finds the work done.
    pango_cairo_font_map_get_default();
#if CW_FONT_THREADS_ON_CALLER
    if (GThread* loader = fontconfigLoader.exchange(nullptr)) g_thread_join(loader);
#endif
    return true;
}

// Owns this thread's measuring context. On thread exit it also drops the thread's default font
// map, whose fontconfig patterns would otherwise outlive the thread and read as leaks.
struct ThreadPango {
    PangoContext* context = nullptr;

    ThreadPango() {
        [[maybe_unused]] static const bool prepared = prepareFontLibraries();
        PangoFontMap* map = pango_cairo_font_map_get_default();
        context = pango_font_map_create_context(map);
        // Metrics in whole device units would round line heights; keep them exact.
        pango_context_set_round_glyph_positions(context, FALSE);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
    }
    ~ThreadPango() {
        g_object_unref(context);
        pango_cairo_font_map_set_default(nullptr);
    }
    ThreadPango(const ThreadPango&) = delete;
    ThreadPango& operator=(const ThreadPango&) = delete;
};
} // namespace

PangoContext* cw::detail::measuringContext() {
    thread_local ThreadPango pango;
    return pango.context;
}

// One row of the face table: the PostScript name the app asks for and the installed face that
// stands in for it. Avenir and Avenir Next (geometric-humanist sans) become Lato, which ships
// the same weight range; Helvetica and Helvetica Neue become Liberation Sans, drawn to
// Helvetica's metrics; Times New Roman and Courier New become Liberation Serif and Mono. No
// installed face of Avenir's shape comes condensed, so the condensed cuts are Lato at its normal
// width. The system font is Liberation Sans too.
struct UIFontFace {
    std::string_view name;
    std::string_view family;
    UIFont::Weight weight;
    bool italic;

    static const UIFontFace* find(std::string_view name);
    static UIFont make(const UIFontFace& face, CGFloat size) {
        UIFont f;
        f.fontName_ = std::string(face.name);
        f.family_ = std::string(face.family);
        f.weight_ = face.weight;
        f.italic_ = face.italic;
        f.size_ = size;
        return f;
    }
};

namespace {
using W = UIFont::Weight;
constexpr std::string_view kLato = "Lato";
constexpr std::string_view kSans = "Liberation Sans";
constexpr std::string_view kSerif = "Liberation Serif";
constexpr std::string_view kMono = "Liberation Mono";

constexpr std::array kFaces = {
    UIFontFace{"Avenir", kLato, W::regular, false},
    UIFontFace{"Avenir-Light", kLato, W::light, false},
    UIFontFace{"Avenir-LightOblique", kLato, W::light, true},
    UIFontFace{"Avenir-Book", kLato, W::regular, false},
    UIFontFace{"Avenir-BookOblique", kLato, W::regular, true},
    UIFontFace{"Avenir-Roman", kLato, W::regular, false},
    UIFontFace{"Avenir-Oblique", kLato, W::regular, true},
    UIFontFace{"Avenir-Medium", kLato, W::medium, false},
    UIFontFace{"Avenir-MediumOblique", kLato, W::medium, true},
    UIFontFace{"Avenir-Heavy", kLato, W::heavy, false},
    UIFontFace{"Avenir-HeavyOblique", kLato, W::heavy, true},
    UIFontFace{"Avenir-Black", kLato, W::black, false},
    UIFontFace{"Avenir-BlackOblique", kLato, W::black, true},
    UIFontFace{"AvenirNext-UltraLight", kLato, W::ultraLight, false},
    UIFontFace{"AvenirNext-Regular", kLato, W::regular, false},
    UIFontFace{"AvenirNext-Italic", kLato, W::regular, true},
    UIFontFace{"AvenirNext-Medium", kLato, W::medium, false},
    UIFontFace{"AvenirNext-MediumItalic", kLato, W::medium, true},
    UIFontFace{"AvenirNext-DemiBold", kLato, W::semibold, false},
    UIFontFace{"AvenirNext-DemiBoldItalic", kLato, W::semibold, true},
    UIFontFace{"AvenirNext-Bold", kLato, W::bold, false},
    UIFontFace{"AvenirNext-BoldItalic", kLato, W::bold, true},
    UIFontFace{"AvenirNext-Heavy", kLato, W::heavy, false},
    UIFontFace{"AvenirNext-HeavyItalic", kLato, W::heavy, true},
    UIFontFace{"AvenirNextCondensed-Regular", kLato, W::regular, false},
    UIFontFace{"AvenirNextCondensed-Medium", kLato, W::medium, false},
    UIFontFace{"AvenirNextCondensed-DemiBold", kLato, W::semibold, false},
    UIFontFace{"AvenirNextCondensed-Bold", kLato, W::bold, false},
    UIFontFace{"HelveticaNeue", kSans, W::regular, false},
    UIFontFace{"HelveticaNeue-Italic", kSans, W::regular, true},
    UIFontFace{"HelveticaNeue-Light", kSans, W::light, false},
    UIFontFace{"HelveticaNeue-Medium", kSans, W::medium, false},
    UIFontFace{"HelveticaNeue-Bold", kSans, W::bold, false},
    UIFontFace{"HelveticaNeue-BoldItalic", kSans, W::bold, true},
    UIFontFace{"Helvetica", kSans, W::regular, false},
    UIFontFace{"Helvetica-Bold", kSans, W::bold, false},
    UIFontFace{"Helvetica-Oblique", kSans, W::regular, true},
    // The faces the HTML importer gives text, as the platform's importer does.
    UIFontFace{"TimesNewRomanPSMT", kSerif, W::regular, false},
    UIFontFace{"TimesNewRomanPS-BoldMT", kSerif, W::bold, false},
    UIFontFace{"TimesNewRomanPS-ItalicMT", kSerif, W::regular, true},
    UIFontFace{"TimesNewRomanPS-BoldItalicMT", kSerif, W::bold, true},
    UIFontFace{"CourierNewPSMT", kMono, W::regular, false},
    UIFontFace{"CourierNewPS-BoldMT", kMono, W::bold, false},
    UIFontFace{"CourierNewPS-ItalicMT", kMono, W::regular, true},
    UIFontFace{"CourierNewPS-BoldItalicMT", kMono, W::bold, true},
};

constexpr UIFontFace kSystemFace{".SFUI", kSans, W::regular, false};

PangoWeight pangoWeight(W w) {
    switch (w) {
    case W::ultraLight:
        return PANGO_WEIGHT_ULTRALIGHT;
    case W::thin:
        return PANGO_WEIGHT_THIN;
    case W::light:
        return PANGO_WEIGHT_LIGHT;
    case W::regular:
        return PANGO_WEIGHT_NORMAL;
    case W::medium:
        return PANGO_WEIGHT_MEDIUM;
    case W::semibold:
        return PANGO_WEIGHT_SEMIBOLD;
    case W::bold:
        return PANGO_WEIGHT_BOLD;
    case W::heavy:
        return PANGO_WEIGHT_ULTRABOLD;
    case W::black:
        return PANGO_WEIGHT_HEAVY;
    }
    return PANGO_WEIGHT_NORMAL;
}

constexpr CGFloat kDefaultSize = 12;

CGFloat sanitizedSize(CGFloat size) {
    if (!(size > 0) || !std::isfinite(size)) return kDefaultSize;
    return size;
}

struct Metrics {
    CGFloat ascender, descender, capHeight, xHeight, lineHeight;
};

CGFloat inkHeightAboveBaseline(PangoContext* ctx, const PangoFontDescription* desc, const char* text) {
    cw::detail::GObjectPtr<PangoLayout> layout{pango_layout_new(ctx)};
    pango_layout_set_font_description(layout.get(), desc);
    pango_layout_set_text(layout.get(), text, -1);
    PangoRectangle ink;
    pango_layout_get_extents(layout.get(), &ink, nullptr);
    const int baseline = pango_layout_get_baseline(layout.get());
    return static_cast<CGFloat>(baseline - ink.y) / PANGO_SCALE;
}

Metrics measureUncached(const UIFont& font) {
    PangoContext* ctx = cw::detail::measuringContext();
    auto desc = cw::detail::fontDescription(font);
    PangoFontMetrics* m = pango_context_get_metrics(ctx, desc.get(), nullptr);
    Metrics out{};
    out.ascender = static_cast<CGFloat>(pango_font_metrics_get_ascent(m)) / PANGO_SCALE;
    out.descender = -static_cast<CGFloat>(pango_font_metrics_get_descent(m)) / PANGO_SCALE;
    const int height = pango_font_metrics_get_height(m);
    out.lineHeight = height > 0 ? static_cast<CGFloat>(height) / PANGO_SCALE : out.ascender - out.descender;
    pango_font_metrics_unref(m);
    out.capHeight = inkHeightAboveBaseline(ctx, desc.get(), "H");
    out.xHeight = inkHeightAboveBaseline(ctx, desc.get(), "x");
    return out;
}

// Layout asks for line heights often; the metrics of a face at a size never change.
Metrics measure(const UIFont& font) {
    thread_local std::map<std::string, Metrics> cache;
    const std::string key = font.pangoDescription();
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    if (cache.size() > 512) cache.clear();
    return cache.emplace(key, measureUncached(font)).first->second;
}
} // namespace

const UIFontFace* UIFontFace::find(std::string_view name) {
    for (const auto& f : kFaces)
        if (f.name == name) return &f;
    return nullptr;
}

cw::detail::FontDescriptionPtr cw::detail::fontDescription(const UIFont& font) {
    FontDescriptionPtr d{pango_font_description_new()};
    pango_font_description_set_family(d.get(), font.familyName().c_str());
    pango_font_description_set_weight(d.get(), pangoWeight(font.weight()));
    pango_font_description_set_style(d.get(), font.isItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d.get(), font.pointSize() * PANGO_SCALE);
    return d;
}

std::optional<UIFont> UIFont::named(const std::string& name, CGFloat size) {
    const UIFontFace* face = UIFontFace::find(name);
    if (!face) return std::nullopt;
    return UIFontFace::make(*face, sanitizedSize(size));
}

UIFont UIFont::systemFont(CGFloat size, Weight weight) {
    UIFontFace face = kSystemFace;
    face.weight = weight;
    UIFont f = UIFontFace::make(face, sanitizedSize(size));
    return f;
}

UIFont UIFont::italicSystemFont(CGFloat size) {
    UIFontFace face = kSystemFace;
    face.italic = true;
    return UIFontFace::make(face, sanitizedSize(size));
}

UIFont UIFont::preferredFont(UIFontTextStyle style) {
    switch (style) {
    case UIFontTextStyle::largeTitle:
        return systemFont(34);
    case UIFontTextStyle::title1:
        return systemFont(28);
    case UIFontTextStyle::title2:
        return systemFont(22);
    case UIFontTextStyle::title3:
        return systemFont(20);
    case UIFontTextStyle::headline:
        return systemFont(17, Weight::semibold);
    case UIFontTextStyle::body:
        return systemFont(17);
    case UIFontTextStyle::callout:
        return systemFont(16);
    case UIFontTextStyle::subheadline:
        return systemFont(15);
    case UIFontTextStyle::footnote:
        return systemFont(13);
    case UIFontTextStyle::caption1:
        return systemFont(12);
    case UIFontTextStyle::caption2:
        return systemFont(11);
    }
    return systemFont(17);
}

std::vector<std::string> UIFont::knownFontNames() {
    std::vector<std::string> names;
    for (const auto& f : kFaces)
        names.emplace_back(f.name);
    return names;
}

UIFont UIFont::withSize(CGFloat size) const {
    UIFont f = *this;
    f.size_ = sanitizedSize(size);
    return f;
}

CGFloat UIFont::ascender() const {
    return measure(*this).ascender;
}
CGFloat UIFont::descender() const {
    return measure(*this).descender;
}
CGFloat UIFont::capHeight() const {
    return measure(*this).capHeight;
}
CGFloat UIFont::xHeight() const {
    return measure(*this).xHeight;
}
CGFloat UIFont::lineHeight() const {
    return measure(*this).lineHeight;
}
CGFloat UIFont::leading() const {
    const Metrics m = measure(*this);
    return std::max(0.0, m.lineHeight - (m.ascender - m.descender));
}

std::string UIFont::pangoDescription() const {
    auto d = cw::detail::fontDescription(*this);
    char* s = pango_font_description_to_string(d.get());
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

std::ostream& operator<<(std::ostream& os, const UIFont& f) {
    return os << "UIFont(" << f.fontName() << ", " << f.pointSize() << ")";
}
