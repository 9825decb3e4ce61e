#pragma once

// Two condensed faces by size; none when the platform has no such font.

#include "uikit/graphics/UIFont.h"

#include <optional>

namespace UIFontSecretFont {

std::optional<UIFont> secretFontWithSize(CGFloat fontSize);      // "AvenirNextCondensed-DemiBold"
std::optional<UIFont> secretFontLightWithSize(CGFloat fontSize); // "AvenirNextCondensed-Regular"

} // namespace UIFontSecretFont
