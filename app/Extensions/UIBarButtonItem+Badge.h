#pragma once

// A number drawn over a bar button (the comment count on the article and post screens). The badge
// is a layer pair on the view the bar shows for the item, remembered on the item, so that later calls
// change the number instead of adding a second badge. Its geometry is fixed when it is made.

#include "uikit/controllers/UIBarItems.h"
#include "uikit/view/CALayer.h"

#include <memory>

// `badgeLayer`: the badge remembered on the item (a shape layer holding one text layer), if any.
std::shared_ptr<CAShapeLayer> badgeLayer(const UIBarButtonItem& item);

// `addOrUpdateBadgeWithNumber:andColor:`: changes the number of the badge the item has; otherwise
// adds one to the item's view, with the text (the decimal number, never hidden, 0 included) over the
// middle half of the view's width, from a third of its height down, for half its height, centred, 11
// points, in the mountain-meadow green. Nothing happens while the item has no view (it is not in a
// bar yet); a later call can add the badge. The colour is not applied: the text always takes the
// palette's green, which is what the screens pass.
void addOrUpdateBadge(UIBarButtonItem& item, long number, const UIColor& color);
// `updateBadgeWithNumber:`: the badge's text shows `number`; nothing without a badge.
void updateBadge(UIBarButtonItem& item, long number);
// `removeBadge`: takes the badge off the view and forgets it, so a later addOrUpdateBadge adds a new
// one.
void removeBadge(UIBarButtonItem& item);
