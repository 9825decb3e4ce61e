#include "Controllers/Journey/JourneyViewSupport.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "uikit/graphics/UIImage.h"

namespace cw::journey {

UIFont avenirFont(CGFloat size, bool heavy) {
    auto font = heavy ? UIFontNamed::avenirHeavy(size) : UIFontNamed::avenirMedium(size);
    return font ? *font : UIFont::systemFont(size);
}

std::shared_ptr<UILabel> makeAvenirLabel(CGFloat size, const UIColor& color, bool heavy) {
    auto label = std::make_shared<UILabel>();
    label->setFont(avenirFont(size, heavy));
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

void showBabyPicture(UIImageView& view, const std::shared_ptr<BabyData>& baby) {
    if (baby && baby->imageFile())
        updateImageWith(view, *baby->imageFile());
    else
        view.setImage(UIImage::named("card_default_baby"));
}

void addSubviewsForConstraints(UIView& container,
                               const std::map<std::string, std::shared_ptr<UIView>>& views) {
    for (const auto& [name, view] : views) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        container.addSubview(view);
    }
}

} // namespace cw::journey
