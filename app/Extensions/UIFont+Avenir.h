#pragma once

// The Avenir text of the screens built in code, which must still show text where the platform
// lacks the face.

#include "uikit/graphics/UIFont.h"

namespace cw {

// Avenir Medium (Heavy when `heavy`) at `size`; the system font of that size where Avenir is missing.
UIFont avenirFont(CGFloat size, bool heavy = false);

} // namespace cw
