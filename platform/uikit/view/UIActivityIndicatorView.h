#pragma once

// The spinning "busy" indicator, as a model: its style and colour, whether it is animating, and
// whether it hides itself when stopped. Drawing shows one frame of the spokes.

#include "uikit/view/UIView.h"

enum class UIActivityIndicatorViewStyle { whiteLarge, white, gray, medium, large };

class UIActivityIndicatorView : public UIView {
public:
    explicit UIActivityIndicatorView(
        UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyle::white);
    std::string className() const override { return "UIActivityIndicatorView"; }

    UIActivityIndicatorViewStyle style() const { return style_; }
    void setStyle(UIActivityIndicatorViewStyle style);
    UIColor color() const { return color_; }
    void setColor(const UIColor& color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    bool isAnimating() const { return animating_; }
    void startAnimating();
    void stopAnimating();

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize) const override { return intrinsicContentSize(); }
    void draw(const CGRect& rect) override;

private:
    UIActivityIndicatorViewStyle style_;
    UIColor color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};
