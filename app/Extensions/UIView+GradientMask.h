#pragma once

// Fades a view out towards one side: a gradient from clear at `startPoint` to opaque at
// `endPoint` (unit coordinates of the view, (0, 0) top left, (1, 1) bottom right) becomes the
// mask of the view's layer, replacing any earlier mask. The mask is as large as the view's bounds
// at the call: a view that grows later is hidden outside that rectangle.

#include "uikit/view/UIView.h"

namespace UIViewGradientMask {

void addGradientMaskWithStartPoint(UIView& view, CGPoint startPoint, CGPoint endPoint);

} // namespace UIViewGradientMask
