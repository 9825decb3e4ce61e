#include "Extensions/ServerImages/UIImageView+BabyPicture.h"

#include "Extensions/ServerImages/UIImageView+UpdateImage.h"
#include "uikit/graphics/UIImage.h"

namespace cw {

void showBabyPicture(UIImageView& view, const std::shared_ptr<BabyData>& baby) {
    if (baby && baby->imageFile())
        updateImageWith(view, *baby->imageFile());
    else
        view.setImage(UIImage::named("card_default_baby"));
}

} // namespace cw
