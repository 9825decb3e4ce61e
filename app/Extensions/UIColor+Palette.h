#pragma once

// The app's colours: the hexadecimal colour text reader, the shared palette, and the component
// helpers the buttons use to derive their highlight colours.

#include "uikit/graphics/UIColor.h"

#include <string_view>

// `UIColor(hex:alpha:)`: the first character of `text` (the "#") is never read; then, after any
// white space and an optional "0x", the hexadecimal digits up to the first other character make
// a 32-bit value (the largest 32-bit value when there are too many digits; 0 when there are
// none). Red, green and blue are its bytes 2, 1 and 0 over 255. Never fails.
UIColor UIColorWithHex(std::string_view text, CGFloat alpha);

// Components as the palette reads them. An RGB colour gives its own components; a grey-scale
// colour is read as the RGB grey it shows (white in each of the three).
CGFloat reded(const UIColor& color);
CGFloat greened(const UIColor& color);
CGFloat blued(const UIColor& color);
// A new RGB colour with this colour's red, green and blue and the given alpha.
UIColor alphaWithAlpha(const UIColor& color, CGFloat alpha);
// The colour lightened towards white: each component c becomes c + (1 - c) x rate; always opaque.
UIColor whiteWithRate(const UIColor& color, CGFloat rate);

namespace UIColorPalette {

// Fixed colours: each call makes a new colour.
UIColor errorColor();
UIColor separatorColor();
UIColor disabledColor();
UIColor textColor();
UIColor textPlaceholderColor();
UIColor overlayColor();
UIColor settingsTextColor();
UIColor backgroundColor();
UIColor recommendedTitleColor();
UIColor recommendedDescriptionColor();
UIColor searchTintColor();
UIColor searchBorderColor();
UIColor cwy_etonBlue();
UIColor cwy_mountainMeadow();
UIColor cwy_taupeGray();
UIColor cwy_silver();

// Settable colours: one stored colour each for the whole process, made on first use; the getter
// gives that same stored object every time, the setter replaces it. Main thread only after the
// first use.
const UIColor& defaultBackground();
void setDefaultBackground(const UIColor& color);
const UIColor& defaultButtonFill();
void setDefaultButtonFill(const UIColor& color);
const UIColor& disabledButtonFill();
void setDisabledButtonFill(const UIColor& color);
const UIColor& tableViewBackground();
void setTableViewBackground(const UIColor& color);
const UIColor& bottomBorderBlue();
void setBottomBorderBlue(const UIColor& color);
const UIColor& mainColor1();
void setMainColor1(const UIColor& color);
const UIColor& contentColor1();
void setContentColor1(const UIColor& color);
const UIColor& contentColor2();
void setContentColor2(const UIColor& color);
const UIColor& whiteFour();
void setWhiteFour(const UIColor& color);
const UIColor& whiteFive();
void setWhiteFive(const UIColor& color);
const UIColor& whiteSix();
void setWhiteSix(const UIColor& color);

} // namespace UIColorPalette
