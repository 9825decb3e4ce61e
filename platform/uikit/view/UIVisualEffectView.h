#pragma once

// A view that blurs what lies beneath it (`UIVisualEffectView` with a `UIBlurEffect`). Its content
// goes into `contentView`, which always fills it. When the tree is drawn, the view takes what has
// been drawn under it so far, blurs it, and lays the style's tint over it; its content is drawn on
// top, sharp.

#include "uikit/view/UIView.h"

#include <memory>

enum class UIBlurEffectStyle { extraLight, light, dark };

class UIVisualEffect {
public:
    virtual ~UIVisualEffect() = default;
};

class UIBlurEffect : public UIVisualEffect {
public:
    explicit UIBlurEffect(UIBlurEffectStyle style) : style_(style) {}
    static std::shared_ptr<UIBlurEffect> effect(UIBlurEffectStyle style) {
        return std::make_shared<UIBlurEffect>(style);
    }
    UIBlurEffectStyle style() const { return style_; }

private:
    UIBlurEffectStyle style_;
};

class UIVisualEffectView : public UIView {
public:
    explicit UIVisualEffectView(std::shared_ptr<UIVisualEffect> effect = nullptr);
    std::string className() const override { return "UIVisualEffectView"; }

    const std::shared_ptr<UIVisualEffect>& effect() const { return effect_; }
    void setEffect(std::shared_ptr<UIVisualEffect> effect);
    const std::shared_ptr<UIView>& contentView() const { return contentView_; }

    // How far the blur reaches (its deviation), in points.
    static constexpr CGFloat blurRadius = 10;

    void layoutSubviews() override;
    void draw(const CGRect& rect) override;

private:
    std::shared_ptr<UIVisualEffect> effect_;
    std::shared_ptr<UIView> contentView_;
};
