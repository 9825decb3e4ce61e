// Draws the app's colour palette as a labelled swatch sheet and writes it to a PNG file:
//   cradleway-swatches [output.png]        (default: swatches.png)

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIGraphics.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Swatch {
    const char* name;
    UIColor color;
};

std::vector<Swatch> palette() {
    using namespace UIColorPalette;
    return {
        {"cwy_mountainMeadow", cwy_mountainMeadow()},
        {"cwy_etonBlue", cwy_etonBlue()},
        {"cwy_taupeGray", cwy_taupeGray()},
        {"cwy_silver", cwy_silver()},
        {"errorColor", errorColor()},
        {"separatorColor", separatorColor()},
        {"disabledColor", disabledColor()},
        {"textColor", textColor()},
        {"textPlaceholderColor", textPlaceholderColor()},
        {"overlayColor", overlayColor()},
        {"settingsTextColor", settingsTextColor()},
        {"backgroundColor", backgroundColor()},
        {"recommendedTitleColor", recommendedTitleColor()},
        {"recommendedDescriptionColor", recommendedDescriptionColor()},
        {"searchTintColor", searchTintColor()},
        {"searchBorderColor", searchBorderColor()},
        {"defaultBackground", defaultBackground()},
        {"defaultButtonFill", defaultButtonFill()},
        {"disabledButtonFill", disabledButtonFill()},
        {"tableViewBackground", tableViewBackground()},
        {"bottomBorderBlue", bottomBorderBlue()},
        {"mainColor1", mainColor1()},
        {"contentColor1", contentColor1()},
        {"contentColor2", contentColor2()},
        {"whiteFour", whiteFour()},
        {"whiteFive", whiteFive()},
        {"whiteSix", whiteSix()},
    };
}

} // namespace

int main(int argc, char** argv) {
    const std::string output = argc > 1 ? argv[1] : "swatches.png";
    const auto swatches = palette();
    constexpr int kColumns = 4;
    constexpr CGFloat kCellWidth = 190, kCellHeight = 120, kMargin = 20, kTitleHeight = 44;
    const int rows = static_cast<int>((swatches.size() + kColumns - 1) / kColumns);
    const CGSize size{kMargin * 2 + kCellWidth * kColumns, kMargin * 2 + kTitleHeight + kCellHeight * rows};

    const auto titleFont = UIFontNamed::avenirHeavy(22);
    const auto nameFont = UIFontNamed::avenirMedium(12);
    const auto hexFont = UIFont::named("Avenir-Book", 11);

    auto image = UIGraphicsImageRenderer(size).image([&](UIGraphicsImageRendererContext& ctx) {
        UIColor::whiteColor().setFill();
        ctx.fill({0, 0, size.width, size.height});
        NSAttributedString("Cradleway palette",
                           {.font = titleFont, .foregroundColor = UIColorPalette::textColor()})
            .draw(CGPoint{kMargin, kMargin});
        // A checkerboard under the swatches shows which colours are translucent.
        for (std::size_t i = 0; i < swatches.size(); ++i) {
            const CGFloat x = kMargin + kCellWidth * static_cast<CGFloat>(i % kColumns);
            const CGFloat y = kMargin + kTitleHeight + kCellHeight * static_cast<CGFloat>(i / kColumns);
            const CGRect chip{x, y, kCellWidth - 14, 64};
            ctx.cgContext().saveGState();
            UIBezierPath::roundedRect(chip, 8).addClip();
            for (int cy = 0; cy < 8; ++cy)
                for (int cx = 0; cx < 23; ++cx) {
                    ((cx + cy) % 2 ? UIColor::withWhite(0.85, 1) : UIColor::whiteColor()).setFill();
                    ctx.fill({x + cx * 8.0, y + cy * 8.0, 8, 8});
                }
            swatches[i].color.setFill();
            ctx.fill(chip);
            ctx.cgContext().restoreGState();
            UIColor::withWhite(0.8, 1).setStroke();
            auto outline = UIBezierPath::roundedRect(chip, 8);
            outline.lineWidth = 0.5;
            outline.stroke();
            NSAttributedString(swatches[i].name,
                               {.font = nameFont, .foregroundColor = UIColorPalette::textColor()})
                .draw(CGRect{x, y + 68, kCellWidth - 14, 18});
            NSAttributedString(swatches[i].color.hexDescription(),
                               {.font = hexFont, .foregroundColor = UIColorPalette::textPlaceholderColor()})
                .draw(CGPoint{x, y + 86});
        }
    });

    std::string error;
    if (!image || !image->writePNG(output, &error)) {
        std::fprintf(stderr, "cradleway-swatches: cannot write %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    std::printf("wrote %s\n", output.c_str());
    return 0;
}
