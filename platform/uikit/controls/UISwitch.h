#pragma once

// An on/off switch: a tap flips it and sends value-changed; setting it from code sends nothing.

#include "uikit/controls/UIControl.h"

#include <optional>

class UISwitch : public UIControl {
public:
    UISwitch();
    explicit UISwitch(const CGRect& frame);
    std::string className() const override { return "UISwitch"; }

    bool isOn() const { return on_; }
    void setOn(bool on) { setOn(on, false); }
    virtual void setOn(bool on, bool animated);
    std::optional<UIColor> onTintColor;
    std::optional<UIColor> thumbTintColor;

    CGSize intrinsicContentSize() const override { return {51, 31}; }
    CGSize sizeThatFits(CGSize) const override { return {51, 31}; }
    void endTracking(UITouch* touch, const UIEvent* event) override;
    void draw(const CGRect& rect) override;

private:
    bool on_ = false;
};
