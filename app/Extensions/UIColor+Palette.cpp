#include "Extensions/UIColor+Palette.h"

#include "uikit/graphics/NSAttributedString.h"

#include <cstdint>
#include <limits>

namespace {

// The white space and line ends a string scanner passes over before a number.
bool isScannerWhitespace(char16_t c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::uint32_t scanHexFrom(const std::u16string& s, std::size_t at) {
    while (at < s.size() && isScannerWhitespace(s[at]))
        ++at;
    // "0x" counts as a prefix only when a digit follows; otherwise the 0 is the number.
    if (at + 2 < s.size() && s[at] == u'0' && (s[at + 1] == u'x' || s[at + 1] == u'X') &&
        hexDigit(s[at + 2]) >= 0)
        at += 2;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; at < s.size() && hexDigit(s[at]) >= 0; ++at) {
        value = value * 16 + static_cast<std::uint64_t>(hexDigit(s[at]));
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            overflow = true;
            value = 0; // keep consuming digits without growing
        }
    }
    return overflow ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(value);
}

} // namespace

UIColor UIColorWithHex(std::string_view text, CGFloat alpha) {
    // An empty text has nothing after its first character: black, like a text without digits.
    const std::u16string units = cw::utf8ToUTF16(text);
    const std::uint32_t value = units.empty() ? 0 : scanHexFrom(units, 1);
    return UIColor(static_cast<CGFloat>((value >> 16) & 0xFF) / 255.0,
                   static_cast<CGFloat>((value >> 8) & 0xFF) / 255.0,
                   static_cast<CGFloat>(value & 0xFF) / 255.0, alpha);
}

CGFloat reded(const UIColor& color) {
    return color.red();
}
CGFloat greened(const UIColor& color) {
    return color.green();
}
CGFloat blued(const UIColor& color) {
    return color.blue();
}

UIColor alphaWithAlpha(const UIColor& color, CGFloat alpha) {
    return UIColor(reded(color), greened(color), blued(color), alpha);
}

UIColor whiteWithRate(const UIColor& color, CGFloat rate) {
    auto lighten = [rate](CGFloat c) { return c + (1 - c) * rate; };
    return UIColor(lighten(reded(color)), lighten(greened(color)), lighten(blued(color)), 1.0);
}

namespace UIColorPalette {

UIColor errorColor() {
    return UIColor(219.0 / 255.0, 36.0 / 255.0, 27.0 / 255.0, 1.0);
}
UIColor separatorColor() {
    return UIColorWithHex("#EFEFEF", 1.0);
}
UIColor disabledColor() {
    return UIColorWithHex("#EFEFEF", 0.5);
}
UIColor textColor() {
    return UIColorWithHex("#353535", 1.0);
}
UIColor textPlaceholderColor() {
    return UIColorWithHex("#939693", 1.0);
}
UIColor overlayColor() {
    return UIColorWithHex("#000000", 0.5);
}
UIColor settingsTextColor() {
    return UIColorWithHex("#5D5D5D", 1.0);
}
UIColor backgroundColor() {
    return UIColorWithHex("#EAE6E4", 1.0);
}
UIColor recommendedTitleColor() {
    return UIColorWithHex("#434244", 1.0);
}
UIColor recommendedDescriptionColor() {
    return UIColorWithHex("#8D908D", 1.0);
}
UIColor searchTintColor() {
    return UIColorWithHex("#6DBB96", 1.0);
}
UIColor searchBorderColor() {
    return UIColorWithHex("#BFBDBC", 1.0);
}
UIColor cwy_etonBlue() {
    return UIColorWithHex("#82CBAA", 1.0);
}
UIColor cwy_mountainMeadow() {
    return UIColorWithHex("#2FB299", 1.0);
}
UIColor cwy_taupeGray() {
    return UIColorWithHex("#82878F", 1.0);
}
UIColor cwy_silver() {
    return UIColorWithHex("#C5C5C5", 1.0);
}

// Each settable colour is a function-local static: initialised once, thread-safely, on first use.
#define CW_SETTABLE_COLOR(getter, setter, initial)                                                           \
    static UIColor& getter##Storage() {                                                                      \
        static UIColor stored = initial;                                                                     \
        return stored;                                                                                       \
    }                                                                                                        \
    const UIColor& getter() {                                                                                \
        return getter##Storage();                                                                            \
    }                                                                                                        \
    void setter(const UIColor& color) {                                                                      \
        getter##Storage() = color;                                                                           \
    }

CW_SETTABLE_COLOR(defaultBackground, setDefaultBackground, UIColorWithHex("#EAE6E4", 1.0))
CW_SETTABLE_COLOR(defaultButtonFill, setDefaultButtonFill, UIColorWithHex("#7EC5AC", 1.0))
CW_SETTABLE_COLOR(disabledButtonFill, setDisabledButtonFill, UIColor::withWhite(0.6, 0.4))
CW_SETTABLE_COLOR(tableViewBackground, setTableViewBackground, UIColorWithHex("#FBFBFB", 1.0))
CW_SETTABLE_COLOR(bottomBorderBlue, setBottomBorderBlue, UIColorWithHex("#5793FE", 1.0))
CW_SETTABLE_COLOR(mainColor1, setMainColor1, UIColorWithHex("#55d6bc", 1.0))
CW_SETTABLE_COLOR(contentColor1, setContentColor1, UIColorWithHex("#5b5b5b", 1.0))
CW_SETTABLE_COLOR(contentColor2, setContentColor2, UIColorWithHex("#8A8A8A", 1.0))
CW_SETTABLE_COLOR(whiteFour, setWhiteFour, UIColorWithHex("#e6e6e6", 1.0))
CW_SETTABLE_COLOR(whiteFive, setWhiteFive, UIColorWithHex("#fdfdfd", 1.0))
CW_SETTABLE_COLOR(whiteSix, setWhiteSix, UIColorWithHex("#f7f7f7", 1.0))

#undef CW_SETTABLE_COLOR

} // namespace UIColorPalette
