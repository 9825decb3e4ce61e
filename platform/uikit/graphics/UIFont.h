#pragma once

// A font: a face and a point size. Faces are looked up by PostScript name in one table that maps
// the names the app asks for to free faces installed by scripts/setup, resolved through fontconfig
// and measured with Pango. A name missing from the table gives no font, like the platform.
// Characters a face lacks come from fontconfig's fallback: emoji from the colour emoji face that
// scripts/setup installs (Noto Color Emoji), drawn in their own colours through Cairo.

#include "uikit/graphics/Geometry.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

enum class UIFontTextStyle {
    largeTitle,
    title1,
    title2,
    title3,
    headline,
    body,
    callout,
    subheadline,
    footnote,
    caption1,
    caption2,
};

class UIFont {
public:
    enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };

    // `UIFont(name:size:)`: none for a name we do not know. A size of 0 or less gives the
    // default size of 12 points, as the platform does.
    static std::optional<UIFont> named(const std::string& name, CGFloat size);

    static UIFont systemFont(CGFloat size, Weight weight = Weight::regular);
    static UIFont boldSystemFont(CGFloat size) { return systemFont(size, Weight::bold); }
    static UIFont italicSystemFont(CGFloat size);
    // Text styles at the default content size (body 17, callout 16, caption1 12, ...).
    static UIFont preferredFont(UIFontTextStyle style);
    // The default label font: the system font at 17 points.
    static UIFont defaultFont() { return systemFont(17); }

    // Every PostScript name `named` knows, for diagnostics and tests.
    static std::vector<std::string> knownFontNames();

    // The same face at another size.
    UIFont withSize(CGFloat size) const;

    const std::string& fontName() const { return fontName_; }
    // The family of the installed face that stands in (e.g. "Lato").
    const std::string& familyName() const { return family_; }
    CGFloat pointSize() const { return size_; }
    Weight weight() const { return weight_; }
    bool isItalic() const { return italic_; }

    // Metrics of the resolved face, measured by Pango, in points. `descender` is negative
    // (below the baseline) and `lineHeight` = ascender - descender + leading.
    CGFloat ascender() const;
    CGFloat descender() const;
    CGFloat capHeight() const;
    CGFloat xHeight() const;
    CGFloat leading() const;
    CGFloat lineHeight() const;

    // The Pango font description string ("Lato Medium 16px"-like) that drawing code uses.
    std::string pangoDescription() const;

    friend bool operator==(const UIFont& a, const UIFont& b) {
        return a.fontName_ == b.fontName_ && a.size_ == b.size_ && a.weight_ == b.weight_ &&
               a.italic_ == b.italic_;
    }

private:
    UIFont() = default;
    std::string fontName_;
    std::string family_;
    Weight weight_ = Weight::regular;
    bool italic_ = false;
    CGFloat size_ = 12;

    friend struct UIFontFace;
};

std::ostream& operator<<(std::ostream& os, const UIFont& f);
