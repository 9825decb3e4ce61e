#include "uikit/controllers/UIToolbar.h"

#include "uikit/controllers/BarButtonItemView.h"
#include "uikit/controllers/UIScreen.h"

#include <algorithm>

UIToolbar::UIToolbar() {
    build();
}

UIToolbar::UIToolbar(const CGRect& frame) : UIView(frame) {
    build();
}

UIToolbar::UIToolbar(NSCoder&) {
    build();
}

void UIToolbar::build() {
    setBackgroundColor(std::nullopt);
    setOpaque(false);
    blur_ = std::make_shared<UIVisualEffectView>();
    blur_->setUserInteractionEnabled(false);
    addSubview(blur_);
    background_ = std::make_shared<UIView>();
    background_->setUserInteractionEnabled(false);
    addSubview(background_);
    hairline_ = std::make_shared<UIView>();
    hairline_->setBackgroundColor(UIColor::withWhite(0, 0.3));
    hairline_->setUserInteractionEnabled(false);
    addSubview(hairline_);
}

void UIToolbar::setItems(std::vector<UIBarButtonItemPtr> items, bool animated) {
    for (auto& v : itemViews_)
        if (v) v->removeFromSuperview();
    itemViews_.clear();
    items_ = std::move(items);
    std::vector<std::shared_ptr<UIView>> added;
    for (const auto& item : items_) {
        if (!item || item->isSpace()) {
            itemViews_.push_back(nullptr);
            continue;
        }
        auto v = cw::BarButtonItemView::make(item, "UIToolbar", kHeight);
        addSubview(v);
        itemViews_.push_back(v);
        added.push_back(v);
    }
    if (animated && !added.empty()) {
        for (auto& v : added)
            v->setAlpha(0);
        UIView::animate(0.25, [added] {
            for (auto& v : added)
                v->setAlpha(1);
        });
    }
    setNeedsLayout();
}

void UIToolbar::setBarStyle(UIBarStyle style) {
    barStyle_ = style;
    setNeedsLayout();
}

void UIToolbar::setTranslucent(bool translucent) {
    translucent_ = translucent;
    setNeedsLayout();
}

void UIToolbar::setBarTintColor(const std::optional<UIColor>& color) {
    barTintColor_ = color;
    setNeedsLayout();
}

CGSize UIToolbar::sizeThatFits(CGSize) const {
    return {UIScreen::main().bounds().size.width, kHeight};
}

CGSize UIToolbar::intrinsicContentSize() const {
    return {UIViewNoIntrinsicMetric, kHeight};
}

void UIToolbar::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    background_->setFrame({0, 0, b.size.width, b.size.height});
    const bool blurs = translucent_ && !barTintColor_ && !backgroundColor();
    blur_->setHidden(!blurs);
    blur_->setFrame(background_->frame());
    if (blurs) {
        const auto style = barStyle_ == UIBarStyle::black ? UIBlurEffectStyle::dark : UIBlurEffectStyle::extraLight;
        const auto* shown = dynamic_cast<const UIBlurEffect*>(blur_->effect().get());
        if (!shown || shown->style() != style) blur_->setEffect(UIBlurEffect::effect(style));
    }
    if (barTintColor_)
        background_->setBackgroundColor(barTintColor_);
    else if (backgroundColor() || blurs)
        background_->setBackgroundColor(std::nullopt);
    else
        background_->setBackgroundColor(barStyle_ == UIBarStyle::black ? UIColor::withWhite(0.11, 1)
                                                                       : UIColor::withWhite(0.97, 1));
    hairline_->setFrame({0, 0, b.size.width, 0.5});

    // What each item takes along the bar (none: a flexible space), gaps between buttons included;
    // what is left goes to the flexible spaces in equal parts.
    std::vector<std::optional<CGFloat>> advances;
    CGFloat used = 2 * kMargin;
    int flexible = 0;
    bool previousWasButton = false;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto& item = items_[i];
        std::optional<CGFloat> advance = 0;
        if (itemViews_[i]) {
            advance = itemViews_[i]->frame().size.width + (previousWasButton ? kSpacing : 0);
            previousWasButton = true;
        } else if (item) {
            previousWasButton = false;
            if (item->systemItem() == UIBarButtonSystemItem::fixedSpace) {
                advance = std::max<CGFloat>(0, item->width);
            } else {
                advance.reset();
                ++flexible;
            }
        }
        if (advance) used += *advance;
        advances.push_back(advance);
    }
    const CGFloat share = flexible > 0 ? std::max<CGFloat>(0, b.size.width - used) / flexible : 0;
    CGFloat x = kMargin;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (auto& v = itemViews_[i]) {
            const CGSize s = v->frame().size;
            v->setFrame({x + *advances[i] - s.width, (kHeight - s.height) / 2, s.width, s.height});
        }
        x += advances[i].value_or(share);
    }
}
