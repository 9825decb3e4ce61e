// The five frosted-glass presets of one picture, beside the picture itself.

#include "GalleryPage.h"
#include "LandscapePicture.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIImage+ImageEffects.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

namespace cw::gallery {

namespace {

bool drawImageEffects(Context& context, std::string* error) {
    auto picture = landscapePicture();
    if (!picture) {
        *error = "the landscape could not be drawn";
        return false;
    }
    struct Panel {
        const char* caption;
        std::shared_ptr<UIImage> image;
    };
    const std::vector<Panel> panels{
        {"Original", picture},
        {"Subtle", UIImageEffects::applySubtleEffect(*picture)},
        {"Light", UIImageEffects::applyLightEffect(*picture)},
        {"Extra light", UIImageEffects::applyExtraLightEffect(*picture)},
        {"Dark", UIImageEffects::applyDarkEffect(*picture)},
        {"Tint", UIImageEffects::applyTintEffectWithColor(*picture, UIColorPalette::cwy_mountainMeadow())},
    };

    constexpr CGFloat margin = 12, gap = 10, captionHeight = 30, columns = 3;
    const CGFloat width = 375, panelWidth = (width - 2 * margin - (columns - 1) * gap) / columns;
    const CGFloat panelHeight = panelWidth * 4 / 3;
    auto sheet = std::make_shared<UIView>(CGRect{0, 0, width, 2 * margin + 2 * (panelHeight + captionHeight) + gap});
    sheet->setBackgroundColor(UIColor::whiteColor());
    for (std::size_t i = 0; i < panels.size(); ++i) {
        if (!panels[i].image) {
            *error = std::string("no picture for ") + panels[i].caption;
            return false;
        }
        const CGFloat x = margin + static_cast<CGFloat>(i % 3) * (panelWidth + gap);
        const CGFloat y = margin + static_cast<CGFloat>(i / 3) * (panelHeight + captionHeight + gap);
        auto view = std::make_shared<UIImageView>(panels[i].image);
        view->setFrame({x, y, panelWidth, panelHeight});
        view->setContentMode(UIViewContentMode::scaleAspectFill);
        view->setClipsToBounds(true);
        view->layer()->cornerRadius = 6;
        sheet->addSubview(view);
        auto caption = std::make_shared<UILabel>(CGRect{x, y + panelHeight + 4, panelWidth, captionHeight - 8});
        caption->setText(panels[i].caption);
        caption->setFont(UIFont::systemFont(12));
        caption->setTextAlignment(NSTextAlignment::center);
        caption->setTextColor(UIColor::withWhite(0.25, 1));
        sheet->addSubview(caption);
    }
    return writeView(context, *sheet, "image-effects.png", error);
}

Registration imageEffectsPage{"image-effects", drawImageEffects};

} // namespace

} // namespace cw::gallery
