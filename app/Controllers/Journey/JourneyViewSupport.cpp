#include "Controllers/Journey/JourneyViewSupport.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"

namespace cw::journey {

std::shared_ptr<UILabel> makeAvenirLabel(CGFloat size, const UIColor& color, bool heavy) {
    auto label = std::make_shared<UILabel>();
    label->setFont(cw::avenirFont(size, heavy));
    label->setTextColor(color);
    return label;
}

std::shared_ptr<UIImageView> makePictureView(CGFloat cornerRadius) {
    auto picture = std::make_shared<UIImageView>();
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    picture->setClipsToBounds(true);
    picture->layer()->cornerRadius = cornerRadius;
    picture->setBackgroundColor(UIColorPalette::separatorColor());
    return picture;
}

} // namespace cw::journey
