#pragma once

// The app's named faces. Each gives the font of one PostScript name at a size, or none when the
// platform has no such font; there is no fallback face.

#include "uikit/graphics/UIFont.h"

#include <optional>

namespace UIFontNamed {

std::optional<UIFont> avenirMedium(CGFloat fontSize); // "Avenir-Medium"
std::optional<UIFont> avenirHeavy(CGFloat fontSize);  // "Avenir-Heavy"
// The app does not carry these two faces (nothing asks for them), so both give none.
std::optional<UIFont> amaranth(CGFloat fontSize); // "Amaranth"
std::optional<UIFont> roboto(CGFloat fontSize);   // "Roboto-Regular"

} // namespace UIFontNamed
