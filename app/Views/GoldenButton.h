#pragma once

// The gold secondary button beside the green one: "#D4CA5E" with a white title, "#C6AF28" behind
// an "#E4EAE7" title while pressed. Made in code only.

#include "uikit/controls/UIButton.h"

class NSCoder;

class GoldenButton : public UIButton {
public:
    GoldenButton();
    // Not made with a frame or from an archive (storyboards and nibs cannot hold one).
    GoldenButton(const CGRect&) = delete;
    explicit GoldenButton(NSCoder&) = delete;
    std::string className() const override { return "GoldenButton"; }

    // A gradient's two ends, exposed for callers; nothing draws them.
    const UIColor& colorTop() const { return colorTop_; }
    const UIColor& colorBottom() const { return colorBottom_; }

    void setHighlighted(bool highlighted) override;

private:
    UIColor colorTop_;
    UIColor colorBottom_;
};
