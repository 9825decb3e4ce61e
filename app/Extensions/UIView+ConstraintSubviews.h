#pragma once

// Adding the views that a visual-format layout names. Main thread only, like the views.

#include "uikit/view/UIView.h"

#include <map>
#include <memory>
#include <string>

namespace cw {

// Adds every view (in the map's order, which is the order they stack in) to `container`, each laid
// out by constraints alone. The same map then names them in the formats.
void addSubviewsForConstraints(UIView& container,
                               const std::map<std::string, std::shared_ptr<UIView>>& views);

} // namespace cw
