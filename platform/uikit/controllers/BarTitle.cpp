#include "uikit/controllers/BarTitle.h"

#include <algorithm>

namespace cw {

std::shared_ptr<UILabel> makeBarTitleLabel(const std::optional<std::string>& text, const UIFont& font,
                                           const UIColor& colour) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(font);
    label->setTextColor(colour);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.7);
    label->sizeToFit();
    return label;
}

CGRect barTitleFrame(CGSize title, CGFloat barWidth, CGFloat left, CGFloat right, CGFloat rowTop,
                     CGFloat rowHeight) {
    // Centred on the bar where it fits so; else moved towards the side with more room, as far as
    // the items let it, so that as much of it shows as the room between them holds.
    const CGFloat width = std::clamp<CGFloat>(right - left, 0, title.width);
    const CGFloat x = std::clamp<CGFloat>((barWidth - width) / 2, left, std::max(left, right - width));
    return {x, rowTop + (rowHeight - title.height) / 2, width, title.height};
}

} // namespace cw
