#pragma once

// The face and colour of the registration screens' headings: Avenir Medium in the text colour.

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

namespace SignInText {

// A heading label over as many lines as it needs, in Avenir Medium at `size` points (the system
// font of that size where the face is missing) and the palette's text colour ("#353535"); ready for
// constraints.
inline std::shared_ptr<UILabel> makeHeading(const std::string& text, CGFloat size) {
    auto label = std::make_shared<UILabel>();
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    label->setNumberOfLines(0);
    label->setFont(cw::avenirFont(size));
    label->setTextColor(UIColorPalette::textColor());
    label->setText(text);
    return label;
}

} // namespace SignInText
