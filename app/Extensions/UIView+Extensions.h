#pragma once

// View conveniences: corner masks, clearing subviews, snapshots and border lines.

#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIView.h"

#include <memory>

// Masks the view's layer so that only the given corners (UIRectCorner bits) are rounded. The mask
// is cut from the bounds of the moment: call again when the bounds change.
void roundCorners(UIView& view, unsigned corners, CGFloat radius);

// Removes each current subview, first to last.
void removeAllSubviews(UIView& view);

// The view as it looks on screen now (after a layout pass), at the main screen's scale; none for a
// view without area.
std::shared_ptr<UIImage> pb_takeSnapshot(UIView& view);

// Each call adds one more line, `width` points thick, along one side of the view's current frame
// size, as a sublayer in the colour. Lines are never removed or resized.
void addTopBorderWithColor(UIView& view, const UIColor& color, CGFloat width);
void addRightBorderWithColor(UIView& view, const UIColor& color, CGFloat width);
void addBottomBorderWithColor(UIView& view, const UIColor& color, CGFloat width);
void addLeftBorderWithColor(UIView& view, const UIColor& color, CGFloat width);
