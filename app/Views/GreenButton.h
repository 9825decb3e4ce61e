#pragma once

// The primary call-to-action: a rounded green button with a white semibold title, a darker green
// while pressed and a faded grey fill with a half-transparent title while disabled. Made in code
// (styled at once) or by a storyboard or nib, whose factory makes it and then calls awakeFromNib,
// which styles it again over whatever look the file gave it.

#include "uikit/controls/UIButton.h"

class GreenButton : public UIButton {
public:
    GreenButton();
    explicit GreenButton(const CGRect& frame);
    std::string className() const override { return "GreenButton"; }

    void awakeFromNib() override;

private:
    void style();
};
