#include "Extensions/UIFont+Named.h"

namespace UIFontNamed {

std::optional<UIFont> avenirMedium(CGFloat fontSize) {
    return UIFont::named("Avenir-Medium", fontSize);
}
std::optional<UIFont> avenirHeavy(CGFloat fontSize) {
    return UIFont::named("Avenir-Heavy", fontSize);
}
std::optional<UIFont> amaranth(CGFloat fontSize) {
    return UIFont::named("Amaranth", fontSize);
}
std::optional<UIFont> roboto(CGFloat fontSize) {
    return UIFont::named("Roboto-Regular", fontSize);
}

} // namespace UIFontNamed
