#include "Extensions/UIFont+Avenir.h"

#include "Extensions/UIFont+Named.h"

namespace cw {

UIFont avenirFont(CGFloat size, bool heavy) {
    auto font = heavy ? UIFontNamed::avenirHeavy(size) : UIFontNamed::avenirMedium(size);
    return font ? *font : UIFont::systemFont(size);
}

} // namespace cw
