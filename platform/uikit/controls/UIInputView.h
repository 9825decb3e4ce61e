#pragma once

// A view made to stand in the keyboard's place or above it (an input or accessory view): it
// starts with the keyboard's backdrop colour. Subclasses build their bars on it.

#include "uikit/view/UIView.h"

class NSCoder;

enum class UIInputViewStyle { default_ = 0, keyboard = 1 };

class UIInputView : public UIView {
public:
    UIInputView(const CGRect& frame, UIInputViewStyle style);
    // Made from an archive: the default style and an empty frame; the coder is not read (no
    // archive of ours holds an input view's settings).
    explicit UIInputView(NSCoder& coder);
    std::string className() const override { return "UIInputView"; }

    UIInputViewStyle inputViewStyle() const { return style_; }

    // The backdrop behind the keys.
    static UIColor keyboardBackgroundColor() { return UIColor(0.82, 0.84, 0.86, 1); }

private:
    UIInputViewStyle style_ = UIInputViewStyle::default_;
};
