#pragma once

// A bar's title, as every bar with items on both sides shows it (the navigation bar, the system's
// sheets): one line, centred on the bar when it fits there, else moved towards the side with more
// room, never under an item (a finger meant for a button meets the button). A title wider than the
// room between the items is drawn smaller first, down to 0.7 of its size, and what still does not
// fit is cut with "…".

#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <string>

namespace cw {

// The title's label, at its natural size.
std::shared_ptr<UILabel> makeBarTitleLabel(const std::optional<std::string>& text, const UIFont& font,
                                           const UIColor& colour);

// Where a title of natural size `title` goes in a bar `barWidth` wide whose left items end at `left`
// and right items begin at `right` (the gaps beside the items included): between them, as near the
// bar's middle as its width lets it, no wider than the room between them, and centred on the row of
// items from `rowTop`, `rowHeight` high.
CGRect barTitleFrame(CGSize title, CGFloat barWidth, CGFloat left, CGFloat right, CGFloat rowTop,
                     CGFloat rowHeight);

} // namespace cw
