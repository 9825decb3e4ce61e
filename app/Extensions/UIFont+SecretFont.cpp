#include "Extensions/UIFont+SecretFont.h"

namespace UIFontSecretFont {

std::optional<UIFont> secretFontWithSize(CGFloat fontSize) {
    return UIFont::named("AvenirNextCondensed-DemiBold", fontSize);
}

std::optional<UIFont> secretFontLightWithSize(CGFloat fontSize) {
    return UIFont::named("AvenirNextCondensed-Regular", fontSize);
}

} // namespace UIFontSecretFont
